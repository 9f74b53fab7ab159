// Ogg Vorbis encoding of an interleaved stereo float buffer, entirely in memory. The stream
// serial number is fixed, so identical input gives identical bytes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace synth {

using Tags = std::vector<std::pair<std::string, std::string>>;

// quality: the encoder's VBR quality in [-0.1, 1]. Returns false if the encoder refused.
bool encodeVorbis(const std::vector<float>& stereo, int sampleRate, float quality, const Tags& tags,
                  std::vector<unsigned char>& out);

}  // namespace synth
