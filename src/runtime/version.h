// The version that every Vorn program reports with --version.
#pragma once

inline constexpr const char kVornVersion[] = "1.0.0";
