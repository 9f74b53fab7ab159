// The fixed-function pipeline on pixels: texture stage operations, blending,
// alpha testing, fog, point sprites and texture filtering.
#include <algorithm>
#include <functional>

#include "d3d9_test_support.h"

namespace d3dtest {
namespace {

using Pipeline = DeviceTest;

float channel(DWORD color, int shift) { return ((color >> shift) & 0xFF) / 255.0f; }
int byteOf(float v) { return static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

// Draws one 8x8 rectangle with a 1x1 texture of colour `tex` and a diffuse
// colour `diffuse` through the given stage-0 colour operation and arguments.
class StageOps : public Pipeline {
 protected:
  void SetUp() override {
    Pipeline::SetUp();
    setup2D();
    texture = makeTexture(1, 1, {kTex});
    device->SetTexture(0, texture);
  }
  void TearDown() override {
    device->SetTexture(0, nullptr);
    if (texture) texture->Release();
    Pipeline::TearDown();
  }
  Rgba colorOp(DWORD op, DWORD arg1 = D3DTA_TEXTURE, DWORD arg2 = D3DTA_DIFFUSE) {
    clear(kBlack);
    device->SetTextureStageState(0, D3DTSS_COLOROP, op);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, arg1);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, arg2);
    rect(0, 0, 8, 8, kDiffuse);
    read();
    return at(4, 4);
  }
  static constexpr DWORD kTex = 0x80C86428u;      // a 0.5, r 200, g 100, b 40
  static constexpr DWORD kDiffuse = 0xFF64C850u;  // a 1, r 100, g 200, b 80
  IDirect3DTexture9* texture = nullptr;
};

void expectNear(const Rgba& got, float r, float g, float b, const char* what) {
  EXPECT_NEAR(got.r, byteOf(r), 2) << what;
  EXPECT_NEAR(got.g, byteOf(g), 2) << what;
  EXPECT_NEAR(got.b, byteOf(b), 2) << what;
}

TEST_F(StageOps, ColourOperationsCombineTextureAndDiffuse) {
  const float t[3] = {channel(kTex, 16), channel(kTex, 8), channel(kTex, 0)};
  const float d[3] = {channel(kDiffuse, 16), channel(kDiffuse, 8), channel(kDiffuse, 0)};
  auto each = [&](const std::function<float(float, float)>& f) {
    return std::array<float, 3>{f(t[0], d[0]), f(t[1], d[1]), f(t[2], d[2])};
  };
  struct Case {
    DWORD op;
    const char* name;
    std::function<float(float, float)> f;
  };
  const float ta = channel(kTex, 24);
  const Case cases[] = {
      {D3DTOP_SELECTARG1, "SELECTARG1", [](float x, float) { return x; }},
      {D3DTOP_SELECTARG2, "SELECTARG2", [](float, float y) { return y; }},
      {D3DTOP_MODULATE, "MODULATE", [](float x, float y) { return x * y; }},
      {D3DTOP_MODULATE2X, "MODULATE2X", [](float x, float y) { return 2 * x * y; }},
      {D3DTOP_MODULATE4X, "MODULATE4X", [](float x, float y) { return 4 * x * y; }},
      {D3DTOP_ADD, "ADD", [](float x, float y) { return x + y; }},
      {D3DTOP_ADDSIGNED, "ADDSIGNED", [](float x, float y) { return x + y - 0.5f; }},
      {D3DTOP_ADDSIGNED2X, "ADDSIGNED2X", [](float x, float y) { return 2 * (x + y - 0.5f); }},
      {D3DTOP_SUBTRACT, "SUBTRACT", [](float x, float y) { return x - y; }},
      {D3DTOP_ADDSMOOTH, "ADDSMOOTH", [](float x, float y) { return x + y - x * y; }},
      {D3DTOP_BLENDDIFFUSEALPHA, "BLENDDIFFUSEALPHA", [](float x, float) { return x; }},  // diffuse alpha is 1
      {D3DTOP_BLENDTEXTUREALPHA, "BLENDTEXTUREALPHA", [ta](float x, float y) { return x * ta + y * (1 - ta); }},
  };
  for (const Case& c : cases) {
    const auto want = each(c.f);
    expectNear(colorOp(c.op), want[0], want[1], want[2], c.name);
  }
}

TEST_F(StageOps, ArgumentsAndModifiers) {
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF204060u);
  expectNear(colorOp(D3DTOP_SELECTARG1, D3DTA_TFACTOR), 0x20 / 255.0f, 0x40 / 255.0f, 0x60 / 255.0f, "TFACTOR");
  expectNear(colorOp(D3DTOP_SELECTARG1, D3DTA_DIFFUSE | D3DTA_COMPLEMENT), 1 - 100 / 255.0f, 1 - 200 / 255.0f,
             1 - 80 / 255.0f, "COMPLEMENT");
  const float ta = channel(kTex, 24);
  expectNear(colorOp(D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE), ta, ta, ta, "ALPHAREPLICATE");
  expectNear(colorOp(D3DTOP_SELECTARG1, D3DTA_CURRENT), 100 / 255.0f, 200 / 255.0f, 80 / 255.0f,
             "CURRENT on stage 0 is the diffuse colour");
}

TEST_F(StageOps, DisabledFirstStageShowsDiffuse) {
  expectNear(colorOp(D3DTOP_DISABLE), 100 / 255.0f, 200 / 255.0f, 80 / 255.0f, "DISABLE");
}

TEST_F(StageOps, SecondStageWorksOnTheFirstStagesResult) {
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF808080u);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
  device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
  const float half = 128 / 255.0f;
  expectNear(colorOp(D3DTOP_SELECTARG1), 200 / 255.0f * half, 100 / 255.0f * half, 40 / 255.0f * half,
             "texture, then halved");
  // Stage 1 reads its own (empty) texture as white.
  device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
  expectNear(colorOp(D3DTOP_SELECTARG1), 200 / 255.0f, 100 / 255.0f, 40 / 255.0f, "empty stage 1");
}

TEST_F(StageOps, AlphaOperationsShowThroughBlending) {
  // Colour white, alpha from the operation; SRCALPHA / ZERO writes alpha as grey.
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0x40FFFFFFu);
  auto alpha = [&](DWORD op, DWORD a1, DWORD a2) {
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, op);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, a1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, a2);
    return colorOp(D3DTOP_SELECTARG1, D3DTA_TFACTOR | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE).r;
  };
  // (The colour argument above is 1 - 0x40/255 of the factor alpha: just a known grey.)
  const float c = 1 - 0x40 / 255.0f;
  EXPECT_NEAR(alpha(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE), byteOf(c * 128 / 255.0f), 2);
  EXPECT_NEAR(alpha(D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE), byteOf(c), 2);
  EXPECT_NEAR(alpha(D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR), byteOf(c * 128 / 255.0f * 0x40 / 255.0f), 2);
  EXPECT_NEAR(alpha(D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR), byteOf(c * (128 + 0x40) / 255.0f), 2);
}

TEST_F(Pipeline, BlendFactorsAndOperations) {
  setup2D();
  const DWORD dest = 0xFF4080C0u;  // r 0x40, g 0x80, b 0xC0
  const DWORD src = 0x60C06020u;   // a 0x60, r 0xC0, g 0x60, b 0x20
  const float s[4] = {channel(src, 16), channel(src, 8), channel(src, 0), channel(src, 24)};
  const float d[3] = {channel(dest, 16), channel(dest, 8), channel(dest, 0)};
  const float da = 1.0f;  // the back buffer has no alpha channel: it reads as one
  auto factor = [&](DWORD f, int i) -> float {
    switch (f) {
      case D3DBLEND_ZERO: return 0;
      case D3DBLEND_ONE: return 1;
      case D3DBLEND_SRCCOLOR: return s[i];
      case D3DBLEND_INVSRCCOLOR: return 1 - s[i];
      case D3DBLEND_SRCALPHA: return s[3];
      case D3DBLEND_INVSRCALPHA: return 1 - s[3];
      case D3DBLEND_DESTALPHA: return da;
      case D3DBLEND_INVDESTALPHA: return 1 - da;
      case D3DBLEND_DESTCOLOR: return d[i];
      case D3DBLEND_INVDESTCOLOR: return 1 - d[i];
      default: return -1;
    }
  };
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  for (DWORD sf = D3DBLEND_ZERO; sf <= D3DBLEND_INVDESTCOLOR; ++sf) {
    for (DWORD df = D3DBLEND_ZERO; df <= D3DBLEND_INVDESTCOLOR; ++df) {
      clear(dest);
      device->SetRenderState(D3DRS_SRCBLEND, sf);
      device->SetRenderState(D3DRS_DESTBLEND, df);
      rect(0, 0, 4, 4, src);
      read();
      const Rgba got = at(1, 1);
      const int gotc[3] = {got.r, got.g, got.b};
      for (int i = 0; i < 3; ++i) {
        const float want = s[i] * factor(sf, i) + d[i] * factor(df, i);
        ASSERT_NEAR(gotc[i], byteOf(want), 2) << "src " << sf << " dest " << df << " channel " << i;
      }
    }
  }
  // Operations other than ADD.
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  struct Op {
    DWORD op;
    std::function<float(float, float)> f;
  };
  const Op ops[] = {{D3DBLENDOP_SUBTRACT, [](float a, float b) { return a - b; }},
                    {D3DBLENDOP_REVSUBTRACT, [](float a, float b) { return b - a; }},
                    {D3DBLENDOP_MIN, [](float a, float b) { return std::min(a, b); }},
                    {D3DBLENDOP_MAX, [](float a, float b) { return std::max(a, b); }}};
  for (const Op& op : ops) {
    clear(dest);
    device->SetRenderState(D3DRS_BLENDOP, op.op);
    rect(0, 0, 4, 4, src);
    read();
    EXPECT_NEAR(at(1, 1).r, byteOf(op.f(s[0], d[0])), 2) << "blend op " << op.op;
    EXPECT_NEAR(at(1, 1).b, byteOf(op.f(s[2], d[2])), 2) << "blend op " << op.op;
  }
}

TEST_F(Pipeline, AlphaTestComparesEightBitAlphaWithTheReference) {
  setup2D();
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAREF, 0x80);
  const DWORD alphas[3] = {0x7F, 0x80, 0x81};
  for (DWORD func = D3DCMP_NEVER; func <= D3DCMP_ALWAYS; ++func) {
    clear(kBlack);
    device->SetRenderState(D3DRS_ALPHAFUNC, func);
    for (int i = 0; i < 3; ++i) rect(i * 8.0f, 0, i * 8.0f + 8, 8, (alphas[i] << 24) | 0xFF0000u);
    read();
    for (int i = 0; i < 3; ++i) {
      const int a = static_cast<int>(alphas[i]), ref = 0x80;
      bool pass = false;
      switch (func) {
        case D3DCMP_NEVER: pass = false; break;
        case D3DCMP_LESS: pass = a < ref; break;
        case D3DCMP_EQUAL: pass = a == ref; break;
        case D3DCMP_LESSEQUAL: pass = a <= ref; break;
        case D3DCMP_GREATER: pass = a > ref; break;
        case D3DCMP_NOTEQUAL: pass = a != ref; break;
        case D3DCMP_GREATEREQUAL: pass = a >= ref; break;
        case D3DCMP_ALWAYS: pass = true; break;
      }
      EXPECT_EQ(at(i * 8 + 4, 4).r, pass ? 255 : 0) << "func " << func << " alpha " << a;
    }
  }
  // Only the low byte of the reference counts.
  clear(kBlack);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_EQUAL);
  device->SetRenderState(D3DRS_ALPHAREF, 0x180);
  rect(0, 0, 8, 8, 0x80FF0000u);
  read();
  EXPECT_EQ(at(4, 4).r, 255);
}

class Fog : public Pipeline {
 protected:
  void SetUp() override {
    Pipeline::SetUp();
    setup2D();
    device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device->SetRenderState(D3DRS_FOGCOLOR, 0x000000FFu);  // blue
  }
  Rgba fogged(float z, DWORD fvfColor = kRed) {
    clear(kBlack);
    rect(0, 0, 8, 8, fvfColor, z);
    read();
    return at(4, 4);
  }
};

TEST_F(Fog, TableLinearUsesDepthWithDefaultRange) {
  device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR);  // start 0, end 1 by default
  const Rgba c = fogged(0.25f);
  EXPECT_NEAR(c.r, byteOf(0.75f), 2);
  EXPECT_NEAR(c.b, byteOf(0.25f), 2);
  device->SetRenderState(D3DRS_FOGSTART, floatBits(0.5f));
  device->SetRenderState(D3DRS_FOGEND, floatBits(0.5f));
  EXPECT_EQ(fogged(0.25f).r, 255) << "equal start and end: unfogged before the end, no division by zero";
  EXPECT_EQ(fogged(0.75f).b, 255) << "and fully fogged past it";
}

TEST_F(Fog, TableExponentialModes) {
  device->SetRenderState(D3DRS_FOGDENSITY, floatBits(2.0f));
  device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_EXP);
  EXPECT_NEAR(fogged(0.5f).r, byteOf(std::exp(-1.0f)), 2);
  device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_EXP2);
  EXPECT_NEAR(fogged(0.5f).r, byteOf(std::exp(-1.0f)), 2);
  EXPECT_NEAR(fogged(0.25f).r, byteOf(std::exp(-0.25f)), 2);
}

TEST_F(Fog, VertexFogUsesEyeDepth) {
  device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
  device->SetRenderState(D3DRS_FOGEND, floatBits(4.0f));
  // The view moves the quad to eye depth 3 whatever the projection makes of it.
  D3DMATRIX view = identityMatrix();
  view._43 = 3.0f;
  device->SetTransform(D3DTS_VIEW, &view);
  D3DMATRIX proj = screenMatrix(64, 64);
  proj._43 = -3.0f;  // bring z back into the depth range
  device->SetTransform(D3DTS_PROJECTION, &proj);
  const Rgba c = fogged(0.0f);
  EXPECT_NEAR(c.r, byteOf(0.25f), 2);
  EXPECT_NEAR(c.b, byteOf(0.75f), 2);
}

TEST_F(Fog, WithoutModesTheFactorIsSpecularAlpha) {
  // Both fog modes off: Direct3D takes the factor from the specular alpha,
  // which a vertex without specular does not have, so it is fully fogged.
  const Rgba none = fogged(0.5f);
  EXPECT_EQ(none.r, 0);
  EXPECT_EQ(none.b, 255);
  struct CornerVertex {
    float x, y, z;
    DWORD diffuse, specular;
  };
  device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
  CornerVertex q[4] = {{0, 0, 0, kRed, 0xFF000000u}, {8, 0, 0, kRed, 0xFF000000u}, {8, 8, 0, kRed, 0xFF000000u},
               {0, 8, 0, kRed, 0xFF000000u}};
  clear(kBlack);
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(CornerVertex));
  read();
  EXPECT_EQ(at(4, 4).r, 255) << "specular alpha 1: no fog";
  device->SetFVF(kFvf);
  device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  EXPECT_EQ(fogged(0.5f).r, 255);
}

class Points : public Pipeline {
 protected:
  void SetUp() override {
    Pipeline::SetUp();
    setup2D();
    clear(kBlack);
  }
};

TEST_F(Points, SizeInPixelsWithoutScaling) {
  device->SetRenderState(D3DRS_POINTSIZE, floatBits(8.0f));
  point(20, 30, kRed);
  read();
  Box box = redBox();
  EXPECT_EQ(box.x0, 16);
  EXPECT_EQ(box.x1, 23);
  EXPECT_EQ(box.y0, 26);
  EXPECT_EQ(box.y1, 33);
  EXPECT_EQ(box.count, 64);
}

TEST_F(Points, SinglePixelPointLandsOnItsPixel) {
  point(5, 9, kRed);
  read();
  Box box = redBox();
  EXPECT_EQ(box.count, 1);
  EXPECT_EQ(box.x0, 5);
  EXPECT_EQ(box.y0, 9);
}

TEST_F(Points, ScaledSizeFollowsTheDistanceRule) {
  // size = viewport height * POINTSIZE * sqrt(1 / (A + B d + C d^2)); here
  // A = B = 0, C = 1: 64 * 0.5 / 4 = 8 pixels at eye distance 4.
  D3DMATRIX view = identityMatrix();
  view._43 = -4.0f;
  device->SetTransform(D3DTS_VIEW, &view);
  const float ys = 1.0f, zn = 1, zf = 10;  // 90 degrees
  D3DMATRIX proj{};
  proj._11 = ys;
  proj._22 = ys;
  proj._33 = zf / (zn - zf);
  proj._34 = -1;
  proj._43 = zn * zf / (zn - zf);
  device->SetTransform(D3DTS_PROJECTION, &proj);
  device->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
  device->SetRenderState(D3DRS_POINTSIZE, floatBits(0.5f));
  device->SetRenderState(D3DRS_POINTSCALE_A, floatBits(0.0f));
  device->SetRenderState(D3DRS_POINTSCALE_B, floatBits(0.0f));
  device->SetRenderState(D3DRS_POINTSCALE_C, floatBits(1.0f));
  point(0, 0, kRed);
  read();
  Box box = redBox();
  EXPECT_EQ(box.x1 - box.x0 + 1, 8);
  EXPECT_EQ(box.y1 - box.y0 + 1, 8);
  EXPECT_EQ(box.x0, 28);
  EXPECT_EQ(box.y0, 28);

  clear(kBlack);
  device->SetRenderState(D3DRS_POINTSIZE_MIN, floatBits(12.0f));
  point(0, 0, kRed);
  read();
  EXPECT_EQ(redBox().x1 - redBox().x0 + 1, 12) << "clamped below by POINTSIZE_MIN";

  clear(kBlack);
  device->SetRenderState(D3DRS_POINTSIZE_MIN, floatBits(1.0f));
  device->SetRenderState(D3DRS_POINTSIZE, floatBits(10.0f));  // 160 pixels
  device->SetRenderState(D3DRS_POINTSIZE_MAX, floatBits(20.0f));
  point(0, 0, kRed);
  read();
  EXPECT_EQ(redBox().x1 - redBox().x0 + 1, 20) << "clamped above by POINTSIZE_MAX";
}

TEST_F(Points, SpriteTextureCoordinatesRunAcrossTheSprite) {
  // Top half red, bottom half green, left column blue marks u = 0.
  std::vector<DWORD> texels = {kBlue, kRed, kRed, kRed, kBlue, kRed, kRed, kRed,
                               kBlue, kGreen, kGreen, kGreen, kBlue, kGreen, kGreen, kGreen};
  IDirect3DTexture9* texture = makeTexture(4, 4, texels);
  device->SetTexture(0, texture);
  device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
  device->SetRenderState(D3DRS_POINTSIZE, floatBits(16.0f));
  point(32, 32, kWhite);
  read();
  EXPECT_EQ(at(30, 26), (Rgba{255, 0, 0, 255})) << "upper half shows the top of the texture";
  EXPECT_EQ(at(30, 38), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(at(25, 26), (Rgba{0, 0, 255, 255})) << "left edge is u = 0";
  // Without sprites a point takes its vertex's texture coordinate everywhere.
  clear(kBlack);
  device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
  Vertex p = vertex(32, 32, 0, kWhite, 0.9f, 0.9f);
  device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &p, sizeof p);
  read();
  EXPECT_EQ(at(26, 26), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(at(38, 38), (Rgba{0, 255, 0, 255}));
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(Pipeline, MipFilterNoneUsesOnlyTheTopLevel) {
  setup2D();
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device->CreateTexture(4, 4, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  const DWORD colors[3] = {kRed, kGreen, kBlue};
  for (UINT level = 0; level < 3; ++level) {
    D3DLOCKED_RECT locked{};
    texture->LockRect(level, &locked, nullptr, 0);
    const UINT side = 4 >> level;
    for (UINT y = 0; y < side; ++y)
      for (UINT x = 0; x < side; ++x)
        reinterpret_cast<DWORD*>(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch)[x] = colors[level];
    texture->UnlockRect(level);
  }
  device->SetTexture(0, texture);
  clear(kBlack);
  rect(0, 0, 2, 2, kWhite);  // minified by two
  read();
  EXPECT_EQ(at(0, 0), (Rgba{255, 0, 0, 255})) << "Direct3D's default: no mipmapping";
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
  rect(0, 0, 2, 2, kWhite);
  read();
  EXPECT_EQ(at(0, 0), (Rgba{0, 255, 0, 255})) << "level 1 for a half-size picture";
  device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 2);
  rect(0, 0, 2, 2, kWhite);
  read();
  EXPECT_EQ(at(0, 0), (Rgba{0, 0, 255, 255})) << "MAXMIPLEVEL keeps the sampler off the larger levels";
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(Pipeline, AddressModesWrapClampAndMirror) {
  setup2D();
  IDirect3DTexture9* texture = makeTexture(2, 1, {kRed, kGreen});
  device->SetTexture(0, texture);
  auto sample = [&](DWORD mode) {
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, mode);
    clear(kBlack);
    rect(0, 0, 8, 1, kWhite, 0, 0, 0, 4, 1);  // u from 0 to 4 across 8 pixels
    read();
    std::vector<int> reds;
    for (int x = 0; x < 8; ++x) reds.push_back(at(x, 0).r > 128 ? 1 : 0);
    return reds;
  };
  EXPECT_EQ(sample(D3DTADDRESS_WRAP), (std::vector<int>{1, 0, 1, 0, 1, 0, 1, 0}));
  EXPECT_EQ(sample(D3DTADDRESS_CLAMP), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(sample(D3DTADDRESS_MIRROR), (std::vector<int>{1, 0, 0, 1, 1, 0, 0, 1}));
  device->SetSamplerState(0, D3DSAMP_BORDERCOLOR, kRed);
  EXPECT_EQ(sample(D3DTADDRESS_BORDER), (std::vector<int>{1, 0, 1, 1, 1, 1, 1, 1}));
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(Pipeline, ColourWriteMaskAndZWriteDisable) {
  setup2D();
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  clear(kBlack);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0x1);  // red only
  rect(0, 0, 8, 8, kWhite, 0.5f);
  device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  rect(8, 0, 16, 8, kWhite, 0.2f);  // writes colour but no depth
  device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
  rect(8, 0, 16, 8, kGreen, 0.6f);  // passes: depth still 1.0 there
  rect(0, 0, 8, 8, kGreen, 0.6f);   // fails against 0.5
  read();
  EXPECT_EQ(at(4, 4), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(at(12, 4), (Rgba{0, 255, 0, 255}));
}

}  // namespace
}  // namespace d3dtest
