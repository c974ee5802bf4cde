// KeepLabelsPlain over every QLabel below a widget.
#include "gui/plain_text.h"

#include <QLabel>
#include <QWidget>

namespace qv {

void KeepLabelsPlain(QWidget* root) {
  for (QLabel* label : root->findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
}

}  // namespace qv
