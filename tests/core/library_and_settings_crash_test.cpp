// Saving survives being killed at any moment: a child process saves over and over and is killed
// at spread-out moments; the library and the settings file are then always one complete version.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "core/base/error.h"
#include "core/library/dd_props.h"
#include "core/library/library_and_settings.h"
#include "core/settings/program_settings.h"
#include "support/grid_builder.h"
#include "support/material_library.h"

namespace qv::test {
namespace {

constexpr int kMaterials = 3000;  // a save takes a few milliseconds: plenty of moments to hit

// Version v: kMaterials entries named after v, so a half-written file cannot pass for either.
TPROPClass Library(const std::string& path, int version) {
  std::vector<Material> materials;
  materials.reserve(kMaterials);
  for (int i = 0; i < kMaterials; ++i) {
    materials.push_back(
        {"$00" + std::to_string(100000 + i), 1000.0 * version + i, 1, false,
         "material " + std::to_string(i) + " of version " + std::to_string(version)});
  }
  return LibraryOf(materials, path);
}

// The version the file at `path` holds whole, or -1.
int LibraryVersion(const std::string& path) {
  TPROPClass library(path);
  try {
    library.Load();
  } catch (const Error&) {
    return -1;
  }
  if (library.Count() != kMaterials) return -1;
  const int version = static_cast<int>(library.Oldest()->prop.E / 1000.0);
  const TPROPClass expected = Library(path, version);
  auto it = expected.begin();
  for (const TPROPRec& e : library) {
    if (e.prop.name != it->prop.name || e.prop.E != it->prop.E) return -1;
    ++it;
  }
  return version;
}

// Runs `save(round)` for round 1, 2, ... in a child until it is killed (or after 20 s, so that a
// lost child cannot outlive the test), and kills it after `delay`.
template <typename Save>
void KillWhileSaving(Save save, std::chrono::microseconds delay) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int round = 1; std::chrono::steady_clock::now() < end; ++round) save(round);
    _exit(0);
  }
  std::this_thread::sleep_for(delay);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
}

std::vector<std::chrono::microseconds> Delays() {
  // A fixed seed: the same moments on every run, spread over several saves.
  std::mt19937 random(20240607);
  std::uniform_int_distribution<int> micros(0, 60000);
  std::vector<std::chrono::microseconds> delays;
  delays.reserve(16);
  for (int i = 0; i < 16; ++i) delays.emplace_back(micros(random));
  return delays;
}

TEST(SaveCrashTest, KilledLibrarySaveLeavesAWholeVersion) {
  TempDir dir;
  const std::string path = dir.File("properties.ini");
  Library(path, 0).Save();
  for (const auto delay : Delays()) {
    KillWhileSaving([&](int round) { Library(path, round).Save(); }, delay);
    EXPECT_GE(LibraryVersion(path), 0) << "after " << delay.count() << " us";
  }
}

TEST(SaveCrashTest, KilledSettingsSaveLeavesAWholeVersion) {
  TempDir dir;
  const std::string program = dir.File("quorvane");
  const auto settingsOf = [&](int round) {
    ProgramSettings s;
    s.FontSize = round;
    s.FontName = std::string(1500, static_cast<char>('a' + round % 26));
    s.WorkingDir = dir.Path() + "/";
    s.PictureFile = dir.File("section.bmp");
    s.LibraryFile = dir.File("properties.ini");
    return s;
  };
  const TPROPClass empty(dir.File("properties.ini"));
  SaveSettings(program, settingsOf(1), &empty);
  for (const auto delay : Delays()) {
    KillWhileSaving(
        [&](int round) {
          const TPROPClass library = Library(dir.File("properties.ini"), round);
          SaveSettings(program, settingsOf(round), &library);
        },
        delay);
    ProgramSettings back;
    std::unique_ptr<TPROPClass> library;
    EXPECT_TRUE(LoadSettings(program, back, library).empty());
    EXPECT_EQ(back.FontName, settingsOf(back.FontSize).FontName) << back.FontSize;
    // The library is saved after the settings, so it may be empty (never saved) or whole.
    EXPECT_TRUE(library->Count() == 0 || LibraryVersion(dir.File("properties.ini")) >= 1);
  }
}

}  // namespace
}  // namespace qv::test
