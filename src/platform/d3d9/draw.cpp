// Drawing: program selection, the OpenGL state of a draw, vertex streams and
// the batching of DrawPrimitiveUP calls.
//
// Every DrawPrimitiveUP is turned into a plain list (points, lines or
// triangles; strips and fans unrolled, keeping each triangle's winding and
// its first vertex for flat shading) and appended to a pending batch. Any
// state change flushes the batch first (every Set* call that changes a value
// calls flush()), so a batch only ever holds draws made under identical
// state, and drawing it at once gives exactly the pixels the draws would give
// one by one: the same triangles, in the same order, from the same program.
// With batching off, each call is drawn at once through the same path.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "platform/d3d9/device.h"

namespace vorn::d3d {

namespace {

float floatOf(DWORD bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void colorOf(DWORD color, float out[4]) {
  out[0] = ((color >> 16) & 0xFF) / 255.0f;
  out[1] = ((color >> 8) & 0xFF) / 255.0f;
  out[2] = (color & 0xFF) / 255.0f;
  out[3] = ((color >> 24) & 0xFF) / 255.0f;
}

void multiply(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX* out) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  *out = r;
}

GLenum blendFactor(DWORD blend, bool source) {
  switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return source ? GL_SRC_ALPHA_SATURATE : GL_ONE;
    case 12: return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;  // D3DBLEND_BOTHSRCALPHA
    case 13: return source ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;  // D3DBLEND_BOTHINVSRCALPHA
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return source ? GL_ONE : GL_ZERO;
  }
}

GLenum blendEquation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLenum compareFunc(DWORD func) {
  switch (func) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum addressMode(DWORD mode) {
  switch (mode) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case 5: return GL_CLAMP_TO_EDGE;  // D3DTADDRESS_MIRRORONCE: its clamping half
    default: return GL_REPEAT;
  }
}

GLenum glMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST: return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
  }
  return GL_POINTS;
}

// Vertices a primitive count needs; 0 for an unknown type.
std::uint64_t vertexCount(D3DPRIMITIVETYPE type, std::uint64_t primitives) {
  switch (type) {
    case D3DPT_POINTLIST: return primitives;
    case D3DPT_LINELIST: return 2 * primitives;
    case D3DPT_LINESTRIP: return primitives + 1;
    case D3DPT_TRIANGLELIST: return 3 * primitives;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitives + 2;
  }
  return 0;
}

bool knownType(D3DPRIMITIVETYPE type) { return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN; }

bool isAffine(const D3DMATRIX& m) { return m._14 == 0.0f && m._24 == 0.0f && m._34 == 0.0f && m._44 == 1.0f; }

std::uint16_t availableFrom(const hlsl::Program& vertex) {
  std::uint16_t bits = 0;
  for (const hlsl::Varying& v : vertex.outputs) {
    if (v.semantic == "COLOR0") bits |= 1;
    if (v.semantic == "COLOR1") bits |= 2;
    for (int set = 0; set < 8; ++set)
      if (v.semantic == "TEXCOORD" + std::to_string(set)) bits |= static_cast<std::uint16_t>(4u << set);
  }
  return bits;
}

constexpr std::size_t kMaxBatchBytes = 8u << 20;

}  // namespace

// ---- layout and program --------------------------------------------------------------

std::uint32_t Device::internLayout(const VertexLayout& layout) {
  for (std::size_t i = 0; i < layouts_.size(); ++i)
    if (layouts_[i] == layout) return static_cast<std::uint32_t>(i + 1);
  layouts_.push_back(layout);
  return static_cast<std::uint32_t>(layouts_.size());
}

const VertexLayout* Device::currentLayout() {
  if (layoutDirty_) {
    layoutDirty_ = false;
    VertexLayout layout;
    bool valid = true;
    if (declaration_) layout = declaration_->layout();
    else valid = layoutFromFVF(fvf_, &layout);
    layoutId_ = valid ? internLayout(layout) : 0;
  }
  return layoutId_ ? &layouts_[layoutId_ - 1] : nullptr;
}

void Device::layoutChanged() { layoutDirty_ = true; }

void Device::selectProgram(const VertexLayout& layout, std::uint32_t layoutId, bool points) {
  ProgramKey key;
  const DWORD* rs = renderStates_;
  const bool fog = rs[D3DRS_FOGENABLE] != 0;
  const DWORD tableMode = rs[D3DRS_FOGTABLEMODE];
  const DWORD vertexMode = rs[D3DRS_FOGVERTEXMODE];
  const bool flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT && !vertexShader_ && !pixelShader_;
  if (vertexShader_) {
    key.vertexShader = vertexShader_->code().id;
  } else {
    FFVertexKey& v = key.ffVertex;
    v.pretransformed = layout.pretransformed;
    v.hasPointSize = layout.hasPointSize;
    v.points = points;
    v.pointScale = points && rs[D3DRS_POINTSCALEENABLE] != 0;
    if (fog && (tableMode == D3DFOG_NONE || tableMode > D3DFOG_LINEAR)) {
      if (layout.pretransformed || vertexMode == D3DFOG_NONE || vertexMode > D3DFOG_LINEAR)
        v.fog = FogSource::Specular;  // the application's own factor, in specular alpha
      else
        v.fog = static_cast<FogSource>(vertexMode);
    }
    v.rangeFog = v.fog != FogSource::None && rs[D3DRS_RANGEFOGENABLE] != 0;
    v.flat = flat;
  }
  if (pixelShader_) {
    key.pixelShader = pixelShader_->code().id;
  } else {
    FFPixelKey& p = key.ffPixel;
    int count = 0;
    for (; count < kMaxStages; ++count) {
      const DWORD* ts = stageStates_[count];
      if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE || ts[D3DTSS_COLOROP] == 0) break;
      FFStage& st = p.stages[count];
      st.colorOp = static_cast<std::uint8_t>(ts[D3DTSS_COLOROP]);
      st.colorArg0 = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG0]);
      st.colorArg1 = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG1]);
      st.colorArg2 = static_cast<std::uint8_t>(ts[D3DTSS_COLORARG2]);
      st.alphaOp = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAOP]);
      st.alphaArg0 = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG0]);
      st.alphaArg1 = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG1]);
      st.alphaArg2 = static_cast<std::uint8_t>(ts[D3DTSS_ALPHAARG2]);
      st.resultTemp = (ts[D3DTSS_RESULTARG] & D3DTA_SELECTMASK) == D3DTA_TEMP;
      st.texcoordIndex = static_cast<std::uint8_t>(ts[D3DTSS_TEXCOORDINDEX] & 7);
      BaseTextureImpl* texture = textureImpl(textures_[count]);
      st.texture = !texture || !texture->valid() ? 0 : texture->target() == GL_TEXTURE_CUBE_MAP ? 2 : 1;
      normalizeStage(&st);
    }
    p.stageCount = static_cast<std::uint8_t>(count);
    // Alpha testing against ALWAYS passes every pixel, as no test does.
    const DWORD alphaFunc = rs[D3DRS_ALPHATESTENABLE] ? rs[D3DRS_ALPHAFUNC] : D3DCMP_ALWAYS;
    p.alphaFunc = alphaFunc == D3DCMP_ALWAYS ? 0 : static_cast<std::uint8_t>(alphaFunc);
    if (fog) {
      if (tableMode >= D3DFOG_EXP && tableMode <= D3DFOG_LINEAR) {
        p.fog = tableMode == D3DFOG_EXP ? PixelFog::TableExp
                : tableMode == D3DFOG_EXP2 ? PixelFog::TableExp2 : PixelFog::TableLinear;
        p.fogUsesW = !isAffine(projection_);
      } else if (!vertexShader_) {
        p.fog = PixelFog::Vertex;
      }
      // A shader's vertex part writes no fog factor; its pixels are not fogged.
    }
    p.specularAdd = rs[D3DRS_SPECULARENABLE] != 0;
    p.pointSprite = points && rs[D3DRS_POINTSPRITEENABLE] != 0;
    p.flat = flat;
    p.available = vertexShader_ ? availableFrom(vertexShader_->code().program) : 0xFFFF;
  }
  // Most changes that mark the program dirty (a material bound and
  // unbound, a state set back) come back to the program in use: keep it.
  if (!program_ || !(key == programKey_)) {
    program_ = programs_.get(key, vertexShader_ ? &vertexShader_->code() : nullptr,
                             pixelShader_ ? &pixelShader_->code() : nullptr, gl());
    programKey_ = key;
    texturesDirty_ = true;  // the units it samples may differ
    rasterDirty_ = true;    // so may the source of the point size
  }
  if (points != lastDrawPoints_) rasterDirty_ = true;
  programDirty_ = false;
  lastDrawPoints_ = points;
  programLayout_ = layoutId;
}

namespace {

// Sends a uniform's value when it differs from the one it holds.
void sendVec4(CachedUniform& u, const float* v, int count = 1) {
  if (u.location < 0) return;
  const std::size_t bytes = 4 * sizeof(float) * static_cast<std::size_t>(count);
  if (u.known && std::memcmp(u.value, v, bytes) == 0) return;
  std::memcpy(u.value, v, bytes);
  u.known = true;
  glUniform4fv(u.location, count, v);
}

void sendVec4(CachedUniform& u, float x, float y, float z, float w) {
  const float v[4] = {x, y, z, w};
  sendVec4(u, v);
}

void sendMatrix(CachedUniform& u, const D3DMATRIX& m) {
  if (u.location < 0) return;
  if (u.known && std::memcmp(u.value, &m._11, sizeof m) == 0) return;
  std::memcpy(u.value, &m._11, sizeof m);
  u.known = true;
  // A D3D row-vector matrix read column-major is its transpose: M^T * v = v * M.
  glUniformMatrix4fv(u.location, 1, GL_FALSE, &m._11);
}

// Uploads the registers a program reads when they differ from its copy.
void sendRegisters(GLint location, int count, const float (*registers)[4], std::vector<float>& uploaded) {
  if (location < 0 || count <= 0) return;
  const std::size_t floats = 4 * static_cast<std::size_t>(count);
  if (uploaded.size() == floats && std::memcmp(uploaded.data(), registers, floats * sizeof(float)) == 0) return;
  uploaded.assign(&registers[0][0], &registers[0][0] + floats);
  glUniform4fv(location, count, &registers[0][0]);
}

}  // namespace

void Device::uploadUniforms(LinkedProgram* p) {
  if (p->stateGeneration != stateGeneration_) {
    p->stateGeneration = stateGeneration_;
    const DWORD* rs = renderStates_;
    const float vw = static_cast<float>(viewport_.Width), vh = static_cast<float>(viewport_.Height);
    // Just under half a pixel right and down, and y flipped into Direct3D's
    // row order except on the window's own framebuffer.
    constexpr float kCentre = 63.0f / 64.0f;
    const float flip = target_.bottomUp ? 1.0f : -1.0f;
    sendVec4(p->clipAdjust, kCentre / vw, -kCentre / vh, flip, 0.0f);
    // Rows that run top-down, as Direct3D's screen y does, leave ddy's sign as it is.
    sendVec4(p->pixelAdjust, -flip, 0.0f, 0.0f, 0.0f);
    sendVec4(p->alphaTest, rs[D3DRS_ALPHATESTENABLE] ? static_cast<float>(rs[D3DRS_ALPHAFUNC]) : 0.0f,
             static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF), 0.0f, 0.0f);
    if (p->worldView.location >= 0) {
      D3DMATRIX worldView;
      multiply(world_, view_, &worldView);
      sendMatrix(p->worldView, worldView);
    }
    sendMatrix(p->projection, projection_);
    sendVec4(p->viewport, static_cast<float>(viewport_.X), static_cast<float>(viewport_.Y), vw, vh);
    sendVec4(p->depthRange, viewport_.MinZ, viewport_.MaxZ, 0.0f, 0.0f);
    if (p->fog.location >= 0) {
      const float start = floatOf(rs[D3DRS_FOGSTART]), end = floatOf(rs[D3DRS_FOGEND]);
      // Equal start and end would divide by zero: the factor becomes a step at the end.
      const float inverse = end != start ? 1.0f / (end - start) : 1e30f;
      sendVec4(p->fog, start, end, floatOf(rs[D3DRS_FOGDENSITY]), inverse);
    }
    if (p->point.location >= 0) {
      const float minSize = std::max(0.0f, floatOf(rs[D3DRS_POINTSIZE_MIN]));
      float maxSize = std::min(floatOf(rs[D3DRS_POINTSIZE_MAX]), maxPointSize_);
      maxSize = std::max(maxSize, std::min(minSize, maxPointSize_));
      sendVec4(p->point, floatOf(rs[D3DRS_POINTSIZE]), minSize, maxSize, vh);
    }
    sendVec4(p->pointScale, floatOf(rs[D3DRS_POINTSCALE_A]), floatOf(rs[D3DRS_POINTSCALE_B]),
             floatOf(rs[D3DRS_POINTSCALE_C]), 0.0f);
    float color[4];
    colorOf(rs[D3DRS_TEXTUREFACTOR], color);
    sendVec4(p->tfactor, color);
    colorOf(rs[D3DRS_FOGCOLOR], color);
    sendVec4(p->fogColor, color);
    sendVec4(p->alphaRef, static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF), 0, 0, 0);
    if (p->stageConstants.location >= 0) {
      float constants[kMaxStages][4];
      for (int i = 0; i < kMaxStages; ++i) colorOf(stageStates_[i][D3DTSS_CONSTANT], constants[i]);
      sendVec4(p->stageConstants, &constants[0][0], kMaxStages);
    }
  }
  if (p->vertexConstantGeneration != vertexConstantGeneration_) {
    p->vertexConstantGeneration = vertexConstantGeneration_;
    sendRegisters(p->vertexRegisters, std::min(p->vertexRegisterCount, kVertexRegisters), vertexConstants_,
                  p->vertexUploaded);
  }
  if (p->pixelConstantGeneration != pixelConstantGeneration_) {
    p->pixelConstantGeneration = pixelConstantGeneration_;
    sendRegisters(p->pixelRegisters, std::min(p->pixelRegisterCount, kPixelRegisters), pixelConstants_,
                  p->pixelUploaded);
  }
}

// ---- OpenGL state ----------------------------------------------------------------------

void Device::applyRasterState(bool points) {
  const DWORD* rs = renderStates_;
  GLState& state = gl();
  const GLint viewportY = target_.bottomUp
                              ? static_cast<GLint>(target_.height) - static_cast<GLint>(viewport_.Y + viewport_.Height)
                              : static_cast<GLint>(viewport_.Y);
  state.viewport(static_cast<GLint>(viewport_.X), viewportY, static_cast<GLsizei>(viewport_.Width),
                 static_cast<GLsizei>(viewport_.Height));
  state.depthRange(viewport_.MinZ, viewport_.MaxZ);

  // Without the depth test nothing is written to depth either, as in Direct3D.
  const bool depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE;
  state.enable(GLState::DepthTest, depthTest);
  if (depthTest) state.depthFunc(compareFunc(rs[D3DRS_ZFUNC]));
  state.depthMask(rs[D3DRS_ZWRITEENABLE] != 0);

  const bool blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
  state.enable(GLState::Blend, blend);
  if (blend) {
    GLenum src = blendFactor(rs[D3DRS_SRCBLEND], true), dst = blendFactor(rs[D3DRS_DESTBLEND], false);
    if (rs[D3DRS_SRCBLEND] == 12 || rs[D3DRS_SRCBLEND] == 13) {  // the "both" factors set the destination too
      src = blendFactor(rs[D3DRS_SRCBLEND], true);
      dst = blendFactor(rs[D3DRS_SRCBLEND], false);
    }
    GLenum srcAlpha = src, dstAlpha = dst;
    GLenum equation = blendEquation(rs[D3DRS_BLENDOP]), equationAlpha = equation;
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
      srcAlpha = blendFactor(rs[D3DRS_SRCBLENDALPHA], true);
      dstAlpha = blendFactor(rs[D3DRS_DESTBLENDALPHA], false);
      equationAlpha = blendEquation(rs[D3DRS_BLENDOPALPHA]);
    }
    state.blendFunc(src, dst, srcAlpha, dstAlpha);
    state.blendEquation(equation, equationAlpha);
    auto usesConstant = [](GLenum f) { return f == GL_CONSTANT_COLOR || f == GL_ONE_MINUS_CONSTANT_COLOR; };
    if (usesConstant(src) || usesConstant(dst) || usesConstant(srcAlpha) || usesConstant(dstAlpha)) {
      std::array<float, 4> factor;
      colorOf(rs[193], factor.data());  // D3DRS_BLENDFACTOR
      state.blendColor(factor);
    }
  }

  // Targets are drawn with y flipped, which turns Direct3D's clockwise into
  // OpenGL's counter-clockwise: CULL_CCW culls what OpenGL sees as clockwise.
  // The window's framebuffer is not flipped, and the windings stay.
  const DWORD cull = rs[D3DRS_CULLMODE];
  state.enable(GLState::CullFace, cull == D3DCULL_CW || cull == D3DCULL_CCW);
  if (cull == D3DCULL_CW || cull == D3DCULL_CCW) {
    state.cullFace(GL_BACK);
    state.frontFace((cull == D3DCULL_CW) != target_.bottomUp ? GL_CW : GL_CCW);
  }

  const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
  state.colorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
  const DWORD fill = rs[D3DRS_FILLMODE];
  state.polygonMode(fill == D3DFILL_WIREFRAME ? GL_LINE : fill == D3DFILL_POINT ? GL_POINT : GL_FILL);
  const float bias = floatOf(rs[D3DRS_DEPTHBIAS]), slope = floatOf(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
  const bool offset = bias != 0.0f || slope != 0.0f;
  state.enable(GLState::PolygonOffsetFill, offset);
  state.enable(GLState::PolygonOffsetLine, offset);
  state.enable(GLState::PolygonOffsetPoint, offset);
  if (offset) state.polygonOffset(slope, bias * 65535.0f);  // Direct3D's bias is in depth units of the range 0..1
  state.enable(GLState::Multisample, rs[D3DRS_MULTISAMPLEANTIALIAS] != 0);

  // The point size matters only to points (and to triangles drawn as
  // points). The fixed-function vertex part computes it; a shader's vertex
  // part does not, and gets D3DRS_POINTSIZE in pixels.
  if (points || fill == D3DFILL_POINT) {
    // Sprite texture coordinates start (v = 0) at the top of the picture.
    state.pointSpriteOrigin(target_.bottomUp ? GL_UPPER_LEFT : GL_LOWER_LEFT);
    const bool programSize = points && program_ && program_->fixedVertex;
    state.enable(GLState::ProgramPointSize, programSize);
    if (!programSize) {
      const float size = floatOf(rs[D3DRS_POINTSIZE]);
      state.pointSize(std::clamp(std::isfinite(size) ? size : 1.0f, 1.0f, maxPointSize_));
    }
  }
  rasterDirty_ = false;
}

void Device::applySampler(int unit) {
  const DWORD* ss = samplerStates_[unit];
  const GLuint s = samplers_[unit];
  SamplerShadow& applied = appliedSamplers_[unit];
  auto parameter = [&](GLenum name, GLint& shadow, GLint value) {
    if (applied.known && shadow == value) return;
    shadow = value;
    glSamplerParameteri(s, name, value);
  };
  auto parameterf = [&](GLenum name, float& shadow, float value) {
    if (applied.known && shadow == value) return;
    shadow = value;
    glSamplerParameterf(s, name, value);
  };
  parameter(GL_TEXTURE_WRAP_S, applied.wrapS, static_cast<GLint>(addressMode(ss[D3DSAMP_ADDRESSU])));
  parameter(GL_TEXTURE_WRAP_T, applied.wrapT, static_cast<GLint>(addressMode(ss[D3DSAMP_ADDRESSV])));
  parameter(GL_TEXTURE_WRAP_R, applied.wrapR, static_cast<GLint>(addressMode(ss[D3DSAMP_ADDRESSW])));
  std::array<float, 4> border;
  colorOf(ss[D3DSAMP_BORDERCOLOR], border.data());
  if (!applied.known || applied.border != border) {
    applied.border = border;
    glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border.data());
  }
  const DWORD mag = ss[D3DSAMP_MAGFILTER], min = ss[D3DSAMP_MINFILTER], mip = ss[D3DSAMP_MIPFILTER];
  parameter(GL_TEXTURE_MAG_FILTER, applied.magFilter,
            mag == D3DTEXF_POINT || mag == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR);
  const bool linearMin = !(min == D3DTEXF_POINT || min == D3DTEXF_NONE);
  GLenum minFilter;
  if (mip == D3DTEXF_NONE) minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
  else if (mip == D3DTEXF_POINT) minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  else minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  parameter(GL_TEXTURE_MIN_FILTER, applied.minFilter, static_cast<GLint>(minFilter));
  parameterf(GL_TEXTURE_LOD_BIAS, applied.lodBias, floatOf(ss[D3DSAMP_MIPMAPLODBIAS]));
  parameterf(GL_TEXTURE_MIN_LOD, applied.minLod, static_cast<float>(ss[D3DSAMP_MAXMIPLEVEL]));
  if (maxAnisotropy_ > 1.0f) {
    // Anisotropy applies only when a filter asks for it.
    const bool anisotropic = min == D3DTEXF_ANISOTROPIC || mag == D3DTEXF_ANISOTROPIC;
    const float amount = anisotropic ? std::clamp(static_cast<float>(ss[D3DSAMP_MAXANISOTROPY]), 1.0f, maxAnisotropy_)
                                     : 1.0f;
    parameterf(GL_TEXTURE_MAX_ANISOTROPY_EXT, applied.anisotropy, amount);
  }
  applied.known = true;
  samplerDirty_[unit] = false;
}

void Device::applyTextures() {
  // Only the units the program samples: what other units hold cannot show.
  const std::uint16_t units = program_ ? program_->samplerUnits : 0;
  for (int unit = 0; unit < kMaxSamplers; ++unit) {
    if (!(units & (1u << unit))) continue;
    BaseTextureImpl* texture = textureImpl(textures_[unit]);
    const GLuint name = texture && texture->valid() ? texture->name() : 0;
    gl().bindTexture(unit, texture ? texture->target() : GL_TEXTURE_2D, name);
    if (samplerDirty_[unit]) applySampler(unit);
  }
  texturesDirty_ = false;
}

std::size_t Device::VertexArrayKeyHash::operator()(const VertexArrayKey& key) const noexcept {
  std::size_t h = key.layout;
  h = h * 0x9E3779B97F4A7C15ull + key.buffer;
  h = h * 0x9E3779B97F4A7C15ull + static_cast<std::size_t>(key.stride);
  h = h * 0x9E3779B97F4A7C15ull + key.offset;
  return h ^ (h >> 29);
}

Device::VertexArray* Device::bindVertexSource(std::uint32_t layoutId, const DrawSource& source) {
  auto [entry, created] = vertexArrays_.try_emplace(VertexArrayKey{layoutId, source.buffer, source.stride, source.offset});
  VertexArray& vertexArray = entry->second;
  if (!created) {
    gl().bindVertexArray(vertexArray.name);
    return &vertexArray;
  }
  // Locations the layout does not feed stay disabled and read the
  // context's constant attribute values.
  glGenVertexArrays(1, &vertexArray.name);
  gl().bindVertexArray(vertexArray.name);
  gl().bindArrayBuffer(source.buffer);
  for (const VertexAttribute& a : layouts_[layoutId - 1].attributes) {
    if (a.location < 0 || a.location >= kLocationCount) continue;
    glVertexAttribPointer(static_cast<GLuint>(a.location), a.components, a.type, a.normalized ? GL_TRUE : GL_FALSE,
                          source.stride,
                          reinterpret_cast<const void*>(static_cast<std::uintptr_t>(source.offset + a.offset)));
    glEnableVertexAttribArray(static_cast<GLuint>(a.location));
  }
  return &vertexArray;
}

void Device::forgetBuffer(GLuint buffer) {
  if (!makeCurrent()) return;
  flush();
  for (auto it = vertexArrays_.begin(); it != vertexArrays_.end();) {
    if (it->second.elements == buffer) it->second.elements = 0;
    if (it->first.buffer == buffer) {
      glDeleteVertexArrays(1, &it->second.name);
      gl().vertexArrayDeleted(it->second.name);
      it = vertexArrays_.erase(it);
    } else {
      ++it;
    }
  }
  gl().bufferDeleted(buffer);
}

Device::VertexArray* Device::prepareDraw(std::uint32_t layoutId, D3DPRIMITIVETYPE type, const DrawSource& source) {
  const bool points = type == D3DPT_POINTLIST;
  gl().bindFramebuffer(GL_DRAW_FRAMEBUFFER, target_.framebuffer);
  if (programDirty_ || !program_ || points != lastDrawPoints_ || layoutId != programLayout_)
    selectProgram(layouts_[layoutId - 1], layoutId, points);
  if (!program_ || !program_->ok) return nullptr;
  gl().useProgram(program_->program);
  uploadUniforms(program_);
  if (rasterDirty_) applyRasterState(points);
  if (texturesDirty_) applyTextures();
  return bindVertexSource(layoutId, source);
}

// ---- streaming and batching ---------------------------------------------------------------

std::size_t Device::streamUpload(const std::uint8_t* data, std::size_t bytes, int stride) {
  // Whole vertices from offset 0, so that attribute pointers stay put and
  // only the first vertex changes from draw to draw.
  std::size_t position = (streamPosition_ + stride - 1) / stride * stride;
  gl().bindArrayBuffer(streamBuffer_);
  if (position + bytes > streamCapacity_) {
    streamCapacity_ = std::max<std::size_t>(streamCapacity_, std::max<std::size_t>(4u << 20, 2 * bytes));
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(streamCapacity_), nullptr, GL_STREAM_DRAW);  // orphan
    position = 0;
  }
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(position), static_cast<GLsizeiptr>(bytes), data);
  streamPosition_ = position + bytes;
  return position / stride;
}

void Device::submitBatch() {
  const Batch kind = batch_;
  batch_ = Batch::None;
  if (kind == Batch::None || batchData_.empty()) {
    batchData_.clear();
    return;
  }
  const int stride = batchStride_;
  const std::size_t count = batchData_.size() / stride;
  const std::size_t first = streamUpload(batchData_.data(), batchData_.size(), stride);
  const D3DPRIMITIVETYPE type = kind == Batch::Points  ? D3DPT_POINTLIST
                                : kind == Batch::Lines ? D3DPT_LINELIST
                                                       : D3DPT_TRIANGLELIST;
  DrawSource source{streamBuffer_, 0, stride};
  if (prepareDraw(batchLayout_, type, source)) {
    glDrawArrays(glMode(type), static_cast<GLint>(first), static_cast<GLsizei>(count));
    countGLDraw();
  }
  batchData_.clear();
}

void Device::flush() {
  if (batch_ == Batch::None) return;
  if (!makeCurrent()) {
    batch_ = Batch::None;
    batchData_.clear();
    return;
  }
  submitBatch();
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData, UINT stride) {
  if (!vertexData || stride == 0 || !knownType(type)) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  // As Direct3D, drawing from user memory leaves stream 0 unset.
  if (stream_) {
    stream_->Release();
    stream_ = nullptr;
  }
  if (primitiveCount == 0) return D3D_OK;
  const VertexLayout* layout = currentLayout();
  if (!layout || layout->size > static_cast<int>(stride)) return D3DERR_INVALIDCALL;
  return drawUP(type, primitiveCount, static_cast<const std::uint8_t*>(vertexData), stride);
}

HRESULT Device::drawUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const std::uint8_t* data, UINT stride) {
  const Batch kind = type == D3DPT_POINTLIST                                 ? Batch::Points
                     : type == D3DPT_LINELIST || type == D3DPT_LINESTRIP ? Batch::Lines
                                                                             : Batch::Triangles;
  if (batch_ != Batch::None &&
      (batch_ != kind || batchStride_ != static_cast<int>(stride) || batchLayout_ != layoutId_))
    submitBatch();
  if (batch_ == Batch::None) batchLayout_ = layoutId_;
  const std::size_t s = stride;
  auto append = [&](std::size_t vertex) {
    const std::uint8_t* v = data + vertex * s;
    batchData_.insert(batchData_.end(), v, v + s);
  };
  const std::size_t n = primitiveCount;
  switch (type) {
    case D3DPT_POINTLIST:
    case D3DPT_LINELIST:
    case D3DPT_TRIANGLELIST:
      batchData_.insert(batchData_.end(), data, data + vertexCount(type, n) * s);
      break;
    case D3DPT_LINESTRIP:
      for (std::size_t i = 0; i < n; ++i) {
        append(i);
        append(i + 1);
      }
      break;
    case D3DPT_TRIANGLESTRIP:
      // Odd triangles of a strip are wound the other way round.
      for (std::size_t i = 0; i < n; ++i) {
        append(i);
        append(i % 2 ? i + 2 : i + 1);
        append(i % 2 ? i + 1 : i + 2);
      }
      break;
    case D3DPT_TRIANGLEFAN:
      // Fan triangle i is (1 + i, 2 + i, 0): the same winding as (0, 1 + i, 2 + i),
      // with the vertex Direct3D's flat shading takes first.
      for (std::size_t i = 0; i < n; ++i) {
        append(i + 1);
        append(i + 2);
        append(0);
      }
      break;
  }
  batch_ = kind;
  batchStride_ = static_cast<int>(stride);
  if (!batchingEnabled() || batchData_.size() >= kMaxBatchBytes) submitBatch();
  return D3D_OK;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
  if (!knownType(type) || !stream_ || streamStride_ == 0) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  flush();
  if (primitiveCount == 0) return D3D_OK;
  const VertexLayout* layoutPointer = currentLayout();
  if (!layoutPointer) return D3DERR_INVALIDCALL;
  const VertexLayout& layout = *layoutPointer;
  const std::uint64_t count = vertexCount(type, primitiveCount);
  const std::uint64_t end = streamOffset_ + (static_cast<std::uint64_t>(startVertex) + count - 1) * streamStride_ +
                            static_cast<std::uint64_t>(layout.size);
  if (end > stream_->length()) return D3DERR_INVALIDCALL;  // would read past the buffer
  // Whole strides of the offset move the first vertex instead, so that one
  // vertex array serves every offset into a buffer.
  const UINT skipped = streamOffset_ / streamStride_;
  DrawSource source{stream_->name(), streamOffset_ % streamStride_, static_cast<int>(streamStride_)};
  if (prepareDraw(layoutId_, type, source)) {
    glDrawArrays(glMode(type), static_cast<GLint>(startVertex + skipped), static_cast<GLsizei>(count));
    countGLDraw();
  }
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                     UINT startIndex, UINT primitiveCount) {
  if (!knownType(type) || !stream_ || !indices_ || streamStride_ == 0) return D3DERR_INVALIDCALL;
  if (!makeCurrent()) return D3DERR_INVALIDCALL;
  flush();
  if (primitiveCount == 0) return D3D_OK;
  const VertexLayout* layoutPointer = currentLayout();
  if (!layoutPointer) return D3DERR_INVALIDCALL;
  const VertexLayout& layout = *layoutPointer;
  const std::uint64_t count = vertexCount(type, primitiveCount);
  const std::uint64_t indexSize = indices_->format() == D3DFMT_INDEX32 ? 4 : 2;
  if ((static_cast<std::uint64_t>(startIndex) + count) * indexSize > indices_->length()) return D3DERR_INVALIDCALL;
  // The vertices the caller says the indices use must lie in the buffer.
  const std::int64_t lowest = static_cast<std::int64_t>(baseVertexIndex) + minVertexIndex;
  const std::int64_t highestEnd = lowest + static_cast<std::int64_t>(numVertices);
  if (lowest < 0 || (numVertices > 0 && static_cast<std::uint64_t>(streamOffset_) +
                                                static_cast<std::uint64_t>(highestEnd - 1) * streamStride_ +
                                                static_cast<std::uint64_t>(layout.size) >
                                            stream_->length()))
    return D3DERR_INVALIDCALL;
  const UINT skipped = streamOffset_ / streamStride_;
  DrawSource source{stream_->name(), streamOffset_ % streamStride_, static_cast<int>(streamStride_)};
  VertexArray* vertexArray = prepareDraw(layoutId_, type, source);
  if (!vertexArray) return D3D_OK;
  if (vertexArray->elements != indices_->name()) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_->name());
    vertexArray->elements = indices_->name();
  }
  glDrawElementsBaseVertex(glMode(type), static_cast<GLsizei>(count),
                           indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>(static_cast<std::uintptr_t>(startIndex * indexSize)),
                           baseVertexIndex + static_cast<INT>(skipped));
  countGLDraw();
  return D3D_OK;
}

}  // namespace vorn::d3d
