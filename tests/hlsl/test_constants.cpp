// The constant table (registers, classes, sizes) and the compiled blob.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/hlsl/hlsl.h"
#include "sources.h"

namespace {

const hlsl::Constant* find(const hlsl::Program& p, const std::string& name) {
  for (const hlsl::Constant& c : p.constants)
    if (c.name == name) return &c;
  return nullptr;
}

hlsl::Program compileOk(const std::string& src, const char* profile) {
  hlsl::CompileResult r = hlsl::compile(src, "main", profile);
  EXPECT_TRUE(r.ok) << r.messages;
  return r.program;
}

}  // namespace

TEST(HlslConstants, LambertTableMatchesTheProgramConstants) {
  hlsl::Program p = compileOk(hlsltest::kLambertVs, "vs_2_0");
  // mv and m_object are declared but unused: not in the table.
  EXPECT_EQ(find(p, "mv"), nullptr);
  EXPECT_EQ(find(p, "m_object"), nullptr);
  const hlsl::Constant* mvp = find(p, "mvp");
  const hlsl::Constant* mvit = find(p, "mvit");
  const hlsl::Constant* diffuse = find(p, "mat_diffuse");
  const hlsl::Constant* ambient = find(p, "mat_ambient");
  ASSERT_TRUE(mvp && mvit && diffuse && ambient);
  EXPECT_EQ(mvp->cls, hlsl::Constant::Class::Matrix);
  EXPECT_EQ(mvp->type, hlsl::Constant::Type::Float);
  EXPECT_EQ(mvp->rows, 4);
  EXPECT_EQ(mvp->columns, 4);
  EXPECT_EQ(mvp->registerCount, 4);
  EXPECT_EQ(mvp->registerIndex, 0);
  EXPECT_EQ(mvit->registerIndex, 4) << "packed in declaration order";
  EXPECT_EQ(diffuse->registerIndex, 8);
  EXPECT_EQ(diffuse->cls, hlsl::Constant::Class::Vector);
  EXPECT_EQ(diffuse->rows, 1);
  EXPECT_EQ(diffuse->columns, 4);
  EXPECT_EQ(ambient->registerIndex, 9);
  EXPECT_EQ(p.floatRegisterCount, 10);
  EXPECT_NE(p.glsl.find("uniform vec4 vorn_c[10];"), std::string::npos);
}

TEST(HlslConstants, ExplicitRegistersAreHonouredAndTheRestFillTheGaps) {
  const char* src = R"(float4 a : register(c1);
float4x3 m;
float s;
float3 v : register(c5);
int count;
bool flag;
float4 arr[3];
float2x2 mats[2] : register(c20);
sampler2D tex : register(s3);
samplerCUBE env;
sampler plain;
float4 main(float3 n : TEXCOORD0) : COLOR
{
float4 r = a + float4(mul(n.xy, (float2x3)m).xy, s, 0) + float4(v, count) + arr[2] + mats[1][0].xyxy;
if (flag) r += tex2D(tex, n.xy) + texCUBE(env, n) + texCUBE(plain, n);
return r;
}
)";
  hlsl::Program p = compileOk(src, "ps_2_0");
  auto reg = [&](const char* name) { const hlsl::Constant* c = find(p, name); return c ? c->registerIndex : -1; };
  EXPECT_EQ(reg("a"), 1);
  EXPECT_EQ(reg("m"), 6) << "4 rows do not fit in c0 or c2..c4; c6..c9 is the lowest run";
  EXPECT_EQ(find(p, "m")->registerCount, 4);
  EXPECT_EQ(find(p, "m")->rows, 4);
  EXPECT_EQ(find(p, "m")->columns, 3);
  EXPECT_EQ(reg("s"), 0);
  EXPECT_EQ(find(p, "s")->cls, hlsl::Constant::Class::Scalar);
  EXPECT_EQ(reg("v"), 5);
  EXPECT_EQ(find(p, "v")->columns, 3);
  EXPECT_EQ(reg("count"), 2);
  EXPECT_EQ(find(p, "count")->type, hlsl::Constant::Type::Int);
  EXPECT_EQ(reg("flag"), 3);
  EXPECT_EQ(find(p, "flag")->type, hlsl::Constant::Type::Bool);
  EXPECT_EQ(reg("arr"), 10);
  EXPECT_EQ(find(p, "arr")->elements, 3);
  EXPECT_EQ(find(p, "arr")->registerCount, 3);
  EXPECT_EQ(reg("mats"), 20);
  EXPECT_EQ(find(p, "mats")->registerCount, 4) << "2 elements x 2 rows";
  EXPECT_EQ(find(p, "mats")->elements, 2);
  EXPECT_EQ(p.floatRegisterCount, 24);
  EXPECT_EQ(reg("tex"), 3);
  EXPECT_EQ(find(p, "tex")->cls, hlsl::Constant::Class::Sampler);
  EXPECT_EQ(find(p, "tex")->type, hlsl::Constant::Type::Sampler2D);
  EXPECT_EQ(reg("env"), 0);
  EXPECT_EQ(find(p, "env")->type, hlsl::Constant::Type::SamplerCube);
  EXPECT_EQ(reg("plain"), 1);
  EXPECT_EQ(find(p, "plain")->type, hlsl::Constant::Type::SamplerCube) << "a plain sampler takes its use";
  EXPECT_NE(p.glsl.find("uniform sampler2D vorn_s3;"), std::string::npos);
  EXPECT_NE(p.glsl.find("uniform samplerCube vorn_s0;"), std::string::npos);
  EXPECT_NE(p.glsl.find("uniform samplerCube vorn_s1;"), std::string::npos);
}

TEST(HlslConstants, GlobalsReachedThroughCalledFunctionsCount) {
  const char* src = R"(float4 direct;
float4 viaHelper;
float4 viaHelperOfHelper;
float4 onlyInUnused;
float4 deeper() { return viaHelperOfHelper; }
float4 helper() { return viaHelper + deeper(); }
float4 unused() { return onlyInUnused; }
float4 main() : COLOR { return direct + helper(); }
)";
  hlsl::Program p = compileOk(src, "ps_2_0");
  ASSERT_EQ(p.constants.size(), 3u);
  EXPECT_EQ(p.constants[0].name, "direct");
  EXPECT_EQ(p.constants[1].name, "viaHelper");
  EXPECT_EQ(p.constants[2].name, "viaHelperOfHelper");
}

TEST(HlslConstants, StaticsAndInitialisedConstsAreNotConstants) {
  const char* src = R"(static float4 s = 1;
static const float k = 2;
const float4 tint = float4(1, 0, 0, 1);
const float4 fromApp;
float4 main() : COLOR { return s * k + tint + fromApp; }
)";
  hlsl::Program p = compileOk(src, "ps_2_0");
  ASSERT_EQ(p.constants.size(), 1u);
  EXPECT_EQ(p.constants[0].name, "fromApp");
}

TEST(HlslConstants, ProgramIoLists) {
  hlsl::Program vs = compileOk(hlsltest::kRevealVs, "vs_2_0");
  ASSERT_EQ(vs.inputs.size(), 2u);
  EXPECT_EQ(vs.inputs[0].semantic, "POSITION0");
  EXPECT_EQ(vs.inputs[1].semantic, "TEXCOORD0");
  EXPECT_EQ(vs.inputs[1].components, 2);
  ASSERT_EQ(vs.outputs.size(), 2u);
  EXPECT_EQ(vs.outputs[0].semantic, "TEXCOORD0");
  EXPECT_EQ(vs.outputs[1].semantic, "TEXCOORD1");
  EXPECT_EQ(vs.outputs[1].components, 1);
  hlsl::Program ps = compileOk("void main(float4 c : color, out float4 o : COLOR0, out float4 o1 : COLOR1) { o = c; o1 = c; }\n", "ps_2_0");
  ASSERT_EQ(ps.outputs.size(), 2u);
  EXPECT_EQ(ps.outputs[1].semantic, "COLOR1");
  EXPECT_NE(ps.glsl.find("layout(location = 1) out vec4 vorn_Color1;"), std::string::npos);
}

TEST(HlslSemantics, CanonicalNamesAndLocations) {
  EXPECT_EQ(hlsl::canonicalSemantic("texcoord1"), "TEXCOORD1");
  EXPECT_EQ(hlsl::canonicalSemantic("COLOR"), "COLOR0");
  EXPECT_EQ(hlsl::canonicalSemantic("Position"), "POSITION0");
  EXPECT_EQ(hlsl::attributeLocation("POSITION0"), 0);
  EXPECT_EQ(hlsl::attributeLocation("TEXCOORD7"), 11);
  EXPECT_EQ(hlsl::attributeLocation("BLENDWEIGHT0"), 15);
  EXPECT_EQ(hlsl::attributeLocation("TEXCOORD8"), -1);
  EXPECT_EQ(hlsl::varyingName("COLOR1"), "v_COLOR1");
}

TEST(HlslBlob, RoundTrips) {
  hlsl::Program p = compileOk(hlsltest::kLambertVs, "vs_2_0");
  std::vector<std::uint8_t> blob = hlsl::serialize(p);
  ASSERT_GE(blob.size(), 4u);
  std::uint32_t size = blob[0] | (blob[1] << 8) | (blob[2] << 16) | (static_cast<std::uint32_t>(blob[3]) << 24);
  EXPECT_EQ(size, blob.size());
  hlsl::Program q;
  ASSERT_TRUE(hlsl::deserialize(blob.data(), &q));
  EXPECT_EQ(q.stage, p.stage);
  EXPECT_EQ(q.glsl, p.glsl);
  EXPECT_EQ(q.floatRegisterCount, p.floatRegisterCount);
  ASSERT_EQ(q.constants.size(), p.constants.size());
  for (size_t i = 0; i < p.constants.size(); ++i) {
    EXPECT_EQ(q.constants[i].name, p.constants[i].name);
    EXPECT_EQ(q.constants[i].cls, p.constants[i].cls);
    EXPECT_EQ(q.constants[i].type, p.constants[i].type);
    EXPECT_EQ(q.constants[i].registerIndex, p.constants[i].registerIndex);
    EXPECT_EQ(q.constants[i].registerCount, p.constants[i].registerCount);
    EXPECT_EQ(q.constants[i].rows, p.constants[i].rows);
    EXPECT_EQ(q.constants[i].columns, p.constants[i].columns);
    EXPECT_EQ(q.constants[i].elements, p.constants[i].elements);
  }
  ASSERT_EQ(q.inputs.size(), p.inputs.size());
  ASSERT_EQ(q.outputs.size(), p.outputs.size());
  EXPECT_EQ(q.inputs[1].semantic, p.inputs[1].semantic);
  EXPECT_EQ(q.inputs[1].components, p.inputs[1].components);
  hlsl::Program ps = compileOk(hlsltest::kLambertPs, "ps_2_0");
  ASSERT_TRUE(hlsl::deserialize(hlsl::serialize(ps).data(), &q));
  EXPECT_EQ(q.stage, hlsl::Stage::Pixel);
}

TEST(HlslBlob, RejectsDamagedBlobsWithoutReadingPastThem) {
  hlsl::Program p = compileOk(hlsltest::kRevealPs, "ps_2_0");
  const std::vector<std::uint8_t> good = hlsl::serialize(p);
  hlsl::Program out;
  out.glsl = "untouched";
  EXPECT_FALSE(hlsl::deserialize(nullptr, &out));
  // Every truncation, with the size field telling the truth about the
  // shorter buffer (a copy of exactly that size, so that ASan sees overreads).
  for (size_t n = 4; n < good.size(); ++n) {
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
    cut[0] = static_cast<std::uint8_t>(n);
    cut[1] = static_cast<std::uint8_t>(n >> 8);
    cut[2] = static_cast<std::uint8_t>(n >> 16);
    cut[3] = 0;
    EXPECT_FALSE(hlsl::deserialize(cut.data(), &out)) << n;
  }
  EXPECT_EQ(out.glsl, "untouched") << "a failed read leaves the program alone";
  // A longer size than the layout needs (trailing bytes) is refused too.
  std::vector<std::uint8_t> longer = good;
  longer.push_back(0);
  longer[0] = static_cast<std::uint8_t>(longer.size());
  longer[1] = static_cast<std::uint8_t>(longer.size() >> 8);
  EXPECT_FALSE(hlsl::deserialize(longer.data(), &out));
  // Wrong magic.
  std::vector<std::uint8_t> magic = good;
  magic[4] ^= 0xFF;
  EXPECT_FALSE(hlsl::deserialize(magic.data(), &out));
  // Random byte flips must never crash; most are refused.
  std::mt19937 rng(7);
  int accepted = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::uint8_t> bad = good;
    int flips = 1 + static_cast<int>(rng() % 4);
    for (int f = 0; f < flips; ++f) bad[4 + rng() % (bad.size() - 4)] ^= static_cast<std::uint8_t>(1 + rng() % 255);
    hlsl::Program q;
    if (hlsl::deserialize(bad.data(), &q)) ++accepted;  // flips inside text can be valid
  }
  EXPECT_LT(accepted, 3000);
}
