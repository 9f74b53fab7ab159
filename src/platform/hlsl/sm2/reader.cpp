// Reading finished bytecode: its size, its constant table and the program
// the OpenGL stand-in draws with, carried in a private comment block.
#include <algorithm>
#include <cstring>

#include "platform/hlsl/hlsl.h"
#include "platform/hlsl/sm2/ctab.h"
#include "platform/hlsl/sm2/tokens.h"

namespace hlsl {

namespace {

// Generous: a shader of this model is a few kilobytes.
constexpr std::size_t kMaxDwords = 1u << 22;

struct Comment {
  std::size_t at;  // dword index of the first data dword
  std::size_t dwords;
};

struct Walk {
  std::uint32_t version = 0;
  std::size_t dwords = 0;  // including the end token
  std::vector<Comment> comments;
};

std::uint32_t dword(const void* code, std::size_t index) {
  std::uint32_t v;
  std::memcpy(&v, static_cast<const std::uint8_t*>(code) + index * 4, 4);
  return v;
}

bool walk(const void* code, std::size_t maxBytes, Walk* out) {
  if (!code) return false;
  const std::size_t limit = std::min(maxBytes / 4, kMaxDwords);
  if (limit < 2) return false;
  Walk w;
  w.version = dword(code, 0);
  const std::uint32_t kind = w.version & 0xFFFF0000u;
  if ((kind != 0xFFFE0000u && kind != 0xFFFF0000u) || ((w.version >> 8) & 0xFF) < 2) return false;
  std::size_t i = 1;
  while (i < limit) {
    const std::uint32_t token = dword(code, i);
    if (token == sm2::OpEnd) {
      w.dwords = i + 1;
      *out = std::move(w);
      return true;
    }
    std::size_t length;
    if ((token & 0xFFFF) == sm2::OpComment) {
      length = (token >> 16) & 0x7FFF;
      if (length > limit - i - 1) return false;
      w.comments.push_back(Comment{i + 1, length});
    } else {
      length = (token >> 24) & 0xF;
    }
    i += 1 + length;
  }
  return false;
}

}  // namespace

std::size_t bytecodeSize(const void* code, std::size_t maxBytes) {
  Walk w;
  return walk(code, maxBytes, &w) ? w.dwords * 4 : 0;
}

bool readConstantTable(const void* code, std::size_t maxBytes, ConstantTableInfo* out) {
  Walk w;
  if (!walk(code, maxBytes, &w)) return false;
  for (const Comment& c : w.comments) {
    if (c.dwords < 1 || dword(code, c.at) != sm2::kConstantTableTag) continue;
    const auto* table = static_cast<const std::uint8_t*>(code) + (c.at + 1) * 4;
    return sm2::parseConstantTable(table, (c.dwords - 1) * 4, out);
  }
  return false;
}

bool programFromBytecode(const void* code, std::size_t maxBytes, Program* program) {
  Walk w;
  if (!walk(code, maxBytes, &w)) return false;
  std::vector<std::uint8_t> blob;
  for (const Comment& c : w.comments) {
    if (c.dwords < 1 || dword(code, c.at) != sm2::kProgramTag) continue;
    const auto* data = static_cast<const std::uint8_t*>(code) + (c.at + 1) * 4;
    blob.insert(blob.end(), data, data + (c.dwords - 1) * 4);
  }
  if (blob.size() < 4) return false;
  std::uint32_t size;
  std::memcpy(&size, blob.data(), 4);
  if (size > blob.size()) return false;
  Program p;
  if (!deserialize(blob.data(), &p)) return false;
  const bool pixel = (w.version & 0xFFFF0000u) == 0xFFFF0000u;
  if ((p.stage == Stage::Pixel) != pixel) return false;
  *program = std::move(p);
  return true;
}

}  // namespace hlsl
