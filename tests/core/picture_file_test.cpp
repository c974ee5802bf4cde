// A picture file written over in place while it is read: every read gives one whole picture or
// the refusal "<file> changed while it was read", never rows of two pictures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "core/base/error.h"
#include "core/picture/picture_reader.h"
#include "core/session/session.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/png_writer.h"

namespace qv::test {
namespace {

// Writes `bytes` over the start of the file at `path` in pieces, without truncating it, as a
// program saving in place does; last piece first, so a reader going front to back that the
// rewrite overlaps meets old bytes first and new ones later: rows of both pictures.
void WriteInPlace(const std::string& path, const std::string& bytes, std::size_t piece) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  for (std::size_t end = bytes.size(); end > 0;) {
    const std::size_t start = end > piece ? end - piece : 0;
    ASSERT_EQ(::pwrite(fd, bytes.data() + start, end - start, static_cast<off_t>(start)),
              static_cast<ssize_t>(end - start));
    end = start;
  }
  ::close(fd);
}

// Two pictures of one size that differ in every row: the red blocks' widths and places differ.
const PixelGrid kA = MakeGrid(2000, 1500, kWhite, {{100, 0, 1899, 1499, kRed}});
const PixelGrid kB = MakeGrid(2000, 1500, kWhite, {{0, 0, 999, 1499, kRed}});

std::string Refusal(const std::string& path) { return path + " changed while it was read"; }

// Every row of `rows`, in one pass on this thread.
void VisitAll(PixelRows& rows) {
  rows.Visit(0, 0, rows.Height(), [](const RowBlock&) {});
}

TEST(ChangedWhileReadTest, RowsRewrittenBetweenPassesAreRefused) {
  TempDir dir;
  const std::string path = dir.WritePicture("a.bmp", kA);
  std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
  ASSERT_TRUE(rows);
  VisitAll(*rows);
  EXPECT_NO_THROW(rows->ThrowIfFailed());
  WriteInPlace(path, EncodeBmp24(kB), 4096);
  // The times alone would tell; the time set back as a copying tool does, the rows still do.
  const timespec old[2] = {{0, UTIME_OMIT}, {1, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  VisitAll(*rows);
  try {
    rows->ThrowIfFailed();
    ADD_FAILURE() << "a file written over between two passes was read as one picture";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), Refusal(path));
  }
}

TEST(ChangedWhileReadTest, AWriteThatSetsNoTimeDuringTheOnePassIsRefused) {
  // Written through a shared mapping whose pages are already dirty, the file's times stay as they
  // were, as two writes within one tick of a coarse clock leave them: only the bytes tell.
  TempDir dir;
  const std::string path = dir.WritePicture("a.bmp", kA);
  const std::string b = EncodeBmp24(kB);
  const int fd = ::open(path.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  auto* mapped =
      static_cast<char*>(::mmap(nullptr, b.size(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
  ::close(fd);
  ASSERT_NE(mapped, MAP_FAILED);
  // Every page dirtied before the read opens the file; the times are set now, once.
  volatile char* const page = mapped;
  for (std::size_t at = 0; at < b.size(); at += 4096) page[at] = page[at];

  std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
  ASSERT_TRUE(rows);
  bool written = false;
  rows->Visit(0, 0, rows->Height(), [&](const RowBlock&) {
    if (written) return;
    // Rows already read become B's: bottom-up, picture row 0 is stored last.
    const auto half = static_cast<std::ptrdiff_t>(b.size() / 2);
    std::copy(b.begin() + half, b.end(), mapped + half);
    written = true;
  });
  ::munmap(mapped, b.size());
  try {
    rows->ThrowIfFailed();
    ADD_FAILURE() << "rows of two pictures were read as one";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), Refusal(path));
  }
}

// Writes A and B over each other in place, each time a read has just begun, so every read
// starts on a whole picture and may overlap a rewrite (a file caught half-saved before the read
// began is a whole other picture to any reader, and no concern of these checks).
class Rewriter {
 public:
  /// `spreadUs`: rewrites begin 0 to this many microseconds after a read began, about the time
  /// a read takes, so most rewrites fall inside one.
  Rewriter(std::string path, std::string a, std::string b, int spreadUs)
      : mPath(std::move(path)), mA(std::move(a)), mB(std::move(b)), mSpreadUs(spreadUs) {
    WriteAll(mPath, mA);
    mThread = std::thread([this] { Run(); });
  }
  ~Rewriter() {
    mStop = true;
    mThread.join();
  }
  Rewriter(const Rewriter&) = delete;
  Rewriter& operator=(const Rewriter&) = delete;

  /// Waits for a whole picture and lets the next rewrite begin; the caller reads at once.
  void BeginRead() {
    while (!mWhole.load()) std::this_thread::yield();
    mWhole = false;
  }

 private:
  void Run() {
    mWhole = true;
    for (int i = 0; !mStop.load(); ++i) {
      while (mWhole.load()) {
        if (mStop.load()) return;
        std::this_thread::yield();
      }
      std::this_thread::sleep_for(std::chrono::microseconds(mSpreadUs * (i % 8) / 8));
      WriteInPlace(mPath, i % 2 == 0 ? mB : mA, 8192);
      mWhole = true;
    }
  }

  std::string mPath, mA, mB;
  int mSpreadUs;
  std::atomic<bool> mWhole{false};
  std::atomic<bool> mStop{false};
  std::thread mThread;
};

// The reader and the batch tool's session read while another thread writes A and B over each
// other in place: each result is A's, B's or the refusal.
TEST(ChangedWhileReadTest, ConcurrentRewritesGiveOnePictureOrTheRefusal) {
  TempDir dir;
  const std::string bmpA = EncodeBmp24(kA);
  const std::string bmpB = EncodeBmp24(kB);
  ASSERT_EQ(bmpA.size(), bmpB.size());
  // The PNG pictures padded to one length, so the writer never truncates.
  std::string pngA = EncodePng(kA, PngOptions{});
  std::string pngB = EncodePng(kB, PngOptions{});
  const std::size_t pngSize = std::max(pngA.size(), pngB.size());
  pngA.resize(pngSize, '\0');
  pngB.resize(pngSize, '\0');

  const auto analyse = [](const std::string& path) {
    SectionSession session;
    session.SetLibrary(std::make_unique<TPROPClass>(LibraryOf({{"clRed", 210000, 7850, false}})));
    session.SetPictureStreaming(true);
    if (!session.AcceptPicture(path)) return std::string("gone");
    session.ColourInventory();
    session.AddColourToMaterialList("clRed");
    session.Analyse({100, 100, "100", "100"});
    return session.ReportText();
  };
  const std::string bmp = dir.File("s.bmp");
  WriteAll(bmp, bmpA);
  const std::string reportA = analyse(bmp);
  WriteAll(bmp, bmpB);
  const std::string reportB = analyse(bmp);
  ASSERT_NE(reportA, reportB);

  const auto started = std::chrono::steady_clock::now();
  (void)ReadPicture(bmp);
  const auto readUs = static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(
                                           std::chrono::steady_clock::now() - started)
                                           .count());
  int refused = 0;
  {
    Rewriter rewriter(bmp, bmpA, bmpB, readUs);
    for (int run = 0; run < 24; ++run) {
      rewriter.BeginRead();
      try {
        const PixelGrid grid = ReadPicture(bmp);
        EXPECT_TRUE(grid == kA || grid == kB) << "run " << run;
      } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), Refusal(bmp));
        ++refused;
      }
      rewriter.BeginRead();
      try {
        const std::string report = analyse(bmp);
        EXPECT_TRUE(report == reportA || report == reportB) << "run " << run << "\n" << report;
      } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), Refusal(bmp));
        ++refused;
      }
    }
  }
  const std::string png = dir.File("s.png");
  Rewriter rewriter(png, pngA, pngB, readUs);
  for (int run = 0; run < 24; ++run) {
    rewriter.BeginRead();
    try {
      const PixelGrid grid = ReadPicture(png);
      EXPECT_TRUE(grid == kA || grid == kB) << "png run " << run;
    } catch (const Error&) {
      // A torn PNG may also fail its own checksums first, which is a refusal as good.
      ++refused;
    }
  }
  RecordProperty("refused", refused);
}

}  // namespace
}  // namespace qv::test
