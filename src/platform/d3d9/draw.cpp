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

const VertexLayout* Device::currentLayout() {
  if (layoutDirty_) {
    layoutDirty_ = false;
    if (declaration_) {
      layout_ = declaration_->layout();
      layoutValid_ = true;
    } else {
      layoutValid_ = layoutFromFVF(fvf_, &layout_);
    }
  }
  return layoutValid_ ? &layout_ : nullptr;
}

void Device::layoutChanged() {
  layoutDirty_ = true;
  ++layoutVersion_;
}

void Device::selectProgram(const VertexLayout& layout, std::uint64_t layoutVersion, bool points) {
  ProgramKey key;
  const DWORD* rs = renderStates_;
  const bool fog = rs[D3DRS_FOGENABLE] != 0;
  const DWORD tableMode = rs[D3DRS_FOGTABLEMODE];
  const DWORD vertexMode = rs[D3DRS_FOGVERTEXMODE];
  const bool flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT && !vertexShader_ && !pixelShader_;
  if (vertexShader_) {
    key.vertexShader = &vertexShader_->code();
  } else {
    FFVertexKey& v = key.ffVertex;
    v.pretransformed = layout.pretransformed;
    v.hasPointSize = layout.hasPointSize;
    v.points = points;
    v.pointScale = rs[D3DRS_POINTSCALEENABLE] != 0;
    if (fog && (tableMode == D3DFOG_NONE || tableMode > D3DFOG_LINEAR)) {
      if (layout.pretransformed || vertexMode == D3DFOG_NONE || vertexMode > D3DFOG_LINEAR)
        v.fog = FogSource::Specular;  // the application's own factor, in specular alpha
      else
        v.fog = static_cast<FogSource>(vertexMode);
    }
    v.rangeFog = rs[D3DRS_RANGEFOGENABLE] != 0;
    v.flat = flat;
  }
  if (pixelShader_) {
    key.pixelShader = &pixelShader_->code();
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
    }
    p.stageCount = static_cast<std::uint8_t>(count);
    p.alphaFunc = rs[D3DRS_ALPHATESTENABLE] ? static_cast<std::uint8_t>(rs[D3DRS_ALPHAFUNC]) : 0;
    if (fog) {
      if (tableMode >= D3DFOG_EXP && tableMode <= D3DFOG_LINEAR)
        p.fog = tableMode == D3DFOG_EXP ? PixelFog::TableExp
                : tableMode == D3DFOG_EXP2 ? PixelFog::TableExp2 : PixelFog::TableLinear;
      else if (!vertexShader_)
        p.fog = PixelFog::Vertex;
      // A shader's vertex part writes no fog factor; its pixels are not fogged.
    }
    p.fogUsesW = !isAffine(projection_);
    p.specularAdd = rs[D3DRS_SPECULARENABLE] != 0;
    p.pointSprite = points && rs[D3DRS_POINTSPRITEENABLE] != 0;
    p.flat = flat;
    p.available = vertexShader_ ? availableFrom(vertexShader_->code().program) : 0xFFFF;
  }
  program_ = programs_.get(key);
  boundProgram_ = ~0u;  // linking may have changed the current program
  programDirty_ = false;
  lastDrawPoints_ = points;
  programLayoutVersion_ = layoutVersion;
}

void Device::uploadUniforms(LinkedProgram* p) {
  if (p->stateGeneration != stateGeneration_) {
    p->stateGeneration = stateGeneration_;
    const DWORD* rs = renderStates_;
    const float vw = static_cast<float>(viewport_.Width), vh = static_cast<float>(viewport_.Height);
    // Just under half a pixel right and down, Direct3D's row order (y flip).
    constexpr float kCentre = 63.0f / 64.0f;
    if (p->clipAdjust >= 0) glUniform4f(p->clipAdjust, kCentre / vw, -kCentre / vh, -1.0f, 0.0f);
    // Rows run top-down on every target, as Direct3D's screen y: ddy needs no sign change.
    if (p->pixelAdjust >= 0) glUniform4f(p->pixelAdjust, 1.0f, 0.0f, 0.0f, 0.0f);
    if (p->alphaTest >= 0)
      glUniform4f(p->alphaTest, rs[D3DRS_ALPHATESTENABLE] ? static_cast<float>(rs[D3DRS_ALPHAFUNC]) : 0.0f,
                  static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF), 0.0f, 0.0f);
    if (p->worldView >= 0) {
      D3DMATRIX worldView;
      multiply(world_, view_, &worldView);
      // A D3D row-vector matrix read column-major is its transpose: M^T * v = v * M.
      glUniformMatrix4fv(p->worldView, 1, GL_FALSE, &worldView._11);
    }
    if (p->projection >= 0) glUniformMatrix4fv(p->projection, 1, GL_FALSE, &projection_._11);
    if (p->viewport >= 0)
      glUniform4f(p->viewport, static_cast<float>(viewport_.X), static_cast<float>(viewport_.Y), vw, vh);
    if (p->depthRange >= 0) glUniform4f(p->depthRange, viewport_.MinZ, viewport_.MaxZ, 0.0f, 0.0f);
    if (p->fog >= 0) {
      const float start = floatOf(rs[D3DRS_FOGSTART]), end = floatOf(rs[D3DRS_FOGEND]);
      // Equal start and end would divide by zero: the factor becomes a step at the end.
      const float inverse = end != start ? 1.0f / (end - start) : 1e30f;
      glUniform4f(p->fog, start, end, floatOf(rs[D3DRS_FOGDENSITY]), inverse);
    }
    if (p->point >= 0) {
      const float minSize = std::max(0.0f, floatOf(rs[D3DRS_POINTSIZE_MIN]));
      float maxSize = std::min(floatOf(rs[D3DRS_POINTSIZE_MAX]), maxPointSize_);
      maxSize = std::max(maxSize, std::min(minSize, maxPointSize_));
      glUniform4f(p->point, floatOf(rs[D3DRS_POINTSIZE]), minSize, maxSize, vh);
    }
    if (p->pointScale >= 0)
      glUniform4f(p->pointScale, floatOf(rs[D3DRS_POINTSCALE_A]), floatOf(rs[D3DRS_POINTSCALE_B]),
                  floatOf(rs[D3DRS_POINTSCALE_C]), 0.0f);
    float color[4];
    if (p->tfactor >= 0) {
      colorOf(rs[D3DRS_TEXTUREFACTOR], color);
      glUniform4fv(p->tfactor, 1, color);
    }
    if (p->fogColor >= 0) {
      colorOf(rs[D3DRS_FOGCOLOR], color);
      glUniform4fv(p->fogColor, 1, color);
    }
    if (p->alphaRef >= 0) glUniform4f(p->alphaRef, static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF), 0, 0, 0);
    if (p->stageConstants >= 0) {
      float constants[kMaxStages][4];
      for (int i = 0; i < kMaxStages; ++i) colorOf(stageStates_[i][D3DTSS_CONSTANT], constants[i]);
      glUniform4fv(p->stageConstants, kMaxStages, &constants[0][0]);
    }
  }
  if (p->vertexRegisters >= 0 && p->vertexConstantGeneration != vertexConstantGeneration_) {
    p->vertexConstantGeneration = vertexConstantGeneration_;
    glUniform4fv(p->vertexRegisters, std::min(p->vertexRegisterCount, kVertexRegisters), &vertexConstants_[0][0]);
  }
  if (p->pixelRegisters >= 0 && p->pixelConstantGeneration != pixelConstantGeneration_) {
    p->pixelConstantGeneration = pixelConstantGeneration_;
    glUniform4fv(p->pixelRegisters, std::min(p->pixelRegisterCount, kPixelRegisters), &pixelConstants_[0][0]);
  }
}

// ---- OpenGL state ----------------------------------------------------------------------

void Device::applyRasterState(bool points) {
  const DWORD* rs = renderStates_;
  glViewport(static_cast<GLint>(viewport_.X), static_cast<GLint>(viewport_.Y),
             static_cast<GLsizei>(viewport_.Width), static_cast<GLsizei>(viewport_.Height));
  glDepthRange(viewport_.MinZ, viewport_.MaxZ);

  if (rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(compareFunc(rs[D3DRS_ZFUNC]));
  } else {
    glDisable(GL_DEPTH_TEST);  // no test and no depth writes, as in Direct3D
  }
  glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);

  if (rs[D3DRS_ALPHABLENDENABLE]) {
    glEnable(GL_BLEND);
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
    glBlendFuncSeparate(src, dst, srcAlpha, dstAlpha);
    glBlendEquationSeparate(equation, equationAlpha);
    float factor[4];
    colorOf(rs[193], factor);  // D3DRS_BLENDFACTOR
    glBlendColor(factor[0], factor[1], factor[2], factor[3]);
  } else {
    glDisable(GL_BLEND);
  }

  // Targets are drawn with y flipped, which turns Direct3D's clockwise into
  // OpenGL's counter-clockwise: CULL_CCW culls what OpenGL sees as clockwise.
  switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
      glEnable(GL_CULL_FACE);
      glCullFace(GL_BACK);
      glFrontFace(GL_CW);
      break;
    case D3DCULL_CCW:
      glEnable(GL_CULL_FACE);
      glCullFace(GL_BACK);
      glFrontFace(GL_CCW);
      break;
    default:
      glDisable(GL_CULL_FACE);
      break;
  }

  const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
  glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
  glPolygonMode(GL_FRONT_AND_BACK, rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                   : rs[D3DRS_FILLMODE] == D3DFILL_POINT   ? GL_POINT
                                                                           : GL_FILL);
  const float bias = floatOf(rs[D3DRS_DEPTHBIAS]), slope = floatOf(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
  if (bias != 0.0f || slope != 0.0f) {
    glEnable(GL_POLYGON_OFFSET_FILL);
    glEnable(GL_POLYGON_OFFSET_LINE);
    glEnable(GL_POLYGON_OFFSET_POINT);
    glPolygonOffset(slope, bias * 65535.0f);  // Direct3D's bias is in depth units of the range 0..1
  } else {
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_POLYGON_OFFSET_LINE);
    glDisable(GL_POLYGON_OFFSET_POINT);
  }
  if (rs[D3DRS_MULTISAMPLEANTIALIAS]) glEnable(GL_MULTISAMPLE);
  else glDisable(GL_MULTISAMPLE);

  // The fixed-function vertex part computes the point size; a shader's
  // vertex part does not, and gets D3DRS_POINTSIZE in pixels.
  if (points && program_ && program_->fixedVertex) {
    glEnable(GL_PROGRAM_POINT_SIZE);
  } else {
    glDisable(GL_PROGRAM_POINT_SIZE);
    const float size = floatOf(rs[D3DRS_POINTSIZE]);
    glPointSize(std::clamp(std::isfinite(size) ? size : 1.0f, 1.0f, maxPointSize_));
  }
  rasterDirty_ = false;
}

void Device::applySampler(int unit) {
  const DWORD* ss = samplerStates_[unit];
  const GLuint s = samplers_[unit];
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, static_cast<GLint>(addressMode(ss[D3DSAMP_ADDRESSU])));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, static_cast<GLint>(addressMode(ss[D3DSAMP_ADDRESSV])));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_R, static_cast<GLint>(addressMode(ss[D3DSAMP_ADDRESSW])));
  float border[4];
  colorOf(ss[D3DSAMP_BORDERCOLOR], border);
  glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
  const DWORD mag = ss[D3DSAMP_MAGFILTER], min = ss[D3DSAMP_MINFILTER], mip = ss[D3DSAMP_MIPFILTER];
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, mag == D3DTEXF_POINT || mag == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR);
  const bool linearMin = !(min == D3DTEXF_POINT || min == D3DTEXF_NONE);
  GLenum minFilter;
  if (mip == D3DTEXF_NONE) minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
  else if (mip == D3DTEXF_POINT) minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  else minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
  glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, floatOf(ss[D3DSAMP_MIPMAPLODBIAS]));
  glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, static_cast<float>(ss[D3DSAMP_MAXMIPLEVEL]));
  if (maxAnisotropy_ > 1.0f) {
    // Anisotropy applies only when a filter asks for it.
    const bool anisotropic = min == D3DTEXF_ANISOTROPIC || mag == D3DTEXF_ANISOTROPIC;
    const float amount = anisotropic ? std::clamp(static_cast<float>(ss[D3DSAMP_MAXANISOTROPY]), 1.0f, maxAnisotropy_)
                                     : 1.0f;
    glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY_EXT, amount);
  }
  samplerDirty_[unit] = false;
}

void Device::applyTextures() {
  for (int unit = 0; unit < kMaxSamplers; ++unit) {
    BaseTextureImpl* texture = textureImpl(textures_[unit]);
    const GLuint name = texture && texture->valid() ? texture->name() : 0;
    const GLenum target = texture ? texture->target() : GL_TEXTURE_2D;
    if (boundTextures_[unit] != name || boundTargets_[unit] != target) {
      glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
      if (boundTargets_[unit] && boundTargets_[unit] != target) glBindTexture(boundTargets_[unit], 0);
      glBindTexture(target, name);
      boundTextures_[unit] = name;
      boundTargets_[unit] = target;
    }
    if (samplerDirty_[unit]) applySampler(unit);
  }
  texturesDirty_ = false;
}

void Device::bindVertexSource(const VertexLayout& layout, const DrawSource& source) {
  if (sourceShadow_.buffer == source.buffer && sourceShadow_.offset == source.offset &&
      sourceShadow_.stride == source.stride && sourceShadow_.layout == layout)
    return;
  glBindBuffer(GL_ARRAY_BUFFER, source.buffer);
  bool enabled[kLocationCount] = {};
  for (const VertexAttribute& a : layout.attributes) {
    if (a.location < 0 || a.location >= kLocationCount) continue;
    enabled[a.location] = true;
    glVertexAttribPointer(static_cast<GLuint>(a.location), a.components, a.type, a.normalized ? GL_TRUE : GL_FALSE,
                          source.stride,
                          reinterpret_cast<const void*>(static_cast<std::uintptr_t>(source.offset + a.offset)));
  }
  for (int location = 0; location < kLocationCount; ++location) {
    if (enabled[location]) glEnableVertexAttribArray(static_cast<GLuint>(location));
    else glDisableVertexAttribArray(static_cast<GLuint>(location));
  }
  sourceShadow_.buffer = source.buffer;
  sourceShadow_.offset = source.offset;
  sourceShadow_.stride = source.stride;
  sourceShadow_.layout = layout;
}

bool Device::prepareDraw(const VertexLayout& layout, std::uint64_t layoutVersion, D3DPRIMITIVETYPE type,
                         const DrawSource& source) {
  const bool points = type == D3DPT_POINTLIST;
  if (boundFramebuffer_ != target_.framebuffer) {
    glBindFramebuffer(GL_FRAMEBUFFER, target_.framebuffer);
    boundFramebuffer_ = target_.framebuffer;
  }
  if (programDirty_ || !program_ || points != lastDrawPoints_ || layoutVersion != programLayoutVersion_) {
    selectProgram(layout, layoutVersion, points);
    rasterDirty_ = true;  // the point-size source depends on the program
  }
  if (!program_ || !program_->ok) return false;
  if (boundProgram_ != program_->program) {
    glUseProgram(program_->program);
    boundProgram_ = program_->program;
  }
  uploadUniforms(program_);
  if (rasterDirty_) applyRasterState(points);
  if (texturesDirty_) applyTextures();
  bindVertexSource(layout, source);
  return true;
}

// ---- streaming and batching ---------------------------------------------------------------

std::size_t Device::streamUpload(const std::uint8_t* data, std::size_t bytes, int stride) {
  // Whole vertices from offset 0, so that attribute pointers stay put and
  // only the first vertex changes from draw to draw.
  std::size_t position = (streamPosition_ + stride - 1) / stride * stride;
  glBindBuffer(GL_ARRAY_BUFFER, streamBuffer_);
  if (position + bytes > streamCapacity_) {
    streamCapacity_ = std::max<std::size_t>(streamCapacity_, std::max<std::size_t>(4u << 20, 2 * bytes));
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(streamCapacity_), nullptr, GL_STREAM_DRAW);  // orphan
    position = 0;
  }
  glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(position), static_cast<GLsizeiptr>(bytes), data);
  sourceShadow_.buffer = ~0u;  // the array-buffer binding moved
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
  if (prepareDraw(batchLayout_, batchLayoutVersion_, type, source)) {
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
      (batch_ != kind || batchStride_ != static_cast<int>(stride) || batchLayoutVersion_ != layoutVersion_))
    submitBatch();
  if (batch_ == Batch::None) {
    batchLayout_ = layout_;
    batchLayoutVersion_ = layoutVersion_;
  }
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
  DrawSource source{stream_->name(), streamOffset_, static_cast<int>(streamStride_)};
  if (prepareDraw(layout, layoutVersion_, type, source)) {
    glDrawArrays(glMode(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(count));
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
  DrawSource source{stream_->name(), streamOffset_, static_cast<int>(streamStride_)};
  if (!prepareDraw(layout, layoutVersion_, type, source)) return D3D_OK;
  if (boundElements_ != indices_->name()) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_->name());
    boundElements_ = indices_->name();
  }
  glDrawElementsBaseVertex(glMode(type), static_cast<GLsizei>(count),
                           indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                           reinterpret_cast<const void*>(static_cast<std::uintptr_t>(startIndex * indexSize)),
                           baseVertexIndex);
  countGLDraw();
  return D3D_OK;
}

}  // namespace vorn::d3d
