// TNumberEdit: the one-line field for every typed number. It has its NumberField classify and read
// the text after each key release, shows the messages, and holds the focus while the text is
// invalid.
#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/base/number_field.h"

class QTabWidget;

namespace qv {

/// Modifier flags accumulated between key releases.
enum ShiftFlag : unsigned { kShift = 1, kAlt = 2, kCtrl = 4, kLeft = 8, kRight = 16, kMiddle = 32 };

class TNumberEdit : public QLineEdit {
  Q_OBJECT
 public:
  /// The longest text the field holds and examines.
  static constexpr int kMaxTextLength = 80;

  explicit TNumberEdit(QWidget* parent = nullptr);
  ~TNumberEdit() override;

  TNumberType NumType() const { return mField.Type(); }
  void SetNumType(TNumberType type) { mField.SetType(type); }
  double Min() const { return mField.Min(); }
  void SetMin(double value);
  /// The stored maximum, or Min + 100 when it equals Min.
  double Max() const { return mField.Max(); }
  void SetMax(double value);
  std::int32_t IntValue() const { return mField.IntValue(); }
  void SetIntValue(std::int32_t value);
  double RealValue() const { return mField.RealValue(); }
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

 signals:
  /// A key release had the field examine its text (any release but those of Ctrl and Alt and
  /// with them held); `status` is what the field keeps.
  void TextExamined(qv::ValidationStatus status);

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
  /// Shows the text a write gave back, if any.
  void ShowWritten(const std::optional<std::string>& text);
  void RefreshDefaultHint();

  ValidationStatus mStatus = ValidationStatus::Valid;
  unsigned mShiftAccum = 0;
  NumberField mField;
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
