// Reader of the sectioned .nsl shader source format.
#pragma once

#include <cstddef>
#include <cstdio>

#include "shader/vertex_profile.h"

constexpr std::size_t SHADER_TEXT_SIZE = 4096;

#include <string>

// Fills the vertex and pixel shader texts (buffers of SHADER_TEXT_SIZE bytes,
// zero-filled by the caller) and the profile; false when the file cannot be
// opened or read. *problem (when given) says why, or, for a file that was
// read, what of it was lost: a wanted section the file ends inside (the
// sign of a file cut short), or text cut at the format's limits. It stays
// empty for a file read whole.
bool readShaderSource(const char* path, VertexProfile* profile, char* vertexText, char* pixelText,
                      std::string* problem = nullptr);

// The same over a file already open for reading (the caller closes it).
bool readShaderSourceFile(std::FILE* file, VertexProfile* profile, char* vertexText, char* pixelText,
                          std::string* problem = nullptr);
