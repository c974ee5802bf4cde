// Texts of the conversion failures shared by every reader of numbers.
#include "core/error.h"

namespace qv {

std::string InvalidIntegerMessage(std::string_view text) {
  return "'" + std::string(text) + "' is not a valid integer value";
}

std::string InvalidRealMessage(std::string_view text) {
  return "'" + std::string(text) + "' is not a valid floating point value";
}

}  // namespace qv
