// The 2D emitter and shapes, checked through what they hand to the device.
#include <gtest/gtest.h>

#include "ui2d/primitive_capture.h"
#include "ui2d/primitives.h"

namespace {

class Emitter : public ::testing::Test {
 protected:
  void SetUp() override { ResetEmitter(); }
  PrimitiveCapture capture;
};

TEST(ColorRGBATest, BytesAreRedGreenBlueAlphaInMemoryOrder) {
  const ColorRGBA red = ColorRGBA::fromWord(0xff0000ffu);
  EXPECT_EQ(red.r, 255);
  EXPECT_EQ(red.g, 0);
  EXPECT_EQ(red.b, 0);
  EXPECT_EQ(red.a, 255);
  EXPECT_EQ(red.toD3D(), 0xffff0000u);  // Direct3D form: A, R, G, B from the top

  const ColorRGBA c{0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(c.word(), 0x78563412u);
  EXPECT_EQ(c.toD3D(), 0x78123456u);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&c);
  EXPECT_EQ(bytes[0], 0x12);
  EXPECT_EQ(bytes[3], 0x78);
}

TEST(ScaleColorTest, TruncatesEachChannel) {
  EXPECT_EQ(ScaleColor(ColorRGBA{200, 100, 51, 255}, 0.5f), (ColorRGBA{100, 50, 25, 127}));
  EXPECT_EQ(ScaleColor(ColorRGBA{130, 130, 130, 255}, 0.89f), (ColorRGBA{115, 115, 115, 226}));
  EXPECT_EQ(ScaleColor(ColorRGBA{130, 130, 130, 255}, 0.61f), (ColorRGBA{79, 79, 79, 155}));
}

TEST(ScaleColorTest, ProductsAboveAByteSaturateInsteadOfWrapping) {
  // 255 x 1.2 would keep only its low byte (50) if it wrapped.
  EXPECT_EQ(ScaleColor(ColorRGBA{130, 212, 213, 255}, 1.2f), (ColorRGBA{156, 254, 255, 255}));
  EXPECT_EQ(ScaleColor(ColorRGBA{255, 255, 255, 255}, 100.0f), (ColorRGBA{255, 255, 255, 255}));
  EXPECT_EQ(ScaleColor(ColorRGBA{10, 20, 30, 40}, -1.0f), (ColorRGBA{0, 0, 0, 0}));
}

TEST_F(Emitter, EachModeDrawsWhenItsVertexCountArrives) {
  const struct {
    PrimitiveMode mode;
    int vertices;
    D3DPRIMITIVETYPE type;
    UINT count;
  } cases[] = {{PRIM_LINE, 2, D3DPT_LINELIST, 1},
               {PRIM_TRIANGLE, 3, D3DPT_TRIANGLEFAN, 1},
               {PRIM_QUAD, 4, D3DPT_TRIANGLEFAN, 2},
               {PRIM_POINT, 1, D3DPT_POINTLIST, 1}};
  for (const auto& c : cases) {
    capture.primitives.clear();
    BeginPrimitive(c.mode);
    for (int i = 0; i < c.vertices - 1; ++i) EmitVertex(static_cast<float>(i), 0.0f, 0.0f);
    EXPECT_TRUE(capture.primitives.empty()) << "mode " << c.mode;
    EmitVertex(9.0f, 0.0f, 0.0f);
    ASSERT_EQ(capture.primitives.size(), 1u) << "mode " << c.mode;
    EXPECT_EQ(capture.primitives[0].type, c.type);
    EXPECT_EQ(capture.primitives[0].primitiveCount, c.count);
    EXPECT_EQ(immediateEmitter().count, 0);
  }
}

TEST_F(Emitter, PointsDrawOnEveryVertexWithTheCurrentAttributes) {
  SetVertexColor(ColorRGBA{10, 20, 30, 40});
  SetVertexTexCoord(0.25f, 0.75f);
  BeginPrimitive(PRIM_POINT);
  EmitVertex(1.0f, 2.0f, 3.0f);
  EmitVertex(4.0f, 5.0f, 6.0f);
  ASSERT_EQ(capture.primitives.size(), 2u);
  const ImmediateVertex& v = capture.primitives[1].vertices[0];
  EXPECT_EQ(v.x, 4.0f);
  EXPECT_EQ(v.y, 5.0f);
  EXPECT_EQ(v.z, 6.0f);
  EXPECT_EQ(v.diffuse, 0x280a141eu);
  EXPECT_EQ(v.u, 0.25f);
  EXPECT_EQ(v.v, 0.75f);
  EXPECT_EQ(v.nx, 0.0f);
}

TEST_F(Emitter, AModeOutsideTheFourNeverWritesPastTheBatch) {
  BeginPrimitive(static_cast<PrimitiveMode>(7));
  for (int i = 0; i < 20; ++i) EmitVertex(1.0f, 1.0f, 1.0f);
  EXPECT_TRUE(capture.primitives.empty());
  EXPECT_LE(immediateEmitter().count, 4);
}

TEST_F(Emitter, ScreenRectCoversTheScreenAndKeepsTheLastTexCoord) {
  SetVertexTexCoord(0.5f, 0.125f);
  DrawScreenRect(640, 480, ColorRGBA{1, 2, 3, 4});
  ASSERT_EQ(capture.primitives.size(), 1u);
  const auto& v = capture.primitives[0].vertices;
  ASSERT_EQ(v.size(), 4u);
  const float expected[4][2] = {{0, 0}, {640, 0}, {640, 480}, {0, 480}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(v[i].x, expected[i][0]);
    EXPECT_EQ(v[i].y, expected[i][1]);
    EXPECT_EQ(v[i].z, 0.0f);
    EXPECT_EQ(v[i].u, 0.5f);
    EXPECT_EQ(v[i].v, 0.125f);
    EXPECT_EQ(v[i].diffuse, (ColorRGBA{1, 2, 3, 4}.toD3D()));
  }
  // The batch is zero-filled after every shape.
  for (const ImmediateVertex& slot : immediateEmitter().batch) EXPECT_EQ(slot.x + slot.y + slot.u, 0.0f);
}

TEST_F(Emitter, GradientSwitchesToTheBottomColourAfterTheTopEdge) {
  const ColorRGBA top{255, 0, 0, 255}, bottom{0, 0, 255, 128};
  DrawGradientRect(10, 20, 30, 40, top, bottom);
  ASSERT_EQ(capture.primitives.size(), 1u);
  const auto& v = capture.primitives[0].vertices;
  EXPECT_EQ(v[0].x, 10.0f);
  EXPECT_EQ(v[0].y, 20.0f);
  EXPECT_EQ(v[1].x, 40.0f);
  EXPECT_EQ(v[2].y, 60.0f);
  EXPECT_EQ(v[3].x, 10.0f);
  EXPECT_EQ(v[0].diffuse, top.toD3D());
  EXPECT_EQ(v[1].diffuse, top.toD3D());
  EXPECT_EQ(v[2].diffuse, bottom.toD3D());
  EXPECT_EQ(v[3].diffuse, bottom.toD3D());
  // The bottom colour stays current for whatever comes next.
  EXPECT_EQ(immediateEmitter().color, bottom.toD3D());
}

TEST_F(Emitter, TexturedRectSetsTheCornersOfTheTexture) {
  DrawTexturedRect(90, 80, 256, 256, ColorRGBA{255, 255, 255, 255});
  ASSERT_EQ(capture.primitives.size(), 1u);
  const auto& v = capture.primitives[0].vertices;
  const float corners[4][4] = {{90, 80, 0, 0}, {346, 80, 1, 0}, {346, 336, 1, 1}, {90, 336, 0, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(v[i].x, corners[i][0]) << i;
    EXPECT_EQ(v[i].y, corners[i][1]) << i;
    EXPECT_EQ(v[i].u, corners[i][2]) << i;
    EXPECT_EQ(v[i].v, corners[i][3]) << i;
  }
}

TEST_F(Emitter, ArrowsAndLinesHaveTheirFixedShapes) {
  DrawArrowRight(5, 7, ColorRGBA{});
  DrawArrowLeft(5, 7, ColorRGBA{});
  DrawLine(1, 2, 3, 4, ColorRGBA{});
  ASSERT_EQ(capture.primitives.size(), 3u);
  const auto& right = capture.primitives[0].vertices;
  EXPECT_EQ(right[0].x, 5.0f);
  EXPECT_EQ(right[1].y, 17.0f);
  EXPECT_EQ(right[2].x, 15.0f);
  EXPECT_EQ(right[2].y, 12.0f);
  const auto& left = capture.primitives[1].vertices;
  EXPECT_EQ(left[0].x, 15.0f);
  EXPECT_EQ(left[2].x, 5.0f);
  EXPECT_EQ(left[2].y, 12.0f);
  EXPECT_EQ(capture.primitives[1].type, D3DPT_TRIANGLEFAN);
  const auto& line = capture.primitives[2];
  EXPECT_EQ(line.type, D3DPT_LINELIST);
  EXPECT_EQ(line.vertices[1].x, 3.0f);
  EXPECT_EQ(line.vertices[1].y, 4.0f);
}

}  // namespace
