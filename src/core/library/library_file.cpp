// The material library file: loading, saving, the line routines and the material description.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/base/error.h"
#include "core/base/limits.h"
#include "core/base/number_field.h"
#include "core/base/number_text.h"
#include "core/library/dd_props.h"
#include "core/settings/ini_file.h"

namespace qv {
namespace {

constexpr std::string_view kSection = "properties";
constexpr char kSeparator = '@';
// Far above any sensible material name, and far below what one value of the file can hold: 255
// four-byte characters plus the other fields stay near 1 100 of the 2 047 bytes.
constexpr std::size_t kMaxNameCharacters = 255;

// The key k exactly as the writer spells it: decimal, no sign, no leading zeros, k >= 1.
// Other spellings ("01", "+1") are different keys and never looked up.
bool KeyNumber(std::string_view key, int& k) {
  if (key.empty() || key.front() < '1' || key.front() > '9') return false;
  const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), k);
  return ec == std::errc() && end == key.data() + key.size();
}

std::size_t CharacterCount(std::string_view utf8) {
  // Continuation bytes do not start a character; stray bytes of broken text count singly.
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string MaterialValue(int k, const PROPRec& prop) {
  std::string value = IntegerText(k);
  value.append(1, kSeparator).append(prop.colorlabel).append(1, kSeparator).append(prop.name);
  value.append(1, kSeparator).append(FormatNumber(prop.E));
  value.append(1, kSeparator).append(FormatNumber(prop.rho));
  return value;
}

// Equal up to the 15 significant digits the file keeps. Most values come back bit for bit, which
// spares the costly formatting.
bool SameNumber(double back, double written) {
  return back == written || FormatNumber(back) == FormatNumber(written);
}

// Whether Load() would give back what `value` was built from, going the same way as a real read:
// the INI service's trimming and length limit, then ParsePropLine.
bool ReadsBack(int k, const std::string& value, const PROPRec& prop) {
  if (value.size() > IniFile::kMaxValueLength) return false;
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) return false;
  if (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
      value.back() == '\t') {
    return false;
  }
  try {
    PROPRec back;
    return ParsePropLine(value, back) == k && back.colorlabel == prop.colorlabel &&
           back.name == prop.name && SameNumber(back.E, prop.E) && SameNumber(back.rho, prop.rho);
  } catch (const Error&) {
    return false;
  }
}

std::string WhyNotStorable(const PROPRec& prop) {
  std::string reason = MaterialNameProblem(prop.name);
  if (!reason.empty()) return reason;
  if (!std::isfinite(prop.E)) return "E is not a finite number.";
  if (!std::isfinite(prop.rho)) return "rho is not a finite number.";
  return "Its line in the library file could not be read back as written.";
}

// The start of a text for a message: control characters would cut or break the message box.
std::string Shown(const std::string& text) {
  constexpr std::size_t kShown = 40;
  std::size_t cut = std::min(text.size(), kShown);
  while (cut > 0 && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  std::string shown = text.substr(0, cut);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  return cut < text.size() ? shown + "..." : shown;
}

}  // namespace

void TPROPClass::Load() {
  std::error_code ec;
  if (!std::filesystem::exists(FileName, ec)) return;
  try {
    const IniFile file(FileName);
    const int n = ReadInteger(file.ReadString(kSection, "n", "0"));
    if (n < 1) return;
    // Visiting only the keys present keeps a count like 999999999 from costing anything; in
    // ascending order the result equals a walk over 1..n.
    std::vector<int> present;
    for (const std::string& key : file.Keys(kSection)) {
      int k = 0;
      if (KeyNumber(key, k) && k <= n) present.push_back(k);
    }
    std::sort(present.begin(), present.end());
    for (int k : present) {
      std::string value = file.ReadWhole(kSection, IntegerText(k)).value_or("x");
      if (value.size() > IniFile::kMaxValueLength) {
        // Cut at the reading limit, the last field would still read as a number, only another
        // one (7850 as 785). A material that cannot be read whole is not read at all, and the
        // file is kept from the save at exit like any file that did not convert.
        throw Error(file.TooLongMessage(kSection, IntegerText(k), value.size()));
      }
      if (value == "x") continue;
      TPROPRec entry;
      InitEntry(entry);
      if (ParsePropLine(value, entry.prop) != k) continue;
      entry.id = MaxId() + 1;
      Add(entry);
    }
  } catch (const Error&) {
    // The file holds something this program cannot read; writing it back would lose it.
    mLoadFailed = true;
    throw;
  }
}

void TPROPClass::Save() const {
  if (mLoadFailed) return;

  // Check every line first: a library is written whole or not at all.
  std::vector<std::string> values;
  values.reserve(mEntries.size());
  int k = 0;
  for (const TPROPRec& entry : mEntries) {
    std::string value = MaterialValue(++k, entry.prop);
    if (!ReadsBack(k, value, entry.prop)) {
      throw Error("The material \"" + Shown(entry.prop.name) + "\" (" +
                  Shown(entry.prop.colorlabel) + ") cannot be saved in the library file. " +
                  WhyNotStorable(entry.prop));
    }
    values.push_back(std::move(value));
  }

  std::optional<IniFile> file;
  try {
    file.emplace(FileName);
  } catch (const Error&) {
    // Its other sections must survive the save, so a file that cannot be read cannot be written.
    throw Error("Unable to write to " + FileName);
  }
  file->EraseSection(kSection);
  file->Write(kSection, "n", IntegerText(Count()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    file->Write(kSection, IntegerText(static_cast<int>(i + 1)), values[i]);
  }
  file->Flush();
}

int ParsePropLine(std::string_view value, PROPRec& record) {
  if (FieldCount(value, kSeparator) != 5) return 0;
  const int sequence = ReadInteger(ExtractField(1, value, kSeparator));
  record.colorlabel = ExtractField(2, value, kSeparator);
  record.name = ExtractField(3, value, kSeparator);
  record.E = ReadReal(ExtractField(4, value, kSeparator));
  record.rho = ReadReal(ExtractField(5, value, kSeparator));
  return sequence;
}

int FieldCount(std::string_view text, char separator) {
  return static_cast<int>(std::count(text.begin(), text.end(), separator)) + 1;
}

std::string ExtractField(int n, std::string_view text, char separator) {
  std::string trimmed = TrimBlanks(text);
  if (n < 1) return trimmed;
  std::string_view rest = trimmed;
  for (int found = 1;; ++found) {
    const std::size_t at = rest.find(separator);
    if (at == std::string_view::npos) return std::string(rest);
    if (found == n) return std::string(rest.substr(0, at));
    rest.remove_prefix(at + 1);
  }
}

std::string TrimBlanks(std::string_view text) {
  const auto blank = [](char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\f' || c == '\b';
  };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string DescribeProp(const PROPRec& record) {
  const std::string gap = "   ";
  return "colorlabel=" + record.colorlabel + gap + "name=" + record.name + "\r" +
         "xmin=" + IntegerText(record.xmin) + gap + "xmax=" + IntegerText(record.xmax) + "\r" +
         "ymin=" + IntegerText(record.ymin) + gap + "ymax=" + IntegerText(record.ymax) + "\r" +
         "E=" + FormatNumber(record.E) + gap + "rpho=" + FormatNumber(record.rho);
}

std::string MaterialNameProblem(std::string_view name) {
  if (name.find(kSeparator) != std::string_view::npos) {
    return "A material name must not contain '@'.";
  }
  if (name.find_first_of("\r\n") != std::string_view::npos) {
    return "A material name must not contain line breaks.";
  }
  if (name.find('\0') != std::string_view::npos) {
    return "A material name must not contain null characters.";
  }
  if (CharacterCount(name) > kMaxNameCharacters) {
    return "A material name must not be longer than 255 characters.";
  }
  return {};
}

std::string MaterialNameInputProblem(std::string_view name) {
  std::string problem = MaterialNameProblem(name);
  if (!problem.empty()) return problem;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    // C1 codes arrive as UTF-8: C2 80 .. C2 9F.
    const bool c1 = c == 0xC2 && i + 1 < name.size() &&
                    static_cast<unsigned char>(name[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(name[i + 1]) <= 0x9F;
    if (c < 0x20 || c == 0x7F || c1) return "A material name must not contain control characters.";
  }
  return {};
}

std::string ModulusProblem(double E) { return RangeProblem("E", E, 0, kMaxModulus, "N/mm^2"); }

std::string DensityProblem(double rho) {
  return RangeProblem("rho", rho, 0, kMaxDensity, "kg/m^3");
}

std::string MaterialInputProblem(std::string_view name, double E, double rho) {
  std::string problem = MaterialNameInputProblem(name);
  if (problem.empty()) problem = ModulusProblem(E);
  if (problem.empty()) problem = DensityProblem(rho);
  return problem;
}

}  // namespace qv
