#include "common/preview.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/scene_builder.h"

namespace content {

namespace {

struct DecodedVertex {
  V3 p, n;
  Rgba color;
  float build = 0, shade = 1;
};

float readFloat(const std::uint8_t* p) {
  float f;
  std::memcpy(&f, p, 4);
  return f;
}

std::vector<DecodedVertex> decode(const scenefile::ModelRecord& model, bool* colored) {
  const std::uint32_t stride = scenefile::strideOf(model.elements);
  std::vector<DecodedVertex> out(model.vertexCount);
  *colored = false;
  for (std::uint32_t i = 0; i < model.vertexCount; ++i) {
    const std::uint8_t* v = model.vertexData.data() + static_cast<std::size_t>(i) * stride;
    DecodedVertex& d = out[i];
    for (const scenefile::Element& e : model.elements) {
      const std::uint8_t* p = v + e.offset;
      if (e.usage == 1) d.p = {readFloat(p), readFloat(p + 4), readFloat(p + 8)};
      if (e.usage == 2) d.n = {readFloat(p), readFloat(p + 4), readFloat(p + 8)};
      if (e.usage == 8) {
        *colored = true;
        d.color = {p[2] / 255.0f, p[1] / 255.0f, p[0] / 255.0f, p[3] / 255.0f};
      }
      if (e.usage == 4 && e.usageIndex == 1) {
        d.build = readFloat(p);
        d.shade = readFloat(p + 4);
      }
    }
  }
  return out;
}

V3 toV(const Vec3& v) { return {v.x, v.y, v.z}; }
Q toQ(const Quat& q) { return {q.x, q.y, q.z, q.w}; }

}  // namespace

bool nodePose(const scenefile::SceneRecord& scene, const std::string& name, float time, V3* position, Q* rotation) {
  for (const auto& node : scene.nodes) {
    if (node.name != name) continue;
    *position = toV(node.position);
    *rotation = toQ(node.rotation);
    if ((node.flags & NODE_ANIMATED) && !node.keys.empty()) {
      const Pose pose = evaluateTrack(node.keys, time);
      *position = pose.position;
      *rotation = pose.rotation;
    }
    return true;
  }
  return false;
}

void renderPreview(Image& image, Rasterizer& raster, const scenefile::SceneRecord& scene, const PreviewView& view,
                   const PreviewOptions& options) {
  M4 viewM;
  M4x proj;
  if (view.kind == PreviewView::Kind::Camera) {
    V3 cp;
    Q cq;
    for (const auto& node : scene.nodes) {
      if ((node.flags & NODE_CAMERA) && node.cameraIndex < scene.cameras.size() &&
          scene.cameras[node.cameraIndex].name == view.camera) {
        nodePose(scene, node.name, options.time, &cp, &cq);
        break;
      }
    }
    viewM = view.extraView * cameraView(cp, cq);
    proj = M4x::perspectiveFovRH(view.fovDegrees * kPi / 180.0f, view.aspect, view.zn, view.zf);
  } else {
    // (x, y) -> (1000 x + 320, 240 -+ 1000 y) on the 640 x 480 screen, as clip
    // coordinates; z is kept within the orthographic depth range.
    const float ys = view.kind == PreviewView::Kind::LayerUp ? 1.0f : -1.0f;
    viewM = M4::scaling({1000.0f / 320.0f, ys * 1000.0f / 240.0f, -0.5f}) * M4::translation({0, 0, 0.5f});
    proj = M4x{};
  }
  const V3 light = normalize(V3{0.35f, 0.45f, 0.82f});
  for (const auto& node : scene.nodes) {
    if (!(node.flags & NODE_MODEL) || node.modelIndex >= scene.models.size()) continue;
    V3 np{node.position.x, node.position.y, node.position.z};
    Q nq{node.rotation.x, node.rotation.y, node.rotation.z, node.rotation.w};
    if ((node.flags & NODE_ANIMATED) && !node.keys.empty()) {
      const Pose pose = evaluateTrack(node.keys, options.time);
      np = pose.position;
      nq = pose.rotation;
    }
    const M4 world = M4::compose(toV(node.scale), nq, np);
    const M4 modelView = world * viewM;
    // Shading sees the layers' own model-view (scaled by 1000 about the screen
    // centre), whose normals keep facing the viewer.
    const M4 shadeView = view.kind == PreviewView::Kind::Camera
                             ? modelView
                             : world * M4::scaling({1000, view.kind == PreviewView::Kind::LayerUp ? -1000.0f : 1000.0f, 1000});
    const M4x toClip = M4x::from(modelView) * proj;
    const scenefile::ModelRecord& model = scene.models[node.modelIndex];
    bool colored = false;
    const std::vector<DecodedVertex> verts = decode(model, &colored);
    for (const scenefile::Subset& subset : model.subsets) {
      if (subset.materialIndex >= scene.materials.size()) continue;
      const scenefile::MaterialRecord& material = scene.materials[subset.materialIndex];
      MaterialStyle style;
      auto found = options.styles.find(material.name);
      if (found != options.styles.end()) style = found->second;
      else if (colored) style.look = MaterialLook::Vertex;
      const ColorF diffuse = style.overrideDiffuse ? style.diffuse : material.diffuse;
      std::vector<RasterVertex> tris;
      for (std::size_t i = 0; i + 2 < subset.indices.size(); i += 3) {
        float build = 0;
        for (int k = 0; k < 3; ++k) build = std::max(build, verts[subset.indices[i + k]].build);
        const bool reveal = style.look == MaterialLook::Reveal || style.look == MaterialLook::Wipe;
        if (reveal && build > options.aux) continue;
        const bool edge = reveal && build > options.aux - 0.08f;
        for (int k = 0; k < 3; ++k) {
          const DecodedVertex& d = verts[subset.indices[i + k]];
          Rgba c;
          if (style.look == MaterialLook::Vertex) {
            c = d.color;
          } else {
            const V3 n = shadeView.normal(d.n);
            const float wrap = 0.5f + 0.5f * dot(n, light);
            const float lambert = 0.2f + 0.8f * wrap * wrap;
            c = {(style.ambient.r + diffuse.r * lambert) * d.shade, (style.ambient.g + diffuse.g * lambert) * d.shade,
                 (style.ambient.b + diffuse.b * lambert) * d.shade, diffuse.a};
            if (edge) c = {1.0f, 0.55f, 0.15f, 1.0f};
          }
          tris.push_back({d.p, c});
        }
      }
      raster.draw(tris, toClip, style.blend, view.kind == PreviewView::Kind::Camera,
                  style.blend == BlendMode::Opaque);
    }
  }
  (void)image;
}

bool writePreview(const std::string& path, const scenefile::SceneRecord& scene, const PreviewView& view,
                  const PreviewOptions& options, Rgba background, int width, int height) {
  Image image(width, height, background);
  Rasterizer raster(image);
  renderPreview(image, raster, scene, view, options);
  return image.writePng(path);
}

}  // namespace content
