// The session's picture on its own: a reload skips the decoding only while neither the file nor
// the pixels changed since they were read.
#include "core/session/loaded_picture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/grid_builder.h"

namespace qv::test {
namespace {

TEST(LoadedPictureTest, AReloadReadsAFileWrittenSinceAgainWhetherHeldOrStreamed) {
  TempDir dir;
  const PixelGrid first = MakeGrid(30, 20, kWhite, {{2, 2, 9, 9, kRed}});
  const PixelGrid second = MakeGrid(30, 20, kWhite, {{2, 2, 9, 9, kBlue}});
  for (const bool streaming : {false, true}) {
    const std::string path = dir.WritePicture("section.bmp", first);
    LoadedPicture picture;
    picture.SetStreaming(streaming);
    ASSERT_TRUE(picture.Load(path));
    const std::uint64_t read = picture.Revision();
    ASSERT_TRUE(picture.Load(path));
    EXPECT_EQ(picture.Revision(), read) << "an unchanged file was decoded again";
    // Rewritten in place with a picture of the same size, as an editor saves it.
    dir.WritePicture("section.bmp", second);
    std::filesystem::last_write_time(
        path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
    ASSERT_TRUE(picture.Load(path));
    EXPECT_NE(picture.Revision(), read);
    EXPECT_EQ(picture.Stamp(), StampOf(path));
    EXPECT_TRUE(picture.Fresh());
    picture.ReadIntoMemory();
    EXPECT_EQ(picture.Grid(), second) << (streaming ? "streamed" : "held");
  }
}

}  // namespace
}  // namespace qv::test
