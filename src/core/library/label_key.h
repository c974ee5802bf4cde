// How the library file's own sections key their lines by colour label.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/error.h"
#include "core/settings/ini_file.h"

namespace qv {

/// True when `a` and `b` are the same label without regard to ASCII letter case, as the file's
/// keys match.
inline bool SameLabel(std::string_view a, std::string_view b) {
  const auto fold = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return fold(x) == fold(y); });
}

/// True when the INI service can write `label` back as the same key: not empty, no spaces or
/// tabs at either end, no comment or section start, no "=", line end or NUL.
inline bool UsableKey(std::string_view label) {
  if (label.empty() || label.front() == ' ' || label.front() == '\t' || label.back() == ' ' ||
      label.back() == '\t' || label.front() == ';' || label.front() == '[') {
    return false;
  }
  return label.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos;
}

/// Writes `section` of the library file at `path` anew: one line per (label, value) of `entries`,
/// the value written by `text`; the file's other sections stay as they are. A file that cannot be
/// read is not written, so that those sections survive: Error "Unable to write to <path>".
template <typename Entries, typename Text>
void SaveKeyedSection(const std::string& path, std::string_view section, const Entries& entries,
                      Text text) {
  std::optional<IniFile> file;
  try {
    file.emplace(path);
  } catch (const Error&) {
    throw Error("Unable to write to " + path);
  }
  file->EraseSection(section);
  for (const auto& [label, value] : entries) file->Write(section, label, text(value));
  file->Flush();
}

}  // namespace qv
