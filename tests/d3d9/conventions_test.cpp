// The Direct3D conventions the stand-in keeps, checked on pixels read back:
// row-vector matrices, Direct3D's depth range, integer pixel centres,
// top-down rows, D3DCOLOR byte order, empty stages reading white, winding.
#include "d3d9_test_support.h"

namespace d3dtest {
namespace {

using Conventions = DeviceTest;

// A right-handed perspective projection, written out from its definition.
D3DMATRIX perspectiveRH(float fovy, float aspect, float zn, float zf) {
  const float ys = 1.0f / std::tan(fovy / 2), xs = ys / aspect;
  D3DMATRIX m{};
  m._11 = xs;
  m._22 = ys;
  m._33 = zf / (zn - zf);
  m._34 = -1;
  m._43 = zn * zf / (zn - zf);
  return m;
}

TEST_F(Conventions, RectangleAtIntegerCoordinatesCoversExactlyItsPixels) {
  setup2D();
  clear(kBlack);
  rect(10, 20, 14, 23, kRed);
  read();
  Box box = redBox();
  EXPECT_EQ(box.x0, 10);
  EXPECT_EQ(box.y0, 20);
  EXPECT_EQ(box.x1, 13);
  EXPECT_EQ(box.y1, 22);
  EXPECT_EQ(box.count, 4 * 3) << "every covered pixel fully red, nothing outside";
}

TEST_F(Conventions, AdjacentRectanglesNeitherOverlapNorLeaveGaps) {
  setup2D();
  clear(kBlack);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  // Additive halves: a pixel drawn twice would read 2 x 100.
  rect(0, 0, 32, 64, D3DCOLOR_ARGB(255, 100, 0, 0));
  rect(32, 0, 64, 64, D3DCOLOR_ARGB(255, 100, 0, 0));
  rect(0, 10, 64, 30, D3DCOLOR_ARGB(255, 0, 100, 0));
  rect(0, 30, 64, 50, D3DCOLOR_ARGB(255, 0, 100, 0));
  read();
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      ASSERT_EQ(at(x, y).r, 100) << x << "," << y;
      ASSERT_EQ(at(x, y).g, (y >= 10 && y < 50) ? 100 : 0) << x << "," << y;
    }
}

TEST_F(Conventions, PointFilteredTextureMapsTexelOnPixel) {
  setup2D();
  clear(kBlack);
  // An 8x8 texture of distinct texels, drawn 8x8 at (5, 7).
  std::vector<DWORD> texels(64);
  for (int i = 0; i < 64; ++i) texels[i] = D3DCOLOR_ARGB(255, i * 4, 255 - i * 4, (i % 8) * 30);
  IDirect3DTexture9* texture = makeTexture(8, 8, texels);
  device->SetTexture(0, texture);
  rect(5, 7, 13, 15, kWhite);
  read();
  for (int ty = 0; ty < 8; ++ty)
    for (int tx = 0; tx < 8; ++tx) {
      const DWORD t = texels[ty * 8 + tx];
      ASSERT_EQ(at(5 + tx, 7 + ty), (Rgba{int((t >> 16) & 255), int((t >> 8) & 255), int(t & 255), 255}))
          << "texel " << tx << "," << ty;
    }
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(Conventions, LinearFilteringSamplesTexelCornersAsDirect3D9Does) {
  // Under Direct3D 9 a rectangle at integer coordinates samples each pixel at
  // its texel's top-left corner: with linear filtering the picture is the
  // average of neighbouring texels, not the texels themselves.
  setup2D();
  clear(kBlack);
  std::vector<DWORD> texels = {kBlack, kWhite, kBlack, kWhite};  // 4x1 stripes
  IDirect3DTexture9* texture = makeTexture(4, 1, texels);
  device->SetTexture(0, texture);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  rect(0, 0, 4, 1, kWhite);
  read();
  EXPECT_NEAR(at(1, 0).r, 128, 3);
  EXPECT_NEAR(at(2, 0).r, 128, 3);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  rect(0, 0, 4, 1, kWhite);
  read();
  EXPECT_EQ(at(0, 0).r, 0);
  EXPECT_EQ(at(1, 0).r, 255);
  EXPECT_EQ(at(2, 0).r, 0);
  EXPECT_EQ(at(3, 0).r, 255);
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(Conventions, RowsRunTopDownAndColumnsLeftToRight) {
  setup2D();
  clear(kBlack);
  rect(0, 0, 8, 8, kRed);      // top-left corner of the screen
  rect(56, 56, 64, 64, kBlue);  // bottom-right
  read();
  EXPECT_EQ(at(0, 0), (Rgba{255, 0, 0, 255})) << "read-back row 0 is the top row";
  EXPECT_EQ(at(63, 63), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(at(63, 0), (Rgba{0, 0, 0, 255}));
}

TEST_F(Conventions, DiffuseIsAD3DColorWord) {
  setup2D();
  clear(kBlack);
  // 0xAARRGGBB: red 0x12, green 0x34, blue 0x56.
  rect(0, 0, 8, 8, 0xFF123456u);
  read();
  EXPECT_EQ(at(4, 4), (Rgba{0x12, 0x34, 0x56, 255}));
}

TEST_F(Conventions, EmptyStageReadsWhiteSoVertexColourShows) {
  setup2D();
  clear(kBlack);
  ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);
  // Defaults: colour MODULATE(texture, current), alpha SELECTARG1(texture).
  rect(0, 0, 8, 8, D3DCOLOR_ARGB(0, 200, 100, 50));
  // Alpha of an empty stage is one as well: alpha blending shows the shape opaque.
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  rect(8, 0, 16, 8, D3DCOLOR_ARGB(0, 200, 100, 50));
  read();
  EXPECT_EQ(at(4, 4), (Rgba{200, 100, 50, 255}));
  EXPECT_EQ(at(12, 4), (Rgba{200, 100, 50, 255}));
}

TEST_F(Conventions, WithoutDiffuseTheVertexIsOpaqueWhite) {
  setup2D();
  clear(kBlack);
  device->SetFVF(D3DFVF_XYZ);
  const float tri[4][3] = {{0, 0, 0}, {8, 0, 0}, {8, 8, 0}, {0, 8, 0}};
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, tri, 12), D3D_OK);
  read();
  EXPECT_EQ(at(4, 4), (Rgba{255, 255, 255, 255}));
}

TEST_F(Conventions, RowVectorMatricesPlaceATransformedQuad) {
  // World stays the identity; a view translation and a right-handed
  // perspective put the unit quad at z = -2 on known pixels.
  clear(kBlack);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetFVF(kFvf);
  D3DMATRIX view = identityMatrix();
  view._41 = 0.5f;  // translation lives in row 3 (p' = p x M)
  view._43 = -2.0f;
  D3DMATRIX projection = perspectiveRH(3.14159265f / 2, 1.0f, 1.0f, 10.0f);
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  Vertex q[4] = {vertex(-0.5f, 0.5f, 0, kRed), vertex(0.5f, 0.5f, 0, kRed), vertex(0.5f, -0.5f, 0, kRed),
                 vertex(-0.5f, -0.5f, 0, kRed)};
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(Vertex)), D3D_OK);
  read();
  // x in view space 0..1 at z -2 -> ndc 0..0.5 -> pixels 32..47; y 0.5..-0.5 -> ndc 0.25..-0.25 -> rows 24..39.
  Box box = redBox();
  EXPECT_EQ(box.x0, 32);
  EXPECT_EQ(box.x1, 47);
  EXPECT_EQ(box.y0, 24);
  EXPECT_EQ(box.y1, 39);
}

TEST_F(Conventions, DepthRangeIsDirect3DsZeroToW) {
  // With Direct3D's 0 <= z <= w, geometry at the near plane is kept and
  // depth 0 is nearest; OpenGL's -w..w would clip nothing at z = 0 and put
  // depth 0.5 there.
  clear(kBlack);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetFVF(kFvf);
  D3DMATRIX m = screenMatrix(64, 64);  // z passes through: clip z = z, w = 1
  device->SetTransform(D3DTS_PROJECTION, &m);
  rect(0, 0, 16, 16, kRed, -0.01f);  // in front of the near plane: clipped
  rect(16, 0, 32, 16, kRed, 0.0f);   // on it: drawn
  rect(32, 0, 48, 16, kRed, 1.0f);   // on the far plane: drawn
  rect(48, 0, 64, 16, kRed, 1.01f);  // behind it: clipped
  read();
  EXPECT_EQ(at(8, 8).r, 0);
  EXPECT_EQ(at(24, 8).r, 255);
  EXPECT_EQ(at(40, 8).r, 255);
  EXPECT_EQ(at(56, 8).r, 0);

  // Depth test LESSEQUAL: a farther quad after a nearer one is hidden.
  clear(kBlack);
  rect(0, 16, 64, 32, kGreen, 0.25f);
  rect(0, 16, 32, 32, kRed, 0.5f);
  rect(32, 16, 64, 32, kRed, 0.2f);
  read();
  EXPECT_EQ(at(10, 20), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(at(40, 20), (Rgba{255, 0, 0, 255}));
}

TEST_F(Conventions, ViewportDepthRangeMapsDepth) {
  clear(kBlack);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetFVF(kFvf);
  D3DMATRIX m = screenMatrix(64, 64);
  device->SetTransform(D3DTS_PROJECTION, &m);
  // Depth 0.4 stored with MinZ 0.5 .. MaxZ 1 becomes 0.7: a quad at 0.6 in a
  // full-range viewport is in front of it, one at 0.8 behind.
  D3DVIEWPORT9 narrow{0, 0, 64, 64, 0.5f, 1.0f}, full{0, 0, 64, 64, 0.0f, 1.0f};
  device->SetViewport(&narrow);
  rect(0, 0, 64, 64, kGreen, 0.4f);
  device->SetViewport(&full);
  rect(0, 0, 32, 64, kRed, 0.6f);
  rect(32, 0, 64, 64, kRed, 0.8f);
  read();
  EXPECT_EQ(at(10, 10), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(at(50, 10), (Rgba{0, 255, 0, 255}));
}

TEST_F(Conventions, DepthBufferIsSixteenBit) {
  // Two quads 1/100000 apart in depth fall into one 16-bit step: the second
  // passes LESSEQUAL although it is farther.
  clear(kBlack);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetFVF(kFvf);
  D3DMATRIX m = screenMatrix(64, 64);
  device->SetTransform(D3DTS_PROJECTION, &m);
  rect(0, 0, 64, 64, kGreen, 0.500000f);
  rect(0, 0, 64, 64, kRed, 0.500005f);
  read();
  EXPECT_EQ(at(30, 30).r, 255);
}

TEST_F(Conventions, CullModesFollowDirect3DWinding) {
  setup2D();
  // Clockwise on screen (y down): top-left, top-right, bottom-left.
  Vertex clockwise[3] = {vertex(0, 0, 0, kRed), vertex(32, 0, 0, kRed), vertex(0, 32, 0, kRed)};
  Vertex counter[3] = {vertex(32, 32, 0, kGreen), vertex(32, 64, 0, kGreen), vertex(64, 32, 0, kGreen)};
  auto draw = [&](DWORD mode) {
    clear(kBlack);
    device->SetRenderState(D3DRS_CULLMODE, mode);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(Vertex));
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(Vertex));
    read();
  };
  draw(D3DCULL_CCW);  // the default: counter-clockwise faces away
  EXPECT_EQ(at(4, 4).r, 255);
  EXPECT_EQ(at(36, 36).g, 0);
  draw(D3DCULL_CW);
  EXPECT_EQ(at(4, 4).r, 0);
  EXPECT_EQ(at(36, 36).g, 255);
  draw(D3DCULL_NONE);
  EXPECT_EQ(at(4, 4).r, 255);
  EXPECT_EQ(at(36, 36).g, 255);
}

TEST_F(Conventions, StripsAndFansKeepTheirWinding) {
  setup2D();
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  clear(kBlack);
  // A clockwise strip of two triangles (the second one wound by the strip rule).
  Vertex strip[4] = {vertex(0, 0, 0, kRed), vertex(16, 0, 0, kRed), vertex(0, 16, 0, kRed),
                     vertex(16, 16, 0, kRed)};
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex));
  Vertex fan[4] = {vertex(32, 0, 0, kGreen), vertex(48, 0, 0, kGreen), vertex(48, 16, 0, kGreen),
                   vertex(32, 16, 0, kGreen)};
  device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(Vertex));
  read();
  EXPECT_EQ(at(3, 3).r, 255);
  EXPECT_EQ(at(12, 12).r, 255) << "second strip triangle";
  EXPECT_EQ(at(44, 3).g, 255);
  EXPECT_EQ(at(35, 12).g, 255) << "second fan triangle";
}

TEST_F(Conventions, PretransformedVerticesUseScreenPixels) {
  clear(kBlack);
  struct Screen {
    float x, y, z, rhw;
    DWORD color;
  };
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  Screen q[4] = {{4, 6, 0.5f, 1, kRed}, {12, 6, 0.5f, 1, kRed}, {12, 10, 0.5f, 1, kRed}, {4, 10, 0.5f, 1, kRed}};
  ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, q, sizeof(Screen)), D3D_OK);
  read();
  Box box = redBox();
  EXPECT_EQ(box.x0, 4);
  EXPECT_EQ(box.y0, 6);
  EXPECT_EQ(box.x1, 11);
  EXPECT_EQ(box.y1, 9);
}

TEST_F(Conventions, DrawingRejectsBadInput) {
  setup2D();
  Vertex v[3] = {};
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, 36), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 20), D3DERR_INVALIDCALL)
      << "a stride shorter than the vertex would read past the caller's data";
  EXPECT_EQ(device->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(9), 1, v, 36), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL) << "no stream";
  device->SetFVF(0);
  EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 36), D3DERR_INVALIDCALL) << "no position";
}

}  // namespace
}  // namespace d3dtest
