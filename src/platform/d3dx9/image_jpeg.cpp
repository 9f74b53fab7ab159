// JPEG through libjpeg-turbo, decoded straight to RGBA. A file the library
// only warns about (cut short, corrupt entropy data) is refused too: it
// would decode to a picture with grey or garbled parts.
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include <csetjmp>

#include "platform/d3dx9/image_decode.h"

namespace vorn::d3dx {

namespace {

// Progressive files may carry any number of scans, and each one costs a
// pass over the whole image; real files have about ten.
constexpr int kMaxScans = 500;

// Lives in the caller's frame (see the PNG decoder): nothing the decoding
// function changes before a longjmp is one of its locals.
struct JpegRead {
  jpeg_error_mgr errors{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump{};
  std::string error;
  std::int64_t maxPixels = 0;
  DecodedImage* image = nullptr;
};

JpegRead* stateOf(j_common_ptr info) { return static_cast<JpegRead*>(info->client_data); }

void onError(j_common_ptr info) {
  JpegRead* read = stateOf(info);
  if (read->error.empty()) {
    char message[JMSG_LENGTH_MAX] = {};
    info->err->format_message(info, message);
    read->error = message;
  }
  std::longjmp(read->jump, 1);
}

// Level -1 is a warning: damaged data the library would paper over.
void onMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  JpegRead* read = stateOf(info);
  char message[JMSG_LENGTH_MAX] = {};
  info->err->format_message(info, message);
  read->error = message;
  std::longjmp(read->jump, 1);
}

void onProgress(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->is_decompressor && decompress->input_scan_number > kMaxScans) {
    stateOf(info)->error = "more than " + std::to_string(kMaxScans) + " scans";
    std::longjmp(stateOf(info)->jump, 1);
  }
}

bool decodeWith(jpeg_decompress_struct* info, const std::uint8_t* data, std::size_t size, JpegRead* read) {
  if (setjmp(read->jump)) return false;
  jpeg_create_decompress(info);
  info->client_data = read;
  info->progress = &read->progress;
  jpeg_mem_src(info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) {
    read->error = "no image in the file";
    return false;
  }
  if (info->image_width > static_cast<JDIMENSION>(kMaxImageSide) ||
      info->image_height > static_cast<JDIMENSION>(kMaxImageSide) ||
      std::int64_t{info->image_width} * info->image_height > read->maxPixels) {
    read->error = std::to_string(info->image_width) + " x " + std::to_string(info->image_height) +
                  " pixels is too large";
    return false;
  }
  info->out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(info);
  DecodedImage* image = read->image;
  image->width = static_cast<int>(info->output_width);
  image->height = static_cast<int>(info->output_height);
  image->rgba.assign(static_cast<std::size_t>(info->output_width) * info->output_height * 4, 0);
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = image->rgba.data() + static_cast<std::size_t>(info->output_scanline) * info->output_width * 4;
    jpeg_read_scanlines(info, &row, 1);
  }
  jpeg_finish_decompress(info);
  return true;
}

}  // namespace

bool decodeJpeg(const std::uint8_t* data, std::size_t size, DecodedImage* image, std::string* error,
                std::int64_t maxPixels) {
  JpegRead read;
  read.maxPixels = maxPixels;
  read.image = image;
  bool ok = false;
  if (!image) {
    read.error = "no image";
  } else if (!data || size < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) {
    read.error = "not a JPEG file";
  } else if (size > 0xFFFFFFFFu) {
    read.error = "the file is too large";
  } else {
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&read.errors);
    info.client_data = &read;  // kept by jpeg_create_decompress
    read.errors.error_exit = &onError;
    read.errors.emit_message = &onMessage;
    read.progress.progress_monitor = &onProgress;
    ok = decodeWith(&info, data, size, &read);
    jpeg_destroy_decompress(&info);
  }
  if (!ok) {
    if (image) *image = DecodedImage{};
    if (error) *error = "JPEG: " + (read.error.empty() ? std::string("damaged data") : read.error);
  }
  return ok;
}

}  // namespace vorn::d3dx
