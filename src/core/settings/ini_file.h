// INI-style text files: read whole, edited in memory, written back atomically.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv {

/// One INI-style file held in memory. Section and key names match without regard to ASCII
/// letter case; a value is the text after the first "=" with surrounding spaces and tabs
/// removed; of two equal keys in one section the first counts. Lines before the first section,
/// comment lines (";") and lines that are no keys are kept as they are and written back.
///
/// When a section name occurs more than once, reads and writes use the first of them, like the
/// first of two equal keys; EraseSection removes all of them, so that afterwards no older copy
/// of the section can reappear in its place.
class IniFile {
 public:
  /// Values are read up to this many bytes; longer ones come back cut. Write refuses longer ones.
  static constexpr std::size_t kMaxValueLength = 2047;

  /// How the file's bytes encode its text; Text() writes the same encoding back.
  enum class Encoding { Utf8, Utf8WithMark, Utf16LittleEndian, Utf16BigEndian };

  /// Reads `path`. A line ends at LF, CR LF or a lone CR, in any mix. The text is UTF-8 (with or
  /// without byte-order mark) or UTF-16 of either byte order with its byte-order mark, as
  /// editors save "Unicode" files. A missing file, or a missing folder on the way to it, reads
  /// as empty. Throws Error "Unable to read <path>" when the file exists but cannot be read, or
  /// is UTF-16 that does not decode, so that no caller mistakes it for an empty file and
  /// overwrites it.
  explicit IniFile(std::string path);

  const std::string& Path() const { return mPath; }
  Encoding FileEncoding() const { return mEncoding; }

  /// The value of `key` in `section` (cut to kMaxValueLength), or nothing when either is missing.
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  /// Read(), or `fallback` when the key is missing. A present key with an empty value is not
  /// missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  /// The whole value, however long: for callers that must tell a value cut at kMaxValueLength
  /// from a complete one.
  std::optional<std::string> ReadWhole(std::string_view section, std::string_view key) const;
  /// "The entry <key> in section [<section>] of <path> is too long: <length> characters, of
  /// which only 2047 are read.": the refusal of a value beyond kMaxValueLength that cannot be
  /// taken cut.
  std::string TooLongMessage(std::string_view section, std::string_view key,
                             std::size_t length) const;
  bool HasSection(std::string_view section) const;
  /// The key names of `section` as spelled in the file, trimmed, in file order; of equal keys
  /// only the first. Empty when the section is missing.
  std::vector<std::string> Keys(std::string_view section) const;

  /// Replaces the value of `key` in place, or appends "key=value" after the last non-blank line
  /// of the section, creating the section at the end of the file when missing. Throws
  /// std::invalid_argument for a value longer than kMaxValueLength or holding CR, LF or NUL, and
  /// for names that could not be read back as written (empty key, "=", "]", line breaks).
  void Write(std::string_view section, std::string_view key, std::string_view value);
  /// Removes the header and all lines of every section of this name; the rest stays as it was.
  void EraseSection(std::string_view section);

  /// The bytes Flush() writes: every line ended by CR LF, in the file's own encoding (UTF-16
  /// stays UTF-16 of the same byte order, a byte-order mark stays).
  std::string Text() const;
  /// Writes Text() to a temporary file in the same folder, syncs it and renames it over Path(),
  /// so the file is either the old or the new one, never half of it. Keeps the permissions of
  /// the old file and writes through a symbolic link to its target. Temporary files of this
  /// naming that a killed process left beside the target are removed first. Throws Error
  /// "Unable to write to <path>" on any failure, also when the old file is write-protected; the
  /// old file is then untouched.
  void Flush() const;

 private:
  struct Section {
    std::string header;              // the raw header line; empty for the lines before any
    std::vector<std::string> lines;  // without their line ends
    std::unordered_map<std::string, std::size_t> keys;  // folded key -> line of its first entry
    bool erased = false;
  };

  void Parse(std::string_view text);
  const Section* Find(std::string_view section) const;
  Section* Find(std::string_view section);
  std::size_t AddLine(Section& section, std::string line);

  std::string mPath;
  Encoding mEncoding = Encoding::Utf8;
  std::vector<Section> mSections;  // [0]: the lines before the first section header
  std::unordered_map<std::string, std::vector<std::size_t>> mIndex;  // folded name -> sections
};

}  // namespace qv
