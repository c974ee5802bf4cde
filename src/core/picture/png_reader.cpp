// Strict PNG decoding on libspng: the header and the file size are checked before anything is
// allocated, rows are taken one by one in the file's own sample format and converted straight
// into the grid (Adam7 passes to their pixel positions), and the file must reach its IEND chunk.
#include "core/picture/png_reader.h"

#include <spng.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/base/thread_pool.h"
#include "core/picture/png_rows.h"

namespace qv {
namespace {

using png::CanShuffle;
using png::ConvertAt;
using png::Converter;
using png::ConverterFor;
using png::ConvertRow;
using png::Kind;
using png::RowSink;

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Signature, then the IHDR chunk: length, type, 13 bytes of fields, checksum.
constexpr std::size_t kHeadBytes = 8 + 4 + 4 + 13 + 4;

// Deflate needs at least two bits for a run of 258 bytes; with room for block headers no stream
// of n bytes inflates to more than this many times n plus a little.
constexpr std::uint64_t kMaxInflateRatio = 1040;
constexpr std::uint64_t kInflateSlack = 4096;

std::uint32_t BigEndian32(const unsigned char* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

// Which step of the decoding an error came from: a file that ends is described by where.
enum class Phase { kHeader, kChunks, kPixels, kEnd };

// The IHDR fields as stored, for the texts and the checks before libspng is involved.
struct Header {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int depth = 0;
  int colourType = 0;
  int compression = 0;
  int filter = 0;
  int interlace = 0;
};

int SamplesPerPixel(int colourType) {
  switch (colourType) {
    case 0:
    case 3:
      return 1;
    case 2:
      return 3;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 0;
  }
}

// Checks the signature, the IHDR chunk's place and the declared size against the limits and
// against what a file of `fileSize` bytes can hold; `head` has min(fileSize, kHeadBytes) bytes.
Header ParseHeader(const unsigned char* head, std::uint64_t fileSize, const std::string& name) {
  if (fileSize == 0) FailPicture(name, "the file is empty");
  if (!HasPngSignature(head, fileSize)) FailPicture(name, "the file is not a PNG picture");
  if (fileSize < kHeadBytes) FailPicture(name, "the header ends early");
  if (BigEndian32(head + 8) != 13 || std::memcmp(head + 12, "IHDR", 4) != 0) {
    FailPicture(name, "the file does not begin with its header chunk (IHDR)");
  }
  Header h;
  h.width = BigEndian32(head + 16);
  h.height = BigEndian32(head + 20);
  h.depth = head[24];
  h.colourType = head[25];
  h.compression = head[26];
  h.filter = head[27];
  h.interlace = head[28];
  // The format keeps sizes below 2^31.
  if (h.width == 0 || h.width > 0x7FFFFFFFu) {
    FailPicture(name, "the width " + IntegerText(h.width) + " is not valid");
  }
  if (h.height == 0 || h.height > 0x7FFFFFFFu) {
    FailPicture(name, "the height " + IntegerText(h.height) + " is not valid");
  }
  CheckPictureLimits(name, h.width, h.height);

  const int samples = SamplesPerPixel(h.colourType);
  if (samples > 0 && h.depth > 0 && h.depth <= 16) {
    // The rows of an image that is not interlaced are the fewest bytes the pixels can take.
    const std::uint64_t rowBytes =
        1 + (std::uint64_t{h.width} * static_cast<unsigned>(samples * h.depth) + 7) / 8;
    const std::uint64_t rawBytes = rowBytes * h.height;
    if (rawBytes > fileSize * kMaxInflateRatio + kInflateSlack) {
      FailPicture(name, "the file is too small to hold a picture of " + IntegerText(h.width) + "x" +
                            IntegerText(h.height) + " pixels");
    }
  }
  return h;
}

std::string Reason(int error, Phase phase, const Header& h, int readErrno) {
  switch (error) {
    case SPNG_IO_EOF:
    case SPNG_EOF:
      switch (phase) {
        case Phase::kHeader:
          return "the header ends early";
        case Phase::kChunks:
          return "the file ends early";
        case Phase::kPixels:
          return "the pixel data ends early";
        case Phase::kEnd:
          return "the file ends before its end chunk (IEND)";
      }
      break;
    case SPNG_IO_ERROR:
      return "reading the file failed (" + SystemErrorText(readErrno) + ")";
    case SPNG_ESIGNATURE:
      return "the file is not a PNG picture";
    case SPNG_EIHDR_SIZE:
    case SPNG_ENOIHDR:
      return "the file does not begin with its header chunk (IHDR)";
    case SPNG_EBIT_DEPTH:
      return "the bit depth " + IntegerText(h.depth) + " is not valid for colour type " +
             IntegerText(h.colourType);
    case SPNG_ECOLOR_TYPE:
      return "the colour type " + IntegerText(h.colourType) + " is not valid";
    case SPNG_ECOMPRESSION_METHOD:
      return "the compression method " + IntegerText(h.compression) + " is not supported";
    case SPNG_EFILTER_METHOD:
      return "the filter method " + IntegerText(h.filter) + " is not supported";
    case SPNG_EINTERLACE_METHOD:
      return "the interlace method " + IntegerText(h.interlace) + " is not supported";
    case SPNG_ECHUNK_CRC:
      return "a chunk is damaged (its checksum does not match)";
    case SPNG_ECHUNK_POS:
      return "the chunks are not in a valid order";
    case SPNG_ECHUNK_SIZE:
    case SPNG_ECHUNK_STDLEN:
      return "a chunk has a length that is not valid";
    case SPNG_ECHUNK_UNKNOWN_CRITICAL:
      return "the file holds a critical chunk of an unknown type";
    case SPNG_EDUP_PLTE:
      return "the palette is stored twice";
    case SPNG_ENOPLTE:
      return "the palette is missing";
    case SPNG_EPLTE_IDX:
      return "a pixel refers to an entry beyond the palette";
    case SPNG_EIDAT_TOO_SHORT:
      return "the pixel data ends early";
    case SPNG_EIDAT_STREAM:
    case SPNG_EZLIB:
      return "the compressed pixel data is damaged";
    case SPNG_EFILTER:
      return "the pixel data is damaged (a row has an unknown filter type)";
    case SPNG_ECHUNK_LIMITS:
      return "its text, colour profile or other extra chunks are larger than the reader accepts";
    case SPNG_EMEM:
      return "there is not enough memory";
    default:
      break;
  }
  return std::string("the file is not a valid PNG picture (") + spng_strerror(error) + ")";
}

// The decoder context, freed however the read ends.
class Context {
 public:
  Context() : mCtx(spng_ctx_new(0)) {}
  ~Context() { spng_ctx_free(mCtx); }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
  spng_ctx* Get() const { return mCtx; }

 private:
  spng_ctx* mCtx;
};

// Checksums of the pieces of a file that the passes of a row reader read, one per refill of the
// input buffer: the first pass keeps them, every later one compares, so that rows of two
// versions of a file (written over between passes, its times set back) are never taken for one
// picture. The input is a few per cent of the decoded rows, so this costs next to nothing.
class InputSums {
 public:
  void Note(std::size_t index, const unsigned char* data, std::size_t size) {
    std::uint64_t sum = size * 0x9E3779B97F4A7C15u;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) sum = (sum ^ Load64(data + i)) * 0xFF51AFD7ED558CCDu;
    for (; i < size; ++i) sum = (sum ^ data[i]) * 0xC4CEB9FE1A85EC53u;
    if (index < mSums.size()) {
      if (mSums[index] != sum) mDiffers = true;
    } else {
      mSums.resize(index + 1);
      mSums[index] = sum;
    }
  }
  bool Differs() const { return mDiffers; }

 private:
  static std::uint64_t Load64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  std::vector<std::uint64_t> mSums;
  bool mDiffers = false;
};

// libspng's input, as a stream for files and memory alike: it tells where the input ended,
// which libspng does not (it takes a file cut inside the checksum of its IEND chunk as whole).
// Files are served from a buffer refilled with pread: no FILE, and no mapping that a file
// shrinking under it could turn into a crash.
class Source {
 public:
  explicit Source(const OpenedPicture& file, InputSums* sums = nullptr)
      : mFile(&file), mBuffer(std::size_t{1} << 18), mSums(sums) {}
  Source(const unsigned char* data, std::size_t size) : mData(data), mHave(size) {}

  static int Read(spng_ctx*, void* user, void* dest, std::size_t length) {
    return static_cast<Source*>(user)->Take(static_cast<unsigned char*>(dest), length);
  }
  /// errno of a failed read.
  int ReadErrno() const { return mErrno; }
  /// True once a read asked for more than the input holds.
  bool Ended() const { return mEnded; }

 private:
  int Take(unsigned char* dest, std::size_t length) {
    while (length > 0) {
      if (mUsed == mHave) {
        if (mFile == nullptr) return End();
        const std::int64_t got = mFile->ReadAt(mBuffer.data(), mBuffer.size(), mPos);
        if (got < 0) {
          mErrno = errno;
          return SPNG_IO_ERROR;
        }
        if (got == 0) return End();
        mData = mBuffer.data();
        mHave = static_cast<std::size_t>(got);
        mUsed = 0;
        mPos += static_cast<std::uint64_t>(got);
        if (mSums != nullptr) mSums->Note(mRefills++, mData, mHave);
      }
      const std::size_t n = std::min(length, mHave - mUsed);
      std::memcpy(dest, mData + mUsed, n);
      mUsed += n;
      dest += n;
      length -= n;
    }
    return 0;
  }
  int End() {
    mEnded = true;
    return SPNG_IO_EOF;
  }

  const OpenedPicture* mFile = nullptr;
  std::vector<unsigned char> mBuffer;
  InputSums* mSums = nullptr;
  std::size_t mRefills = 0;
  const unsigned char* mData = nullptr;
  std::uint64_t mPos = 0;
  std::size_t mHave = 0, mUsed = 0;
  int mErrno = 0;
  bool mEnded = false;
};

// Sets up the conversion once the chunks before the pixel data are read.
Converter MakeConverter(spng_ctx* ctx, const Header& h, const std::string& name) {
  spng_trns trns{};
  const bool haveTrns = spng_get_trns(ctx, &trns) == 0;
  spng_plte plte{};
  if (h.colourType == SPNG_COLOR_TYPE_INDEXED) {
    const int error = spng_get_plte(ctx, &plte);
    if (error != 0) FailPicture(name, Reason(error, Phase::kChunks, h, 0));
  }
  return ConverterFor(h.colourType, h.depth, haveTrns ? &trns : nullptr, &plte);
}

PixelGrid MakeGrid(const Header& h, const std::string& name, PixelGrid* reuse) {
  // Every pixel is written by the decoding.
  return MakePictureGrid(static_cast<int>(h.width), static_cast<int>(h.height), name, reuse,
                         std::nullopt);
}

// Reads `n` bytes at `offset` of the input; false when they are not all there.
using ReadBytes = std::function<bool(std::uint64_t offset, unsigned char* out, std::size_t n)>;

// What the chunks' own headers tell, read without the decoder: the palettes before the pixel
// data (libspng keeps the last of several), and the ancillary chunks of the whole file when
// `wholeFile` is set (libspng refuses more than its count limit in the same words as too many
// bytes of them).
struct ChunkCensus {
  int palettes = 0;
  std::uint64_t ancillary = 0;
};

ChunkCensus CountChunks(const ReadBytes& read, bool wholeFile) {
  ChunkCensus census;
  std::uint64_t offset = sizeof kSignature;
  unsigned char header[8];
  while (read(offset, header, sizeof header)) {
    const std::uint32_t length = BigEndian32(header);
    const unsigned char* type = header + 4;
    if (length > 0x7FFFFFFFu || std::memcmp(type, "IEND", 4) == 0) break;
    if (std::memcmp(type, "IDAT", 4) == 0 && !wholeFile) break;
    if (std::memcmp(type, "PLTE", 4) == 0) ++census.palettes;
    if ((type[0] & 0x20) != 0) ++census.ancillary;
    offset += std::uint64_t{12} + length;
  }
  return census;
}

// The reason of libspng's `error` in `phase`; too many extra chunks are told apart from too
// many bytes of them (libspng refuses both in the same words).
std::string FailureReason(int error, Phase phase, const Header& h, int readErrno,
                          const ReadBytes& read) {
  if (error == SPNG_ECHUNK_LIMITS && CountChunks(read, true).ancillary > kMaxPngExtraChunks) {
    return "it holds too many chunks: more than " +
           IntegerText(static_cast<std::int64_t>(kMaxPngExtraChunks)) +
           " text or other extra chunks";
  }
  return Reason(error, phase, h, readErrno);
}

// Sets the reader's rules on a context whose input is set, reads every chunk before the pixel
// data and the first bytes of the pixel data, and returns the conversion of the rows; throws
// FailPicture for `name`.
Converter StartPixels(spng_ctx* ctx, const Header& h, const std::string& name, const Source& source,
                      const ReadBytes& read) {
  const auto fail = [&](int error, Phase phase) {
    FailPicture(name, FailureReason(error, phase, h, source.ReadErrno(), read));
  };
  // A second palette would silently replace the first: two palettes make no one picture.
  if (CountChunks(read, false).palettes > 1) FailPicture(name, "the palette is stored twice");

  spng_set_crc_action(ctx, SPNG_CRC_ERROR, SPNG_CRC_ERROR);
  spng_set_image_limits(ctx, static_cast<std::uint32_t>(kMaxPictureSide),
                        static_cast<std::uint32_t>(kMaxPictureSide));
  spng_set_chunk_limits(ctx, kMaxPngChunkBytes, kMaxPngMetadataBytes);
  spng_set_option(ctx, SPNG_CHUNK_COUNT_LIMIT, static_cast<int>(kMaxPngExtraChunks));

  spng_ihdr ihdr{};
  if (const int error = spng_get_ihdr(ctx, &ihdr); error != 0) fail(error, Phase::kHeader);
  if (const int error = spng_decode_image(ctx, nullptr, 0, SPNG_FMT_PNG, SPNG_DECODE_PROGRESSIVE);
      error != 0) {
    fail(error, Phase::kChunks);
  }
  return MakeConverter(ctx, h, name);
}

// Bytes of one stored row of a picture that is not interlaced, in the file's sample format.
std::size_t RowBytesOf(const Header& h) {
  return (std::size_t{h.width} * static_cast<unsigned>(SamplesPerPixel(h.colourType) * h.depth) +
          7) /
         8;
}

// Decodes the picture of header `h` from a context whose input is set; `read` reaches the same
// input by offset.
PixelGrid Decode(spng_ctx* ctx, const Header& h, const std::string& name, PixelGrid* reuse,
                 const Source& source, const ReadBytes& read) {
  const auto fail = [&](int error, Phase phase) {
    FailPicture(name, FailureReason(error, phase, h, source.ReadErrno(), read));
  };
  const Converter converter = StartPixels(ctx, h, name, source, read);

  PixelGrid grid = MakeGrid(h, name, reuse);
  const int height = grid.Height();
  const std::size_t rowBytes = RowBytesOf(h);
  // Rows of plain 8-bit RGB are widened by byte shuffles at a few per cent of the inflating;
  // handing them to another core would cost more than it saves.
  const bool cheapRows =
      converter.kind == Kind::kRgb8 && !converter.keyed && h.interlace == 0 && CanShuffle();
  const bool batched =
      grid.Size() >= RowSink::kBatchedPixels && !cheapRows && ThreadPool::Cores() > 1;
  // Without a second thread to be had, rows are converted as they come.
  ThreadPool pool(batched ? 2 : 1);
  RowSink sink(converter, grid, h.interlace != 0, rowBytes, pool.Parts() == 2);
  pool.Run([&](int part) {
    if (part == 1) {
      sink.Convert();
      return;
    }
    try {
      for (;;) {
        spng_row_info info{};
        if (const int error = spng_get_row_info(ctx, &info); error != 0) {
          fail(error, Phase::kPixels);
        }
        const int status = spng_decode_scanline(ctx, sink.Slot(), rowBytes);
        if (status != 0 && status != SPNG_EOI) fail(status, Phase::kPixels);
        const int y = static_cast<int>(info.row_num);
        if (y < 0 || y >= height || info.pass < 0 || info.pass > 6) {
          FailPicture(name, "the pixel data is not valid");
        }
        sink.Commit(y, info.pass);
        if (sink.Top() >= converter.valid) break;
        if (status == SPNG_EOI) break;
      }
    } catch (...) {
      sink.Stop();  // the converting part would wait for rows forever
      throw;
    }
    sink.Finish();
  });
  const unsigned top = sink.Top();
  if (top >= converter.valid) FailPicture(name, PaletteReason(top, converter.valid));
  // Up to the IEND chunk: a file cut after its pixel data is still a damaged file.
  if (const int error = spng_decode_chunks(ctx); error != 0) fail(error, Phase::kEnd);
  if (source.Ended()) fail(SPNG_IO_EOF, Phase::kEnd);
  return grid;
}

// The header of `file` checked (ParseHeader), judged by what is really there when the file
// shrank since it was opened.
Header ReadHeader(const OpenedPicture& file) {
  const std::string& path = file.Path();
  std::array<unsigned char, kHeadBytes> head{};
  const std::int64_t got =
      file.ReadAt(head.data(), std::min<std::uint64_t>(file.Size(), kHeadBytes), 0);
  if (got < 0) FailPicture(path, "reading the file failed (" + SystemErrorText(errno) + ")");
  const std::uint64_t size =
      static_cast<std::uint64_t>(got) < std::min<std::uint64_t>(file.Size(), kHeadBytes)
          ? static_cast<std::uint64_t>(got)
          : file.Size();
  return ParseHeader(head.data(), size, path);
}

ReadBytes FileBytes(const OpenedPicture& file) {
  return [&file](std::uint64_t offset, unsigned char* out, std::size_t n) {
    return file.ReadAt(out, n, offset) == static_cast<std::int64_t>(n);
  };
}

// Converted rows handed over at a time: they stay in the cache between the decoding and the scan.
constexpr std::size_t kRowsBlockBytes = std::size_t{1} << 18;
// Blocks of stored rows the decoding part may be ahead of the converting one.
constexpr std::size_t kRowsSlots = 4;

// A PNG picture that is not interlaced, decoded from the top as its rows are visited: inflating
// can only go forwards, so the rows are at their best visited once, in order, in one visit
// (InOrder); a visit above the decoder's row starts the decoding again from the top. Rows that
// cost more to convert than plain RGB are inflated by one part of a pool while the caller's
// part converts the last ones and hands them on, so a scan costs about the inflating alone. A file
// read again by a later pass must read as it did the first time (InputSums), and a failure ends the
// handing over: no rows after it, and ThrowIfFailed names it in the whole reader's words.
class PngRows final : public PixelRows {
 public:
  PngRows(std::unique_ptr<OpenedPicture> file, const Header& header)
      : mFile(std::move(file)),
        mHeader(header),
        mRowBytes(RowBytesOf(header)),
        mBlockRows(static_cast<int>(std::clamp<std::uint64_t>(
            kRowsBlockBytes / (std::uint64_t{4} * header.width), 1, header.height))),
        mPixels(static_cast<std::size_t>(header.width) * static_cast<std::size_t>(mBlockRows)) {}

  /// Reads every chunk before the pixel data; throws the whole reader's Error.
  void Open() { mPass = Start(); }

  int Width() const override { return static_cast<int>(mHeader.width); }
  int Height() const override { return static_cast<int>(mHeader.height); }
  const PixelGrid* Grid() const override { return nullptr; }
  bool InOrder() const override { return true; }

  void Visit(int, int first, int end, const std::function<void(const RowBlock&)>& use) override {
    const std::lock_guard<std::mutex> visiting(mVisitMutex);
    if (first >= end || Failed()) return;
    if (!mPass || first < mPass->next) {
      mPass.reset();
      try {
        mPass = Start();
      } catch (const Error& e) {
        Note(e.what());
        return;
      }
    }
    try {
      Run(first, end, use);
    } catch (...) {
      mPass.reset();  // left somewhere inside: the next visit starts from the top
      throw;
    }
    if (mPass && mPass->next == Height() && !Failed()) Finish();
  }

  void ThrowIfFailed() const override {
    {
      // As in a whole read, a failure of the decoding (a file cut short) is named first.
      const std::lock_guard<std::mutex> lock(mNoteMutex);
      if (!mFailure.empty()) throw Error(mFailure);
    }
    // Pieces of two versions of the file are no picture.
    if (mSums.Differs()) FailChangedWhileRead(mFile->Path());
    mFile->CheckUnchanged();
  }

 private:
  // One decoding of the file from its first byte.
  struct Pass {
    Context context;
    std::unique_ptr<Source> source;
    Converter converter;
    int next = 0;      // the row the decoder gives next
    unsigned top = 0;  // the largest palette index met so far
  };

  // Stored rows as libspng gives them, for one block.
  struct Slot {
    std::vector<unsigned char> bytes;
    int first = 0, rows = 0;
    bool full = false;
  };

  const std::string& Name() const { return mFile->Path(); }

  std::unique_ptr<Pass> Start() {
    auto pass = std::make_unique<Pass>();
    if (pass->context.Get() == nullptr) FailPicture(Name(), "there is not enough memory");
    pass->source = std::make_unique<Source>(*mFile, &mSums);
    spng_set_png_stream(pass->context.Get(), &Source::Read, pass->source.get());
    pass->converter =
        StartPixels(pass->context.Get(), mHeader, Name(), *pass->source, FileBytes(*mFile));
    return pass;
  }

  bool Failed() const {
    const std::lock_guard<std::mutex> lock(mNoteMutex);
    return !mFailure.empty();
  }
  void Note(std::string message) {
    const std::lock_guard<std::mutex> lock(mNoteMutex);
    if (mFailure.empty()) mFailure = std::move(message);
  }
  void NoteReason(int error, Phase phase) {
    Note("Cannot read picture " + Name() + ": " +
         FailureReason(error, phase, mHeader, mPass->source->ReadErrno(), FileBytes(*mFile)));
  }

  // Decodes the next `count` rows into `out`; false (the failure noted) when they cannot be.
  bool DecodeRows(unsigned char* out, int count) {
    spng_ctx* ctx = mPass->context.Get();
    for (int r = 0; r < count; ++r) {
      const int status =
          spng_decode_scanline(ctx, out + static_cast<std::size_t>(r) * mRowBytes, mRowBytes);
      if (status != 0 && status != SPNG_EOI) {
        NoteReason(status, Phase::kPixels);
        return false;
      }
      ++mPass->next;
      if (status == SPNG_EOI && mPass->next != Height()) {
        Note("Cannot read picture " + Name() + ": the pixel data is not valid");
        return false;
      }
    }
    return true;
  }

  // Converts the rows of `slot` into mPixels; false (the failure noted) at a row that refers to
  // an entry beyond the palette, as the whole reader refuses it.
  bool ConvertSlot(const Slot& slot) {
    for (int r = 0; r < slot.rows; ++r) {
      if (!ConvertRowTo(slot.bytes.data() + static_cast<std::size_t>(r) * mRowBytes, r)) {
        return false;
      }
    }
    return true;
  }

  // Converts one stored row into row `r` of mPixels; false (the failure noted) as ConvertSlot.
  bool ConvertRowTo(const unsigned char* stored, int r) {
    const Converter& c = mPass->converter;
    const int width = Width();
    const unsigned top = ConvertRow<false>(
        c, stored, width,
        mPixels.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(width), 1);
    mPass->top = std::max(mPass->top, top);
    if (mPass->top < c.valid) return true;
    Note("Cannot read picture " + Name() + ": " + PaletteReason(mPass->top, c.valid));
    return false;
  }

  // Hands the converted rows of `slot` that lie in [from, ...) to `use`.
  void Hand(const Slot& slot, int from, const std::function<void(const RowBlock&)>& use) const {
    const int first = std::max(slot.first, from);
    const int end = slot.first + slot.rows;
    if (first >= end) return;
    use(RowBlock{first, end, Width(),
                 mPixels.data() + static_cast<std::size_t>(first - slot.first) *
                                      static_cast<std::size_t>(Width())});
  }

  // Decodes from the decoder's row to `end`, handing over the rows from `from` on.
  void Run(int from, int end, const std::function<void(const RowBlock&)>& use) {
    const int start = mPass->next;
    const int blocks = (end - start + mBlockRows - 1) / mBlockRows;
    const auto rowsOf = [&](int block) {
      return std::min(mBlockRows, end - (start + block * mBlockRows));
    };
    // Rows of plain 8-bit RGB are widened by byte shuffles and scanned at a few per cent of the
    // inflating: handing them between two parts costs more than it saves (bench/floors.sh on 2
    // busy cores: 1.14x libspng's decoding alone with a second part, 1.06x without). Palette,
    // alpha and 16-bit rows cost more to convert; two blocks or fewer gain nothing from a part.
    const Converter& c = mPass->converter;
    const bool cheapRows = c.kind == Kind::kRgb8 && !c.keyed && CanShuffle();
    ThreadPool pool(!cheapRows && blocks > 2 && ThreadPool::Cores() > 1 ? 2 : 1);
    if (pool.Parts() == 1) {
      // Row by row: each stored row is converted while it is still in the cache.
      Slot& slot = mSlots[0];
      slot.bytes.resize(mRowBytes);
      for (int block = 0; block < blocks; ++block) {
        slot.first = start + block * mBlockRows;
        slot.rows = rowsOf(block);
        for (int r = 0; r < slot.rows; ++r) {
          if (!DecodeRows(slot.bytes.data(), 1) || !ConvertRowTo(slot.bytes.data(), r)) return;
        }
        Hand(slot, from, use);
      }
      return;
    }
    for (Slot& slot : mSlots) {
      slot.bytes.resize(mRowBytes * static_cast<std::size_t>(mBlockRows));
      slot.full = false;
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;         // the converting part ended early
    int decoded = 0;           // blocks the decoding part has finished (or given up on)
    bool decoderDone = false;  // the decoding part has returned
    pool.Run([&](int part) {
      if (part == 1) {
        // Inflating: fills the slots in turn as the converting part frees them.
        struct Done {
          std::mutex& m;
          std::condition_variable& cv;
          bool& flag;
          ~Done() {
            {
              const std::lock_guard<std::mutex> lock(m);
              flag = true;
            }
            cv.notify_all();
          }
        } done{mutex, changed, decoderDone};
        for (int block = 0; block < blocks; ++block) {
          Slot& slot = mSlots[static_cast<std::size_t>(block) % kRowsSlots];
          {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return !slot.full || stop; });
            if (stop) return;
          }
          slot.first = start + block * mBlockRows;
          slot.rows = rowsOf(block);
          if (!DecodeRows(slot.bytes.data(), slot.rows)) return;
          {
            const std::lock_guard<std::mutex> lock(mutex);
            slot.full = true;
            decoded = block + 1;
          }
          changed.notify_all();
        }
        return;
      }
      // Converting and handing over, on the caller's thread.
      const auto halt = [&] {
        {
          const std::lock_guard<std::mutex> lock(mutex);
          stop = true;
        }
        changed.notify_all();
      };
      try {
        for (int block = 0; block < blocks; ++block) {
          Slot& slot = mSlots[static_cast<std::size_t>(block) % kRowsSlots];
          {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return decoded > block || decoderDone; });
            if (decoded <= block) return;  // the decoding failed before this block
          }
          const bool converted = ConvertSlot(slot);
          {
            const std::lock_guard<std::mutex> lock(mutex);
            slot.full = false;
          }
          changed.notify_all();
          if (!converted) {
            halt();
            return;
          }
          Hand(slot, from, use);
        }
      } catch (...) {
        halt();  // the decoding part would wait for a free slot forever
        throw;
      }
    });
  }

  // After the last row: the rest of the file up to its IEND chunk, as the whole reader reads it.
  void Finish() {
    if (const int error = spng_decode_chunks(mPass->context.Get()); error != 0) {
      NoteReason(error, Phase::kEnd);
    } else if (mPass->source->Ended()) {
      NoteReason(SPNG_IO_EOF, Phase::kEnd);
    }
    mPass.reset();  // a visit from here on starts from the top
  }

  std::unique_ptr<OpenedPicture> mFile;
  const Header mHeader;
  const std::size_t mRowBytes;
  const int mBlockRows;
  std::mutex mVisitMutex;  // one visit at a time: there is one decoder
  std::unique_ptr<Pass> mPass;
  std::array<Slot, kRowsSlots> mSlots;
  std::vector<std::uint32_t> mPixels;  // the converted rows of the block being handed over
  InputSums mSums;
  mutable std::mutex mNoteMutex;
  std::string mFailure;  // the whole message of the first failure
};

}  // namespace

bool HasPngSignature(const unsigned char* data, std::size_t size) {
  return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

PixelGrid DecodePng(const unsigned char* data, std::size_t size,
                    const std::string& nameForMessages) {
  // The header checks come first: they need no decoder and allocate nothing.
  const Header header = ParseHeader(data, size, nameForMessages);
  Context context;
  if (context.Get() == nullptr) FailPicture(nameForMessages, "there is not enough memory");
  Source source(data, size);
  spng_set_png_stream(context.Get(), &Source::Read, &source);
  const ReadBytes read = [data, size](std::uint64_t offset, unsigned char* out, std::size_t n) {
    if (offset > size || size - offset < n) return false;
    std::memcpy(out, data + offset, n);
    return true;
  };
  return Decode(context.Get(), header, nameForMessages, nullptr, source, read);
}

PixelGrid ReadPngFile(const OpenedPicture& file, PixelGrid&& reuse) {
  const std::string& path = file.Path();
  const Header header = ReadHeader(file);
  Context context;
  if (context.Get() == nullptr) FailPicture(path, "there is not enough memory");
  Source source(file);
  spng_set_png_stream(context.Get(), &Source::Read, &source);
  return Decode(context.Get(), header, path, &reuse, source, FileBytes(file));
}

std::unique_ptr<PixelRows> OpenPngRows(std::unique_ptr<OpenedPicture> file) {
  const Header header = ReadHeader(*file);
  // An interlaced picture's rows are whole only once its last pass is decoded.
  if (header.interlace != 0) return nullptr;
  auto rows = std::make_unique<PngRows>(std::move(file), header);
  rows->Open();
  return rows;
}

}  // namespace qv
