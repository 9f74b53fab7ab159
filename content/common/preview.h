// Preview pictures of a scene record, rendered in software through the same
// transforms the show applies: a scene camera with a perspective, or the flat
// 640 x 480 layer scaled by 1000 about the screen centre. They approximate the
// shaders (lambert from a light in view space, the reveal front, vertex
// colours) closely enough to judge placement, framing and timing.
#pragma once

#include <map>
#include <string>

#include "common/image.h"
#include "common/raster.h"
#include "scene/scene_file.h"

namespace content {

enum class MaterialLook {
  Shaded,    // lambert with diffuse and ambient, times the vertex shade
  Reveal,    // like Shaded, cut by the build front, orange edge behind it
  Wipe,      // flat layer wipe: like Reveal, for 2D layers
  Vertex,    // fixed function: vertex colour
};

struct MaterialStyle {
  MaterialLook look = MaterialLook::Shaded;
  BlendMode blend = BlendMode::Opaque;
  ColorF ambient{0, 0, 0, 0};
  bool overrideDiffuse = false;
  ColorF diffuse{1, 1, 1, 1};
};

struct PreviewView {
  enum class Kind { Camera, LayerUp, LayerDown } kind = Kind::Camera;
  std::string camera;  // camera name (its node's pose at the preview time)
  float fovDegrees = 35, zn = 0.2f, zf = 500, aspect = 4.0f / 3.0f;
  M4 extraView;  // multiplied in front of the camera view (new = extra x view)
};

struct PreviewOptions {
  float time = 0;   // animation time of the record's tracks
  float aux = 2;    // front of the reveal shaders
  std::map<std::string, MaterialStyle> styles;  // by material name
};

// Draws every model node of the record over what the image holds.
void renderPreview(Image& image, Rasterizer& raster, const scenefile::SceneRecord& scene, const PreviewView& view,
                   const PreviewOptions& options);
// Renders a preview over a background colour and writes it as PNG.
bool writePreview(const std::string& path, const scenefile::SceneRecord& scene, const PreviewView& view,
                  const PreviewOptions& options, Rgba background, int width = 640, int height = 480);
// The pose of a named node at a time (its track, or its file pose).
bool nodePose(const scenefile::SceneRecord& scene, const std::string& name, float time, V3* position, Q* rotation);

}  // namespace content
