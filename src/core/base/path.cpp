// The path texts' helpers.
#include "core/base/path.h"

#include <algorithm>

namespace qv {

std::string FolderOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string LowerExtensionOf(std::string_view path) {
  const std::string name = FileNameOf(path);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string::npos) return {};
  std::string ext = name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return ext;
}

std::string WithTrailingSlash(std::string_view folder) {
  std::string text(folder);
  if (!text.empty() && text.back() != '/') text.push_back('/');
  return text;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  return WithTrailingSlash(folder) + std::string(name);
}

}  // namespace qv
