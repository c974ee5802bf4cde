// Loading the overlay module: found relative to the running program, loaded once, kept loaded
// (Qt, once started, is not unloaded).
#include "drawing/overlay_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/base/error.h"
#include "core/base/path.h"

#ifndef QV_OVERLAY_MODULE_FROM_BIN
// Where the package installs the module, relative to the program's folder (install.cmake sets it
// from the configured folders).
#define QV_OVERLAY_MODULE_FROM_BIN "../lib/quorvane"
#endif

namespace qv::drawing {
namespace {

// The folder of the running program, with its trailing "/"; "" when the system does not say.
std::string ProgramFolder() {
  std::array<char, 4096> buffer{};
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  return FolderOf(std::string(buffer.data(), static_cast<std::size_t>(n)));
}

std::vector<std::string>& FirstCandidates() {
  static std::vector<std::string> files;
  return files;
}

struct Loaded {
  void* handle = nullptr;
  std::string failure;  // why it could not be loaded, when handle is null
};

Loaded Load() {
  Loaded loaded;
  const std::string folder = ProgramFolder();
  std::string firstError;
  void* handle = nullptr;
  // The files named first, installed beside the program's bin folder, in the build folder
  // beside the program, then by name along the program's run path: the first that exists is
  // taken.
  std::vector<std::string> candidates = FirstCandidates();
  candidates.insert(
      candidates.end(),
      {folder.empty() ? std::string()
                      : JoinPath(JoinPath(folder, QV_OVERLAY_MODULE_FROM_BIN), kOverlayModuleFile),
       folder.empty() ? std::string() : JoinPath(folder, kOverlayModuleFile),
       std::string(kOverlayModuleFile)});
  for (const std::string& candidate : candidates) {
    if (candidate.empty()) continue;
    const bool byName = candidate == kOverlayModuleFile;
    if (!byName && ::access(candidate.c_str(), F_OK) != 0) continue;
    handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr) break;
    if (firstError.empty()) {
      const char* text = ::dlerror();
      firstError = text != nullptr ? text : candidate + ": cannot be loaded";
    }
  }
  if (handle == nullptr) {
    loaded.failure = firstError;
    return loaded;
  }
  loaded.handle = handle;
  return loaded;
}

const Loaded& Module() {
  static const Loaded loaded = Load();
  return loaded;
}

// The module's function `entry`; throws Error "<failing>: <why>" when it cannot be had.
void* Entry(const char* entry, const std::string& failing) {
  const Loaded& module = Module();
  if (module.handle == nullptr) throw Error(failing + ": " + module.failure);
  void* symbol = ::dlsym(module.handle, entry);
  if (symbol == nullptr) {
    throw Error(failing + ": " + std::string(kOverlayModuleFile) + " has no function " + entry);
  }
  return symbol;
}

// The module's answer `status` as the caller's outcome: nothing when done, else its failure.
void Check(int status, const std::string& message) {
  if (status == kOverlayDrawn) return;
  if (status == kOverlayNoMemory) throw std::bad_alloc();
  throw Error(message);
}

// Paints `ops` into `picture` and writes it into `file` as `path` unless `file` is null.
void CallModule(const OverlayOps& ops, PixelGrid& picture, const char* file, const char* path) {
  const auto entry =
      reinterpret_cast<OverlayEntry>(Entry(kOverlayEntryName, "the overlay cannot be drawn"));
  std::string message;
  OverlayCall call;
  call.ops = &ops;
  call.picture = &picture;
  call.file = file;
  call.path = path;
  call.message = &message;
  Check(entry(&call), message);
}

}  // namespace

void LookForOverlayModuleFirst(std::vector<std::string> files) {
  FirstCandidates() = std::move(files);
}

void DrawOverlay(const OverlayOps& ops, PixelGrid& picture, const std::string& file,
                 const std::string& path) {
  CallModule(ops, picture, file.c_str(), path.c_str());
}

void PaintOverlay(const OverlayOps& ops, PixelGrid& picture) {
  CallModule(ops, picture, nullptr, nullptr);
}

std::string ReportPdfBytes(const ReportDocument& document) {
  const auto entry =
      reinterpret_cast<ReportEntry>(Entry(kReportEntryName, "the report cannot be made"));
  std::string pdf;
  std::string message;
  ReportCall call;
  call.document = &document;
  call.pdf = &pdf;
  call.message = &message;
  Check(entry(&call), message);
  return pdf;
}

OutlineDrawing ReadSvgDrawing(const std::string& path) {
  const auto entry = reinterpret_cast<SvgEntry>(Entry(
      kSvgEntryName, "Cannot read drawing " + FileNameOf(path) + ": SVG drawings cannot be read"));
  OutlineDrawing drawing;
  std::string message;
  SvgCall call;
  call.path = path.c_str();
  call.drawing = &drawing;
  call.message = &message;
  Check(entry(&call), message);
  return drawing;
}

}  // namespace qv::drawing
