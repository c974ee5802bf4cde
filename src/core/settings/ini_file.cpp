// INI-style text files: parsing, lookups by hash, editing and the atomic write-back.
#include "core/settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "core/error.h"

namespace qv {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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

// The name of a section header line, or nothing when the line is no header. A header without
// its "]" still opens a section, as the line cannot belong to the section before it.
std::optional<std::string_view> HeaderName(std::string_view line) {
  line = TrimIni(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  return TrimIni(line.substr(0, line.find(']')));
}

// The key of a key line, or nothing for comments and lines without "=".
std::optional<std::string_view> KeyOf(std::string_view line) {
  const std::string_view trimmed = TrimIni(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const std::size_t eq = trimmed.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return TrimIni(trimmed.substr(0, eq));
}

std::string_view ValueOf(std::string_view line) {
  std::string_view value = TrimIni(line.substr(line.find('=') + 1));
  return value.substr(0, IniFile::kMaxValueLength);
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string ReadWholeFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    throw Error("Unable to read " + path);
  }
  std::string text;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      throw Error("Unable to read " + path);
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return text;
}

bool WriteFully(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

std::string Decimal(long long value) {
  char buffer[24];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// Creates a new file beside `target` with a name no one else uses; the umask applies as for any
// new file. Returns the descriptor, or -1.
int CreateTemporary(const std::filesystem::path& target, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    tempPath = target.string() + ".tmp-" + Decimal(::getpid()) + "-" + Decimal(counter++) + "-" +
               Decimal(tick % 1000000);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

IniFile::IniFile(std::string path) : mPath(std::move(path)) {
  mSections.emplace_back();
  Parse(ReadWholeFile(mPath));
}

void IniFile::Parse(std::string_view text) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    mByteOrderMark = true;
    text.remove_prefix(kByteOrderMark.size());
  }
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

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

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  std::optional<std::string> value = Read(section, key);
  return value ? std::move(*value) : std::string(fallback);
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
  if (mByteOrderMark) text += kByteOrderMark;
  for (std::size_t i = 0; i < mSections.size(); ++i) {
    const Section& s = mSections[i];
    if (s.erased) continue;
    if (i > 0) text.append(s.header).append("\r\n");
    for (const std::string& line : s.lines) text.append(line).append("\r\n");
  }
  return text;
}

void IniFile::Flush() const {
  namespace fs = std::filesystem;
  const Error failure("Unable to write to " + mPath);

  std::error_code ec;
  fs::path target(mPath);
  if (fs::is_symlink(target, ec)) {
    target = fs::weakly_canonical(target, ec);
    if (ec) throw failure;
  }
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  // A write-protected file says "do not change me", even where its folder would allow the
  // rename.
  if (exists && ::access(target.c_str(), W_OK) != 0) throw failure;

  std::string tempPath;
  const int fd = CreateTemporary(target, tempPath);
  if (fd < 0) throw failure;
  bool ok = WriteFully(fd, Text());
  if (ok && exists) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tempPath.c_str());
    throw failure;
  }
  // Make the rename itself durable; the new content is complete whether or not this works.
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

}  // namespace qv
