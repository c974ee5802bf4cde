// Texts between the core (std::string, UTF-8) and Qt (QString), and the one way the windows
// place a designed control.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>

#include "core/base/number_text.h"

namespace qv {

/// A core text as Qt shows it.
inline QString Q(const std::string& s) { return QString::fromStdString(s); }
/// A Qt text as the core takes it.
inline std::string S(const QString& s) { return s.toStdString(); }
/// The decimal text of an integer, as the core writes it.
inline QString QInteger(std::int64_t value) { return Q(IntegerText(value)); }

/// A control of type W at its designed place in `parent`: objectName `name` (none for nullptr),
/// geometry x, y, w, h in the parent's pixels.
template <typename W>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* widget = new W(parent);
  if (name != nullptr) widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(x, y, w, h);
  return widget;
}

/// A label of the designed text at its designed place, `h` pixels high; every window makes its
/// fixed labels here.
inline QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y,
                         int w, int h) {
  auto* label = Make<QLabel>(parent, name, x, y, w, h);
  label->setText(text);
  return label;
}

}  // namespace qv
