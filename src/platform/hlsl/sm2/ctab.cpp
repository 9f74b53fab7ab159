// The constant table comment block, in the layout D3DX reads with
// D3DXGetShaderConstantTable: a header, one entry and one type description
// per constant, then the strings; offsets count from the table's start
// (after the "CTAB" tag).
#include "platform/hlsl/sm2/ctab.h"

#include <cstring>

#include "platform/hlsl/sm2/tokens.h"

namespace hlsl::sm2 {

namespace {

enum RegisterSet : std::uint16_t { SetBool = 0, SetInt4 = 1, SetFloat4 = 2, SetSampler = 3 };
enum ParameterClass : std::uint16_t {
  ClassScalar = 0,
  ClassVector = 1,
  ClassMatrixRows = 2,
  ClassMatrixColumns = 3,
  ClassObject = 4
};
enum ParameterType : std::uint16_t {
  TypeBool = 1,
  TypeInt = 2,
  TypeFloat = 3,
  TypeSampler2D = 12,
  TypeSamplerCube = 14
};

constexpr std::uint32_t kHeaderSize = 28, kInfoSize = 20, kTypeSize = 16;

class Bytes {
 public:
  void u16(std::size_t at, std::uint32_t v) {
    grow(at + 2);
    data_[at] = static_cast<std::uint8_t>(v);
    data_[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  void u32(std::size_t at, std::uint32_t v) {
    u16(at, v & 0xFFFF);
    u16(at + 2, v >> 16);
  }
  std::uint32_t string(std::string_view s) {
    auto at = static_cast<std::uint32_t>(data_.size());
    data_.insert(data_.end(), s.begin(), s.end());
    data_.push_back(0);
    return at;
  }
  void grow(std::size_t n) {
    if (data_.size() < n) data_.resize(n, 0);
  }
  std::vector<std::uint8_t>& data() { return data_; }

 private:
  std::vector<std::uint8_t> data_;
};

std::uint32_t read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

bool readString(const std::uint8_t* base, std::size_t size, std::uint32_t at, std::string* out) {
  if (at >= size) return false;
  const void* end = std::memchr(base + at, 0, size - at);
  if (!end) return false;
  out->assign(reinterpret_cast<const char*>(base + at), static_cast<const std::uint8_t*>(end) - (base + at));
  return true;
}

}  // namespace

std::vector<std::uint32_t> constantTableComment(const std::vector<Constant>& constants, std::uint32_t version,
                                                std::string_view target, std::string_view creator) {
  Bytes b;
  const auto n = static_cast<std::uint32_t>(constants.size());
  const std::uint32_t infoAt = kHeaderSize;
  const std::uint32_t typeAt = infoAt + n * kInfoSize;
  b.grow(typeAt + n * kTypeSize);
  b.u32(0, kHeaderSize);
  b.u32(8, version);
  b.u32(12, n);
  b.u32(16, infoAt);
  b.u32(20, 0);  // flags
  for (std::uint32_t i = 0; i < n; ++i) {
    const Constant& c = constants[i];
    const std::size_t info = infoAt + i * kInfoSize;
    const std::size_t type = typeAt + i * kTypeSize;
    const bool sampler = c.cls == Constant::Class::Sampler;
    b.u16(info + 4, sampler ? SetSampler : SetFloat4);
    b.u16(info + 6, static_cast<std::uint32_t>(c.registerIndex));
    b.u16(info + 8, static_cast<std::uint32_t>(c.registerCount));
    b.u32(info + 12, static_cast<std::uint32_t>(type));
    std::uint16_t cls = ClassScalar, kind = TypeFloat;
    switch (c.cls) {
      case Constant::Class::Scalar: cls = ClassScalar; break;
      case Constant::Class::Vector: cls = ClassVector; break;
      case Constant::Class::Matrix: cls = ClassMatrixRows; break;
      case Constant::Class::Sampler: cls = ClassObject; break;
    }
    switch (c.type) {
      case Constant::Type::Float: kind = TypeFloat; break;
      case Constant::Type::Int: kind = TypeInt; break;
      case Constant::Type::Bool: kind = TypeBool; break;
      case Constant::Type::Sampler2D: kind = TypeSampler2D; break;
      case Constant::Type::SamplerCube: kind = TypeSamplerCube; break;
    }
    b.u16(type, cls);
    b.u16(type + 2, kind);
    b.u16(type + 4, static_cast<std::uint32_t>(c.rows));
    b.u16(type + 6, static_cast<std::uint32_t>(c.columns));
    b.u16(type + 8, static_cast<std::uint32_t>(c.elements > 0 ? c.elements : 1));
  }
  for (std::uint32_t i = 0; i < n; ++i) b.u32(infoAt + i * kInfoSize, b.string(constants[i].name));
  b.u32(4, b.string(creator));
  b.u32(24, b.string(target));
  while (b.data().size() % 4) b.data().push_back(0);
  std::vector<std::uint32_t> out;
  out.push_back(commentToken(static_cast<std::uint32_t>(b.data().size() / 4 + 1)));
  out.push_back(kConstantTableTag);
  for (std::size_t k = 0; k < b.data().size(); k += 4) out.push_back(read32(b.data().data() + k));
  return out;
}

bool parseConstantTable(const std::uint8_t* table, std::size_t size, ConstantTableInfo* out) {
  if (size < kHeaderSize || read32(table) != kHeaderSize) return false;
  ConstantTableInfo info;
  info.version = read32(table + 8);
  const std::uint32_t n = read32(table + 12);
  const std::uint32_t infoAt = read32(table + 16);
  if (!readString(table, size, read32(table + 4), &info.creator)) return false;
  if (n > size / kInfoSize || infoAt > size || n * kInfoSize > size - infoAt) return false;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint8_t* e = table + infoAt + i * kInfoSize;
    Constant c;
    if (!readString(table, size, read32(e), &c.name)) return false;
    const std::uint16_t set = read16(e + 4);
    c.registerIndex = read16(e + 6);
    c.registerCount = read16(e + 8);
    const std::uint32_t typeAt = read32(e + 12);
    if (typeAt > size || size - typeAt < kTypeSize) return false;
    const std::uint8_t* t = table + typeAt;
    const std::uint16_t cls = read16(t), kind = read16(t + 2);
    c.rows = read16(t + 4);
    c.columns = read16(t + 6);
    const std::uint16_t elements = read16(t + 8);
    c.elements = elements > 1 ? elements : 0;
    if (set == SetSampler) {
      c.cls = Constant::Class::Sampler;
      c.type = kind == TypeSamplerCube ? Constant::Type::SamplerCube : Constant::Type::Sampler2D;
    } else {
      c.cls = cls == ClassScalar   ? Constant::Class::Scalar
              : cls == ClassVector ? Constant::Class::Vector
                                   : Constant::Class::Matrix;
      c.type = kind == TypeInt ? Constant::Type::Int : kind == TypeBool ? Constant::Type::Bool : Constant::Type::Float;
    }
    if (c.registerCount < 1 || c.rows < 1 || c.rows > 4 || c.columns < 1 || c.columns > 4) return false;
    info.constants.push_back(std::move(c));
  }
  *out = std::move(info);
  return true;
}

}  // namespace hlsl::sm2
