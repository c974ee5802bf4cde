// The rules of a typed number field: how its text is cut, classified against its number type and
// range, and read as a value, and how a written value or text keeps text and values in step.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

/// Whether a field holds a 32-bit integer or a double.
enum class TNumberType { IntType = 0, RealType = 1 };

/// The classification of a field's text. Every status but Valid keeps the focus in the field.
enum class ValidationStatus : unsigned char {
  Valid = 0,
  TypeRange = 1,    ///< beyond what the number type holds
  UserRange = 2,    ///< outside the field's Min..maximum
  SyntaxError = 3,  ///< not a number of the field's type
};

/// The message a field shows for `status` when the focus is to leave it; empty for Valid.
std::string_view StatusMessage(ValidationStatus status);

/// Why `value` is refused where a field of range min..max takes it, or an empty text when it is
/// in that range: the field's own UserRange message and the range, as in "Number exceeds user
/// defined range. E must lie in 0..1000000 N/mm^2, not -210000." NaN lies in no range.
std::string RangeProblem(std::string_view what, double value, double min, double max,
                         std::string_view unit);

/// A field's text cut at its exponent marker.
struct ExponentSplit {
  std::string mantissa;
  std::string exponent;
  bool marker = false;  ///< an "e" or "E" was found
};

/// The diagnostic for parts that read alone but not together:
/// "NUMEDIT: There is something wrong !!\rMantisse: <mantissa>\rExponent: <exponent>".
std::string PartsMessage(const ExponentSplit& parts);

/// What a field makes of its text when a key is released.
struct NumberReading {
  /// An integer field's text is all mantissa; a real field's is cut at its first "e", else at its
  /// first "E".
  ExponentSplit parts;
  /// The status the field reports when the focus is to leave it.
  ValidationStatus status = ValidationStatus::Valid;
  /// The status the field keeps afterwards: `status`, except SyntaxError for a real whose
  /// mantissa is a lone sign, which the range test took for 0 (so the field holds the focus
  /// without a message when 0 is in range).
  ValidationStatus keptStatus = ValidationStatus::Valid;
  /// Both parts read alone but not together, as with a blank after the "e": the status is Valid
  /// and the field shows PartsMessage.
  bool partsDisagree = false;
  /// The value the text gives an integer field; nothing after a syntax error, which keeps the
  /// last value. Values outside the range are taken all the same.
  std::optional<std::int32_t> intValue;
  /// The value the text gives a real field: the whole text correctly rounded, or
  /// mantissa x 10^exponent when only the parts read (0 for a lone sign). Nothing after a syntax
  /// error or beyond the range of a double, which keep the last value.
  std::optional<double> realValue;
};

/// A field's number type, range and values; the text stays with the field, which passes it in
/// and shows the texts the writes give back.
class NumberField {
 public:
  TNumberType Type() const { return mType; }
  /// Changes how later texts are read; the values stay as they are.
  void SetType(TNumberType type) { mType = type; }
  double Min() const { return mMin; }
  /// Sets the minimum; false when it already was `value`.
  bool SetMin(double value);
  /// The stored maximum, or Min + 100 while the two are equal, as when it was never set.
  double Max() const;
  /// Stores the maximum; false (ignored) when it already is `value` or `value` equals Min.
  bool SetMax(double value);
  /// "<Min> <Max>" with eight significant digits each, the range a field's hint shows.
  std::string RangeText() const;

  std::int32_t IntValue() const { return mIntValue; }
  double RealValue() const { return mRealValue; }

  /// Classifies `text` against the number type and Min..stored maximum: a maximum never set lets
  /// nothing above Min through, although Max reads Min + 100. Integers below -2147483646 and
  /// reals whose decimal exponent lies beyond +-300 exceed the type.
  NumberReading Read(std::string_view text) const;
  /// Keeps the values `reading` gives; the others stay.
  void Take(const NumberReading& reading);

  /// Lets the value of the field's type follow a text the field now shows: a text that does not
  /// read gives 0, and an empty one is replaced by the text of 0. Returns the replacing text;
  /// nothing while the field keeps its own.
  std::optional<std::string> WriteText(std::string_view shown);
  /// Stores an integer and replaces a shown text that is empty or reads as another integer by
  /// the value's text (eight significant digits, or all digits where those would not read back);
  /// a text that does not read, or reads as the same value ("$10" for 16), stays. The new text is
  /// then taken as by WriteText (a real field's value follows it). Returns the new text; nothing
  /// while the field keeps its own.
  std::optional<std::string> WriteIntValue(std::string_view shown, std::int32_t value);
  /// As WriteIntValue for a real, whose text has eight significant digits and three exponent
  /// digits ("2.5E020"); the value then follows the digits written.
  std::optional<std::string> WriteRealValue(std::string_view shown, double value);

 private:
  struct Shown;
  void FollowText(Shown& shown);
  void PutInt(Shown& shown, std::int32_t value);
  void PutReal(Shown& shown, double value);
  void Replace(Shown& shown, std::string text);

  TNumberType mType = TNumberType::IntType;
  double mMin = 0;
  double mMax = 0;
  std::int32_t mIntValue = 0;
  double mRealValue = 0;
};

}  // namespace qv
