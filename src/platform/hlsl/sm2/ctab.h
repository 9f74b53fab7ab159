#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/hlsl/hlsl.h"

namespace hlsl::sm2 {

// The comment block (comment token, "CTAB", table) describing constants.
std::vector<std::uint32_t> constantTableComment(const std::vector<Constant>& constants, std::uint32_t version,
                                                std::string_view target, std::string_view creator);

// Reads a table (the bytes after "CTAB"); false when it is malformed.
bool parseConstantTable(const std::uint8_t* table, std::size_t size, ConstantTableInfo* out);

}  // namespace hlsl::sm2
