// Small Qt helpers the window tests share.
#include "support/qt_helpers.h"

#include <QFile>
#include <QTest>

#include "gui/number_edit.h"
#include "support/scripted_prompter.h"

namespace qv::test {

QList<QLabel*> StatusPanels(const QObject& window) {
  QList<QLabel*> panels;
  while (auto* panel = window.findChild<QLabel*>(QString("StatusPanel%1").arg(panels.size()))) {
    panels.append(panel);
  }
  return panels;
}

QString LabelText(const QObject& window, const char* name) {
  return RequireChild<QLabel>(window, name)->text();
}

void TypeSizes(const QObject& window, const QString& width, const QString& height) {
  RequireChild<TNumberEdit>(window, "NumberEdit1")->SetText(width);
  RequireChild<TNumberEdit>(window, "NumberEdit2")->SetText(height);
}

void SelectRow(QListView& list, int row) { list.setCurrentIndex(list.model()->index(row, 0)); }

QStringList Items(const QListWidget& list) {
  QStringList items;
  for (int i = 0; i < list.count(); ++i) items << list.item(i)->text();
  return items;
}

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

}  // namespace qv::test
