// The content builders: the pixel font, the procedural shapes and the vertex
// encoding the scene files carry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "common/mesh.h"
#include "common/scene_builder.h"
#include "font/pixel_font.h"

using namespace content;

namespace {

int litPixels(const std::string& text) {
  int count = 0;
  for (char c : text)
    for (int row = 0; row < 8; ++row)
      for (int column = 0; column < 8; ++column) count += glyph(static_cast<unsigned char>(c)).pixel(column, row);
  return count;
}

// Every triangle winds counter-clockwise about its vertices' normals.
void expectWindingFollowsNormals(const Mesh& mesh) {
  for (const auto& group : mesh.groups)
    for (std::size_t i = 0; i + 2 < group.size(); i += 3) {
      const Vertex& a = mesh.vertices[group[i]];
      const Vertex& b = mesh.vertices[group[i + 1]];
      const Vertex& c = mesh.vertices[group[i + 2]];
      const V3 geometric = cross(b.p - a.p, c.p - a.p);
      if (length(geometric) < 1e-9f) continue;
      EXPECT_GE(dot(geometric, a.n + b.n + c.n), 0.0f) << "triangle " << i / 3;
    }
}

}  // namespace

TEST(PixelFont, EveryPrintableCharacterHasInkAndTheSpaceHasNone) {
  for (int code = 33; code <= 127; ++code) {
    EXPECT_GT(glyph(code).inkWidth(), 0) << "code " << code;
  }
  EXPECT_EQ(glyph(' ').inkWidth(), 0);
  EXPECT_EQ(glyph(31).inkWidth(), 0);
  EXPECT_EQ(glyph(128).inkWidth(), 0);
}

TEST(PixelFont, InkStaysInsideTheFiveColumnsOfTheCell) {
  for (int code = 32; code <= 127; ++code) {
    for (int row = 0; row < 8; ++row)
      for (int column = 5; column < 8; ++column) EXPECT_FALSE(glyph(code).pixel(column, row)) << "code " << code;
  }
}

TEST(PixelFont, OnlyDescendersReachTheLastRow) {
  const std::string descenders = ",_gjpqy";
  for (int code = 32; code <= 127; ++code) {
    bool lastRow = false;
    for (int column = 0; column < 8; ++column) lastRow |= glyph(code).pixel(column, 7);
    EXPECT_EQ(lastRow, descenders.find(static_cast<char>(code)) != std::string::npos) << "code " << code;
  }
}

TEST(PixelFont, NoTwoCharactersShareABitmap) {
  std::set<std::string> seen;
  for (int code = 33; code <= 127; ++code) {
    const Glyph& g = glyph(code);
    EXPECT_TRUE(seen.insert(std::string(reinterpret_cast<const char*>(g.rows), 8)).second) << "code " << code;
  }
}

TEST(PixelFont, SpotChecksOfLetterShapes) {
  // The cross bar of the A and the stem of the T.
  for (int column = 0; column < 5; ++column) EXPECT_TRUE(glyph('A').pixel(column, 3));
  for (int row = 0; row < 7; ++row) EXPECT_TRUE(glyph('T').pixel(2, row));
  EXPECT_FALSE(glyph('O').pixel(2, 3));  // O is hollow
}

TEST(PixelFont, TextWidthCountsAdvancesWithoutTheTrailingGap) {
  EXPECT_EQ(textWidth(""), 0);
  EXPECT_EQ(textWidth("A"), 5);
  EXPECT_EQ(textWidth("AB"), 11);
  EXPECT_EQ(textWidth("A B"), 15);
}

TEST(Shapes, BoxHasTwelveOutwardTrianglesWithUnitNormals) {
  Mesh mesh;
  addBox(mesh, {1, 2, 3}, M4::translation({10, 0, 0}));
  ASSERT_EQ(mesh.triangleCount(), 12u);
  for (const Vertex& v : mesh.vertices) {
    EXPECT_NEAR(length(v.n), 1.0f, 1e-5f);
    EXPECT_GT(dot(v.n, v.p - V3{10, 0, 0}), 0.0f);
    EXPECT_NEAR(std::fabs(v.p.x - 10), 1.0f, 1e-5f + (std::fabs(v.n.x) < 0.5f ? 1.0f : 0.0f));
  }
  expectWindingFollowsNormals(mesh);
  V3 lo, hi;
  mesh.bounds(&lo, &hi);
  EXPECT_NEAR(lo.y, -2, 1e-5f);
  EXPECT_NEAR(hi.z, 3, 1e-5f);
}

TEST(Shapes, BevelBoxIsConvexAndClosedOutward) {
  Mesh mesh;
  addBevelBox(mesh, {1, 1, 2}, 0.2f);
  // 6 faces and 12 chamfers (two triangles each) and 8 corners.
  EXPECT_EQ(mesh.triangleCount(), 6u * 2 + 12u * 2 + 8u);
  for (const Vertex& v : mesh.vertices) EXPECT_GT(dot(v.n, v.p), 0.0f);
  expectWindingFollowsNormals(mesh);
  V3 lo, hi;
  mesh.bounds(&lo, &hi);
  EXPECT_NEAR(hi.z, 2, 1e-5f);
  EXPECT_NEAR(lo.x, -1, 1e-5f);
}

TEST(Shapes, NewGeometryGoesIntoTheCurrentGroupWithTheCurrentAttributes) {
  Mesh mesh;
  mesh.group = 2;
  mesh.shade = 0.25f;
  mesh.build = 0.75f;
  addBox(mesh, {1, 1, 1});
  ASSERT_EQ(mesh.groups.size(), 3u);
  EXPECT_TRUE(mesh.groups[0].empty());
  EXPECT_EQ(mesh.groups[2].size(), 36u);
  for (const Vertex& v : mesh.vertices) {
    EXPECT_EQ(v.shade, 0.25f);
    EXPECT_EQ(v.build, 0.75f);
  }
}

TEST(Shapes, BeamSpansItsEndsWithTheGivenThickness) {
  Mesh mesh;
  addBeam(mesh, {0, 0, 0}, {0, 10, 0}, 0.5f);
  EXPECT_EQ(mesh.triangleCount(), 8u);
  V3 lo, hi;
  mesh.bounds(&lo, &hi);
  EXPECT_NEAR(lo.y, 0, 1e-5f);
  EXPECT_NEAR(hi.y, 10, 1e-5f);
  EXPECT_NEAR(hi.x - lo.x, 0.5f, 1e-4f);
  EXPECT_NEAR(hi.z - lo.z, 0.5f, 1e-4f);
  for (const Vertex& v : mesh.vertices) EXPECT_NEAR(v.n.y, 0.0f, 1e-5f);
  expectWindingFollowsNormals(mesh);
}

TEST(Shapes, TunnelNormalsPointTowardsTheCentreLine) {
  std::vector<Frame> frames = {{{0, 0, 0}, {0, 0, -1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -5}, {0, 0, -1}, {1, 0, 0}, {0, 1, 0}}};
  Mesh mesh;
  addTunnel(mesh, frames, 3.0f, 16, -1.5f);
  ASSERT_GT(mesh.triangleCount(), 0u);
  for (const Vertex& v : mesh.vertices) {
    EXPECT_GE(v.p.y, -1.5f - 1e-4f);
    EXPECT_LT(dot(v.n, V3{v.p.x, v.p.y, 0}), 1e-4f);
  }
}

TEST(Shapes, GearOutlineAlternatesBetweenRootAndTip) {
  const auto outline = gearOutline(12, 2.0f, 2.5f, 0.3f);
  ASSERT_EQ(outline.size(), 60u);
  for (std::size_t i = 0; i < outline.size(); ++i) {
    const float r = std::hypot(outline[i].first, outline[i].second);
    EXPECT_NEAR(r, (i % 5 == 2 || i % 5 == 3) ? 2.5f : 2.0f, 1e-4f) << i;
  }
  // The first tooth is centred on the phase angle.
  const float a = std::atan2(outline[2].second + outline[3].second, outline[2].first + outline[3].first);
  EXPECT_NEAR(a, 0.3f, 1e-4f);
}

TEST(Text, QuadsMergeRunsAndCoverExactlyTheLitPixels) {
  Mesh mesh;
  addTextQuads(mesh, "HI", {0, 0, 0}, 1.0f);
  float area = 0;
  for (const auto& g : mesh.groups)
    for (std::size_t i = 0; i < g.size(); i += 3) {
      const V3 a = mesh.vertices[g[i]].p, b = mesh.vertices[g[i + 1]].p, c = mesh.vertices[g[i + 2]].p;
      area += 0.5f * length(cross(b - a, c - a));
      EXPECT_EQ(a.z, 0.0f);
    }
  EXPECT_NEAR(area, static_cast<float>(litPixels("HI")), 1e-3f);
  // H's rows 0..2 are two separate runs, row 3 one run of five.
  EXPECT_LT(mesh.triangleCount(), 2u * static_cast<std::size_t>(litPixels("HI")));
  V3 lo, hi;
  mesh.bounds(&lo, &hi);
  EXPECT_NEAR(hi.x, 10.0f, 1e-5f);  // the I (columns 1..3) starts 6 pixels in and ends at 10
  EXPECT_NEAR(lo.y, -7.0f, 1e-5f);  // rows run down from the origin
  EXPECT_NEAR(hi.y, 0.0f, 1e-5f);
}

TEST(Text, DownwardLayersGrowTowardsPositiveY) {
  Mesh mesh;
  addTextQuads(mesh, "L", {0, 0, 0}, 0.5f, {0, 1, 0});
  V3 lo, hi;
  mesh.bounds(&lo, &hi);
  EXPECT_NEAR(lo.y, 0.0f, 1e-5f);
  EXPECT_NEAR(hi.y, 3.5f, 1e-5f);
  for (const Vertex& v : mesh.vertices) EXPECT_EQ(v.n.z, 1.0f);
}

TEST(Text, BoxesAndPixelsGiveOnePiecePerLitPixel) {
  Mesh boxes, pixels;
  addTextBoxes(boxes, "Vorn", {0, 0, 0}, 1.0f, 1.0f, 0.05f);
  addTextPixels(pixels, "Vorn", {0, 0, 0}, 1.0f, {0, -1, 0}, 0.05f, [](int, int, int i) { return i % 2 ? 0.5f : 1.0f; });
  EXPECT_EQ(boxes.triangleCount(), 12u * static_cast<std::size_t>(litPixels("Vorn")));
  EXPECT_EQ(pixels.triangleCount(), 2u * static_cast<std::size_t>(litPixels("Vorn")));
  std::set<float> shades;
  for (const Vertex& v : pixels.vertices) shades.insert(v.shade);
  EXPECT_EQ(shades, (std::set<float>{0.5f, 1.0f}));
}

TEST(VertexEncoding, ShadedLayoutIsFortyBytesInElementOrder) {
  const auto elements = layoutElements(Layout::Shaded);
  EXPECT_EQ(scenefile::strideOf(elements), 40u);
  Mesh mesh;
  mesh.build = 0.5f;
  mesh.shade = 2.0f;
  mesh.add({1, 2, 3}, {0, 0, 1}, 0.25f, 0.75f);
  const auto bytes = encodeVertices(mesh, Layout::Shaded);
  ASSERT_EQ(bytes.size(), 40u);
  float f[10];
  std::memcpy(f, bytes.data(), 40);
  const float expected[10] = {1, 2, 3, 0, 0, 1, 0.25f, 0.75f, 0.5f, 2.0f};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(f[i], expected[i]) << i;
  // Every element's offset is where its bytes are.
  for (const auto& e : elements) EXPECT_LT(e.offset, 40u);
  EXPECT_EQ(elements[3].usage, 4u);
  EXPECT_EQ(elements[3].usageIndex, 1u);
}

TEST(VertexEncoding, ColoredLayoutStoresTheDirect3DColourWord) {
  EXPECT_EQ(scenefile::strideOf(layoutElements(Layout::Colored)), 36u);
  EXPECT_EQ(colorWord({1, 0, 0, 1}), 0xFFFF0000u);
  EXPECT_EQ(colorWord({0, 0, 1, 0.5f}), 0x800000FFu);
  EXPECT_EQ(colorWord({2, -1, 0, 1}), 0xFFFF0000u);  // clamped
  Mesh mesh;
  mesh.color = {0, 1, 0, 1};
  mesh.add({0, 0, 0}, {0, 1, 0}, 0.5f, 0.5f);
  const auto bytes = encodeVertices(mesh, Layout::Colored);
  ASSERT_EQ(bytes.size(), 36u);
  // Little-endian B, G, R, A at offset 24.
  EXPECT_EQ(bytes[24], 0);
  EXPECT_EQ(bytes[25], 255);
  EXPECT_EQ(bytes[26], 0);
  EXPECT_EQ(bytes[27], 255);
}

TEST(SceneBuilderModels, OneSubsetPerNonEmptyGroupWithItsMaterial) {
  SceneBuilder scene;
  const std::uint32_t a = scene.material("a", {1, 1, 1, 1}, 0);
  const std::uint32_t b = scene.material("b", {1, 1, 1, 1}, 0);
  Mesh mesh;
  mesh.group = 1;
  addBox(mesh, {1, 1, 1});
  mesh.group = 3;
  addBox(mesh, {1, 1, 1});
  scene.model("m", mesh, Layout::Shaded, {a, b, a, b});
  const auto& model = scene.record().models[0];
  ASSERT_EQ(model.subsets.size(), 2u);
  EXPECT_EQ(model.subsets[0].materialIndex, b);
  EXPECT_EQ(model.subsets[1].materialIndex, b);
  EXPECT_EQ(model.vertexData.size(), model.vertexCount * 40u);
  EXPECT_EQ(model.vectorA.x, -1.0f);
  EXPECT_EQ(model.vectorB.z, 1.0f);
}
