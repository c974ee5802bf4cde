// Falling back to the user's folder when the program's folder cannot be written.
#include "core/settings/save_location.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "core/settings/program_settings.h"
#include "support/grid_builder.h"
#include "support/restricted_run.h"

namespace qv::test {
namespace {

TEST(SaveLocationTest, KeepsTheProgramFolderWhileItIsWritable) {
  TempDir dir;
  const std::string program = dir.File("quorvane");
  EXPECT_EQ(SettingsProgramPath(program, dir.File("user")), program);
  EXPECT_EQ(WritableLibraryFile(dir.File("properties.ini"), dir.File("user")),
            dir.File("properties.ini"));
  EXPECT_FALSE(std::filesystem::exists(dir.File("user")));  // nothing created needlessly
}

TEST(SaveLocationTest, MovesToTheUserFolderWhenTheProgramFolderIsReadOnly) {
  RunUnprivileged([] {
    TempDir dir;
    std::filesystem::create_directory(dir.File("program"));
    chmod(dir.File("program").c_str(), 0555);
    const std::string user = dir.File("user");
    EXPECT_EQ(SettingsProgramPath(dir.File("program/quorvane"), user), user + "/quorvane");
    EXPECT_EQ(WritableLibraryFile(dir.File("program/properties.ini"), user),
              user + "/properties.ini");
    EXPECT_TRUE(std::filesystem::is_directory(user));
    chmod(dir.File("program").c_str(), 0755);
  });
}

TEST(SaveLocationTest, AReadOnlyFileOrAFolderInTheWayIsNotWritable) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("properties.ini"));
  EXPECT_FALSE(CanWriteFile(dir.File("properties.ini")));
  EXPECT_EQ(WritableLibraryFile(dir.File("properties.ini"), dir.File("user")),
            dir.File("user") + "/properties.ini");
  EXPECT_TRUE(CanWriteFile(dir.File("new.ini")));
  EXPECT_FALSE(CanWriteFile(dir.File("missing/new.ini")));
}

}  // namespace
}  // namespace qv::test
