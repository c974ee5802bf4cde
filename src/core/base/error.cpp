// Texts of the conversion failures shared by every reader of numbers.
#include "core/base/error.h"

namespace qv {
namespace {

// Control characters (a NUL would end the message early, CR and LF would break its lines) are
// shown as '?'; a tab is harmless and shows the text as it was typed.
std::string Quoted(std::string_view text, std::string_view tail) {
  std::string message;
  message.reserve(text.size() + tail.size() + 2);
  message.push_back('\'');
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    message.push_back((u < 0x20 && c != '\t') || u == 0x7F ? '?' : c);
  }
  message.push_back('\'');
  message += tail;
  return message;
}

}  // namespace

std::string InvalidIntegerMessage(std::string_view text) {
  return Quoted(text, " is not a valid integer value");
}

std::string InvalidRealMessage(std::string_view text) {
  return Quoted(text, " is not a valid floating point value");
}

}  // namespace qv
