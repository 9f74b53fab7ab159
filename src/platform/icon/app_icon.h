// The application icon: a dark steel tile with an orange V, drawn at any
// size, and the .ico file that carries it into the Windows executable.
#pragma once

#include <cstdint>
#include <vector>

namespace vorn::icon {

// The images of the icon group, largest first.
constexpr int kAppIconSizes[] = {64, 48, 32};

// The icon at size x size pixels, RGBA, top row first.
std::vector<std::uint8_t> drawAppIcon(int size);

// An .ico file with one 32-bit image per size in kAppIconSizes.
std::vector<std::uint8_t> appIconFile();

}  // namespace vorn::icon
