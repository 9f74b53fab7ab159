// Reader of the sectioned .nsl shader source format.
#pragma once

#include <cstddef>

#include "shader/vertex_profile.h"

constexpr std::size_t SHADER_TEXT_SIZE = 4096;

// Fills the vertex and pixel shader texts (buffers of SHADER_TEXT_SIZE bytes,
// zero-filled by the caller) and the profile; false when the file cannot be
// opened.
bool readShaderSource(const char* path, VertexProfile* profile, char* vertexText, char* pixelText);
