// Shapes, text and the transition veil on the headless device, checked by
// reading the pixels back.
#include <gtest/gtest.h>

#include <filesystem>

#include "blocks/blocks.h"
#include "scene/texture.h"
#include "ui2d/bitmap_font.h"
#include "ui2d/headless_device.h"
#include "ui2d/test_images.h"

namespace {

class Rendering2D : public ::testing::Test {
 protected:
  void SetUp() override { OPEN_HEADLESS(dev, 640, 480); }
  void TearDown() override {
    delete sheet;
    sheet = nullptr;
    dev.close();
  }

  // A glyph sheet loaded with point filtering, as the programs load theirs.
  Texture* loadSheet(const std::string& filled) {
    const std::string dir = makeTempDirectory("vorn-font");
    const std::string path = dir + "/sheet.png";
    EXPECT_TRUE(writeTestPng(path, 256, 256, glyphSheet(filled)));
    dev.graphics()->setTextureFilterDefaults(D3DTEXF_POINT);
    sheet = new Texture(path);
    std::filesystem::remove_all(dir);
    EXPECT_NE(sheet->resource, nullptr);
    return sheet;
  }

  HeadlessDevice dev;
  Texture* sheet = nullptr;
};

TEST_F(Rendering2D, ScreenRectCoversTheScreenInRed) {
  dev.begin2D(0xff000000u, 640, 480);
  DrawScreenRect(640, 480, ColorRGBA::fromWord(0xff0000ffu));
  ASSERT_TRUE(dev.read());
  for (const auto& xy : {std::pair{0, 0}, {639, 0}, {320, 240}, {0, 479}, {639, 479}})
    EXPECT_TRUE(PixelNear(dev.at(xy.first, xy.second), 255, 0, 0)) << xy.first << "," << xy.second;
  EXPECT_EQ(dev.renderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
}

TEST_F(Rendering2D, TransparentRectLeavesTheImage) {
  dev.begin2D(D3DCOLOR_XRGB(20, 40, 60), 640, 480);
  DrawScreenRect(640, 480, ColorRGBA{255, 255, 255, 0});
  ASSERT_TRUE(dev.read());
  EXPECT_TRUE(PixelNear(dev.at(100, 100), 20, 40, 60));
}

TEST_F(Rendering2D, PositionedShapesLandOnTheirPixels) {
  // A 640 x 480 device: one 2D unit per pixel.
  dev.begin2D(0xff000000u, 640, 480);
  DrawGradientRect(100, 50, 40, 30, ColorRGBA{0, 255, 0, 255}, ColorRGBA{0, 255, 0, 255});
  ASSERT_TRUE(dev.read());
  EXPECT_TRUE(PixelNear(dev.at(100, 50), 0, 255, 0));
  EXPECT_TRUE(PixelNear(dev.at(139, 79), 0, 255, 0));
  EXPECT_TRUE(PixelNear(dev.at(99, 60), 0, 0, 0));
  EXPECT_TRUE(PixelNear(dev.at(140, 60), 0, 0, 0));
  EXPECT_TRUE(PixelNear(dev.at(120, 49), 0, 0, 0));
  EXPECT_TRUE(PixelNear(dev.at(120, 80), 0, 0, 0));
}

TEST_F(Rendering2D, GradientRunsFromTheTopColourToTheBottomColour) {
  dev.begin2D(0xff000000u, 640, 480);
  DrawGradientRect(0, 0, 640, 480, ColorRGBA{255, 0, 0, 255}, ColorRGBA{0, 0, 255, 255});
  ASSERT_TRUE(dev.read());
  EXPECT_TRUE(PixelNear(dev.at(300, 0), 255, 0, 0));
  EXPECT_TRUE(PixelNear(dev.at(300, 479), 0, 0, 255));
  EXPECT_TRUE(PixelNear(dev.at(300, 240), 127, 0, 128, 3));
  EXPECT_TRUE(PixelNear(dev.at(10, 120), 191, 0, 64, 3));
}

TEST_F(Rendering2D, TexturedRectKeepsTheCallersAdditiveBlend) {
  dev.begin2D(D3DCOLOR_XRGB(50, 50, 50), 640, 480);
  dev.device()->SetTexture(0, nullptr);
  dev.device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  dev.device()->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  DrawTexturedRect(0, 0, 640, 480, ColorRGBA{100, 0, 20, 255});
  ASSERT_TRUE(dev.read());
  EXPECT_TRUE(PixelNear(dev.at(320, 240), 150, 50, 70));
  EXPECT_EQ(dev.renderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(dev.renderState(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_EQ(dev.renderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
}

TEST_F(Rendering2D, VirtualScreenStretchesOverTheBackBuffer) {
  dev.begin2D(0xff000000u, 320, 240);  // half-size virtual screen
  DrawGradientRect(160, 120, 160, 120, ColorRGBA{255, 255, 0, 255}, ColorRGBA{255, 255, 0, 255});
  ASSERT_TRUE(dev.read());
  EXPECT_TRUE(PixelNear(dev.at(320, 240), 255, 255, 0));
  EXPECT_TRUE(PixelNear(dev.at(639, 479), 255, 255, 0));
  EXPECT_TRUE(PixelNear(dev.at(319, 239), 0, 0, 0));
}

TEST_F(Rendering2D, LinesAndArrows) {
  dev.begin2D(0xff000000u, 640, 480);
  DrawLine(10, 20, 200, 20, ColorRGBA{255, 255, 255, 255});
  DrawArrowRight(300, 300, ColorRGBA{255, 0, 0, 255});
  ASSERT_TRUE(dev.read());
  int lit = 0;
  for (int y = 19; y <= 21; ++y) lit += dev.at(100, y).r > 200 ? 1 : 0;
  EXPECT_EQ(lit, 1);  // one pixel wide
  EXPECT_TRUE(PixelNear(dev.at(100, 40), 0, 0, 0));
  EXPECT_TRUE(PixelNear(dev.at(302, 305), 255, 0, 0));  // near the base
  EXPECT_TRUE(PixelNear(dev.at(309, 301), 0, 0, 0));    // above the slope
}

TEST_F(Rendering2D, TextDrawsTexturedGlyphCells) {
  BitmapFont font(loadSheet("AB"));
  font.flags = 0;
  font.glyphSize = 32.0f;
  font.advanceDivisor = 1.0f;
  dev.begin2D(0xff000000u, 640, 480);
  font.DrawText(100.0f, 100.0f, ColorRGBA{255, 255, 255, 255}, "AB");
  font.DrawText(100.0f, 200.0f, ColorRGBA{255, 255, 255, 255}, "<#ff8000>A");
  ASSERT_TRUE(dev.read());
  EXPECT_TRUE(PixelNear(dev.at(101, 101), 255, 255, 255));  // A: its whole cell
  EXPECT_TRUE(PixelNear(dev.at(130, 130), 255, 255, 255));
  EXPECT_TRUE(PixelNear(dev.at(99, 110), 0, 0, 0));
  EXPECT_TRUE(PixelNear(dev.at(140, 105), 255, 255, 255));  // B: top half of its cell
  EXPECT_TRUE(PixelNear(dev.at(140, 125), 0, 0, 0));        // transparent bottom half
  // The glyph after a leading tag still takes an advance (the tag's
  // characters count as positions), and it takes the tag's colour.
  EXPECT_TRUE(PixelNear(dev.at(110, 210), 0, 0, 0));
  EXPECT_TRUE(PixelNear(dev.at(140, 210), 255, 128, 0));
}

TEST_F(Rendering2D, TextLeavesStageZeroEmptyAndBlendingOff) {
  BitmapFont font(loadSheet(""));
  dev.begin2D(0xff000000u, 640, 480);
  font.DrawText(10.0f, 10.0f, ColorRGBA{255, 255, 255, 255}, "Hi");
  EXPECT_EQ(dev.texture(0), nullptr);
  EXPECT_EQ(dev.renderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(FALSE));
  EXPECT_EQ(dev.renderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));

  // A stop tag leaves the text's own states in place.
  font.DrawText(10.0f, 10.0f, ColorRGBA{255, 255, 255, 255}, "A<S>B");
  EXPECT_NE(dev.texture(0), nullptr);
  EXPECT_EQ(dev.renderState(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));

  // An absent format touches nothing.
  dev.device()->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  font.DrawText(10.0f, 10.0f, ColorRGBA{255, 255, 255, 255}, nullptr);
  EXPECT_EQ(dev.renderState(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_ONE));
  EXPECT_NE(dev.texture(0), nullptr);
}

TEST_F(Rendering2D, AFontWithoutTextureDrawsWithWhatStageZeroHolds) {
  Texture* sheetTexture = loadSheet("");
  BitmapFont font;  // no texture of its own
  font.flags = 0;
  dev.begin2D(0xff000000u, 640, 480);
  BindTextureStage(sheetTexture, 0);
  font.DrawText(50.0f, 50.0f, ColorRGBA{0, 255, 255, 255}, "X");
  EXPECT_EQ(dev.texture(0), nullptr);  // still cleared at the end
  ASSERT_TRUE(dev.read());
  EXPECT_TRUE(PixelNear(dev.at(58, 58), 0, 255, 255));
}

TEST_F(Rendering2D, BindingATextureWithoutAnImageClearsTheStage) {
  Texture* sheetTexture = loadSheet("");
  dev.device()->SetTexture(0, sheetTexture->resource->texture);
  Texture missing("no-such-file.png");
  ASSERT_EQ(missing.resource, nullptr);
  BindTextureStage(&missing, 0);
  EXPECT_EQ(dev.texture(0), nullptr);
}

// Renders the veil of one window at a moment over a white picture that has
// a texture bound on stage 0 (which the veil must not use).
Pixel veilPixel(HeadlessDevice& dev, IDirect3DBaseTexture9* boundTexture, int start, int end, int now) {
  dev.begin2D(0xffffffffu, 640, 480);
  dev.device()->SetTexture(0, boundTexture);
  block2 veil(start, end, nullptr);
  veil.nowMs = now;
  veil.render();
  EXPECT_TRUE(dev.read());
  return dev.at(320, 240);
}

TEST_F(Rendering2D, VeilFadesTheScreenToNearBlack) {
  Texture* bound = loadSheet("");  // transparent cell at the centre
  IDirect3DBaseTexture9* texture = bound->resource->texture;
  EXPECT_TRUE(PixelNear(veilPixel(dev, texture, 15450, 19550, 17500), 1, 1, 1));
  // alpha 15: 1 x 15/255 + 255 x 240/255
  EXPECT_TRUE(PixelNear(veilPixel(dev, texture, 15450, 19550, 16475), 240, 240, 240));
  EXPECT_TRUE(PixelNear(veilPixel(dev, texture, 15450, 19550, 18525), 240, 240, 240));
  EXPECT_TRUE(PixelNear(veilPixel(dev, texture, 15450, 19550, 15450), 255, 255, 255));
  EXPECT_TRUE(PixelNear(veilPixel(dev, texture, -2050, 2050, 0), 1, 1, 1));
  EXPECT_EQ(dev.texture(0), nullptr);
  EXPECT_EQ(dev.renderState(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_FALSE));
}

}  // namespace
