// The 52 colour names and the conversions between colour values and labels.
#include "core/base/colour_label.h"

#include <array>
#include <cstdint>

#include "core/base/number_text.h"

namespace qv {
namespace {

struct NamedColour {
  std::uint32_t value;
  const char* name;
};

// Pixel colours first; a pixel can carry only these 20 names.
constexpr std::size_t kPixelNames = 20;
constexpr std::uint32_t kSys = 0x80000000u;
constexpr std::array<NamedColour, 52> kNames{{
    {0x00000000, "clBlack"},
    {0x00000080, "clMaroon"},
    {0x00008000, "clGreen"},
    {0x00008080, "clOlive"},
    {0x00800000, "clNavy"},
    {0x00800080, "clPurple"},
    {0x00808000, "clTeal"},
    {0x00808080, "clGray"},
    {0x00C0C0C0, "clSilver"},
    {0x000000FF, "clRed"},
    {0x0000FF00, "clLime"},
    {0x0000FFFF, "clYellow"},
    {0x00FF0000, "clBlue"},
    {0x00FF00FF, "clFuchsia"},
    {0x00FFFF00, "clAqua"},
    {0x00FFFFFF, "clWhite"},
    {0x00C0DCC0, "clMoneyGreen"},
    {0x00F0CAA6, "clSkyBlue"},
    {0x00F0FBFF, "clCream"},
    {0x00A4A0A0, "clMedGray"},
    {0x1FFFFFFF, "clNone"},
    {0x20000000, "clDefault"},
    {kSys + 0, "clScrollBar"},
    {kSys + 1, "clBackground"},
    {kSys + 2, "clActiveCaption"},
    {kSys + 3, "clInactiveCaption"},
    {kSys + 4, "clMenu"},
    {kSys + 5, "clWindow"},
    {kSys + 6, "clWindowFrame"},
    {kSys + 7, "clMenuText"},
    {kSys + 8, "clWindowText"},
    {kSys + 9, "clCaptionText"},
    {kSys + 10, "clActiveBorder"},
    {kSys + 11, "clInactiveBorder"},
    {kSys + 12, "clAppWorkSpace"},
    {kSys + 13, "clHighlight"},
    {kSys + 14, "clHighlightText"},
    {kSys + 15, "clBtnFace"},
    {kSys + 16, "clBtnShadow"},
    {kSys + 17, "clGrayText"},
    {kSys + 18, "clBtnText"},
    {kSys + 19, "clInactiveCaptionText"},
    {kSys + 20, "clBtnHighlight"},
    {kSys + 21, "cl3DDkShadow"},
    {kSys + 22, "cl3DLight"},
    {kSys + 23, "clInfoText"},
    {kSys + 24, "clInfoBk"},
    {kSys + 26, "clHotLight"},
    {kSys + 27, "clGradientActiveCaption"},
    {kSys + 28, "clGradientInactiveCaption"},
    {kSys + 29, "clMenuHighlight"},
    {kSys + 30, "clMenuBar"},
}};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // labels are written in upper case only
}

}  // namespace

std::string ColourToLabel(ColourValue value) {
  const auto bits = static_cast<std::uint32_t>(value);
  // Only the first names can match a pixel colour; the inventory labels millions of those.
  const std::size_t candidates = bits <= 0x00FFFFFFu ? kPixelNames : kNames.size();
  for (std::size_t i = 0; i < candidates; ++i) {
    if (kNames[i].value == bits) return kNames[i].name;
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string label(9, '$');
  for (int i = 0; i < 8; ++i) label[8 - i] = kHex[(bits >> (4 * i)) & 0xF];
  return label;
}

bool HasColourName(ColourValue value) {
  const auto bits = static_cast<std::uint32_t>(value);
  const std::size_t candidates = bits <= 0x00FFFFFFu ? kPixelNames : kNames.size();
  for (std::size_t i = 0; i < candidates; ++i) {
    if (kNames[i].value == bits) return true;
  }
  return false;
}

ColourValue LabelToColour(std::string_view text) {
  for (const NamedColour& c : kNames) {
    if (EqualsIgnoringCase(text, c.name)) return static_cast<ColourValue>(c.value);
  }
  return ReadInteger(text);
}

std::optional<std::uint32_t> PixelColourOfLabel(std::string_view label) {
  for (std::size_t i = 0; i < kPixelNames; ++i) {
    if (label == kNames[i].name) return kNames[i].value;
  }
  if (label.size() != 9 || label[0] != '$') return std::nullopt;
  std::uint32_t value = 0;
  for (std::size_t i = 1; i < 9; ++i) {
    const int d = HexDigit(label[i]);
    if (d < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  if (value > 0x00FFFFFFu) return std::nullopt;
  for (std::size_t i = 0; i < kPixelNames; ++i) {
    if (kNames[i].value == value) return std::nullopt;  // such a pixel is labelled by its name
  }
  return value;
}

}  // namespace qv
