// The drawings' readers by file name.
#include "core/outline/drawing_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <utility>

#include "core/base/error.h"
#include "core/base/path.h"
#include "core/outline/dxf_reader.h"

namespace qv {
namespace {

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::mutex& ReaderMutex() {
  static std::mutex mutex;
  return mutex;
}

SvgReader& InstalledReader() {
  static SvgReader reader;
  return reader;
}

}  // namespace

bool IsDrawingFile(const std::string& path) {
  const std::string ext = LowerExtension(path);
  return ext == ".svg" || ext == ".dxf";
}

void InstallSvgReader(SvgReader reader) {
  const std::lock_guard lock(ReaderMutex());
  InstalledReader() = std::move(reader);
}

OutlineDrawing ReadDrawingFile(const std::string& path) {
  if (LowerExtension(path) == ".dxf") return ReadDxfFile(path);
  SvgReader reader;
  {
    const std::lock_guard lock(ReaderMutex());
    reader = InstalledReader();
  }
  if (!reader) {
    throw Error("Cannot read drawing " + FileNameOf(path) +
                ": this program was built without SVG reading");
  }
  return reader(path);
}

}  // namespace qv
