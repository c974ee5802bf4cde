// Files a run writes: only regular files or new names, each its own file, and all of them put in
// place together once the run has succeeded.
#include "core/settings/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "core/base/error.h"
#include "support/grid_builder.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> FilesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// A folder with one of each kind of thing an output may be named after.
class OutputFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    WriteAll(dir.File("old.png"), "old");
    ::chmod(dir.File("old.png").c_str(), 0640);
    fs::create_symlink(dir.File("old.png"), dir.File("link.png"));
    fs::create_directory(dir.File("folder.png"));
    ASSERT_EQ(::mkfifo(dir.File("pipe.png").c_str(), 0644), 0);
    fs::create_symlink(dir.File("pipe.png"), dir.File("topipe.png"));
    fs::create_symlink("/dev/null", dir.File("null.png"));
  }
  TempDir dir;
};

struct OutputCase {
  const char* comment;
  std::string name;
  std::string problem;  // after "Unable to write to <path>"; "-" when taken
};
void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.comment; }

class OutputFilesRefusalTest : public OutputFilesTest,
                               public testing::WithParamInterface<OutputCase> {};

TEST_P(OutputFilesRefusalTest, OnlyRegularFilesAndNewNamesAreWritten) {
  const std::string path = dir.File(GetParam().name);
  const std::set<std::string> before = FilesIn(dir.Path());
  try {
    OutputFiles outputs;
    outputs.Add(path);
    EXPECT_EQ(GetParam().problem, "-");
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path + GetParam().problem);
  }
  EXPECT_EQ(FilesIn(dir.Path()), before);  // a temporary never committed is gone
  EXPECT_TRUE(fs::is_fifo(dir.File("pipe.png")));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OutputFilesRefusalTest,
    testing::Values(OutputCase{"new name", "new.png", "-"},
                    OutputCase{"regular file", "old.png", "-"},
                    OutputCase{"link to a regular file", "link.png", "-"},
                    OutputCase{"named pipe", "pipe.png", ": it is not a regular file"},
                    OutputCase{"link to a named pipe", "topipe.png", ": it is not a regular file"},
                    OutputCase{"link to a device", "null.png", ": it is not a regular file"},
                    OutputCase{"folder", "folder.png", ""},
                    OutputCase{"missing folder", "no/new.png", ""}),
    RowName);

TEST_F(OutputFilesTest, CommitPutsEveryOutputInPlaceKeepingModeAndLinks) {
  {
    OutputFiles outputs;
    WriteAll(outputs.Add(dir.File("link.png")), "new through the link");
    WriteAll(outputs.Add(dir.File("made.png")), "made");
    // Written, not yet in place.
    EXPECT_EQ(ReadAll(dir.File("old.png")), "old");
    EXPECT_FALSE(fs::exists(dir.File("made.png")));
    outputs.Commit();
  }
  EXPECT_EQ(ReadAll(dir.File("old.png")), "new through the link");
  EXPECT_TRUE(fs::is_symlink(dir.File("link.png")));
  EXPECT_EQ(fs::status(dir.File("old.png")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(ReadAll(dir.File("made.png")), "made");
  EXPECT_EQ(FilesIn(dir.Path()),
            (std::set<std::string>{"old.png", "link.png", "folder.png", "pipe.png", "topipe.png",
                                   "null.png", "made.png"}));
}

TEST_F(OutputFilesTest, TwoOutputsNamingOneFileAreRefusedThroughAnyPathOrLink) {
  fs::create_hard_link(dir.File("old.png"), dir.File("hard.png"));
  for (const std::string& other : {dir.File("old.png"), dir.File("link.png"), dir.File("hard.png"),
                                   dir.Path() + "/folder.png/../old.png"}) {
    OutputFiles outputs;
    outputs.Add(dir.File("old.png"));
    try {
      outputs.Add(other);
      ADD_FAILURE() << other << " was taken beside old.png";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), other + " and " + dir.File("old.png") + " name one file");
    }
  }
  // Two new names that are one: the second spelled through a folder and back.
  OutputFiles outputs;
  outputs.Add(dir.File("new.png"));
  EXPECT_THROW(outputs.Add(dir.Path() + "/folder.png/../new.png"), Error);
  // A new name in the working folder, bare and through ".": no part of the bare one exists.
  const fs::path before = fs::current_path();
  fs::current_path(dir.Path());
  {
    OutputFiles here;
    here.Add("here.png");
    EXPECT_THROW(here.Add("./here.png"), Error);
  }
  fs::current_path(before);
}

}  // namespace
}  // namespace qv::test
