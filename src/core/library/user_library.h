// The first start of an installed program: the example library it brings becomes the user's
// own copy in the user's folder, so every edit goes there from the start.
#pragma once

#include <string>

namespace qv {

/// The library to work on when the settings live in `userFolder` because the program's folder
/// cannot be written. While `libraryFile` can be written it is returned unchanged. Otherwise the
/// result is "properties.ini" in `userFolder`: when no file is there yet, `libraryFile` (the
/// example the program brings) is first copied there whole; a file already there is the
/// user's and is used as it is, never replaced. When the copy cannot be made (the user's folder
/// cannot be written, the example cannot be read) `libraryFile` is returned, so nothing is lost
/// and the save at exit falls back as it always did. A missing `libraryFile` copies nothing and
/// gives the user's path, where the first save creates the library.
/// With `copy` Always the user's copy is made (or taken) even while `libraryFile` could be
/// written: an installed program's example belongs to the package, whoever runs the program.
enum class LibraryCopy { WhenReadOnly, Always };
std::string UserLibraryFile(const std::string& libraryFile, const std::string& userFolder,
                            LibraryCopy copy = LibraryCopy::WhenReadOnly);

/// Copies the file `from` to `to` unless `to` exists; true when `to` was created. The copy is
/// written to a temporary file beside `to` and then linked in place, so `to` is either absent or
/// whole, and a file that appears at `to` meanwhile is kept, not replaced. Throws Error
/// "Unable to read <from>" when `from` cannot be read and "Unable to write to <to>" when the
/// copy cannot be written; `to` is then left as it was.
bool CopyFileIfMissing(const std::string& from, const std::string& to);

}  // namespace qv
