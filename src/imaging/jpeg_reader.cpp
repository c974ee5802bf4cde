// Decoding JPEG pictures with libjpeg: a custom error manager turns every error and warning of
// the library into a qv::Error instead of its default exit().
#include "imaging/jpeg_reader.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <string>

#include "core/base/error.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace qv {
namespace {

// libjpeg reports a failure by calling error_exit, which must not return. We jump back to the
// setjmp of the step that called the library. The steps that set a jump point hold only plain
// locals, so a jump skips no destructor; every C++ object lives in the callers.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ExitOnError(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  manager->base.format_message(info, manager->message);
  std::longjmp(manager->jump, 1);
}

// Warnings (premature end of data, extraneous bytes, bad Huffman codes) mean the data are
// damaged; libjpeg would fill in grey and go on, we refuse the picture.
void ExitOnWarning(j_common_ptr info, int level) {
  if (level < 0) ExitOnError(info);
}

struct Decoder {
  jpeg_decompress_struct info;
  ErrorManager errors;
};

struct Header {
  int width = 0;
  int height = 0;
  bool grey = false;
};

// Reads the header and starts decompression; false with errors.message set on failure.
bool StartDecoding(Decoder& decoder, const unsigned char* bytes, unsigned long size,
                   Header& header) {
  if (setjmp(decoder.errors.jump) != 0) return false;
  jpeg_mem_src(&decoder.info, bytes, size);
  jpeg_read_header(&decoder.info, TRUE);
  switch (decoder.info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      decoder.info.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_YCbCr:
    case JCS_RGB:
      decoder.info.out_color_space = JCS_RGB;
      break;
    default:
      std::snprintf(decoder.errors.message, sizeof decoder.errors.message,
                    "colour space %d is not supported",
                    static_cast<int>(decoder.info.jpeg_color_space));
      return false;
  }
  jpeg_start_decompress(&decoder.info);
  header.width = static_cast<int>(decoder.info.output_width);
  header.height = static_cast<int>(decoder.info.output_height);
  header.grey = decoder.info.output_components == 1;
  return true;
}

// Decodes every row into `bits` (rows `stride` bytes apart); false with errors.message set.
bool DecodeRows(Decoder& decoder, unsigned char* bits, std::ptrdiff_t stride) {
  if (setjmp(decoder.errors.jump) != 0) return false;
  while (decoder.info.output_scanline < decoder.info.output_height) {
    JSAMPROW row = bits + stride * static_cast<std::ptrdiff_t>(decoder.info.output_scanline);
    jpeg_read_scanlines(&decoder.info, &row, 1);
  }
  jpeg_finish_decompress(&decoder.info);
  return true;
}

// Sets up the decoder; false only when libjpeg cannot allocate its own state.
bool CreateDecoder(Decoder& decoder) {
  decoder.info.err = jpeg_std_error(&decoder.errors.base);
  decoder.errors.base.error_exit = ExitOnError;
  decoder.errors.base.emit_message = ExitOnWarning;
  decoder.errors.message[0] = '\0';
  if (setjmp(decoder.errors.jump) != 0) return false;
  jpeg_create_decompress(&decoder.info);
  return true;
}

[[noreturn]] void Fail(const std::string& reason) {
  throw Error("The JPEG picture cannot be read: " + reason);
}

// Frees libjpeg's state however the decoding ends.
class DecoderGuard {
 public:
  explicit DecoderGuard(Decoder& decoder) : mDecoder(decoder) {}
  ~DecoderGuard() { jpeg_destroy_decompress(&mDecoder.info); }
  DecoderGuard(const DecoderGuard&) = delete;
  DecoderGuard& operator=(const DecoderGuard&) = delete;

 private:
  Decoder& mDecoder;
};

}  // namespace

QImage DecodeJpeg(const QByteArray& data) {
  if (data.isEmpty()) Fail("the data are empty");
  Decoder decoder{};
  if (!CreateDecoder(decoder)) Fail(decoder.errors.message);
  DecoderGuard guard(decoder);

  Header header;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
  if (!StartDecoding(decoder, bytes, static_cast<unsigned long>(data.size()), header)) {
    Fail(decoder.errors.message);
  }
  QImage image(header.width, header.height,
               header.grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
  if (image.isNull()) Fail("the picture is too large");
  if (!DecodeRows(decoder, image.bits(), image.bytesPerLine())) Fail(decoder.errors.message);
  return image;
}

}  // namespace qv
