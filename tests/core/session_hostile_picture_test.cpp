// A picture that is refused leaves the session as it was: the previous picture, its name, its
// colours, the material list and the section bounds, so the window can go on with them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/base/error.h"
#include "core/session/session.h"
#include "support/bmp_writer.h"
#include "support/grid_builder.h"
#include "support/restricted_run.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

std::string Good() { return EncodeBmp24(MakeGrid(3, 2, kWhite, {{1, 0, 1, 1, kRed}})); }

struct RefusedCase {
  const char* comment;
  // Creates the refused file at the path and returns the reason after "<path>: ".
  std::string (*make)(const std::string& path);
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.comment; }

class SessionHostilePictureTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(SessionHostilePictureTest, RefusedPictureKeepsPictureAndLists) {
  // Unprivileged, so that a file without read permission is refused for real.
  RunUnprivileged([] {
    TempDir dir;
    SectionSession session;
    session.SetLibrary(std::make_unique<TPROPClass>());
    ProgramSettings settings = session.Settings();
    settings.IgnoreDollarColours = false;
    session.ChangeSettings(settings);
    const PixelGrid before = MakeGrid(30, 20, kWhite, {{4, 5, 9, 12, kRed}, {12, 2, 20, 8, kBlue}});
    ASSERT_TRUE(session.AcceptPicture(dir.WritePicture("section.bmp", before)));
    session.ColourInventory();
    ASSERT_TRUE(session.AddColourToMaterialList("clRed"));
    const SectionBounds bounds = session.Bounds();
    const std::vector<std::string> found = session.FoundLabels();

    const std::string path = dir.File("refused.bmp");
    const std::string reason = GetParam().make(path);
    try {
      session.AcceptPicture(path);
      FAIL() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot read picture " + path + ": " + reason);
    }
    // Nothing of the refused file is kept: not its name, its folder or a recent entry.
    EXPECT_EQ(session.PictureFile(), dir.File("section.bmp"));
    EXPECT_EQ(session.Settings().WorkingDir, dir.Path() + "/");
    EXPECT_EQ(session.Settings().RecentPictures, std::vector<std::string>{dir.File("section.bmp")});
    EXPECT_EQ(session.Picture(), before);
    EXPECT_EQ(session.FoundLabels(), found);
    EXPECT_EQ(session.MaterialList(), std::vector<std::string>{"clRed"});
    EXPECT_EQ(session.Bounds(), bounds);
    EXPECT_EQ(session.Found().Size(), 3u);
    // The picture on show is still its own file's, analysed under its own name.
    EXPECT_TRUE(session.PictureFresh());
    ASSERT_EQ(session.Analyse(SectionSize{30, 20, "30", "20"}),
              SectionSession::AnalyseOutcome::Done);
    EXPECT_EQ(session.Report().front(), "QUORVANE RESULTS : section.bmp");
    EXPECT_EQ(session.Result().RelevantPixels, 6 * 8);
  });
}

INSTANTIATE_TEST_SUITE_P(
    Session, SessionHostilePictureTest,
    testing::Values(
        RefusedCase{"empty file",
                    [](const std::string& p) {
                      WriteAll(p, "");
                      return std::string("the file is empty");
                    }},
        RefusedCase{"header cut short",
                    [](const std::string& p) {
                      WriteAll(p, Truncated(Good(), 20));
                      return std::string("the header ends early");
                    }},
        RefusedCase{"pixel data cut short",
                    [](const std::string& p) {
                      // the last row may lack its 3 bytes of padding, not a pixel byte
                      WriteAll(p, Truncated(Good(), Good().size() - 4));
                      return std::string("the pixel data ends early");
                    }},
        RefusedCase{"a declared size of 100000 x 100000",
                    [](const std::string& p) {
                      std::string bytes = Good();
                      PutU32(bytes, kWidthAt, 100000);
                      PutU32(bytes, kHeightAt, 100000);
                      WriteAll(p, bytes);
                      return std::string(
                          "the picture size 100000x100000 exceeds the limit of 1073741824 pixels");
                    }},
        // the first bytes choose the reader: the PNG reader tells what is wrong
        RefusedCase{"a PNG renamed to .bmp, cut inside its header",
                    [](const std::string& p) {
                      WriteAll(p, std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
                      return std::string("the header ends early");
                    }},
        RefusedCase{"a folder",
                    [](const std::string& p) {
                      std::filesystem::create_directory(p);
                      return std::string("it is a folder, not a file");
                    }},
        RefusedCase{"no read permission",
                    [](const std::string& p) {
                      WriteAll(p, Good());
                      chmod(p.c_str(), 0200);
                      return std::string("permission to read it is denied");
                    }}),
    RowName);

}  // namespace
}  // namespace qv::test
