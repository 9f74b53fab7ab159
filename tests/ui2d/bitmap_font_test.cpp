// Text layout: pen positions, placement flags, newlines and tags, and the
// quads DrawText hands to the emitter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui2d/bitmap_font.h"
#include "ui2d/primitive_capture.h"

namespace {

std::vector<GlyphQuad> layout(const BitmapFont& font, float x, float y, const char* text, bool* finished = nullptr,
                              ColorRGBA color = ColorRGBA{255, 255, 255, 255}) {
  std::vector<GlyphQuad> glyphs;
  const bool done = font.LayoutText(
      x, y, color, text, [](const GlyphQuad& g, void* out) { static_cast<std::vector<GlyphQuad>*>(out)->push_back(g); },
      &glyphs);
  if (finished) *finished = done;
  return glyphs;
}

BitmapFont overlayFont() {
  BitmapFont font;
  font.glyphSize = 32.0f;  // 8, 8, 32, 1.5, flags 0x14
  return font;
}

BitmapFont plainFont(std::int32_t flags) {
  BitmapFont font;
  font.flags = flags;
  font.glyphSize = 16.0f;
  font.advanceDivisor = 2.0f;  // advance 8
  font.spaceAdvance = 5.0f;    // distinguishable from the glyph advance
  return font;
}

TEST(BitmapFontTest, DefaultsOfANewFont) {
  const BitmapFont font;
  EXPECT_EQ(font.spaceAdvance, 8.0f);
  EXPECT_EQ(font.lineHeight, 8.0f);
  EXPECT_EQ(font.glyphSize, 16.0f);
  EXPECT_EQ(font.advanceDivisor, 1.5f);
  EXPECT_EQ(font.flags, 0x14);
  EXPECT_EQ(font.texture, nullptr);
}

TEST(MeasureLineTest, CountsEveryCharacterUpToTheFirstNewline) {
  const BitmapFont font = plainFont(0);
  EXPECT_EQ(font.MeasureLine(""), 0.0f);
  EXPECT_EQ(font.MeasureLine("AB"), 16.0f);
  EXPECT_EQ(font.MeasureLine("A B"), 21.0f);
  EXPECT_EQ(font.MeasureLine("AB\nCDEFG"), 16.0f);
  EXPECT_EQ(font.MeasureLine("<#ff0000>A"), 80.0f);  // tag characters count too
}

TEST(LayoutTextTest, SpaceBetweenTwoGlyphsWithTheOverlayFont) {
  const std::vector<GlyphQuad> g = layout(overlayFont(), 100.0f, 50.0f, "A B");
  ASSERT_EQ(g.size(), 2u);
  EXPECT_FLOAT_EQ(g[0].x, 92.0f);  // x0 - 32 / 4
  EXPECT_FLOAT_EQ(g[0].y, 34.0f);  // top edge 16 above y0
  EXPECT_FLOAT_EQ(g[1].x - g[0].x, 8.0f + 32.0f / 1.5f);
  EXPECT_FLOAT_EQ(g[1].y, 34.0f);
  EXPECT_EQ(g[0].code, 'A');
  EXPECT_EQ(g[1].code, 'B');
}

TEST(LayoutTextTest, CellsOfTheGlyphSheet) {
  const std::vector<GlyphQuad> g = layout(plainFont(0), 0, 0, "!A\x7f");
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[0].s, 1.0f / 16.0f);  // '!' is the second cell of the top row
  EXPECT_EQ(g[0].t, 0.0f);
  EXPECT_EQ(g[1].s, 1.0f / 16.0f);  // 'A' = 65: column 1, row 2
  EXPECT_EQ(g[1].t, 2.0f / 16.0f);
  EXPECT_EQ(g[2].s, 15.0f / 16.0f);  // 127: last cell of row 5
  EXPECT_EQ(g[2].t, 5.0f / 16.0f);
}

TEST(LayoutTextTest, NewlineStartsTheNextLineWithoutAnAdvance) {
  BitmapFont font = plainFont(0);
  font.lineHeight = 10.0f;
  const std::vector<GlyphQuad> g = layout(font, 20.0f, 30.0f, "AB\nC\n D");
  ASSERT_EQ(g.size(), 4u);
  EXPECT_EQ(g[0].x, 20.0f);
  EXPECT_EQ(g[1].x, 28.0f);
  EXPECT_EQ(g[2].x, 20.0f);  // first character of a line: no advance
  EXPECT_EQ(g[2].y, 40.0f);
  EXPECT_EQ(g[3].x, 33.0f);  // a space right after a newline still advances (5), then D (8)
  EXPECT_EQ(g[3].y, 50.0f);
}

TEST(LayoutTextTest, SpaceAtTheStartAddsNothing) {
  const std::vector<GlyphQuad> g = layout(plainFont(0), 0.0f, 0.0f, " A");
  ASSERT_EQ(g.size(), 1u);
  EXPECT_EQ(g[0].x, 8.0f);  // only the glyph advance before the A
}

TEST(LayoutTextTest, CentredLinesAreMeasuredOneByOne) {
  const BitmapFont font = plainFont(TEXT_CENTER);
  const std::vector<GlyphQuad> g = layout(font, 100.0f, 0.0f, "ABCD\nEF");
  ASSERT_EQ(g.size(), 6u);
  // n non-space characters: x0 - (n x advance) / 2 - glyphSize / 8.
  EXPECT_EQ(g[0].x, 100.0f - 32.0f * 0.5f - 2.0f);
  EXPECT_EQ(g[4].x, 100.0f - 16.0f * 0.5f - 2.0f);
  EXPECT_EQ(g[4].y, 8.0f);
}

TEST(LayoutTextTest, RightAlignedLines) {
  const std::vector<GlyphQuad> g = layout(plainFont(TEXT_RIGHT), 100.0f, 0.0f, "ABC\nD");
  ASSERT_EQ(g.size(), 4u);
  EXPECT_EQ(g[0].x, 100.0f - (24.0f - 2.0f));
  EXPECT_EQ(g[3].x, 100.0f - (8.0f - 2.0f));
}

TEST(LayoutTextTest, OffsetXWinsOverCentringOnLaterLines) {
  const std::vector<GlyphQuad> g = layout(plainFont(TEXT_CENTER | TEXT_OFFSET_X), 100.0f, 0.0f, "AB\nC");
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[0].x, 100.0f - 4.0f - (16.0f * 0.5f + 2.0f));
  EXPECT_EQ(g[2].x, 100.0f - 4.0f);
}

TEST(LayoutTextTest, OffsetYMovesTheWholeTextUpOnce) {
  const std::vector<GlyphQuad> g = layout(plainFont(TEXT_OFFSET_Y), 0.0f, 100.0f, "A\nB");
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0].y, 92.0f);
  EXPECT_EQ(g[1].y, 100.0f);
}

TEST(LayoutTextTest, ColourTagsChangeRedGreenBlueForTheRestOfTheCall) {
  const BitmapFont font = plainFont(0);
  const std::vector<GlyphQuad> g = layout(font, 0.0f, 0.0f, "A<#ff0000>BC", nullptr, ColorRGBA{9, 9, 9, 77});
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[0].color, (ColorRGBA{9, 9, 9, 77}));
  EXPECT_EQ(g[1].color, (ColorRGBA{255, 0, 0, 77}));  // alpha stays the caller's
  EXPECT_EQ(g[2].color, (ColorRGBA{255, 0, 0, 77}));
  // The tag is not drawn and takes no advance of its own.
  EXPECT_EQ(g[1].x, 8.0f);
  EXPECT_EQ(g[2].x, 16.0f);
  // A new call starts again with its own colour.
  const std::vector<GlyphQuad> again = layout(font, 0.0f, 0.0f, "A", nullptr, ColorRGBA{9, 9, 9, 77});
  EXPECT_EQ(again[0].color, (ColorRGBA{9, 9, 9, 77}));
}

TEST(LayoutTextTest, HexPairsStopAtTheFirstNonHexCharacter) {
  const std::vector<GlyphQuad> g = layout(plainFont(0), 0, 0, "<#1z0AfG>A<#f>B", nullptr, ColorRGBA{5, 5, 5, 5});
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0].color, (ColorRGBA{1, 10, 15, 5}));
  EXPECT_EQ(g[1].color, (ColorRGBA{15, 0, 0, 5}));  // missing pairs read 0
}

TEST(LayoutTextTest, OtherTagsAreSkippedAndStopTagsEndTheText) {
  bool finished = true;
  std::vector<GlyphQuad> g = layout(plainFont(0), 0, 0, "A<x>B<Stop>C", &finished);
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[1].code, 'B');
  EXPECT_FALSE(finished);
  g = layout(plainFont(0), 0, 0, "AB", &finished);
  EXPECT_TRUE(finished);
}

TEST(LayoutTextTest, UnsupportedTextDrawsNothingForItsCharacters) {
  // An unclosed tag swallows the rest; a tag at the very end draws nothing.
  EXPECT_EQ(layout(plainFont(0), 0, 0, "AB<#ff0000 CD").size(), 2u);
  EXPECT_EQ(layout(plainFont(0), 0, 0, "AB<#00ff00>").size(), 2u);
  // Consecutive tags are all read.
  const std::vector<GlyphQuad> tags = layout(plainFont(0), 0, 0, "<#ff0000><#00ff00>A", nullptr, ColorRGBA{0, 0, 0, 1});
  ASSERT_EQ(tags.size(), 1u);
  EXPECT_EQ(tags[0].color, (ColorRGBA{0, 255, 0, 1}));
  // Bytes without a cell keep their advance but draw no glyph.
  const std::vector<GlyphQuad> bytes = layout(plainFont(0), 0, 0, "A\x01\xe9" "B\t");
  ASSERT_EQ(bytes.size(), 2u);
  EXPECT_EQ(bytes[1].code, 'B');
  EXPECT_EQ(bytes[1].x, 24.0f);
  // A tag longer than the tag buffer is still skipped as a whole.
  const std::string longTag = "A<#" + std::string(500, 'f') + ">B";
  const std::vector<GlyphQuad> skipped = layout(plainFont(0), 0, 0, longTag.c_str(), nullptr, ColorRGBA{0, 0, 0, 1});
  ASSERT_EQ(skipped.size(), 2u);
  EXPECT_EQ(skipped[1].color, (ColorRGBA{255, 255, 255, 1}));
}

class DrawTextTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEmitter(); }
  PrimitiveCapture capture;
};

TEST_F(DrawTextTest, EachGlyphIsOneQuadWithItsCell) {
  const BitmapFont font = plainFont(0);
  font.DrawText(10.0f, 20.0f, ColorRGBA{1, 2, 3, 4}, "%d", 7);
  ASSERT_EQ(capture.primitives.size(), 1u);
  const CapturedPrimitive& quad = capture.primitives[0];
  EXPECT_EQ(quad.type, D3DPT_TRIANGLEFAN);
  EXPECT_EQ(quad.primitiveCount, 2u);
  ASSERT_EQ(quad.vertices.size(), 4u);
  const float s = ('7' - 32) % 16 / 16.0f, t = ('7' - 32) / 16 / 16.0f, d = 1.0f / 16.0f;
  const float expected[4][4] = {{10, 20, s, t}, {26, 20, s + d, t}, {26, 36, s + d, t + d}, {10, 36, s, t + d}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(quad.vertices[i].x, expected[i][0]) << i;
    EXPECT_EQ(quad.vertices[i].y, expected[i][1]) << i;
    EXPECT_EQ(quad.vertices[i].u, expected[i][2]) << i;
    EXPECT_EQ(quad.vertices[i].v, expected[i][3]) << i;
    EXPECT_EQ(quad.vertices[i].diffuse, (ColorRGBA{1, 2, 3, 4}.toD3D()));
  }
  // The last glyph's corner stays current for shapes that set no coordinate.
  EXPECT_EQ(immediateEmitter().u, s);
  EXPECT_EQ(immediateEmitter().v, t + d);
}

TEST_F(DrawTextTest, FormatsWithPrintfAndTruncatesAtTheBuffer) {
  const BitmapFont font = plainFont(0);
  font.DrawText(0.0f, 0.0f, ColorRGBA{}, "Time %d At %.2f FPS", 1234, 59.987);
  // "Time 1234 At 59.99 FPS": 22 characters, 4 spaces.
  EXPECT_EQ(capture.primitives.size(), 18u);
  capture.primitives.clear();
  const std::string longText(5000, 'x');
  font.DrawText(0.0f, 0.0f, ColorRGBA{}, "%s", longText.c_str());
  EXPECT_EQ(capture.primitives.size(), static_cast<std::size_t>(TEXT_BUFFER_SIZE - 1));
}

TEST_F(DrawTextTest, AbsentOrEmptyTextDrawsNothing) {
  const BitmapFont font = plainFont(0);
  font.DrawText(0.0f, 0.0f, ColorRGBA{}, nullptr);
  font.DrawText(0.0f, 0.0f, ColorRGBA{}, "%s", "");
  EXPECT_TRUE(capture.primitives.empty());
}

}  // namespace
