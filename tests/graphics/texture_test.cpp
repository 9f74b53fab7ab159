// Textures: where the file is looked up, what name is kept, and the filters
// copied from the device at creation.
#include <unistd.h>

#include <filesystem>

#include <stb_image_write.h>

#include "device_fixture.h"
#include "scene/texture.h"

namespace {

namespace fs = std::filesystem;

class TextureTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    previous = fs::current_path();
    folder = fs::temp_directory_path() / ("vorn_texture_test_" + std::to_string(::getpid()));
    fs::create_directories(folder / "textures");
    fs::create_directories(folder / "extra");
    fs::current_path(folder);
    writeImage("textures/in_folder.png");
    writeImage("extra/outside.png");
    writeImage("both.png");
    writeImage("textures/both.png");
    std::FILE* f = std::fopen("textures/broken.png", "wb");
    std::fputs("not an image", f);
    std::fclose(f);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(folder);
    DeviceTest::TearDown();
  }
  static void writeImage(const char* path) {
    const std::uint8_t pixels[4 * 4 * 4] = {255, 0, 0, 255};
    ASSERT_NE(stbi_write_png(path, 4, 4, 4, pixels, 16), 0);
  }

  fs::path previous;
  fs::path folder;
};

TEST_F(TextureTest, FoundInTheTextureFolderFirst) {
  Texture t("in_folder.png");
  EXPECT_NE(t.resource, nullptr);
  EXPECT_EQ(t.name, "textures\\in_folder.png");
  ASSERT_NE(t.resource, nullptr);
  EXPECT_NE(t.resource->texture, nullptr);
  EXPECT_EQ(t.resource->kind, 1u);
  EXPECT_EQ(t.resource->renderToSurface, nullptr);

  Texture both("both.png");
  EXPECT_EQ(both.name, "textures\\both.png");
}

TEST_F(TextureTest, FallsBackToTheNameAsGiven) {
  Texture t("extra\\outside.png");
  EXPECT_NE(t.resource, nullptr);
  EXPECT_EQ(t.name, "extra\\outside.png");
}

TEST_F(TextureTest, MissingOrUndecodableFileGivesNoResource) {
  Texture missing("nowhere.png");
  EXPECT_EQ(missing.resource, nullptr);
  EXPECT_EQ(missing.name, "nowhere.png");
  Texture broken("broken.png");
  EXPECT_EQ(broken.resource, nullptr);
  EXPECT_EQ(broken.name, "broken.png");
  EXPECT_EQ(createTextureFromFile("textures\\broken.png"), nullptr);
  EXPECT_TRUE(messages.empty());
}

TEST_F(TextureTest, OverlongNamesAreRejectedSafely) {
  // "textures\" + 118 characters is 127: the longest path that fits.
  const std::string fits(118 - 4, 'a');
  writeImage(("textures/" + fits + ".png").c_str());
  Texture longest(fits + ".png");
  EXPECT_NE(longest.resource, nullptr);
  EXPECT_EQ(longest.name, "textures\\" + fits + ".png");

  const std::string tooLong(119 - 4, 'b');
  writeImage(("textures/" + tooLong + ".png").c_str());
  Texture overlong(tooLong + ".png");
  EXPECT_EQ(overlong.resource, nullptr);
  EXPECT_EQ(overlong.name, tooLong + ".png");

  Texture huge(std::string(5000, 'c'));
  EXPECT_EQ(huge.resource, nullptr);
  EXPECT_EQ(huge.name.size(), 5000u);
}

TEST_F(TextureTest, FiltersAreCopiedAtCreation) {
  graphics->setTextureFilterDefaults(D3DTEXF_POINT);
  Texture pointFiltered("in_folder.png");
  graphics->setTextureFilterDefaults(D3DTEXF_LINEAR);
  Texture linear("in_folder.png");
  ASSERT_NE(pointFiltered.resource, nullptr);
  ASSERT_NE(linear.resource, nullptr);
  EXPECT_EQ(pointFiltered.resource->minFilter, static_cast<std::uint32_t>(D3DTEXF_POINT));
  EXPECT_EQ(pointFiltered.resource->magFilter, static_cast<std::uint32_t>(D3DTEXF_POINT));
  EXPECT_EQ(linear.resource->minFilter, static_cast<std::uint32_t>(D3DTEXF_LINEAR));

  graphics->defaultMaxAnisotropy = 4;
  Texture anisotropic("in_folder.png");
  EXPECT_EQ(anisotropic.resource->maxAnisotropy, 4u);
  // Each load is its own resource.
  EXPECT_NE(linear.resource, pointFiltered.resource);
  EXPECT_NE(linear.resource->texture, pointFiltered.resource->texture);
}

TEST_F(TextureTest, ReloadingReplacesTheResource) {
  Texture t("in_folder.png");
  ASSERT_NE(t.resource, nullptr);
  EXPECT_FALSE(t.load("nowhere.png"));
  EXPECT_EQ(t.resource, nullptr);
  EXPECT_EQ(t.name, "nowhere.png");
  EXPECT_TRUE(t.load("extra\\outside.png"));
  EXPECT_EQ(t.name, "extra\\outside.png");
}

TEST(TextureWithoutDeviceTest, NothingIsCreated) {
  ASSERT_EQ(g_graphicsDevice, nullptr);
  Texture t("anything.png");
  EXPECT_EQ(t.resource, nullptr);
  EXPECT_EQ(createTextureFromFile("anything.png"), nullptr);
}

}  // namespace
