// Test tones for tests and benchmarks, encoded with libvorbisenc.
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <algorithm>
#include <cstdio>

#include "platform/fmod/fmod_vorn.h"

namespace {

bool writePages(std::FILE* file, ogg_stream_state* stream, bool flush) {
  ogg_page page;
  while (flush ? ogg_stream_flush(stream, &page) : ogg_stream_pageout(stream, &page)) {
    if (std::fwrite(page.header, 1, page.header_len, file) != static_cast<std::size_t>(page.header_len)) return false;
    if (std::fwrite(page.body, 1, page.body_len, file) != static_cast<std::size_t>(page.body_len)) return false;
  }
  return true;
}

}  // namespace

bool VornFmod_WriteTone(const char* path, double seconds, int rate, int channels, double frequencyHz) {
  if (!path || seconds < 0 || rate < 8000 || rate > 192000 || (channels != 1 && channels != 2)) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (!file) return false;

  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, channels, rate, 0.3f) != 0) {
    vorbis_info_clear(&info);
    std::fclose(file);
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "TITLE", "test tone");
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  // A serial fixed by the tone (the same bytes every run) that differs
  // between tones, so that tones written one after another chain into one
  // valid stream.
  ogg_stream_init(&stream, static_cast<int>(0x566f726e ^ (rate << 8) ^ channels ^ std::lround(frequencyHz * 16)));

  ogg_packet header, commentPacket, codebooks;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentPacket);
  ogg_stream_packetin(&stream, &codebooks);
  bool ok = writePages(file, &stream, true);

  const long total = std::lround(seconds * rate);
  const double pi = 3.14159265358979323846;
  long done = 0;
  bool ended = false;
  while (ok && !ended) {
    long count = std::min<long>(1024, total - done);
    if (count > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
      for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(done + i) / rate;
        buffer[0][i] = static_cast<float>(0.5 * std::sin(2 * pi * frequencyHz * t));
        if (channels == 2) buffer[1][i] = static_cast<float>(0.5 * std::sin(2 * pi * frequencyHz * 1.5 * t));
      }
      vorbis_analysis_wrote(&dsp, static_cast<int>(count));
      done += count;
    } else {
      vorbis_analysis_wrote(&dsp, 0);  // end of stream
    }
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
        ogg_stream_packetin(&stream, &packet);
        ok = ok && writePages(file, &stream, false);
        if (packet.e_o_s) ended = true;
      }
    }
  }
  ok = ok && writePages(file, &stream, true);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return std::fclose(file) == 0 && ok;
}
