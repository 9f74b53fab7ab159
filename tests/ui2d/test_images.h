// Small images written by the tests themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes RGBA8 rows (top row first) as a PNG; false on failure.
bool writeTestPng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba);

// A 256 x 256 glyph sheet: the cells of the given characters filled with
// opaque white (every cell if the list is empty), the rest transparent. The
// cell of 'B', when filled, is white in its top half only.
std::vector<std::uint8_t> glyphSheet(const std::string& filled);

// A fresh empty directory under the system's temporary directory.
std::string makeTempDirectory(const std::string& prefix);
