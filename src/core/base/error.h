// The one error type of the core: its message is the exact text shown to the user.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace qv {

/// Thrown by the core for every failure the user must see; what() is the finished user-facing
/// text, e.g. "'12a' is not a valid integer value".
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// "'<text>' is not a valid integer value".
std::string InvalidIntegerMessage(std::string_view text);
/// "'<text>' is not a valid floating point value".
std::string InvalidRealMessage(std::string_view text);

}  // namespace qv
