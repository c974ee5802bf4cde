// The window program's data folder: found beside an installed program, never in a build folder.
#include "core/settings/installed_layout.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/grid_builder.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

constexpr const char* kFromBin = "../share/quorvane";

struct LayoutCase {
  const char* name;
  const char* executable;  // relative to the temporary root; "" for a bare name
  const char* dataFolder;  // made as a folder under the root; "" for none
  const char* dataFile;    // made as a file under the root instead; "" for none
  const char* fromBin;     // the build's relative data folder
  const char* expected;    // relative to the root; "=" for the executable unchanged
};
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class InstalledLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(InstalledLayoutTest, ResolvesTheFolderOfTheProgramsFiles) {
  const LayoutCase& c = GetParam();
  TempDir root;
  if (*c.dataFolder != 0) std::filesystem::create_directories(root.File(c.dataFolder));
  if (*c.dataFile != 0) {
    std::filesystem::create_directories(std::filesystem::path(root.File(c.dataFile)).parent_path());
    WriteAll(root.File(c.dataFile), "not a folder");
  }
  const std::string executable = *c.executable != 0 ? root.File(c.executable) : "quorvane";
  const std::string expected = std::string(c.expected) == "=" ? executable : root.File(c.expected);
  EXPECT_EQ(InstalledProgramPath(executable, c.fromBin), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, InstalledLayoutTest,
    ::testing::Values(
        // Installed under a prefix: the files live in the prefix's share folder, the path comes
        // out without "..", as the help message shows it.
        LayoutCase{"Installed", "usr/bin/quorvane", "usr/share/quorvane", "", kFromBin,
                   "usr/share/quorvane/quorvane"},
        // A build folder has no share folder beside its program: everything stays beside it.
        LayoutCase{"BuildFolder", "build/src/app/quorvane", "", "", kFromBin, "="},
        // A share folder of another program's does not count.
        LayoutCase{"OtherProgramsShare", "usr/bin/quorvane", "usr/share/other", "", kFromBin, "="},
        // A file of that name is no data folder.
        LayoutCase{"FileInTheWay", "usr/bin/quorvane", "", "usr/share/quorvane", kFromBin, "="},
        // A build configured without a data folder never looks for one.
        LayoutCase{"NoDataFolderConfigured", "usr/bin/quorvane", "usr/share/quorvane", "", "", "="},
        // A custom layout: the program in libexec, the files in its own folder.
        LayoutCase{"CustomLayout", "opt/q/libexec/quorvane", "opt/q/data", "", "../data",
                   "opt/q/data/quorvane"},
        // A bare program name has no folder to look beside.
        LayoutCase{"BareName", "", "share/quorvane", "", kFromBin, "="}),
    RowName);

}  // namespace
}  // namespace qv::test
