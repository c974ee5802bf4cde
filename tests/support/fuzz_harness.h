// The checks behind the fuzz targets, shared with the test that replays their inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace qv::test {

/// Thrown when an input breaks a property of the code under test (never for a refused input).
/// Not a qv::Error, so no code under test can swallow it; under libFuzzer it ends the run.
class FuzzFailure : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

/// Largest declared picture the picture check decodes: a few bytes of RLE may declare a picture
/// of the reader's full limit, which is legal but would only measure the memory of the machine.
constexpr std::int64_t kFuzzMaxPixels = std::int64_t{1} << 22;

/// Picture bytes -> pixel grid -> inventory -> analysis with the first colour as the material.
void CheckPictureBytes(const std::uint8_t* data, std::size_t size);
/// PNG bytes -> the PNG reader, and the same bytes through the reader entry, each followed by
/// the checks of CheckPictureBytes on an accepted picture.
void CheckPngBytes(const std::uint8_t* data, std::size_t size);
/// Library file bytes -> Load -> Save (to a new file and over the file itself) -> Load: the
/// entries come back with equal labels and names and numbers equal to 15 digits; a library that
/// failed to load leaves its file as it was.
void CheckLibraryBytes(const std::uint8_t* data, std::size_t size);
/// One library value -> ParsePropLine and the field routines.
void CheckPropLineBytes(const std::uint8_t* data, std::size_t size);
/// Number texts: ReadReal, ReadInteger and LabelToColour read back what they gave; the
/// formatters' texts read back (the first 10 bytes also give a double, a precision and digits).
void CheckNumberTextBytes(const std::uint8_t* data, std::size_t size);
/// Settings file bytes -> LoadSettings -> SaveSettings -> LoadSettings: the same settings, and a
/// file that did not convert is left as it was.
void CheckSettingsBytes(const std::uint8_t* data, std::size_t size);

/// The check of a fuzz target by its name ("picture", "png", "library", "prop_line",
/// "number_text", "settings"), or nullptr.
using FuzzCheck = void (*)(const std::uint8_t*, std::size_t);
FuzzCheck FuzzCheckNamed(const std::string& name);

}  // namespace qv::test
