// TNumberEdit: the one-line field for every typed number. It classifies its text after each key
// release, keeps the number as an integer or a real, and holds the focus while the text is invalid.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

class QTabWidget;

#include "core/base/field_number.h"

namespace qv {

enum class TNumberType { IntType = 0, RealType = 1 };
enum class ValidationStatus : unsigned char {
  Valid = 0,
  TypeRange = 1,
  UserRange = 2,
  SyntaxError = 3
};

/// Modifier flags accumulated between key releases.
enum ShiftFlag : unsigned { kShift = 1, kAlt = 2, kCtrl = 4, kLeft = 8, kRight = 16, kMiddle = 32 };

/// ParseIntegerText and ParseRealText of the core, on a field's QString.
std::optional<std::int32_t> ParseIntegerText(const QString& text);
std::optional<double> ParseRealText(const QString& text);

/// A field text cut at its exponent marker.
struct ExponentSplit {
  QString mantissa;
  QString exponent;
  bool marker = false;  ///< an "e" or "E" was found
};

class TNumberEdit : public QLineEdit {
  Q_OBJECT
 public:
  /// The longest text the field holds and examines.
  static constexpr int kMaxTextLength = 80;

  explicit TNumberEdit(QWidget* parent = nullptr);
  ~TNumberEdit() override;

  TNumberType NumType() const { return mNumType; }
  void SetNumType(TNumberType type) { mNumType = type; }
  double Min() const { return mMin; }
  void SetMin(double value);
  /// The stored maximum, or Min + 100 when it equals Min.
  double Max() const;
  void SetMax(double value);
  std::int32_t IntValue() const { return mIntValue; }
  void SetIntValue(std::int32_t value);
  double RealValue() const { return mRealValue; }
  void SetRealValue(double value);
  /// The stored text: the last non-empty text validated on a key release, or the last written.
  QString Text() const { return mText; }
  void SetText(const QString& text);
  bool DefaultHint() const { return mDefaultHint; }
  void SetDefaultHint(bool on);
  ValidationStatus Status() const { return mStatus; }

  /// Called for every key release but Tab and Enter, after the field's own processing.
  using KeyUpHandler = std::function<void(TNumberEdit* sender, int& key, unsigned shift)>;
  void SetOnKeyUp(KeyUpHandler handler) { mOnKeyUp = std::move(handler); }

  /// True while some field's focus check is meant to run (shared by all fields).
  static bool FocusLockArmed();
  /// True while this field's own focus check runs.
  bool FocusCheckRunning() const { return mCheckRunning; }

  /// One tick of the focus check (the timer's handler; tests call it directly).
  void FocusCheckTick();

  /// The modifier flag a released Qt key stands for (kShift, kCtrl, kAlt), else 0.
  static unsigned KeyToShift(int key);
  /// Rounded decimal exponent of `x` (ties to even); -300 for 0.
  static int DecimalExponent(double x);
  /// Integer fields keep the whole text as mantissa; real fields cut at the first "e", else "E".
  ExponentSplit SplitExponent(const QString& text) const;
  /// Classifies a mantissa and exponent text against the number type and Min..stored maximum.
  /// A real whose parts read but whose combined text does not shows a diagnostic message and
  /// counts as valid.
  ValidationStatus ValidateNumber(const QString& mantissa, const QString& exponent);

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void StartFocusCheck();
  void StopFocusCheck();
  void ScheduleTick();
  void AppFocusChanged(QWidget* old, QWidget* now);
  void LookUpPage();
  void ForgetPage();
  void HoldFocus();
  void FocusNextSibling();
  void ProcessKeyRelease(int key);
  void UpdateValue(const QString& text, const ExponentSplit& parts);
  void RefreshDefaultHint();

  ValidationStatus mStatus = ValidationStatus::Valid;
  unsigned mShiftAccum = 0;
  TNumberType mNumType = TNumberType::IntType;
  double mMin = 0;
  double mMax = 0;
  std::int32_t mIntValue = 0;
  double mRealValue = 0;
  KeyUpHandler mOnKeyUp;
  bool mDefaultHint = false;
  QString mText;
  int mPageIndex = 0;
  bool mPageLookedUp = false;
  QPointer<QTabWidget> mPageContainer;
  bool mCheckRunning = false;
  /// Tab or Enter was pressed in this field; only then does its release belong to the field.
  bool mNavigationKeyDown = false;
  int mTimerId = 0;
};

}  // namespace qv
