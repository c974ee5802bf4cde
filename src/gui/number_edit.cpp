// TNumberEdit: classification of the typed number, the value properties and the focus lock.
#include "gui/number_edit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimerEvent>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "core/base/number_text.h"
#include "gui/prompter.h"

namespace qv {
namespace {

// One flag for all fields: a field that stops its check clears it for every field.
bool gFocusLockArmed = false;

bool IsTab(int key) { return key == Qt::Key_Tab || key == Qt::Key_Backtab; }
bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }
bool IsNavigationKey(int key) { return IsTab(key) || IsEnter(key); }

bool IsLoneSign(const QString& text) {
  return text == QLatin1String("-") || text == QLatin1String("+");
}

// Tab without Ctrl or Alt is what Qt would turn into focus navigation.
bool IsPlainTab(const QKeyEvent& event) {
  return IsTab(event.key()) && !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool CanTakeFocus(const QWidget& widget) {
  return widget.isEnabled() && widget.isVisible() && widget.focusPolicy() != Qt::NoFocus;
}

// The text written after a value write. Eight significant digits cannot show every 32-bit
// integer, and an integer field must read back what was written, so large integers are written
// in full.
QString IntegerValueText(std::int32_t value) {
  const std::string general = FormatGeneral(value, 8, 3);
  if (ParseIntegerText(general) == value) return QString::fromStdString(general);
  return QString::fromStdString(IntegerText(value));
}

QString RealValueText(double value) { return QString::fromStdString(FormatGeneral(value, 8, 3)); }

const char* StatusMessage(ValidationStatus status) {
  switch (status) {
    case ValidationStatus::TypeRange:
      return "Number exceeds compiler range.";
    case ValidationStatus::UserRange:
      return "Number exceeds user defined range.";
    case ValidationStatus::SyntaxError:
      return "Error in number.";
    case ValidationStatus::Valid:
      break;
  }
  return nullptr;
}

}  // namespace

std::optional<std::int32_t> ParseIntegerText(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return ParseIntegerText(
      std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::optional<double> ParseRealText(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return ParseRealText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

TNumberEdit::TNumberEdit(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(kMaxTextLength);
  // The lock reacts to the focus leaving instead of polling, so an idle field costs nothing.
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
    connect(app, &QApplication::focusChanged, this, &TNumberEdit::AppFocusChanged);
  }
}

TNumberEdit::~TNumberEdit() {
  if (mCheckRunning) StopFocusCheck();
}

void TNumberEdit::SetMin(double value) {
  if (value == mMin) return;
  mMin = value;
  RefreshDefaultHint();
  update();
}

double TNumberEdit::Max() const { return mMax == mMin ? mMin + 100 : mMax; }

void TNumberEdit::SetMax(double value) {
  if (value == mMax || value == mMin) return;
  mMax = value;
  RefreshDefaultHint();
  update();
}

void TNumberEdit::SetIntValue(std::int32_t value) {
  mIntValue = value;
  if (mText.isEmpty()) {
    SetText(IntegerValueText(value));
    return;
  }
  const auto shown = ParseIntegerText(mText);
  if (shown && *shown != value) SetText(IntegerValueText(value));
}

void TNumberEdit::SetRealValue(double value) {
  mRealValue = value;
  if (mText.isEmpty()) {
    SetText(RealValueText(value));
    return;
  }
  const auto shown = ParseRealText(mText);
  if (shown && *shown != value) SetText(RealValueText(value));
}

void TNumberEdit::SetText(const QString& text) {
  mText = text.left(kMaxTextLength);
  QLineEdit::setText(mText);
  if (mNumType == TNumberType::IntType) {
    const auto value = ParseIntegerText(mText);
    if (!value) {
      SetIntValue(0);
    } else if (*value != mIntValue) {
      SetIntValue(*value);
    }
  } else {
    const auto value = ParseRealText(mText);
    if (!value) {
      SetRealValue(0);
    } else if (*value != mRealValue) {
      SetRealValue(*value);
    }
  }
}

void TNumberEdit::SetDefaultHint(bool on) {
  mDefaultHint = on;
  RefreshDefaultHint();
}

void TNumberEdit::RefreshDefaultHint() {
  if (!mDefaultHint) return;
  setToolTip(QString::fromStdString(FormatGeneral(mMin, 8, 3) + " " + FormatGeneral(Max(), 8, 3)));
}

bool TNumberEdit::FocusLockArmed() { return gFocusLockArmed; }

unsigned TNumberEdit::KeyToShift(int key) {
  switch (key) {
    case Qt::Key_Shift:
      return kShift;
    case Qt::Key_Control:
      return kCtrl;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
      return kAlt;
    default:
      return 0;
  }
}

int TNumberEdit::DecimalExponent(double x) {
  if (x == 0 || std::isnan(x)) return -300;
  if (std::isinf(x)) return 400;
  // The default rounding mode rounds halves to the even neighbour.
  return static_cast<int>(std::nearbyint(std::log10(std::fabs(x))));
}

ExponentSplit TNumberEdit::SplitExponent(const QString& text) const {
  ExponentSplit parts;
  parts.mantissa = text;
  if (mNumType == TNumberType::IntType) return parts;
  qsizetype p = text.indexOf(QLatin1Char('e'));
  if (p < 0) p = text.indexOf(QLatin1Char('E'));
  if (p < 0) return parts;
  parts.mantissa = text.left(p);
  parts.exponent = text.mid(p + 1);
  parts.marker = true;
  return parts;
}

ValidationStatus TNumberEdit::ValidateNumber(const QString& mantissa, const QString& exponent) {
  // The range tests use the stored maximum: a field whose maximum was never set accepts
  // nothing above Min, although Max reads Min + 100.
  const auto outside = [this](double v) { return v < mMin || v > mMax; };

  if (mNumType == TNumberType::IntType) {
    const auto value = ParseIntegerText(mantissa);
    if (!value) return ValidationStatus::SyntaxError;
    if (*value < -2147483646) return ValidationStatus::TypeRange;
    if (outside(*value)) return ValidationStatus::UserRange;
    return ValidationStatus::Valid;
  }

  ValidationStatus status = ValidationStatus::Valid;
  std::int64_t e = 0;
  if (IsLoneSign(exponent)) {
    status = ValidationStatus::SyntaxError;
  } else if (!exponent.isEmpty()) {
    const auto value = ParseIntegerText(exponent);
    if (value) {
      e = *value;
    } else {
      status = ValidationStatus::SyntaxError;
    }
  }
  double m = 0;
  if (mantissa.isEmpty()) {
    status = ValidationStatus::SyntaxError;
  } else if (!IsLoneSign(mantissa)) {
    const auto value = ParseRealText(mantissa);
    if (value) {
      m = *value;
    } else {
      status = ValidationStatus::SyntaxError;
    }
  }
  if (status == ValidationStatus::SyntaxError) return status;

  if (!exponent.isEmpty()) {
    const std::int64_t magnitude = DecimalExponent(m) + e;
    if (magnitude < -300 || magnitude > 300) return ValidationStatus::TypeRange;
    const auto value = ParseRealText(e == 0 ? mantissa : mantissa + QLatin1Char('E') + exponent);
    if (!value) {
      // Both parts read on their own, but not together (for example a blank after the "e").
      Prompts().Message(QStringLiteral("NUMEDIT: There is something wrong !!\rMantisse: ") +
                        mantissa + QStringLiteral("\rExponent: ") + exponent);
      StartFocusCheck();
      return status;
    }
    return outside(*value) ? ValidationStatus::UserRange : ValidationStatus::Valid;
  }
  if ((m != 0 && std::fabs(m) < 1E-300) || std::fabs(m) > 1E+300) {
    return ValidationStatus::TypeRange;
  }
  return outside(m) ? ValidationStatus::UserRange : ValidationStatus::Valid;
}

bool TNumberEdit::event(QEvent* event) {
  // Qt moves the focus on the Tab press, before the field could look at its text. The field
  // keeps the press and decides on the release whether the focus may leave.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (IsPlainTab(*key)) {
      mNavigationKeyDown = true;
      key->accept();
      return true;
    }
  }
  return QLineEdit::event(event);
}

void TNumberEdit::keyPressEvent(QKeyEvent* event) {
  QLineEdit::keyPressEvent(event);
  // Enter belongs to the field (it moves the focus on when the text is valid); passed on, it
  // would press a dialog's default button with an invalid number in the field.
  if (IsEnter(event->key())) {
    mNavigationKeyDown = true;
    event->accept();
  }
}

void TNumberEdit::keyReleaseEvent(QKeyEvent* event) {
  QLineEdit::keyReleaseEvent(event);
  event->accept();
  // A held key repeats its press; it is released once.
  if (event->isAutoRepeat()) return;
  const int key = event->key();
  if (IsNavigationKey(key)) {
    // The release of a Tab pressed in another control, which brought the focus here, belongs
    // to that control's navigation.
    if (!mNavigationKeyDown) return;
    mNavigationKeyDown = false;
    if (IsTab(key) && !IsPlainTab(*event)) return;
  }
  ProcessKeyRelease(key);
}

void TNumberEdit::ProcessKeyRelease(int key) {
  const QPointer<TNumberEdit> alive(this);
  const bool navigation = IsNavigationKey(key);

  // The field's own check must run even when another field's check armed the shared flag.
  if (!gFocusLockArmed || !mCheckRunning) StartFocusCheck();
  mStatus = ValidationStatus::Valid;
  mShiftAccum |= KeyToShift(key);

  if (mShiftAccum == 0 || mShiftAccum == kShift) {
    const QString text = QLineEdit::text().left(kMaxTextLength);
    ExponentSplit parts;
    if (text.isEmpty()) {
      mStatus = ValidationStatus::SyntaxError;
    } else {
      parts = SplitExponent(text);
      mText = text;
      if (parts.marker && parts.exponent.isEmpty()) {
        mStatus = ValidationStatus::SyntaxError;
      } else {
        mStatus = ValidateNumber(parts.mantissa, parts.exponent);
        if (!alive) return;
      }
    }
    if (navigation) {
      if (const char* message = StatusMessage(mStatus)) {
        Prompts().Message(QString::fromLatin1(message));
        if (!alive) return;
        StartFocusCheck();
      }
    }
    if (mStatus != ValidationStatus::SyntaxError) UpdateValue(text, parts);
  }

  if (mOnKeyUp && !navigation) {
    int handlerKey = key;  // the handler may change its copy; the release stays what it was
    mOnKeyUp(this, handlerKey, mShiftAccum);
    if (!alive) return;
  }
  mShiftAccum = 0;

  if (mStatus == ValidationStatus::Valid && navigation) {
    StopFocusCheck();
    if (IsEnter(key)) {
      FocusNextSibling();
    } else {
      focusNextPrevChild(key == Qt::Key_Tab);
    }
  } else {
    HoldFocus();
  }
}

void TNumberEdit::UpdateValue(const QString& text, const ExponentSplit& parts) {
  if (mNumType == TNumberType::IntType) {
    if (const auto value = ParseIntegerText(text)) mIntValue = *value;
    return;
  }
  double m = 0;
  if (IsLoneSign(parts.mantissa)) {
    m = 0;
    mStatus = ValidationStatus::SyntaxError;
  } else if (const auto value = ParseRealText(parts.mantissa)) {
    m = *value;
  } else {
    mStatus = ValidationStatus::SyntaxError;
    return;
  }
  std::int32_t e = 0;
  if (!parts.exponent.isEmpty()) {
    const auto value = ParseIntegerText(parts.exponent);
    if (!value) {
      mStatus = ValidationStatus::SyntaxError;
      return;
    }
    e = *value;
  }
  // The whole text read at once is correctly rounded; m x 10^e is only needed when the parts
  // read but the whole does not.
  std::optional<double> value;
  if (!IsLoneSign(parts.mantissa))
    value = ParseRealText(parts.exponent.isEmpty() ? parts.mantissa : text);
  const double result = value ? *value : m * std::pow(10.0, static_cast<double>(e));
  // A value beyond the range of a double (already marked as out of range) keeps the last one
  // instead of becoming infinite.
  if (std::isfinite(result)) mRealValue = result;
}

void TNumberEdit::StartFocusCheck() {
  gFocusLockArmed = true;
  mCheckRunning = true;
  LookUpPage();
  if (!hasFocus()) ScheduleTick();
}

void TNumberEdit::StopFocusCheck() {
  mCheckRunning = false;
  gFocusLockArmed = false;
  if (mTimerId != 0) {
    killTimer(mTimerId);
    mTimerId = 0;
  }
}

void TNumberEdit::ScheduleTick() {
  if (mTimerId == 0) mTimerId = startTimer(0);
}

void TNumberEdit::AppFocusChanged(QWidget* /*old*/, QWidget* now) {
  if (mCheckRunning && now != this) ScheduleTick();
}

void TNumberEdit::timerEvent(QTimerEvent* event) {
  if (mTimerId != 0 && event->timerId() == mTimerId) {
    killTimer(mTimerId);
    mTimerId = 0;
    FocusCheckTick();
    return;
  }
  QLineEdit::timerEvent(event);
}

void TNumberEdit::FocusCheckTick() {
  if (!mCheckRunning) return;
  if (!gFocusLockArmed || !mPageLookedUp) LookUpPage();
  if (hasFocus()) {
    gFocusLockArmed = true;
    return;
  }
  if (mStatus != ValidationStatus::Valid) {
    HoldFocus();
    return;
  }
  StopFocusCheck();
  ForgetPage();
}

void TNumberEdit::LookUpPage() {
  // The saved page is the one holding the field, whichever page the notebook shows right now.
  ForgetPage();
  for (QWidget* page = this; page != nullptr; page = page->parentWidget()) {
    auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
    auto* notebook = stack != nullptr ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    if (notebook != nullptr && notebook->indexOf(page) >= 0) {
      mPageContainer = notebook;
      mPageIndex = notebook->indexOf(page);
      break;
    }
  }
  mPageLookedUp = true;
}

void TNumberEdit::ForgetPage() {
  mPageContainer = nullptr;
  mPageIndex = 0;
  mPageLookedUp = false;
}

void TNumberEdit::HoldFocus() {
  if (mPageContainer != nullptr) mPageContainer->setCurrentIndex(mPageIndex);
  // Not a Tab entry: the text the user is correcting must not be selected and overtyped.
  if (CanTakeFocus(*this) && !hasFocus()) setFocus(Qt::OtherFocusReason);
}

void TNumberEdit::FocusNextSibling() {
  QWidget* parent = parentWidget();
  if (parent == nullptr) return;
  const QObjectList& children = parent->children();
  const qsizetype self = children.lastIndexOf(this);
  const qsizetype count = children.size();
  if (self < 0) return;
  for (qsizetype step = 1; step <= count; ++step) {
    auto* widget = qobject_cast<QWidget*>(children[(self + step) % count]);
    if (widget != nullptr && !widget->isWindow() && CanTakeFocus(*widget)) {
      widget->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

}  // namespace qv
