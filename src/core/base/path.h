// Paths as the program's texts hold them: "/" separates folders (a backslash is an ordinary
// character of a file name), a folder text ends in "/".
#pragma once

#include <string>
#include <string_view>

namespace qv {

/// The folder part of `path` including its trailing "/" ("" when there is none).
std::string FolderOf(std::string_view path);
/// The file name part of `path`: everything after the last "/".
std::string FileNameOf(std::string_view path);
/// The extension of the file name, dot included and in lower case (".bmp"); "" when the name
/// has no dot.
std::string LowerExtensionOf(std::string_view path);
/// `folder` and `name` joined by exactly one "/" ("" + name is name).
std::string JoinPath(std::string_view folder, std::string_view name);
/// `folder` with a trailing "/" ("" stays "").
std::string WithTrailingSlash(std::string_view folder);

}  // namespace qv
