// vorn-tool scene FILE [--animate T]...: what the .nc reader makes of a scene
// file, as JSON, optionally after animating it to the given times in order.
// It needs no graphics device: textures are listed by name without loading
// images, and models report their layout from the vertex profile.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "command_registry.h"
#include "scene/scene.h"

namespace {

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          // Names are single-byte text: other bytes become escapes of their
          // value, so the output stays valid JSON.
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + '"';
}

// Shortest text that reads back as the same float, always with a decimal
// point or exponent; JSON has no NaN or infinity, so those print as null.
std::string jsonFloat(float value) {
  if (!std::isfinite(value)) return "null";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

std::string jsonVec3(const Vec3& v) {
  return "[" + jsonFloat(v.x) + ", " + jsonFloat(v.y) + ", " + jsonFloat(v.z) + "]";
}
std::string jsonQuat(const Quat& q) {
  return "[" + jsonFloat(q.x) + ", " + jsonFloat(q.y) + ", " + jsonFloat(q.z) + ", " + jsonFloat(q.w) + "]";
}

template <typename T>
std::map<const T*, std::size_t> indexOf(const std::list<T*>& list) {
  std::map<const T*, std::size_t> index;
  for (const T* item : list) index.emplace(item, index.size());
  return index;
}

template <typename T>
std::string jsonIndex(const std::map<const T*, std::size_t>& index, const T* item) {
  auto found = index.find(item);
  return found == index.end() ? "null" : std::to_string(found->second);
}

std::string sceneJson(const Scene& scene) {
  const auto textures = indexOf(scene.textures);
  const auto materials = indexOf(scene.materials);
  const auto models = indexOf(scene.models);
  const auto cameras = indexOf(scene.cameras);
  const auto nodes = indexOf(scene.nodes);
  std::string out = "{\"textures\": [";
  bool first = true;
  for (const Texture* texture : scene.textures) {
    out += (first ? "" : ", ") + jsonString(texture->name);
    first = false;
  }

  out += "], \"materials\": [";
  first = true;
  for (const Material* material : scene.materials) {
    out += first ? "" : ", ";
    first = false;
    const ColorF& d = material->diffuse;
    out += "{\"name\": " + jsonString(material->name) + ", \"diffuse\": [" + jsonFloat(d.r) + ", " +
           jsonFloat(d.g) + ", " + jsonFloat(d.b) + ", " + jsonFloat(d.a) + "], \"flags\": " +
           std::to_string(material->flags) + ", \"blendMode\": " + std::to_string(material->blendMode) +
           ", \"textures\": [";
    bool firstTexture = true;
    for (const Texture* texture : material->textures) {
      out += (firstTexture ? "" : ", ") + jsonIndex(textures, texture);
      firstTexture = false;
    }
    out += "]}";
  }

  out += "], \"models\": [";
  first = true;
  for (const Model* model : scene.models) {
    out += first ? "" : ", ";
    first = false;
    out += "{\"name\": " + jsonString(model->name) + ", \"vertexCount\": " + std::to_string(model->vertexCount) +
           ", \"triangleCount\": " + std::to_string(model->triangleCount) +
           ", \"stride\": " + std::to_string(model->profile.stride) + ", \"elements\": [";
    bool firstElement = true;
    for (const VertexProfileElement& e : model->profile.elements) {
      out += firstElement ? "" : ", ";
      firstElement = false;
      // As the file stores them: unsigned 32-bit values.
      const auto u = [](std::int32_t value) { return std::to_string(static_cast<std::uint32_t>(value)); };
      out += "{\"offset\": " + u(e.offset) + ", \"components\": " + u(e.components) + ", \"usage\": " + u(e.usage) +
             ", \"usageIndex\": " + u(e.usageIndex) + "}";
    }
    out += "], \"subsets\": [";
    bool firstSubset = true;
    for (const MeshSubset& subset : model->subsets) {
      out += firstSubset ? "" : ", ";
      firstSubset = false;
      out += "{\"material\": " + jsonIndex(materials, static_cast<const Material*>(subset.material)) +
             ", \"triangleCount\": " + std::to_string(subset.triangleCount) + "}";
    }
    out += "]}";
  }

  out += "], \"cameras\": [";
  first = true;
  for (const Camera* camera : scene.cameras) {
    out += first ? "" : ", ";
    first = false;
    out += "{\"name\": " + jsonString(camera->getName()) + ", \"position\": " + jsonVec3(camera->position) +
           ", \"rotation\": " + jsonQuat(camera->rotation) + "}";
  }

  out += "], \"nodes\": [";
  first = true;
  for (const SceneNode* node : scene.nodes) {
    out += first ? "" : ", ";
    first = false;
    const auto* model = (node->flags & NODE_MODEL) ? dynamic_cast<const Model*>(node->attachment) : nullptr;
    const auto* camera = (node->flags & NODE_CAMERA) ? dynamic_cast<const Camera*>(node->attachment) : nullptr;
    out += "{\"name\": " + jsonString(node->name) + ", \"flags\": " + std::to_string(node->flags) +
           ", \"parent\": " + jsonIndex(nodes, static_cast<const SceneNode*>(node->parent)) +
           ", \"model\": " + jsonIndex(models, model) + ", \"camera\": " + jsonIndex(cameras, camera) +
           ", \"position\": " + jsonVec3(node->position) + ", \"rotation\": " + jsonQuat(node->rotation) +
           ", \"scale\": " + jsonVec3(node->scale) +
           ", \"keyCount\": " + std::to_string(node->track ? node->track->keyCount : 0) +
           ", \"segment\": " + (node->track ? std::to_string(node->track->segment) : std::string("null")) + "}";
  }
  out += "]}";
  return out;
}

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::uint8_t chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + got);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

int runScene(const std::vector<std::string>& args) {
  auto usage = [] {
    std::fprintf(stderr, "usage: vorn-tool scene FILE [--animate T]...\n");
    return 2;
  };
  std::string path;
  std::vector<float> times;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--animate") {
      if (i + 1 >= args.size()) return usage();
      const std::string& text = args[++i];
      char* end = nullptr;
      const float time = std::strtof(text.c_str(), &end);
      if (text.empty() || *end != '\0') return usage();
      times.push_back(time);
    } else if (path.empty()) {
      path = args[i];
    } else {
      return usage();
    }
  }
  if (path.empty()) return usage();

  std::vector<std::uint8_t> bytes;
  if (!readWholeFile(path, &bytes)) {
    std::fprintf(stderr, "vorn-tool scene: cannot read '%s'\n", path.c_str());
    return 1;
  }
  Scene scene;
  std::string error;
  if (!parseScene(&scene, bytes.data(), bytes.size(), &error)) {
    std::fprintf(stderr, "vorn-tool scene: '%s' rejected: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  for (float time : times) scene.animate(time);
  const std::string json = sceneJson(scene);
  std::printf("%s\n", json.c_str());
  scene.destroy();
  return 0;
}

tools::Command command("scene", "scene FILE [--animate T]...", runScene);

}  // namespace
