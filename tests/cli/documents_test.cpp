// The documents that describe the batch tool agree with it: every option and command of the
// usage text is in the man page, the README and the bash completion, nothing there is unknown
// to the tool, the usage fits a terminal, and the package's release history carries the
// program's version.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "cli/cli_options.h"
#include "cli/run_cli.h"
#include "core/base/version.h"
#include "support/cli_run.h"
#include "support/grid_builder.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

const std::string kSourceDir = std::string(QV_TEST_DATA_DIR) + "/../..";

std::string Source(const std::string& path) {
  std::string text = ReadAll(kSourceDir + "/" + path);
  EXPECT_FALSE(text.empty()) << path << " is missing or empty";
  return text;
}

// Every "--name" in `text`.
std::set<std::string> Options(const std::string& text) {
  std::set<std::string> names;
  const std::regex option("--[a-z][a-z-]*");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
       it != std::sregex_iterator(); ++it) {
    names.insert(it->str());
  }
  return names;
}

// The man page as it reads: roff's escaped hyphens as hyphens.
std::string ManText(const std::string& roff) {
  return std::regex_replace(roff, std::regex(R"(\\-)"), "-");
}

// The README's section on the batch tool, up to the next section of the same level.
std::string ReadmeCliSection() {
  const std::string readme = Source("README.md");
  const std::size_t from = readme.find("## The batch tool quorvane-cli");
  EXPECT_NE(from, std::string::npos);
  if (from == std::string::npos) return {};
  const std::size_t to = readme.find("\n## ", from + 1);
  return readme.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

struct Document {
  const char* name;
  const char* path;
  bool roff;
};
void PrintTo(const Document& d, std::ostream* os) { *os << d.name; }

class CliDocumentTest : public ::testing::TestWithParam<Document> {
 protected:
  std::string Text() const {
    const Document& d = GetParam();
    if (std::string(d.path) == "README.md") return ReadmeCliSection();
    const std::string text = Source(d.path);
    return d.roff ? ManText(text) : text;
  }
};

TEST_P(CliDocumentTest, NamesEveryOptionAndCommandOfTheUsageAndNoOther) {
  const std::set<std::string> usage = Options(CliUsage());
  ASSERT_FALSE(usage.empty());  // the usage itself was read
  const std::string text = Text();
  const std::set<std::string> documented = Options(text);
  for (const std::string& option : usage) {
    EXPECT_TRUE(documented.count(option)) << GetParam().path << " lacks " << option;
  }
  for (const std::string& option : documented) {
    EXPECT_TRUE(usage.count(option))
        << GetParam().path << " names " << option << ", which the tool does not know";
  }
  for (const char* command : {"colours", "analyse", "table"}) {
    EXPECT_NE(text.find(command), std::string::npos) << GetParam().path << " lacks " << command;
  }
}

INSTANTIATE_TEST_SUITE_P(Documents, CliDocumentTest,
                         ::testing::Values(
                             // The man page, installed as quorvane-cli(1).
                             Document{"ManPage", "packaging/man/quorvane-cli.1", true},
                             // The README's section on the batch tool.
                             Document{"Readme", "README.md", false},
                             // The bash completion offers exactly the tool's options.
                             Document{"Completion", "packaging/bash-completion/quorvane-cli",
                                      false}),
                         RowName);

TEST(CliDocumentTest, UsageFitsEightyColumns) {
  std::istringstream lines(CliUsage());
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(line.find('\t'), std::string::npos) << "a tab's width depends on the terminal";
  }
  EXPECT_GT(count, 20);
}

TEST(CliDocumentTest, VersionIsTheProgramsVersion) {
  // Anywhere before "--", as --help; nothing else runs.
  const CliRun version = RunTool({"analyse", "missing.bmp", "--version"});
  EXPECT_EQ(version.code, kCliDone);
  EXPECT_EQ(version.out, std::string("quorvane-cli ") + kProgramVersion + "\n");
  EXPECT_EQ(version.err, "");
  // After "--" it is a file name like any other.
  const CliRun fileName = RunTool({"colours", "--", "--version"});
  EXPECT_EQ(fileName.code, kCliFailed);
  EXPECT_EQ(fileName.out, "");
}

// "8 december 2016" as "2016-12-08".
std::string IsoDate(const std::string& date) {
  static const char* const kMonths[] = {"january",   "february", "march",    "april",
                                        "may",       "june",     "july",     "august",
                                        "september", "october",  "november", "december"};
  std::istringstream in(date);
  int day = 0;
  std::string month;
  int year = 0;
  in >> day >> month >> year;
  for (int m = 0; m < 12; ++m) {
    if (month == kMonths[m]) {
      char text[16];
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, m + 1, day);
      return text;
    }
  }
  ADD_FAILURE() << "not a date: " << date;
  return {};
}

TEST(CliDocumentTest, NewestReleaseOfTheMetainfoIsThisVersion) {
  const std::string metainfo = Source("packaging/io.github.quorvane.Quorvane.metainfo.xml");
  std::smatch release;
  ASSERT_TRUE(std::regex_search(metainfo, release,
                                std::regex(R"re(<release version="([^"]+)" date="([^"]+)")re")));
  EXPECT_EQ(release[1].str(), kProgramVersion);
  EXPECT_EQ(release[2].str(), IsoDate(kProgramDate));
}

}  // namespace
}  // namespace qv::test
