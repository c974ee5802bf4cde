// Texts of the conversion failures shared by every reader of numbers.
#include "core/error.h"

namespace qv {
namespace {

// Control characters (a NUL would end the message early) are shown as '?'.
std::string Quoted(std::string_view text, std::string_view tail) {
  std::string message;
  message.reserve(text.size() + tail.size() + 2);
  message.append(1, '\'');
  for (char c : text) message.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
  message.append(1, '\'').append(tail);
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
