// The first start of an installed program: where the settings and the library go, and the one
// copy of the example library into the user's folder.
#include "core/library/user_library.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "core/base/error.h"
#include "core/session/session.h"
#include "support/grid_builder.h"
#include "support/material_library.h"
#include "support/restricted_run.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// CR LF, a byte-order mark and a section of its own: a copy must keep every byte.
const std::string kExample =
    "\xEF\xBB\xBF[properties]\r\nn=2\r\n1=1@clRed@steel S235@210000@7850\r\n"
    "2=2@clBlue@aluminium@70000@2700\r\n[poisson]\r\nclRed=0.3\r\n";
const std::string kUsersOwn = "[properties]\r\nn=1\r\n1=1@clLime@timber@11000@500\r\n";

// A program folder, installed read-only with its example library, and a user folder.
struct Folders {
  TempDir root;
  std::string program = root.File("share/quorvane");
  std::string user = root.File("config/Quorvane");
  std::string ProgramPath() const { return program + "/quorvane"; }
  std::string Example() const { return program + "/properties.ini"; }
  std::string UserLibrary() const { return user + "/properties.ini"; }
  std::string UserSettings() const { return user + "/quorvane.INI"; }
};

// The program folder as a system-wide installation leaves it to the user: neither the folder
// nor its files can be written. Write permission is given back afterwards so the folder can be
// removed again.
class ReadOnlyFolder {
 public:
  ReadOnlyFolder(std::string path, bool readOnly) : mPath(std::move(path)), mActive(readOnly) {
    if (!mActive) return;
    for (const auto& entry : fs::directory_iterator(mPath)) ::chmod(entry.path().c_str(), 0444);
    ::chmod(mPath.c_str(), 0555);
  }
  ~ReadOnlyFolder() {
    if (!mActive) return;
    ::chmod(mPath.c_str(), 0755);
    for (const auto& entry : fs::directory_iterator(mPath)) ::chmod(entry.path().c_str(), 0644);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

 private:
  std::string mPath;
  bool mActive;
};

enum class Library { Example, UserFolder };
enum class UserFile { Absent, ExampleBytes, UsersBytes };

struct FirstStartCase {
  const char* name;
  bool readOnlyProgram;  // installed: the program folder cannot be written
  bool example;          // the program brings properties.ini
  bool usersLibrary;     // the user folder already holds a properties.ini
  bool usersSettings;    // the user folder already holds the settings (a later start)
  Library library;       // the library the session works on
  UserFile userFile;     // what the user folder's properties.ini holds afterwards
  int materials;         // materials loaded
};
void PrintTo(const FirstStartCase& c, std::ostream* os) { *os << c.name; }

class FirstStartTest : public ::testing::TestWithParam<FirstStartCase> {};

TEST_P(FirstStartTest, DecidesTheLibraryAndCopiesTheExampleOnce) {
  const FirstStartCase c = GetParam();
  RunUnprivileged([c] {
    Folders f;
    fs::create_directories(f.program);
    if (c.example) WriteAll(f.Example(), kExample);
    if (c.usersLibrary || c.usersSettings) fs::create_directories(f.user);
    if (c.usersLibrary) WriteAll(f.UserLibrary(), kUsersOwn);
    // As the first start saved them, but the library named there is gone since: it falls back
    // to the one in the working folder, like any other.
    if (c.usersSettings) {
      WriteAll(f.UserSettings(),
               "[data]\r\ndatafile=" + f.UserLibrary() + "\r\nworkingdir=" + f.program + "/\r\n");
    }
    ReadOnlyFolder guard(f.program, c.readOnlyProgram);

    SectionSession session;
    EXPECT_TRUE(session.LoadSettings(f.ProgramPath(), f.user).empty());

    const std::string expectedLibrary =
        c.library == Library::Example ? f.Example() : f.UserLibrary();
    EXPECT_EQ(session.Settings().LibraryFile, expectedLibrary);
    ASSERT_NE(session.MaterialLibrary(), nullptr);
    EXPECT_EQ(session.MaterialLibrary()->FileName, expectedLibrary);
    EXPECT_EQ(session.MaterialLibrary()->Count(), c.materials);
    switch (c.userFile) {
      case UserFile::Absent:
        EXPECT_FALSE(fs::exists(f.UserLibrary()));
        break;
      case UserFile::ExampleBytes:
        EXPECT_EQ(ReadAll(f.UserLibrary()), kExample);
        break;
      case UserFile::UsersBytes:
        EXPECT_EQ(ReadAll(f.UserLibrary()), kUsersOwn);
        break;
    }
    if (c.example) {
      EXPECT_EQ(ReadAll(f.Example()), kExample);
    }
    // Nothing but the copy (and no temporary of it) appears in the user's folder.
    if (!c.usersSettings && fs::exists(f.user)) {
      for (const auto& entry : fs::directory_iterator(f.user)) {
        EXPECT_EQ(entry.path().filename(), "properties.ini");
      }
    }
    // A build folder run creates no user folder at all.
    if (!c.readOnlyProgram) {
      EXPECT_FALSE(fs::exists(f.user));
    }
  });
}

INSTANTIATE_TEST_SUITE_P(
    Starts, FirstStartTest,
    ::testing::Values(
        // Run from the build folder: everything stays beside the program.
        FirstStartCase{"BuildFolder", false, true, false, false, Library::Example, UserFile::Absent,
                       2},
        // Installed, first start: the example becomes the user's own copy, byte for byte.
        FirstStartCase{"InstalledFirstStart", true, true, false, false, Library::UserFolder,
                       UserFile::ExampleBytes, 2},
        // Installed, and the user already keeps a library there: it is used, never replaced.
        FirstStartCase{"UserAlreadyHasALibrary", true, true, true, false, Library::UserFolder,
                       UserFile::UsersBytes, 1},
        // Installed without an example: nothing to copy; the first save creates the library.
        FirstStartCase{"NoExampleInstalled", true, false, false, false, Library::UserFolder,
                       UserFile::Absent, 0},
        // A later start (the settings are the user's): the copy was made once and is not made
        // again, even after the user removed the library.
        FirstStartCase{"LaterStartCopiesNothing", true, true, false, true, Library::Example,
                       UserFile::Absent, 2}),
    RowName);

TEST(FirstStartTest, TheCopyIsWhereTheSettingsAndEditsGoFromThenOn) {
  RunUnprivileged([] {
    Folders f;
    fs::create_directories(f.program);
    WriteAll(f.Example(), kExample);
    ReadOnlyFolder guard(f.program, true);
    {
      SectionSession session;
      session.LoadSettings(f.ProgramPath(), f.user);
      AddMaterial(session.EditLibrary(), {.label = "clLime", .inUse = false, .name = "timber"});
      session.SaveSettings();
    }
    EXPECT_EQ(ReadAll(f.Example()), kExample);
    EXPECT_NE(ReadAll(f.UserSettings()).find("datafile=" + f.UserLibrary() + "\r\n"),
              std::string::npos);
    // The library's own section of Poisson's ratios survives the save of the copy.
    EXPECT_NE(ReadAll(f.UserLibrary()).find("[poisson]"), std::string::npos);
    SectionSession again;
    again.LoadSettings(f.ProgramPath(), f.user);
    EXPECT_EQ(again.Settings().LibraryFile, f.UserLibrary());
    ASSERT_NE(again.MaterialLibrary()->FindByLabel("clLime"), nullptr);
    EXPECT_EQ(again.MaterialLibrary()->Count(), 3);
  });
}

// Installed, the program's folder is the package's even where this user (root) may write it:
// nothing is ever written there, so removing the package leaves no folder behind.
TEST(FirstStartTest, InstalledProgramNeverWritesItsFolderWhoeverRunsIt) {
  Folders f;
  fs::create_directories(f.program);
  WriteAll(f.Example(), kExample);
  const auto programFolder = [&f] {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(f.program)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  };
  const std::set<std::string> packaged = programFolder();
  for (int start = 0; start < 3; ++start) {
    SectionSession session;
    EXPECT_TRUE(session.LoadSettings(f.ProgramPath(), f.user, SettingsHome::UserFolder).empty());
    EXPECT_EQ(session.Settings().LibraryFile, f.UserLibrary()) << start;
    AddMaterial(session.EditLibrary(),
                {.label = start == 0 ? "clLime" : "clAqua", .inUse = false, .name = "timber"});
    session.SaveSettings();
    EXPECT_EQ(programFolder(), packaged) << start;
    EXPECT_EQ(ReadAll(f.Example()), kExample) << start;
    EXPECT_TRUE(fs::exists(f.UserSettings()));
    // The third start finds its library gone: the example is read, the save goes to the user.
    if (start == 1) fs::remove(f.UserLibrary());
  }
  SectionSession last;
  last.LoadSettings(f.ProgramPath(), f.user, SettingsHome::UserFolder);
  EXPECT_EQ(last.MaterialLibrary()->Count(), 3);
  EXPECT_NE(last.MaterialLibrary()->FindByLabel("clAqua"), nullptr);
}

TEST(CopyFileIfMissingTest, NeverReplacesWhatIsThere) {
  TempDir dir;
  WriteAll(dir.File("from"), kExample);
  WriteAll(dir.File("to"), kUsersOwn);
  EXPECT_FALSE(CopyFileIfMissing(dir.File("from"), dir.File("to")));
  EXPECT_EQ(ReadAll(dir.File("to")), kUsersOwn);
  // A link to nowhere is the user's too.
  fs::create_symlink(dir.File("nowhere"), dir.File("link"));
  EXPECT_FALSE(CopyFileIfMissing(dir.File("from"), dir.File("link")));
  EXPECT_TRUE(fs::is_symlink(dir.File("link")));
  EXPECT_FALSE(fs::exists(dir.File("nowhere")));
  // Nothing to copy.
  EXPECT_FALSE(CopyFileIfMissing(dir.File("missing"), dir.File("new")));
  EXPECT_FALSE(fs::exists(dir.File("new")));
  EXPECT_TRUE(CopyFileIfMissing(dir.File("from"), dir.File("new")));
  EXPECT_EQ(ReadAll(dir.File("new")), kExample);
}

TEST(CopyFileIfMissingTest, FailuresLeaveNoFileBehind) {
  RunUnprivileged([] {
    TempDir dir;
    WriteAll(dir.File("from"), kExample);
    fs::create_directory(dir.File("locked"));
    ::chmod(dir.File("locked").c_str(), 0555);
    EXPECT_THROW(
        {
          try {
            CopyFileIfMissing(dir.File("from"), dir.File("locked/to"));
          } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.File("locked/to"));
            throw;
          }
        },
        Error);
    ::chmod(dir.File("locked").c_str(), 0755);
    EXPECT_TRUE(fs::is_empty(dir.File("locked")));

    ::chmod(dir.File("from").c_str(), 0);
    EXPECT_THROW(CopyFileIfMissing(dir.File("from"), dir.File("to")), Error);
    EXPECT_FALSE(fs::exists(dir.File("to")));
    // The example that cannot be read stays the library: nothing is lost, nothing half made.
    EXPECT_EQ(UserLibraryFile(dir.File("from"), dir.File("user")), dir.File("from"));
    EXPECT_FALSE(fs::exists(dir.File("user/properties.ini")));
  });
}

}  // namespace
}  // namespace qv::test
