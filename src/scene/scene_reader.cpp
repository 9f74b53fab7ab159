// The .nc scene reader. The file is read front to back; every count, length
// and index is checked against what the rest of the file can hold before
// anything is allocated for it, so a damaged or hostile file is rejected
// with a reason instead of being trusted.
#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/graphics_device.h"
#include "platform/files/files.h"
#include "scene/scene.h"

namespace {

// Smallest encodings of each record kind, used to bound counts.
constexpr std::uint64_t kMinTexture = 4;
constexpr std::uint64_t kMinMaterial = 28;
constexpr std::uint64_t kMinModel = 40;
constexpr std::uint64_t kMinCamera = 8;
constexpr std::uint64_t kMinNode = 48;
constexpr std::uint64_t kElementBytes = 16;
constexpr std::uint64_t kMinSubset = 8;
constexpr std::uint64_t kKeyBytes = 88;

struct Rejected {
  std::string reason;
};

class Cursor {
 public:
  Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t position() const { return pos_; }
  std::uint64_t remaining() const { return size_ - pos_; }

  [[noreturn]] void reject(const std::string& reason) const {
    throw Rejected{reason + " (at byte " + std::to_string(pos_) + ")"};
  }

  void need(std::uint64_t bytes, const char* what) const {
    if (bytes > remaining()) {
      reject(std::string("file ends early: ") + what + " needs " + std::to_string(bytes) + " bytes, " +
             std::to_string(remaining()) + " left");
    }
  }

  // Checks that count records of at least minBytes each fit in the rest of
  // the file, without multiplying (a stride may be as large as 2^60).
  void fits(std::uint64_t count, std::uint64_t minBytes, const char* what) const {
    if (minBytes != 0 && count > remaining() / minBytes) {
      reject(std::string(what) + " " + std::to_string(count) + " cannot fit in the " +
             std::to_string(remaining()) + " bytes left");
    }
  }

  std::uint32_t u32(const char* what) {
    need(4, what);
    const std::uint8_t* p = data_ + pos_;
    pos_ += 4;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }
  std::int32_t i32(const char* what) { return static_cast<std::int32_t>(u32(what)); }
  float f32(const char* what) {
    const std::uint32_t bits = u32(what);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
  }
  Vec3 vec3(const char* what) {
    need(12, what);
    Vec3 v;
    v.x = f32(what);
    v.y = f32(what);
    v.z = f32(what);
    return v;
  }
  Quat quat(const char* what) {
    need(16, what);
    Quat q;
    q.x = f32(what);
    q.y = f32(what);
    q.z = f32(what);
    q.w = f32(what);
    return q;
  }
  ColorF color(const char* what) {
    need(16, what);
    ColorF c;
    c.r = f32(what);
    c.g = f32(what);
    c.b = f32(what);
    c.a = f32(what);
    return c;
  }
  // A u32 length and that many bytes; the name ends at the first zero byte.
  std::string string(const char* what) {
    const std::uint32_t length = u32(what);
    if (length > remaining()) {
      reject(std::string(what) + " length " + std::to_string(length) + " exceeds the " +
             std::to_string(remaining()) + " bytes left");
    }
    const char* text = reinterpret_cast<const char*>(data_ + pos_);
    pos_ += length;
    const void* zero = std::memchr(text, 0, length);
    return std::string(text, zero ? static_cast<const char*>(zero) - text : length);
  }
  const std::uint8_t* bytes(std::uint64_t count, const char* what) {
    need(count, what);
    const std::uint8_t* p = data_ + pos_;
    pos_ += static_cast<std::size_t>(count);
    return p;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

template <typename T>
T* entry(const std::vector<T*>& table, std::uint32_t index, const char* what, const Cursor& in) {
  if (index >= table.size()) {
    in.reject(std::string(what) + " " + std::to_string(index) + " is outside its table of " +
              std::to_string(table.size()));
  }
  return table[index];
}

// What one element adds to the stride by the layout rule: 12 for position
// and normal whatever their component count, 4 bytes a component for
// texture coordinates, a byte a component for colours, nothing otherwise.
std::uint64_t strideBytes(std::uint32_t usage, std::uint32_t components) {
  switch (usage) {
    case USAGE_POSITION:
    case USAGE_NORMAL:
      return 12;
    case USAGE_TEXCOORD:
      return 4ull * components;
    case USAGE_COLOR:
      return components;
    default:
      return 0;
  }
}

Texture* makeTexture(const std::string& fileName) {
  // Without a device no image can be loaded; the texture keeps its name.
  if (g_graphicsDevice && g_graphicsDevice->device) return new Texture(fileName);
  Texture* texture = new Texture;
  texture->name = fileName;
  return texture;
}

void readModel(Cursor& in, Model* model, const std::vector<Material*>& materialTable) {
  model->name = in.string("model name");
  const std::uint32_t vertexCount = in.u32("model vertexCount");
  const std::uint32_t subsetCount = in.u32("model subsetCount");
  model->vertexCount = vertexCount;
  model->triangleCount = 0;
  model->vectorA = in.vec3("model vectorA");
  model->vectorB = in.vec3("model vectorB");

  const std::uint32_t elementCount = in.u32("model elementCount");
  in.fits(elementCount, kElementBytes, "vertex element count");
  VertexProfile& profile = model->profile;
  profile.elements.assign(elementCount, VertexProfileElement{});
  profile.count = static_cast<std::int32_t>(elementCount);
  // Every layout is taken as the file gives it. Offsets above 0xFFFF and
  // usage indices above 0xFF reach the vertex declaration cut to its 16 and
  // 8 bits; elements it has no type for are left out of it. The mesh sizes
  // its own vertices from the declaration, so no element is ever read
  // outside the vertex buffer, whatever the offsets and the stride say.
  std::uint64_t stride = 0;
  for (std::uint32_t i = 0; i < elementCount; ++i) {
    const std::uint32_t components = in.u32("element components");
    const std::uint32_t usage = in.u32("element usage");
    const std::uint32_t offset = in.u32("element offset");
    const std::uint32_t usageIndex = in.u32("element usageIndex");
    VertexProfileElement& element = profile.elements[i];
    element.offset = static_cast<std::int32_t>(offset);
    element.components = static_cast<std::int32_t>(components);
    element.usage = static_cast<std::int32_t>(usage);
    element.usageIndex = static_cast<std::int32_t>(usageIndex);
    stride += strideBytes(usage, components);
  }
  // Vertices must fit in the file, which bounds any stride that has them;
  // a model without vertices keeps its stride saturated at the largest one.
  profile.stride = static_cast<std::int32_t>(std::min<std::uint64_t>(stride, 0x7FFFFFFF));

  in.fits(vertexCount, stride, "vertex count");
  const std::uint8_t* vertexData = in.bytes(static_cast<std::uint64_t>(vertexCount) * stride, "vertex data");

  in.fits(subsetCount, kMinSubset, "subset count");
  std::vector<std::vector<std::uint32_t>> subsetIndices;
  subsetIndices.reserve(subsetCount);
  for (std::uint32_t s = 0; s < subsetCount; ++s) {
    const std::uint32_t triangleCount = in.u32("subset triangleCount");
    const std::uint32_t materialIndex = in.u32("subset materialIndex");
    Material* material = entry(materialTable, materialIndex, "subset material index", in);
    in.fits(triangleCount, 12, "subset triangle count");
    std::vector<std::uint32_t> indices(static_cast<std::size_t>(triangleCount) * 3);
    for (std::uint32_t& index : indices) {
      index = in.u32("subset index");
      if (index >= vertexCount) {
        in.reject("vertex index " + std::to_string(index) + " is outside the model's " +
                  std::to_string(vertexCount) + " vertices");
      }
    }
    model->triangleCount += triangleCount;  // bounded by the file size / 12
    model->subsets.push_back(MeshSubset{material, triangleCount});
    subsetIndices.push_back(std::move(indices));
  }

  model->mesh = buildMesh(vertexCount, profile, vertexData, subsetIndices);
}

void readNode(Cursor& in, SceneNode* node, const std::vector<SceneNode*>& nodeTable,
              const std::vector<Model*>& modelTable, const std::vector<Camera*>& cameraTable) {
  node->name = in.string("node name");
  node->position = in.vec3("node position");
  node->rotation = in.quat("node rotation");
  node->scale = in.vec3("node scale");
  node->flags = in.u32("node flags");
  node->world = composeWorld(node->scale, node->rotation, node->position);
  if ((node->flags & NODE_MODEL) && (node->flags & NODE_CAMERA)) {
    in.reject("node '" + node->name + "' carries both a model and a camera");
  }
  if (node->flags & NODE_PARENT) node->parent = entry(nodeTable, in.u32("node parentIndex"), "parent index", in);
  if (node->flags & NODE_MODEL) node->attachment = entry(modelTable, in.u32("node modelIndex"), "model index", in);
  if (node->flags & NODE_CAMERA) {
    Camera* camera = entry(cameraTable, in.u32("node cameraIndex"), "camera index", in);
    node->attachment = camera;
    camera->position = node->position;
    camera->rotation = node->rotation;
  }
  if (node->flags & NODE_ANIMATED) {
    const std::int32_t keyCount = in.i32("track keyCount");
    if (keyCount < 0) in.reject("track of node '" + node->name + "' has a negative key count");
    in.fits(static_cast<std::uint64_t>(keyCount), kKeyBytes, "key count");
    auto track = std::make_unique<AnimationTrack>();
    if (keyCount > 0) track->keys = new AnimationKey[keyCount];
    track->keyCount = keyCount;
    for (std::int32_t k = 0; k < keyCount; ++k) {
      AnimationKey& key = track->keys[k];
      key.time = in.f32("key time");
      key.positionIn = in.vec3("key positionIn");
      key.position = in.vec3("key position");
      key.positionOut = in.vec3("key positionOut");
      key.rotationIn = in.quat("key rotationIn");
      key.rotation = in.quat("key rotation");
      key.rotationOut = in.quat("key rotationOut");
    }
    node->track = track.release();
  }
}

void readInto(Cursor& in, Scene& scene) {
  const std::uint32_t textureCount = in.u32("header textureCount");
  const std::uint32_t materialCount = in.u32("header materialCount");
  const std::uint32_t modelCount = in.u32("header modelCount");
  const std::uint32_t cameraCount = in.u32("header cameraCount");
  const std::uint32_t nodeCount = in.u32("header nodeCount");
  const std::uint64_t least = textureCount * kMinTexture + materialCount * kMinMaterial + modelCount * kMinModel +
                              cameraCount * kMinCamera + nodeCount * kMinNode;
  if (least > in.remaining()) {
    in.reject("header counts need at least " + std::to_string(least) + " bytes, " +
              std::to_string(in.remaining()) + " left");
  }

  std::vector<Texture*> textureTable;
  textureTable.reserve(textureCount);
  for (std::uint32_t i = 0; i < textureCount; ++i) {
    const std::string fileName = in.string("texture name");
    Texture* texture = makeTexture(fileName);
    scene.textures.push_back(texture);
    textureTable.push_back(texture);
  }

  std::vector<Material*> materialTable;
  materialTable.reserve(materialCount);
  for (std::uint32_t i = 0; i < materialCount; ++i) {
    Material* material = new Material;
    scene.materials.push_back(material);
    materialTable.push_back(material);
    material->name = in.string("material name");
    material->diffuse = in.color("material diffuse");
    material->flags = in.u32("material flags");
    const std::uint32_t refs = in.u32("material textureRefCount");
    in.fits(refs, 4, "texture reference count");
    for (std::uint32_t r = 0; r < refs; ++r) {
      material->textures.push_back(entry(textureTable, in.u32("texture index"), "texture index", in));
    }
    material->blendMode = 1;
  }

  std::vector<Model*> modelTable;
  modelTable.reserve(modelCount);
  for (std::uint32_t i = 0; i < modelCount; ++i) {
    Model* model = new Model;
    scene.models.push_back(model);
    modelTable.push_back(model);
    readModel(in, model, materialTable);
  }

  std::vector<Camera*> cameraTable;
  cameraTable.reserve(cameraCount);
  for (std::uint32_t i = 0; i < cameraCount; ++i) {
    Camera* camera = new Camera;
    scene.cameras.push_back(camera);
    cameraTable.push_back(camera);
    camera->name = in.string("camera name");
    camera->extra = in.u32("camera extra");
  }

  // All nodes exist before any is read, so a parent may come later in the file.
  std::vector<SceneNode*> nodeTable;
  nodeTable.reserve(nodeCount);
  for (std::uint32_t i = 0; i < nodeCount; ++i) {
    SceneNode* node = new SceneNode;
    scene.nodes.push_back(node);
    nodeTable.push_back(node);
  }
  for (std::uint32_t i = 0; i < nodeCount; ++i) readNode(in, nodeTable[i], nodeTable, modelTable, cameraTable);
}

}  // namespace

bool parseScene(Scene* scene, const std::uint8_t* data, std::size_t size, std::string* error) {
  if (!scene || (!data && size)) {
    if (error) *error = "no data";
    return false;
  }
  Scene loaded;
  Cursor in(data, size);
  try {
    readInto(in, loaded);
  } catch (const Rejected& rejected) {
    loaded.destroy();
    if (error) *error = rejected.reason;
    return false;
  } catch (const std::bad_alloc&) {
    loaded.destroy();
    if (error) *error = "out of memory";
    return false;
  }
  scene->textures.splice(scene->textures.end(), loaded.textures);
  scene->materials.splice(scene->materials.end(), loaded.materials);
  scene->models.splice(scene->models.end(), loaded.models);
  scene->cameras.splice(scene->cameras.end(), loaded.cameras);
  scene->nodes.splice(scene->nodes.end(), loaded.nodes);
  return true;
}

bool readScene(Scene* scene, const std::string& name, std::string* error) {
  std::string path = "models\\" + name;
  std::FILE* file = openFile(path.c_str(), "rb");
  if (!file) {
    const std::string firstReason = std::strerror(errno);
    file = openFile(name.c_str(), "rb");
    if (!file) {
      const std::string reason = "cannot open it (" + firstReason + "), nor " + nativePath(name.c_str());
      reportDataFileProblem(path.c_str(), reason + "; the scene stays empty");
      if (error) *error = reason;
      return false;
    }
    path = name;
  }

  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool readError = std::ferror(file) != 0;
  const int readErrno = errno;
  std::fclose(file);

  std::string reason;
  const bool ok = !readError && parseScene(scene, bytes.data(), bytes.size(), &reason);
  if (readError) reason = std::string("cannot read it (") + std::strerror(readErrno) + ")";
  else if (!ok) reason = "rejected: " + reason;
  if (!ok) {
    reportDataFileProblem(path.c_str(), reason + "; the scene stays empty");
    if (error) *error = reason;
  }
  return ok;
}
