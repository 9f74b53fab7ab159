#include "platform/d3d9/fixed_function.h"

#include <string>

#include "platform/d3d9/d3d9.h"

namespace vorn::d3d {

namespace {

// Texture operations past the ones the public header names.
constexpr std::uint8_t kOpBlendFactorAlpha = 14;
constexpr std::uint8_t kOpBlendTextureAlphaPM = 15;
constexpr std::uint8_t kOpBlendCurrentAlpha = 16;
constexpr std::uint8_t kOpModulateAlphaAddColor = 18;
constexpr std::uint8_t kOpModulateColorAddAlpha = 19;
constexpr std::uint8_t kOpModulateInvAlphaAddColor = 20;
constexpr std::uint8_t kOpModulateInvColorAddAlpha = 21;
constexpr std::uint8_t kOpDotProduct3 = 24;
constexpr std::uint8_t kOpMultiplyAdd = 25;
constexpr std::uint8_t kOpLerp = 26;

void line(std::string& out, const std::string& text) {
  out += text;
  out += '\n';
}

std::string texcoordName(int set) { return "v_TEXCOORD" + std::to_string(set); }

// The vec4 an argument selects, with its modifiers.
std::string argument(std::uint8_t arg, int stage) {
  std::string value;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: value = "diffuse"; break;
    case D3DTA_CURRENT: value = "current"; break;
    case D3DTA_TEXTURE: value = "tex" + std::to_string(stage); break;
    case D3DTA_TFACTOR: value = "vorn_ff_TFactor"; break;
    case D3DTA_SPECULAR: value = "specular"; break;
    case D3DTA_TEMP: value = "temp"; break;
    case D3DTA_CONSTANT: value = "vorn_ff_StageConstant[" + std::to_string(stage) + "]"; break;
    default: value = "current"; break;
  }
  if (arg & D3DTA_ALPHAREPLICATE) value = "(" + value + ").aaaa";
  if (arg & D3DTA_COMPLEMENT) value = "(vec4(1.0) - " + value + ")";
  return value;
}

bool usesTexture(std::uint8_t arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; }

// One operation on arguments x (arg1), y (arg2), z (arg0) of a given
// swizzle (".rgb" or ".a"); "tex" is the stage's texture value.
std::string operation(std::uint8_t op, const std::string& x, const std::string& y, const std::string& z,
                      const std::string& sw, const std::string& tex) {
  const std::string X = "(" + x + ")" + sw;
  const std::string Y = "(" + y + ")" + sw;
  const std::string Z = "(" + z + ")" + sw;
  const std::string xa = "(" + x + ").a";
  switch (op) {
    case D3DTOP_SELECTARG1: return X;
    case D3DTOP_SELECTARG2: return Y;
    case D3DTOP_MODULATE: return X + " * " + Y;
    case D3DTOP_MODULATE2X: return "2.0 * " + X + " * " + Y;
    case D3DTOP_MODULATE4X: return "4.0 * " + X + " * " + Y;
    case D3DTOP_ADD: return X + " + " + Y;
    case D3DTOP_ADDSIGNED: return X + " + " + Y + " - 0.5";
    case D3DTOP_ADDSIGNED2X: return "2.0 * (" + X + " + " + Y + " - 0.5)";
    case D3DTOP_SUBTRACT: return X + " - " + Y;
    case D3DTOP_ADDSMOOTH: return X + " + " + Y + " - " + X + " * " + Y;
    case D3DTOP_BLENDDIFFUSEALPHA: return "mix(" + Y + ", " + X + ", diffuse.a)";
    case D3DTOP_BLENDTEXTUREALPHA: return "mix(" + Y + ", " + X + ", " + tex + ".a)";
    case kOpBlendFactorAlpha: return "mix(" + Y + ", " + X + ", vorn_ff_TFactor.a)";
    case kOpBlendTextureAlphaPM: return X + " + " + Y + " * (1.0 - " + tex + ".a)";
    case kOpBlendCurrentAlpha: return "mix(" + Y + ", " + X + ", current.a)";
    case kOpModulateAlphaAddColor: return X + " + " + xa + " * " + Y;
    case kOpModulateColorAddAlpha: return X + " * " + Y + " + " + xa;
    case kOpModulateInvAlphaAddColor: return "(1.0 - " + xa + ") * " + Y + " + " + X;
    case kOpModulateInvColorAddAlpha: return "(1.0 - " + X + ") * " + Y + " + " + xa;
    case kOpDotProduct3: return "4.0 * dot((" + x + ").rgb - 0.5, (" + y + ").rgb - 0.5)";
    case kOpMultiplyAdd: return Z + " + " + X + " * " + Y;
    case kOpLerp: return "mix(" + Y + ", " + X + ", " + Z + ")";
    default: return X;  // operations we do not emulate pass their first argument
  }
}

bool opUsesTextureAlpha(std::uint8_t op) {
  return op == D3DTOP_BLENDTEXTUREALPHA || op == kOpBlendTextureAlphaPM;
}

std::string compareExpression(std::uint8_t func, const std::string& value, const std::string& reference) {
  switch (func) {
    case D3DCMP_NEVER: return "false";
    case D3DCMP_LESS: return value + " < " + reference;
    case D3DCMP_EQUAL: return value + " == " + reference;
    case D3DCMP_LESSEQUAL: return value + " <= " + reference;
    case D3DCMP_GREATER: return value + " > " + reference;
    case D3DCMP_NOTEQUAL: return value + " != " + reference;
    case D3DCMP_GREATEREQUAL: return value + " >= " + reference;
    default: return "true";
  }
}

// Which of arg0, arg1 and arg2 an operation reads (bits 0, 1, 2).
unsigned argumentsRead(std::uint8_t op) {
  switch (op) {
    case D3DTOP_SELECTARG1: return 2;
    case D3DTOP_SELECTARG2: return 4;
    case kOpMultiplyAdd:
    case kOpLerp: return 7;
    default: return 6;
  }
}

}  // namespace

bool stageReadsTexture(const FFStage& st) {
  return usesTexture(st.colorArg0) || usesTexture(st.colorArg1) || usesTexture(st.colorArg2) ||
         usesTexture(st.alphaArg0) || usesTexture(st.alphaArg1) || usesTexture(st.alphaArg2) ||
         opUsesTextureAlpha(st.colorOp) || opUsesTextureAlpha(st.alphaOp);
}

void normalizeStage(FFStage* st) {
  const unsigned color = argumentsRead(st->colorOp);
  if (!(color & 1)) st->colorArg0 = 0;
  if (!(color & 2)) st->colorArg1 = 0;
  if (!(color & 4)) st->colorArg2 = 0;
  // The dot product fills alpha too; a disabled alpha operation keeps the
  // current alpha. Either way the alpha arguments go unread.
  const bool alphaUnread = st->colorOp == kOpDotProduct3 || st->alphaOp == D3DTOP_DISABLE;
  if (st->colorOp == kOpDotProduct3) st->alphaOp = 0;
  const unsigned alpha = alphaUnread ? 0 : argumentsRead(st->alphaOp);
  if (!(alpha & 1)) st->alphaArg0 = 0;
  if (!(alpha & 2)) st->alphaArg1 = 0;
  if (!(alpha & 4)) st->alphaArg2 = 0;
  if (!stageReadsTexture(*st)) st->texture = 0;
  if (st->texture == 0) st->texcoordIndex = 0;
}

std::string generateFixedVertexShader(const FFVertexKey& key) {
  std::string s;
  line(s, "#version 330 core");
  line(s, "layout(location = 0) in vec4 a_POSITION0;");
  line(s, "layout(location = 2) in vec4 a_COLOR0;");
  line(s, "layout(location = 3) in vec4 a_COLOR1;");
  for (int set = 0; set < 8; ++set)
    line(s, "layout(location = " + std::to_string(4 + set) + ") in vec4 a_TEXCOORD" + std::to_string(set) + ";");
  if (key.hasPointSize) line(s, "layout(location = 14) in vec4 a_PSIZE0;");
  line(s, "uniform mat4 vorn_ff_WorldView;");
  line(s, "uniform mat4 vorn_ff_Projection;");
  line(s, "uniform vec4 vorn_ClipAdjust;");
  line(s, "uniform vec4 vorn_ff_Viewport;");
  line(s, "uniform vec4 vorn_ff_DepthRange;");
  line(s, "uniform vec4 vorn_ff_Fog;");
  line(s, "uniform vec4 vorn_ff_Point;");
  line(s, "uniform vec4 vorn_ff_PointScale;");
  const std::string q = key.flat ? "flat " : "";
  line(s, q + "out vec4 v_COLOR0;");
  line(s, q + "out vec4 v_COLOR1;");
  for (int set = 0; set < 8; ++set) line(s, "out vec4 " + texcoordName(set) + ";");
  line(s, "out vec4 v_VORNFOG;");
  line(s, "void main() {");
  line(s, "  vec4 p;");
  line(s, "  vec4 pv = vec4(0.0, 0.0, 0.0, 1.0);");
  if (key.pretransformed) {
    // Screen-space positions: undo the viewport mapping, keep 1/rhw as w.
    line(s, "  float w = a_POSITION0.w != 0.0 ? 1.0 / a_POSITION0.w : 1.0;");
    line(s, "  float depthSpan = vorn_ff_DepthRange.y - vorn_ff_DepthRange.x;");
    line(s, "  vec3 ndc = vec3((a_POSITION0.x - vorn_ff_Viewport.x) / vorn_ff_Viewport.z * 2.0 - 1.0,");
    line(s, "                  1.0 - (a_POSITION0.y - vorn_ff_Viewport.y) / vorn_ff_Viewport.w * 2.0,");
    line(s, "                  depthSpan != 0.0 ? (a_POSITION0.z - vorn_ff_DepthRange.x) / depthSpan : 0.0);");
    line(s, "  p = vec4(ndc * w, w);");
  } else {
    line(s, "  pv = vorn_ff_WorldView * a_POSITION0;");
    line(s, "  p = vorn_ff_Projection * pv;");
  }
  line(s, "  v_COLOR0 = clamp(a_COLOR0, 0.0, 1.0);");
  line(s, "  v_COLOR1 = clamp(a_COLOR1, 0.0, 1.0);");
  for (int set = 0; set < 8; ++set) line(s, "  " + texcoordName(set) + " = a_TEXCOORD" + std::to_string(set) + ";");
  // Vertex fog: the depth is the eye-space distance along the view axis (its
  // magnitude, so right-handed views with negative z fog like left-handed
  // ones), or the range to the eye with range fog.
  std::string depth = key.rangeFog ? "length(pv.xyz)" : "abs(pv.z)";
  switch (key.fog) {
    case FogSource::None: line(s, "  v_VORNFOG = vec4(1.0);"); break;
    case FogSource::Exp: line(s, "  float f = exp(-vorn_ff_Fog.z * " + depth + ");"); break;
    case FogSource::Exp2:
      line(s, "  float fd = vorn_ff_Fog.z * " + depth + ";");
      line(s, "  float f = exp(-fd * fd);");
      break;
    case FogSource::Linear: line(s, "  float f = (vorn_ff_Fog.y - " + depth + ") * vorn_ff_Fog.w;"); break;
    case FogSource::Specular: line(s, "  float f = a_COLOR1.a;"); break;
  }
  if (key.fog != FogSource::None) line(s, "  v_VORNFOG = vec4(clamp(f, 0.0, 1.0));");
  if (key.points) {
    line(s, std::string("  float size = ") + (key.hasPointSize ? "a_PSIZE0.x;" : "vorn_ff_Point.x;"));
    if (key.pointScale && !key.pretransformed) {
      line(s, "  float de = length(pv.xyz);");
      line(s, "  float den = vorn_ff_PointScale.x + vorn_ff_PointScale.y * de + vorn_ff_PointScale.z * de * de;");
      line(s, "  size = vorn_ff_Point.w * size * sqrt(1.0 / max(den, 1e-30));");
    }
    line(s, "  gl_PointSize = min(max(size, vorn_ff_Point.y), vorn_ff_Point.z);");
  }
  line(s, "  gl_Position = vec4(p.x + vorn_ClipAdjust.x * p.w, (p.y + vorn_ClipAdjust.y * p.w) * vorn_ClipAdjust.z,");
  line(s, "                     2.0 * p.z - p.w, p.w);");
  line(s, "}");
  return s;
}

std::string generateFixedPixelShader(const FFPixelKey& key) {
  std::string s;
  line(s, "#version 330 core");
  auto varying = [&](const std::string& name, int bit, bool flat) {
    if (key.available & (1u << bit))
      line(s, std::string(flat ? "flat " : "") + "in vec4 " + name + ";");
    else
      line(s, "const vec4 " + name + " = vec4(0.0);");
  };
  varying("v_COLOR0", 0, key.flat);
  varying("v_COLOR1", 1, key.flat);
  bool setUsed[8] = {};
  for (int i = 0; i < key.stageCount; ++i)
    if (key.stages[i].texture) setUsed[key.stages[i].texcoordIndex & 7] = true;
  for (int set = 0; set < 8; ++set)
    if (setUsed[set] && !key.pointSprite) varying(texcoordName(set), 2 + set, false);
  if (key.fog == PixelFog::Vertex) line(s, "in vec4 v_VORNFOG;");
  for (int i = 0; i < key.stageCount; ++i) {
    if (key.stages[i].texture == 1) line(s, "uniform sampler2D vorn_s" + std::to_string(i) + ";");
    if (key.stages[i].texture == 2) line(s, "uniform samplerCube vorn_s" + std::to_string(i) + ";");
  }
  line(s, "uniform vec4 vorn_ff_TFactor;");
  line(s, "uniform vec4 vorn_ff_FogColor;");
  line(s, "uniform vec4 vorn_ff_Fog;");
  line(s, "uniform vec4 vorn_ff_AlphaRef;");
  line(s, "uniform vec4 vorn_ff_StageConstant[8];");
  line(s, "layout(location = 0) out vec4 vorn_Color0;");
  line(s, "void main() {");
  line(s, "  vec4 diffuse = v_COLOR0;");
  line(s, "  vec4 specular = v_COLOR1;");
  line(s, "  vec4 current = diffuse;");
  line(s, "  vec4 temp = vec4(0.0);");
  for (int i = 0; i < key.stageCount; ++i) {
    const FFStage& st = key.stages[i];
    const std::string n = std::to_string(i);
    const std::string tex = "tex" + n;
    if (!stageReadsTexture(st)) {
      line(s, "  vec4 " + tex + " = vec4(1.0);");
    } else if (st.texture == 0) {
      line(s, "  vec4 " + tex + " = vec4(1.0);");  // an empty stage reads opaque white
    } else {
      const std::string coord = key.pointSprite ? "vec4(gl_PointCoord, 0.0, 1.0)" : texcoordName(st.texcoordIndex & 7);
      if (st.texture == 1)
        line(s, "  vec4 " + tex + " = texture(vorn_s" + n + ", " + coord + ".xy);");
      else
        line(s, "  vec4 " + tex + " = texture(vorn_s" + n + ", " + coord + ".xyz);");
    }
    const std::string c1 = argument(st.colorArg1, i), c2 = argument(st.colorArg2, i), c0 = argument(st.colorArg0, i);
    std::string rgb;
    if (st.colorOp == kOpDotProduct3) {
      rgb = "vec3(" + operation(st.colorOp, c1, c2, c0, ".rgb", tex) + ")";
    } else {
      rgb = operation(st.colorOp, c1, c2, c0, ".rgb", tex);
    }
    std::string alpha;
    if (st.colorOp == kOpDotProduct3) {
      alpha = "(" + operation(st.colorOp, c1, c2, c0, ".rgb", tex) + ")";  // the dot product fills alpha too
    } else if (st.alphaOp == D3DTOP_DISABLE) {
      alpha = "current.a";
    } else {
      const std::string a1 = argument(st.alphaArg1, i), a2 = argument(st.alphaArg2, i),
                        a0 = argument(st.alphaArg0, i);
      alpha = operation(st.alphaOp, a1, a2, a0, ".a", tex);
      if (st.alphaOp == kOpDotProduct3) alpha = "(" + alpha + ")";
    }
    line(s, "  vec4 r" + n + " = clamp(vec4(" + rgb + ", " + alpha + "), 0.0, 1.0);");
    line(s, std::string("  ") + (st.resultTemp ? "temp" : "current") + " = r" + n + ";");
  }
  if (key.specularAdd) line(s, "  current.rgb = clamp(current.rgb + specular.rgb, 0.0, 1.0);");
  if (key.fog != PixelFog::None) {
    if (key.fog == PixelFog::Vertex) {
      line(s, "  float f = v_VORNFOG.x;");
    } else {
      line(s, std::string("  float d = ") + (key.fogUsesW ? "1.0 / gl_FragCoord.w;" : "gl_FragCoord.z;"));
      if (key.fog == PixelFog::TableExp) line(s, "  float f = exp(-vorn_ff_Fog.z * d);");
      if (key.fog == PixelFog::TableExp2) line(s, "  float f = exp(-(vorn_ff_Fog.z * d) * (vorn_ff_Fog.z * d));");
      if (key.fog == PixelFog::TableLinear) line(s, "  float f = (vorn_ff_Fog.y - d) * vorn_ff_Fog.w;");
    }
    line(s, "  current.rgb = mix(vorn_ff_FogColor.rgb, current.rgb, clamp(f, 0.0, 1.0));");
  }
  if (key.alphaFunc && key.alphaFunc != D3DCMP_ALWAYS) {
    line(s, "  float alpha8 = floor(clamp(current.a, 0.0, 1.0) * 255.0 + 0.5);");
    line(s, "  if (!(" + compareExpression(key.alphaFunc, "alpha8", "vorn_ff_AlphaRef.x") + ")) discard;");
  }
  line(s, "  vorn_Color0 = current;");
  line(s, "}");
  return s;
}

}  // namespace vorn::d3d
