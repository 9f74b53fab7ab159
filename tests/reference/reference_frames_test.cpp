// Reference frames of the whole show: the real show rendered small at fixed
// music times and compared with pictures committed under
// tests/reference/frames. After an intended change of the picture,
// scripts/update-reference-frames.sh writes new references.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "graphics/graphics_device.h"
#include "platform/d3d9/d3d9_vorn.h"
#include "platform/d3dx9/image_decode.h"
#include "platform/fmod/fmod_vorn.h"
#include "runtime/demo.h"
#include "ui2d/display_settings.h"

namespace fs = std::filesystem;

namespace {

// Two or more times in every main block and one in the middle of each veil,
// in show order (frames depend on the frames before them, as in the show).
const std::int32_t kTimes[] = {0,     9000,  15000, 17500,  30000,  45000,  54000,  58500,  60000,
                               66000, 74000, 78000, 90000,  105000, 120000, 140000, 155000, 170000};

// Tolerance: the software rasteriser may round a colour channel differently
// by a step or two where the driver or compiler flags change, and an edge
// pixel may flip coverage. A channel within 12 of the reference counts as
// equal; up to 1% of the pixels may differ by more (thin edges, sprite
// borders) before the frame counts as changed. A real change of the picture
// (a layer moved, a pass missing, a colour changed) touches far more.
constexpr int kChannelTolerance = 12;
constexpr double kMaxDifferingShare = 0.01;

const fs::path kReferenceDir = fs::path(VORN_TEST_SOURCE_DIR) / "reference" / "frames";

std::string frameName(std::int32_t timeMs) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06d.png", timeMs);
  return name;
}

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;
};

bool loadPicture(const fs::path& path, Picture* picture) {
  vorn::d3dx::DecodedImage image;
  if (!vorn::d3dx::decodeImageFile(path.string().c_str(), &image, nullptr)) return false;
  picture->width = image.width;
  picture->height = image.height;
  picture->rgba = std::move(image.rgba);
  return true;
}

void savePicture(const fs::path& path, const Picture& picture) {
  stbi_write_png(path.string().c_str(), picture.width, picture.height, 4, picture.rgba.data(), picture.width * 4);
}

class ReferenceFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    dataDir_ = std::getenv("VORN_DATA_DIR") ? std::getenv("VORN_DATA_DIR") : VORN_DATA_DIR;
    if (!fs::exists(fs::path(dataDir_) / "models" / "scene_1.nc")) GTEST_SKIP() << "no demo data in " << dataDir_;
    previousDir_ = fs::current_path();
    fs::current_path(dataDir_);
  }
  void TearDown() override {
    if (!previousDir_.empty()) fs::current_path(previousDir_);
  }
  std::string dataDir_;
  fs::path previousDir_;
};

TEST_F(ReferenceFrames, ShowMatchesTheCommittedFrames) {
  const bool update = std::getenv("VORN_UPDATE_REFERENCES") != nullptr;
  const fs::path failureDir = fs::path(VORN_BINARY_DIR) / "reference-failures";

  VornFmod_EnableVirtualClock(true);
  VornD3D_SetVsync(false);
  DisplaySettings settings;
  settings.width = 320;
  settings.height = 240;
  settings.aspectRatio = 1.3333334f;
  DemoSession session;
  ASSERT_TRUE(session.start(settings));
  IDirect3DDevice9* device = g_graphicsDevice->device;
  Picture frame;
  session.beforePresent = [&] { VornD3D_ReadPixels(device, &frame.rgba, &frame.width, &frame.height); };

  std::vector<std::string> changed;
  for (std::int32_t timeMs : kTimes) {
    VornFmod_SetVirtualPosition(static_cast<unsigned int>(timeMs));
    session.timeline.musicTimeMs = timeMs;
    frame.rgba.clear();
    session.runFrame();
    ASSERT_FALSE(frame.rgba.empty()) << "no frame read back at " << timeMs;
    const fs::path referencePath = kReferenceDir / frameName(timeMs);
    if (update) {
      fs::create_directories(kReferenceDir);
      savePicture(referencePath, frame);
      continue;
    }
    Picture reference;
    if (!loadPicture(referencePath, &reference)) {
      ADD_FAILURE() << "missing reference " << referencePath << " (run scripts/update-reference-frames.sh)";
      continue;
    }
    ASSERT_EQ(reference.width, frame.width);
    ASSERT_EQ(reference.height, frame.height);
    Picture difference{frame.width, frame.height, std::vector<std::uint8_t>(frame.rgba.size(), 0)};
    std::size_t differing = 0;
    const std::size_t pixels = static_cast<std::size_t>(frame.width) * frame.height;
    for (std::size_t i = 0; i < pixels; ++i) {
      int worst = 0;
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(frame.rgba[i * 4 + c] - reference.rgba[i * 4 + c]));
      if (worst > kChannelTolerance) ++differing;
      std::uint8_t shown = static_cast<std::uint8_t>(std::min(255, worst * 4));
      difference.rgba[i * 4 + 0] = shown;
      difference.rgba[i * 4 + 1] = worst > kChannelTolerance ? 0 : shown;
      difference.rgba[i * 4 + 2] = worst > kChannelTolerance ? 0 : shown;
      difference.rgba[i * 4 + 3] = 255;
    }
    double share = static_cast<double>(differing) / static_cast<double>(pixels);
    if (share > kMaxDifferingShare) {
      fs::create_directories(failureDir);
      savePicture(failureDir / ("actual_" + frameName(timeMs)), frame);
      savePicture(failureDir / ("difference_" + frameName(timeMs)), difference);
      changed.push_back(frameName(timeMs));
      ADD_FAILURE() << "frame at " << timeMs << " ms differs from its reference in " << share * 100.0
                    << "% of the pixels; actual and difference images are in " << failureDir;
    }
  }
  session.beforePresent = nullptr;
  session.shutdown();
  destroyGlobalFramework();
  EXPECT_TRUE(changed.empty());
}

}  // namespace
