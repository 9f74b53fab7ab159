// Sources of the supported subset compile, and their GLSL compiles and links
// with a real OpenGL 3.3 core driver.
#include <gtest/gtest.h>

#include "bytecode_check.h"
#include "gl_harness.h"
#include "platform/hlsl/hlsl.h"
#include "sources.h"

using namespace hlsltest;

namespace {

hlsl::Program mustCompile(const std::string& src, const char* profile, const char* entry = "main") {
  hlsl::CompileResult r = hlsl::compile(src, entry, profile);
  EXPECT_TRUE(r.ok) << r.messages << "\n" << src;
  if (r.ok) {
    EXPECT_EQ(bytecodeErrors(r.bytecode), "") << src;
  }
  return r.program;
}

GlHarness* gl() {
  std::string why;
  GlHarness* h = GlHarness::get(&why);
  if (!h) ADD_FAILURE() << "no OpenGL 3.3 context (run with SDL_VIDEODRIVER=offscreen): " << why;
  return h;
}

void expectGlCompiles(const hlsl::Program& p) {
  GlHarness* h = gl();
  if (!h) return;
  std::string log;
  EXPECT_TRUE(h->compiles(p, &log)) << log;
}

void expectLinks(const hlsl::Program& vs, const hlsl::Program& ps) {
  GlHarness* h = gl();
  if (!h) return;
  std::string log;
  EXPECT_TRUE(h->links(vs, ps, &log)) << log;
}

bool hasInput(const hlsl::Program& p, const std::string& semantic, int components) {
  for (const hlsl::Varying& v : p.inputs)
    if (v.semantic == semantic && v.components == components) return true;
  return false;
}

bool hasOutput(const hlsl::Program& p, const std::string& semantic, int components) {
  for (const hlsl::Varying& v : p.outputs)
    if (v.semantic == semantic && v.components == components) return true;
  return false;
}

}  // namespace

TEST(HlslAccept, LambertPairCompilesAndLinks) {
  hlsl::Program vs = mustCompile(kLambertVs, "vs_2_0");
  hlsl::Program ps = mustCompile(kLambertPs, "ps_2_0");
  EXPECT_EQ(vs.stage, hlsl::Stage::Vertex);
  EXPECT_EQ(ps.stage, hlsl::Stage::Pixel);
  EXPECT_TRUE(hasInput(vs, "POSITION0", 4));
  EXPECT_TRUE(hasInput(vs, "NORMAL0", 3));
  EXPECT_TRUE(hasInput(vs, "TEXCOORD0", 2));
  EXPECT_TRUE(hasOutput(vs, "COLOR0", 4));
  EXPECT_TRUE(hasOutput(vs, "TEXCOORD0", 2));
  EXPECT_FALSE(hasOutput(vs, "POSITION0", 4)) << "POSITION is gl_Position, not a varying";
  EXPECT_TRUE(hasInput(ps, "COLOR0", 4));
  EXPECT_TRUE(hasOutput(ps, "COLOR0", 4));
  // The output conventions the Direct3D stand-in relies on.
  EXPECT_EQ(vs.glsl.rfind("#version 330 core\n", 0), 0u);
  EXPECT_NE(vs.glsl.find("layout(location = 1) in vec4 a_NORMAL0;"), std::string::npos);
  EXPECT_NE(vs.glsl.find("out vec4 v_TEXCOORD0;"), std::string::npos);
  EXPECT_NE(vs.glsl.find("vorn_ClipAdjust"), std::string::npos);
  EXPECT_NE(ps.glsl.find("\nin vec4 v_TEXCOORD0;\n"), std::string::npos);
  EXPECT_NE(ps.glsl.find("uniform sampler2D vorn_s0;"), std::string::npos);
  EXPECT_NE(ps.glsl.find("layout(location = 0) out vec4 vorn_Color0;"), std::string::npos);
  EXPECT_NE(vs.glsl.find("#line "), std::string::npos);
  expectGlCompiles(vs);
  expectGlCompiles(ps);
  expectLinks(vs, ps);
}

TEST(HlslAccept, BlurWithTapLoopCompiles) {
  hlsl::Program ps = mustCompile(kBlurPs, "ps_2_0");
  EXPECT_NE(ps.glsl.find("for ("), std::string::npos);
  expectGlCompiles(ps);
}

TEST(HlslAccept, RevealPairWithClipAndAuxiliar) {
  hlsl::Program vs = mustCompile(kRevealVs, "vs_2_0");
  hlsl::Program ps = mustCompile(kRevealPs, "ps_2_0");
  EXPECT_TRUE(hasOutput(vs, "TEXCOORD1", 1));
  EXPECT_TRUE(hasInput(ps, "TEXCOORD1", 1));
  EXPECT_NE(ps.glsl.find("discard"), std::string::npos);
  expectLinks(vs, ps);
}

TEST(HlslAccept, PixelInputsTheVertexShaderDoesNotWriteLinkAsZero) {
  hlsl::Program vs = mustCompile(kRevealVs, "vs_2_0");  // writes no COLOR0
  hlsl::Program ps = mustCompile(kLoadingPs, "ps_2_0");
  ASSERT_TRUE(hasInput(ps, "COLOR0", 4));
  EXPECT_NE(substituteMissingInputs(vs, ps).find("const vec4 v_COLOR0 = vec4(0.0);"), std::string::npos);
  expectLinks(vs, ps);
}

TEST(HlslAccept, OutParametersInoutAndStructReturns) {
  const char* vs = R"(float4x4 mvp;
struct Out { float4 p : POSITION; float4 c : COLOR1; };
void main(in float4 pos : POSITION, inout float4 col : COLOR0, out float fog : FOG, out float2 t : TEXCOORD3, out float size : PSIZE)
{
col = col * 0.5;
fog = pos.z;
t = pos.xy;
size = 2;
}
)";
  // The VS above lacks a POSITION output: rejected.
  EXPECT_FALSE(hlsl::compile(vs, "main", "vs_2_0").ok);
  const char* vs2 = R"(float4x4 mvp;
struct Out { float4 p : POSITION; float4 c : COLOR1; };
Out main(in float4 pos : POSITION, inout float4 col : COLOR0, out float fog : FOG, out float2 t : TEXCOORD3, out float size : PSIZE)
{
Out o;
o.p = mul(pos, mvp);
o.c = col.bgra;
col = col * 0.5;
fog = pos.z;
t = pos.xy;
size = 2;
return o;
}
)";
  hlsl::Program p = mustCompile(vs2, "vs_2_0");
  EXPECT_TRUE(hasInput(p, "COLOR0", 4));
  EXPECT_TRUE(hasOutput(p, "COLOR0", 4));
  EXPECT_TRUE(hasOutput(p, "COLOR1", 4));
  EXPECT_TRUE(hasOutput(p, "FOG0", 1));
  EXPECT_TRUE(hasOutput(p, "TEXCOORD3", 2));
  EXPECT_NE(p.glsl.find("gl_PointSize"), std::string::npos);
  expectGlCompiles(p);
}

TEST(HlslAccept, FunctionsOverloadsMacrosAndUniformParameters) {
  const char* ps = R"(#define TAPS 3
#define SCALE(x) ((x) * 0.5)
#if TAPS > 2 && defined(SCALE)
#define HAVE_TAPS 1
#else
#error no taps
#endif
float4 tint : register(c2);
float shade(float x) { return x * x; }
float2 shade(float2 x) { return x * 2; }
void split(float4 v, out float3 rgb, out float a) { rgb = v.rgb; a = v.a; }
float4 main(float2 uv : TEXCOORD0, uniform float4 extra) : COLOR
{
float3 rgb;
float a;
split(tint, rgb, a);
float total = 0;
for (int i = 0; i < TAPS; ++i) total += shade((float)i);
float2 s = shade(uv);
#ifdef HAVE_TAPS
total = SCALE(total);
#endif
return float4(rgb * total + float3(s, 0), a) + extra;
}
)";
  hlsl::CompileResult r = hlsl::compile(ps, "main", "ps_2_0");
  ASSERT_TRUE(r.ok) << r.messages;
  bool foundExtra = false;
  for (const hlsl::Constant& c : r.program.constants) {
    if (c.name == "tint") { EXPECT_EQ(c.registerIndex, 2); }
    if (c.name == "extra") {
      foundExtra = true;
      EXPECT_EQ(c.registerIndex, 0) << "packed into the lowest free register";
    }
  }
  EXPECT_TRUE(foundExtra) << "uniform parameters of main are constants";
  expectGlCompiles(r.program);
}

TEST(HlslAccept, NamesThatClashWithGlslAreRenamed) {
  const char* ps = R"(struct input { float4 texture : TEXCOORD0; float4 sample : COLOR0; };
float mix(float a, float b) { return a - b; }
float4 main(input output) : COLOR
{
float4 filter = output.texture;
float smooth = mix(filter.x, output.sample.y);
float gl_Thing = 1;
float a__b = 2;
float vorn_c = 3;
return filter * smooth + gl_Thing + a__b + vorn_c;
}
)";
  hlsl::Program p = mustCompile(ps, "ps_2_0");
  EXPECT_TRUE(hasInput(p, "TEXCOORD0", 4));
  EXPECT_TRUE(hasInput(p, "COLOR0", 4));
  expectGlCompiles(p);
}

TEST(HlslAccept, EveryIntrinsicTranslates) {
  const char* ps = R"(sampler2D s2 : register(s0);
samplerCUBE sc : register(s1);
sampler plain : register(s2);
float4 k;
float4x4 m;
float4 main(float4 t : TEXCOORD0, float3 n : TEXCOORD1) : COLOR
{
float4 r = 0;
r += abs(t) + acos(saturate(t)) + asin(saturate(t)) + atan(t) + atan2(t, k) + ceil(t) + clamp(t, 0, 1);
r.x += all(t) + any(t.xy) + all(t.x > 0);
r += cos(t) + cosh(t) + degrees(t) + exp(t) + exp2(t) + floor(t) + fmod(t, k) + frac(t);
r.xyz += cross(n, t.xyz) + reflect(n, t.xyz) + refract(n, t.xyz, 0.9) + faceforward(n, t.xyz, n);
r += ddx(t) + ddy(t);
r.x += determinant(m) + distance(t, k) + dot(t, k) + length(n);
r += ldexp(t, 2) + lerp(t, k, 0.5) + lit(t.x, t.y, t.z) + log(t) + log10(t) + log2(t);
r += max(t, k) + min(t, 1) + normalize(t) + pow(t, 2) + radians(t) + round(t) + rsqrt(t);
r += sign(t) + sin(t) + sinh(t) + smoothstep(0, 1, t) + sqrt(t) + step(0.5, t) + tan(t) + tanh(t);
float4 s, c;
sincos(t, s, c);
r += s + c;
float4 ip;
r += modf(t, ip) + ip;
float4 e;
r += frexp(t, e) + e;
r.x += isfinite(t.x) + isnan(t.y) + isinf(t.z);
r += mul(t, m) + mul(m, t) + mul(transpose(m), m)[1] + mul(t.xyz, m) + mul(2, t) + mul(t, k);
r += tex2D(s2, t.xy) + tex2Dproj(s2, t) + tex2Dlod(s2, t) + tex2Dbias(s2, t) + tex2D(s2, t.xy, ddx(t.xy), ddy(t.xy));
r += texCUBE(sc, n) + texCUBEproj(sc, t) + texCUBElod(sc, t) + texCUBEbias(sc, t);
r += tex2D(plain, t.zw);
clip(r);
return r;
}
)";
  // Derivatives, texldl and texldd need ps_3_0, and the whole list is far
  // over ps_2_0's 64 arithmetic slots.
  hlsl::Program p = mustCompile(ps, "ps_3_0");
  expectGlCompiles(p);
}

TEST(HlslAccept, VectorAndMatrixExpressions) {
  const char* ps = R"(float4x4 world;
float3x3 rot : register(c10);
float4 main(float4 uv : TEXCOORD0) : COLOR
{
float4 v = float4(uv.xy, 0, 1);
float3 w = (float3)v;
float2x2 small = (float2x2)world;
float4 row = world[2];
float e = world[1][3] + world._m01 + world._11 + rot._m22;
float2 pair = world._m00_m11;
v.zw = uv.yx;
v.x++;
--v.y;
v *= 2;
v /= float4(1, 2, 3, 4);
v -= 0.5;
v %= 3;
int i = 7;
i += 1.5;
i %= 4;
float3x3 sum = rot + rot * rot - 1;
sum *= 2;
bool4 lt = uv < v;
float4 sel = lt ? uv : v;
float4 pick = uv.x > 0.5 ? uv : 0;
bool both = uv.x > 0 && uv.y > 0 || !(uv.z > 0);
bool2 vb = !lt.xy;
float4 m3 = float4(mul(w, sum), e);
float arr[3] = {1, 2, 3};
float2 grid[2] = {1, 2, 3, 4};
float4 init = {1, 2, 3, 4};
int j = 0;
while (j < 3) { j++; if (j == 2) continue; }
do { j--; } while (j > 0);
return v + row + sel + pick + m3 + float4(small[0], pair) + init + float4(arr[1], grid[1], both) + i + vb.x + j;
}
)";
  hlsl::Program p = mustCompile(ps, "ps_2_0");
  expectGlCompiles(p);
}

TEST(HlslAccept, ProfilesSelectTheStage) {
  EXPECT_EQ(mustCompile(kLambertVs, "vs_2_a").stage, hlsl::Stage::Vertex);
  EXPECT_EQ(mustCompile(kLambertVs, "vs_3_0").stage, hlsl::Stage::Vertex);
  EXPECT_EQ(mustCompile(kLambertPs, "ps_2_a").stage, hlsl::Stage::Pixel);
  EXPECT_EQ(mustCompile(kLambertPs, "ps_2_b").stage, hlsl::Stage::Pixel);
  EXPECT_EQ(mustCompile(kLambertPs, "ps_3_0").stage, hlsl::Stage::Pixel);
  // No bytecode back end for shader model 1.
  for (const char* profile : {"ps_9_9", "vs_1_1"}) {
    hlsl::CompileResult r = hlsl::compile(kLambertPs, "main", profile);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.messages.find("unsupported profile"), std::string::npos);
  }
}

TEST(HlslAccept, OtherEntryPointNames) {
  const char* src = R"(float4 helper(float4 c) { return c * 2; }
float4 ps_main(float4 c : COLOR) : COLOR { return helper(c); }
float4 main(float4 c : COLOR) : COLOR { return c; }
)";
  hlsl::Program p = mustCompile(src, "ps_2_0", "ps_main");
  EXPECT_NE(p.glsl.find("helper"), std::string::npos);
  expectGlCompiles(p);
  hlsl::CompileResult missing = hlsl::compile(src, "nothere", "ps_2_0");
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.messages.find("entry point 'nothere' not found"), std::string::npos) << missing.messages;
}

TEST(HlslAccept, UnreachedFunctionsAndGlobalsAreLeftOut) {
  const char* src = R"(float4 unused_constant;
float4 used : register(c3);
float4 never(float4 x) { return x * unused_constant; }
float4 main() : COLOR { return used; }
)";
  hlsl::Program p = mustCompile(src, "ps_2_0");
  ASSERT_EQ(p.constants.size(), 1u);
  EXPECT_EQ(p.constants[0].name, "used");
  EXPECT_EQ(p.floatRegisterCount, 4);
  EXPECT_EQ(p.glsl.find("never"), std::string::npos);
  EXPECT_EQ(p.glsl.find("unused_constant"), std::string::npos);
  expectGlCompiles(p);
}

TEST(HlslAccept, FloatLiteralsPrintWithADecimalPointWhateverTheLocale) {
  const char* ps = "float4 main() : COLOR { return float4(1, 0.5, 1e-3, 2.5e10); }\n";
  const char* saved = std::setlocale(LC_NUMERIC, nullptr);
  std::string restore = saved ? saved : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may not exist; the check holds either way
  hlsl::Program p = mustCompile(ps, "ps_2_0");
  std::setlocale(LC_NUMERIC, restore.c_str());
  EXPECT_NE(p.glsl.find("vec4(1.0, 0.5, 0.001, 2.5e+10)"), std::string::npos) << p.glsl;
  EXPECT_EQ(p.glsl.find("0,5"), std::string::npos);
}

TEST(HlslAccept, DriverErrorsPointAtTheHlslLine) {
  // Break the GLSL of the statement on HLSL line 5 and look at the driver's
  // message: the #line directives must have kept the numbering.
  const char* src = "float4 tint;\nfloat4 main() : COLOR\n{\nfloat4 a = tint;\nfloat4 c = a * 2;\nreturn c;\n}\n";
  hlsl::Program p = mustCompile(src, "ps_2_0");
  std::string marker = "vec4 c = (a * vec4(2.0));";
  size_t at = p.glsl.find(marker);
  ASSERT_NE(at, std::string::npos) << p.glsl;
  p.glsl.replace(at, marker.size(), "vec4 c = no_such_name;");
  GlHarness* h = gl();
  if (!h) return;
  std::string log;
  ASSERT_FALSE(h->compiles(p, &log));
  std::string driverMessage = log.substr(0, log.find("--- source ---"));
  // Mesa writes "0:5(10): error: ...", other drivers "ERROR: 0:5: ...".
  EXPECT_NE(driverMessage.find("0:5"), std::string::npos) << driverMessage;
}

TEST(HlslAccept, DepthAndSeveralColourOutputs) {
  const char* src = "void main(float4 c : COLOR0, out float4 o0 : COLOR0, out float4 o1 : COLOR1, out float d : DEPTH)\n"
                    "{ o0 = c; o1 = c.bgra; d = c.a; }\n";
  hlsl::Program p = mustCompile(src, "ps_2_0");
  EXPECT_NE(p.glsl.find("gl_FragDepth"), std::string::npos);
  EXPECT_TRUE(hasOutput(p, "COLOR1", 4));
  expectGlCompiles(p);
}
