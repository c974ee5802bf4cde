// INI-style text files: parsing, lookups by hash, editing and the atomic write-back.
#include "core/settings/ini_file.h"

#include <stdexcept>

#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/settings/atomic_file.h"

namespace qv {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigMark = "\xFE\xFF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimIni(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string Fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// The name of a section header line, or nothing when the line is no header. Without its "]"
// the line is no header: "[properties" must not open the materials' section.
std::optional<std::string_view> HeaderName(std::string_view line) {
  line = TrimIni(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimIni(line.substr(0, close));
}

// The key of a key line, or nothing for comments and lines without "=".
std::optional<std::string_view> KeyOf(std::string_view line) {
  const std::string_view trimmed = TrimIni(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const std::size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return TrimIni(trimmed.substr(0, eq));
}

std::string_view WholeValueOf(std::string_view line) {
  return TrimIni(line.substr(line.find('=') + 1));
}

std::string_view ValueOf(std::string_view line) {
  return WholeValueOf(line).substr(0, IniFile::kMaxValueLength);
}

// UTF-16 (without its mark) to UTF-8; nothing when the bytes are no UTF-16 text: an odd count
// or a surrogate without its partner.
std::optional<std::string> Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  const auto unit = [&](std::size_t i) {
    const auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    const auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    return static_cast<char32_t>((hi << 8) | lo);
  };
  std::string text;
  text.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xDC00 && c <= 0xDFFF) return std::nullopt;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 2 >= bytes.size()) return std::nullopt;
      const char32_t low = unit(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    if (c < 0x80) {
      text.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      text.push_back(static_cast<char>(0xC0 | (c >> 6)));
      text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      text.push_back(static_cast<char>(0xE0 | (c >> 12)));
      text.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      text.push_back(static_cast<char>(0xF0 | (c >> 18)));
      text.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      text.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return text;
}

// UTF-8 back to UTF-16 units in the given byte order. Text that came from a UTF-16 file decodes
// cleanly; a byte that is no UTF-8 (typed into a value by the program) becomes U+FFFD rather
// than being written as something that would not read back as UTF-16.
std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  const auto put = [&](char32_t u) {
    const auto hi = static_cast<char>(u >> 8);
    const auto lo = static_cast<char>(u & 0xFF);
    bytes.push_back(bigEndian ? hi : lo);
    bytes.push_back(bigEndian ? lo : hi);
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int extra = b < 0x80             ? 0
                      : (b & 0xE0) == 0xC0 ? 1
                      : (b & 0xF0) == 0xE0 ? 2
                      : (b & 0xF8) == 0xF0 ? 3
                                           : -1;
    char32_t c = extra <= 0 ? b : b & (0x7Fu >> (extra + 1));
    bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      ok = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    if (ok && (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
    if (!ok) {
      put(0xFFFD);
      ++i;
      continue;
    }
    i += static_cast<std::size_t>(extra) + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      put(0xD800 + (c >> 10));
      put(0xDC00 + (c & 0x3FF));
    } else {
      put(c);
    }
  }
  return bytes;
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

IniFile::IniFile(std::string path) : mPath(std::move(path)) {
  mSections.emplace_back();
  const std::string bytes = ReadFileBytes(mPath);
  const std::string_view view = bytes;
  if (view.starts_with(kUtf16LittleMark) || view.starts_with(kUtf16BigMark)) {
    const bool big = view.starts_with(kUtf16BigMark);
    const std::optional<std::string> text = Utf16ToUtf8(view.substr(2), big);
    if (!text) throw Error("Unable to read " + mPath);
    mEncoding = big ? Encoding::Utf16BigEndian : Encoding::Utf16LittleEndian;
    Parse(*text);
    return;
  }
  if (view.starts_with(kByteOrderMark)) {
    mEncoding = Encoding::Utf8WithMark;
    Parse(view.substr(kByteOrderMark.size()));
    return;
  }
  Parse(view);
}

void IniFile::Parse(std::string_view text) {
  while (!text.empty()) {
    // LF, CR LF and a lone CR each end a line, in any mix.
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) {
      text = {};
    } else {
      const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
      text.remove_prefix(end + (crlf ? 2 : 1));
    }

    if (const auto name = HeaderName(line)) {
      Section section;
      section.header = std::string(line);
      mIndex[Fold(*name)].push_back(mSections.size());
      mSections.push_back(std::move(section));
      continue;
    }
    Section& current = mSections.back();
    const auto key = KeyOf(line);
    if (key && mSections.size() > 1) current.keys.try_emplace(Fold(*key), current.lines.size());
    current.lines.emplace_back(line);
  }
}

const IniFile::Section* IniFile::Find(std::string_view section) const {
  const auto it = mIndex.find(Fold(section));
  return it == mIndex.end() ? nullptr : &mSections[it->second.front()];
}

IniFile::Section* IniFile::Find(std::string_view section) {
  return const_cast<Section*>(static_cast<const IniFile*>(this)->Find(section));
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
  const Section* s = Find(section);
  if (s == nullptr) return std::nullopt;
  const auto it = s->keys.find(Fold(key));
  if (it == s->keys.end()) return std::nullopt;
  return std::string(ValueOf(s->lines[it->second]));
}

std::optional<std::string> IniFile::ReadWhole(std::string_view section,
                                              std::string_view key) const {
  const Section* s = Find(section);
  if (s == nullptr) return std::nullopt;
  const auto it = s->keys.find(Fold(key));
  if (it == s->keys.end()) return std::nullopt;
  return std::string(WholeValueOf(s->lines[it->second]));
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  std::optional<std::string> value = Read(section, key);
  return value ? std::move(*value) : std::string(fallback);
}

std::string IniFile::TooLongMessage(std::string_view section, std::string_view key,
                                    std::size_t length) const {
  return "The entry " + std::string(key) + " in section [" + std::string(section) + "] of " +
         mPath + " is too long: " + IntegerText(length) + " characters, of which only " +
         IntegerText(kMaxValueLength) + " are read.";
}

bool IniFile::HasSection(std::string_view section) const { return Find(section) != nullptr; }

std::vector<std::string> IniFile::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  const Section* s = Find(section);
  if (s == nullptr) return keys;
  keys.reserve(s->keys.size());
  for (std::size_t i = 0; i < s->lines.size(); ++i) {
    const auto key = KeyOf(s->lines[i]);
    if (!key) continue;
    const auto it = s->keys.find(Fold(*key));
    if (it != s->keys.end() && it->second == i) keys.emplace_back(*key);
  }
  return keys;
}

std::size_t IniFile::AddLine(Section& section, std::string line) {
  // Blank lines at the end usually separate the section from the next one: keep them there.
  // Only blank lines move, and they are never indexed, so the key index stays valid.
  std::size_t pos = section.lines.size();
  while (pos > 0 && TrimIni(section.lines[pos - 1]).empty()) --pos;
  section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(pos), std::move(line));
  return pos;
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
  if (value.size() > kMaxValueLength || HasLineBreakOrNul(value)) {
    throw std::invalid_argument("INI value cannot be read back as written");
  }
  const std::string_view trimmedKey = TrimIni(key);
  if (trimmedKey.empty() || trimmedKey != key || key.front() == ';' || key.front() == '[' ||
      key.find('=') != std::string_view::npos || HasLineBreakOrNul(key)) {
    throw std::invalid_argument("INI key cannot be read back as written");
  }
  if (TrimIni(section) != section || section.find(']') != std::string_view::npos ||
      HasLineBreakOrNul(section)) {
    throw std::invalid_argument("INI section name cannot be read back as written");
  }

  Section* s = Find(section);
  if (s == nullptr) {
    Section created;
    created.header = "[" + std::string(section) + "]";
    mIndex[Fold(section)].push_back(mSections.size());
    mSections.push_back(std::move(created));
    s = &mSections.back();
  }
  const std::string folded = Fold(key);
  const auto it = s->keys.find(folded);
  if (it != s->keys.end()) {
    std::string& line = s->lines[it->second];
    line = std::string(*KeyOf(line)) + "=" + std::string(value);
    return;
  }
  s->keys.emplace(folded, AddLine(*s, std::string(key) + "=" + std::string(value)));
}

void IniFile::EraseSection(std::string_view section) {
  const auto it = mIndex.find(Fold(section));
  if (it == mIndex.end()) return;
  for (std::size_t index : it->second) {
    mSections[index].erased = true;
    mSections[index].lines.clear();
    mSections[index].keys.clear();
  }
  mIndex.erase(it);
}

std::string IniFile::Text() const {
  std::string text;
  for (std::size_t i = 0; i < mSections.size(); ++i) {
    const Section& s = mSections[i];
    if (s.erased) continue;
    if (i > 0) text.append(s.header).append("\r\n");
    for (const std::string& line : s.lines) text.append(line).append("\r\n");
  }
  switch (mEncoding) {
    case Encoding::Utf8:
      return text;
    case Encoding::Utf8WithMark:
      return std::string(kByteOrderMark) + text;
    case Encoding::Utf16LittleEndian:
      return std::string(kUtf16LittleMark) + Utf8ToUtf16(text, false);
    case Encoding::Utf16BigEndian:
      return std::string(kUtf16BigMark) + Utf8ToUtf16(text, true);
  }
  return text;
}

void IniFile::Flush() const { WriteFileAtomically(mPath, Text()); }

}  // namespace qv
