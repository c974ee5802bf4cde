// TNumberEdit: the keys, messages and focus lock around the number rules of its NumberField.
#include "gui/number_edit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimerEvent>
#include <string>
#include <string_view>

#include "gui/prompter.h"

namespace qv {
namespace {

// One flag for all fields: a field that stops its check clears it for every field.
bool gFocusLockArmed = false;

bool IsTab(int key) { return key == Qt::Key_Tab || key == Qt::Key_Backtab; }
bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }
bool IsNavigationKey(int key) { return IsTab(key) || IsEnter(key); }

// Tab without Ctrl or Alt is what Qt would turn into focus navigation.
bool IsPlainTab(const QKeyEvent& event) {
  return IsTab(event.key()) && !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool CanTakeFocus(const QWidget& widget) {
  return widget.isEnabled() && widget.isVisible() && widget.focusPolicy() != Qt::NoFocus;
}

// The field's text as the core reads it.
std::string Utf8(const QString& text) { return text.toStdString(); }

}  // namespace

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
  if (!mField.SetMin(value)) return;
  RefreshDefaultHint();
  update();
}

void TNumberEdit::SetMax(double value) {
  if (!mField.SetMax(value)) return;
  RefreshDefaultHint();
  update();
}

void TNumberEdit::SetIntValue(std::int32_t value) {
  ShowWritten(mField.WriteIntValue(Utf8(mText), value));
}

void TNumberEdit::SetRealValue(double value) {
  ShowWritten(mField.WriteRealValue(Utf8(mText), value));
}

void TNumberEdit::SetText(const QString& text) {
  mText = text.left(kMaxTextLength);
  QLineEdit::setText(mText);
  ShowWritten(mField.WriteText(Utf8(mText)));
}

void TNumberEdit::ShowWritten(const std::optional<std::string>& text) {
  if (!text) return;
  mText = QString::fromStdString(*text);
  QLineEdit::setText(mText);
}

void TNumberEdit::SetDefaultHint(bool on) {
  mDefaultHint = on;
  RefreshDefaultHint();
}

void TNumberEdit::RefreshDefaultHint() {
  if (!mDefaultHint) return;
  setToolTip(QString::fromStdString(mField.RangeText()));
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
    // An emptied field keeps the last text it examined.
    if (!text.isEmpty()) mText = text;
    const NumberReading reading = mField.Read(Utf8(text));
    if (reading.partsDisagree) {
      Prompts().Message(QString::fromStdString(PartsMessage(reading.parts)));
      if (!alive) return;
      StartFocusCheck();
    }
    mStatus = reading.status;
    if (navigation) {
      if (const std::string_view message = StatusMessage(mStatus); !message.empty()) {
        Prompts().Message(
            QString::fromLatin1(message.data(), static_cast<qsizetype>(message.size())));
        if (!alive) return;
        StartFocusCheck();
      }
    }
    mStatus = reading.keptStatus;
    mField.Take(reading);
    emit TextExamined(mStatus);
    if (!alive) return;
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
