// What the bytecode back end rewrites most: calls inlined, early returns,
// loops with breaks unrolled, run-time indexes, structures and matrices,
// conditions that differ from pixel to pixel. Drawn through libmojoshader's
// GLSL of the bytecode, they must give the pixels of the compiler's GLSL.
#include <gtest/gtest.h>

#include "bytecode_check.h"
#include "oracle_harness.h"
#include "platform/hlsl/hlsl.h"

namespace {

const char* kPassVs = R"(float4 main(float4 p : POSITION, float4 t : TEXCOORD0, float4 u : TEXCOORD1,
out float4 ot : TEXCOORD0, out float4 ou : TEXCOORD1) : POSITION { ot = t; ou = u; return p; })";

// Each small enough for ps_2_0's 64 arithmetic slots.
const char* kPixelShaders[] = {
    R"(float pick(float x, out float other)
{
  if (x < 0.3) { other = 1; return x * 2; }
  other = -1;
  if (x > 0.8) return 1 - x;
  return sqrt(x);
}
float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  float o;
  float a = pick(frac(t.x), o);
  return float4(a + o * 0.1, t.x > u.y ? 0.25 : -0.25, a * o, 1);
}
)",
    R"(float4 k[4];
static const float table[4] = {0.1, 0.4, 0.7, 0.9};
float4 main(float4 t : TEXCOORD0) : COLOR
{
  float4 acc = 0;
  for (int i = 0; i < 4; i++) {
    if (t.y * 2 > i + 1) break;
    acc += k[i] * table[i];
  }
  int j = (int)(frac(t.y) * 3.99);
  return acc + table[j];
}
)",
    R"(struct Pair { float4 a; float b; };
Pair make(float x) { Pair p; p.a = float4(x, x * x, 1 - x, 0.5); p.b = x * 2; return p; }
float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  Pair p = make(frac(u.x));
  float3x3 m = float3x3(u.xyz, t.zyx, float3(1, 2, 3));
  return float4(mul(u.xyz, m) * 0.05, p.b) + p.a;
}
)",
    R"(float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  float4 r = float4(sin(t.x * 3), cos(u.y * 5), fmod(t.x * 7, 2.5), sign(t.w - 1));
  clip(t.x - 0.05);
  return r + float4(pow(abs(u.w) + 0.5, 1.5), exp(-abs(t.w)), log(abs(u.z) + 1), 0);
}
)",
    R"(float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  float3 r = normalize(cross(t.xyz + 0.1, u.xyz + 0.2)) * 0.25 + reflect(t.xyz, float3(0, 0.6, 0.8)) * 0.1;
  return float4(r, atan2(t.y, u.x));
}
)",
    R"(float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  return lerp(u, smoothstep(0.2, 0.8, t.yxwz), 0.3) + step(u, t) * 0.05 + floor(t * 3) * 0.1 + ceil(u) * 0.01;
}
)",
    R"(float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  float3 n = normalize(float3(0.3, 0.5, 0.8));
  float3 i = normalize(t.xyz - 0.5);
  return float4(refract(i, n, 0.7) * 0.5, 0) + float4(faceforward(n, i, u.xyz), 0) * 0.25 + lit(u.x, u.y, 4) * 0.1;
}
)",
    R"(float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  float4 whole;
  float4 part = modf(t * 2.5, whole);
  float2 e;
  float2 m = frexp(u.xy + 2, e);
  return part * 0.5 + whole * 0.1 + float4(m, e * 0.1) + round(u) * 0.05 + trunc(-t * 3) * 0.02;
}
)",
    R"(float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  float x = frac(t.x) * 0.9;
  return float4(asin(x), acos(x), tan(x), tanh(u.y)) * 0.25 + float4(any(t > 2), all(u > 0), 0, 0);
}
)",
    R"(float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  float x = frac(t.x) * 0.9;
  float4 r = float4(sinh(x), cosh(x), log10(x + 1), exp2(u.z));
  return r * 0.25 + float4(distance(t, u), length(t.xy), 0, 0) * 0.1;
}
)",
    R"(float4 main(float4 t : TEXCOORD0, float4 u : TEXCOORD1) : COLOR
{
  float3x3 m = float3x3(t.xyz, u.zyx, float3(0.5, -1, 2));
  float2x2 s = float2x2(t.xy, u.xy);
  return float4(determinant(m) * 0.1, determinant(s), ldexp(t.z, 2) * 0.25, degrees(radians(u.w)));
}
)",
};

const char* kVertexWork = R"(float4x4 mvp;
float4 main(float4 p : POSITION, float4 n : NORMAL, out float4 c : COLOR0, out float4 w : TEXCOORD0) : POSITION
{
  float s, co;
  sincos(n.x * 2, s, co);
  float sum = 0;
  for (int i = 1; i <= 3; i++) sum += n[i % 3] * i;
  c = saturate(float4(s, co, sum * 0.2, n.z > 0 ? 1 : 0.25));
  w = float4(length(n.xyz), max(n.x, n.y), n.y < 0 ? -n.y : n.y * 2, frac(sum));
  return mul(p, mvp);
}
)";

const char* kShowColour = R"(float4 main(float4 c : COLOR0, float4 w : TEXCOORD0) : COLOR { return c * 0.5 + w * 0.25; })";

void expectSamePixels(const char* vsSource, const char* vsProfile, const char* psSource, const char* psProfile,
                      const oracle::Scene& scene) {
  hlsl::CompileResult vs = hlsl::compile(vsSource, "main", vsProfile);
  hlsl::CompileResult ps = hlsl::compile(psSource, "main", psProfile);
  ASSERT_TRUE(vs.ok) << vs.messages;
  ASSERT_TRUE(ps.ok) << ps.messages;
  EXPECT_EQ(hlsltest::bytecodeErrors(vs.bytecode), "");
  EXPECT_EQ(hlsltest::bytecodeErrors(ps.bytecode), "");
  oracle::Picture own, foreign;
  std::string log;
  ASSERT_TRUE(oracle::drawOwn(vs, ps, scene, &own, &log)) << log;
  ASSERT_TRUE(oracle::drawForeign(vs, ps, scene, &foreign, &log)) << log;
  // Same operations in float32; the polynomial atan2 of the bytecode is
  // within 2e-5 of GLSL's, and rsq, sincos and exp may round a few ulps apart.
  EXPECT_LE(oracle::largestDifference(own, foreign), 2e-4f) << psProfile;
}

}  // namespace

TEST(Lowering, PathsLoopsIndexesAndStructuresDrawAlike) {
  oracle::Scene scene = oracle::standardScene();
  scene.psConstants = {{0.1f, 0.2f, 0.3f, 0.4f}, {0.5f, 0.6f, 0.7f, 0.8f}, {-0.3f, 0.1f, 0.9f, 0.2f}, {1, 1, 1, 1}};
  for (const char* profile : {"ps_2_0", "ps_3_0"})
    for (const char* ps : kPixelShaders) {
      SCOPED_TRACE(ps);
      expectSamePixels(kPassVs, profile[3] == '3' ? "vs_3_0" : "vs_2_0", ps, profile, scene);
    }
}

TEST(Lowering, VertexShaderWorkDrawsAlike) {
  oracle::Scene scene = oracle::standardScene();
  scene.vsConstants = {{0.9f, 0.1f, 0, 0}, {-0.1f, 0.9f, 0, 0}, {0, 0, 1, 0}, {0.05f, -0.05f, 0, 1}};
  expectSamePixels(kVertexWork, "vs_2_0", kShowColour, "ps_2_0", scene);
  expectSamePixels(kVertexWork, "vs_3_0", kShowColour, "ps_3_0", scene);
}
