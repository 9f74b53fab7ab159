// VertexProfile: the stride rule and the Direct3D declaration.
#include <gtest/gtest.h>

#include "shader/vertex_profile.h"

namespace {

TEST(VertexProfileTest, CreateZeroFillsAndSetRecomputesStride) {
  VertexProfile p;
  p.create(3);
  ASSERT_EQ(p.count, 3);
  for (const VertexProfileElement& e : p.elements) {
    EXPECT_EQ(e.offset, 0);
    EXPECT_EQ(e.usage, 0);
  }
  EXPECT_EQ(p.stride, 0);
  p.set(0, 0, 3, USAGE_POSITION, 0);
  EXPECT_EQ(p.stride, 12);
  p.set(1, 12, 2, USAGE_TEXCOORD, 0);
  EXPECT_EQ(p.stride, 20);
  // Overwriting a slot replaces its contribution.
  p.set(1, 12, 4, USAGE_TEXCOORD, 0);
  EXPECT_EQ(p.stride, 28);
}

TEST(VertexProfileTest, StrideRulePerUsage) {
  // Position and normal always count 12 bytes, whatever their components;
  // texture coordinates 4 per component; colours one byte per component;
  // unknown usages nothing.
  struct Case {
    std::int32_t components, usage, bytes;
  } cases[] = {{4, USAGE_POSITION, 12}, {2, USAGE_NORMAL, 12}, {1, USAGE_TEXCOORD, 4}, {3, USAGE_TEXCOORD, 12},
               {4, USAGE_COLOR, 4},     {4, -1, 0},          {4, 3, 0},          {4, 16, 0}};
  for (const Case& c : cases) {
    VertexProfile p;
    p.create(1);
    p.set(0, 0, c.components, c.usage, 0);
    EXPECT_EQ(p.stride, c.bytes) << "usage " << c.usage << " components " << c.components;
  }
}

TEST(VertexProfileTest, SetOutsideTheArrayIsIgnored) {
  VertexProfile p;
  p.set(0, 0, 3, USAGE_POSITION, 0);
  EXPECT_EQ(p.count, 0);
  EXPECT_EQ(p.stride, 0);
  p.create(1);
  p.set(1, 0, 3, USAGE_POSITION, 0);
  p.set(-1, 0, 3, USAGE_POSITION, 0);
  EXPECT_EQ(p.elements[0].usage, 0);
  EXPECT_EQ(p.stride, 0);
}

TEST(VertexProfileTest, HugeComponentCountsDoNotOverflowTheStride) {
  VertexProfile p;
  p.create(2);
  p.set(0, 0, 2000000000, USAGE_TEXCOORD, 0);
  p.set(1, 0, 2000000000, USAGE_TEXCOORD, 1);
  EXPECT_EQ(p.stride, 2147483647);
}

TEST(VertexProfileTest, DeclarationMapsUsagesAndTypes) {
  VertexProfile p;
  p.create(4);
  p.set(0, 0, 3, USAGE_POSITION, 0);
  p.set(1, 12, 4, USAGE_NORMAL, 0);
  p.set(2, 28, 4, USAGE_COLOR, 0);
  p.set(3, 32, 2, USAGE_TEXCOORD, 3);
  const std::vector<D3DVERTEXELEMENT9> d = p.toDeclaration();
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(d[0].Usage, D3DDECLUSAGE_POSITION);
  EXPECT_EQ(d[0].Type, D3DDECLTYPE_FLOAT3);
  EXPECT_EQ(d[1].Usage, D3DDECLUSAGE_NORMAL);
  EXPECT_EQ(d[1].Type, D3DDECLTYPE_FLOAT4);  // type follows components even where the stride does not
  EXPECT_EQ(d[1].Offset, 12);
  EXPECT_EQ(d[2].Usage, D3DDECLUSAGE_COLOR);
  EXPECT_EQ(d[2].Type, D3DDECLTYPE_D3DCOLOR);
  EXPECT_EQ(d[3].Usage, D3DDECLUSAGE_TEXCOORD);
  EXPECT_EQ(d[3].Type, D3DDECLTYPE_FLOAT2);
  EXPECT_EQ(d[3].UsageIndex, 3);
  EXPECT_EQ(d[3].Offset, 32);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(d[i].Stream, 0);
    EXPECT_EQ(d[i].Method, D3DDECLMETHOD_DEFAULT);
  }
  EXPECT_EQ(d[4].Stream, 0xFF);
  EXPECT_EQ(d[4].Type, D3DDECLTYPE_UNUSED);
  EXPECT_EQ(d[4].Offset, 0);
}

TEST(VertexProfileTest, DeclarationSkipsElementsWithoutADirect3DForm) {
  VertexProfile p;
  p.create(5);
  p.set(0, 0, 3, -1, 0);              // unknown usage
  p.set(1, 0, 3, USAGE_POSITION, 0);
  p.set(2, 12, 0, USAGE_TEXCOORD, 0);  // no float type of size 0
  p.set(3, 12, 5, USAGE_NORMAL, 0);    // nor of size 5
  // element 4 never set: usage 0
  const std::vector<D3DVERTEXELEMENT9> d = p.toDeclaration();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].Usage, D3DDECLUSAGE_POSITION);
  EXPECT_EQ(d[1].Stream, 0xFF);

  VertexProfile empty;
  ASSERT_EQ(empty.toDeclaration().size(), 1u);
  EXPECT_EQ(empty.toDeclaration()[0].Stream, 0xFF);
}

}  // namespace
