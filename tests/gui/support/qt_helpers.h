// Small Qt helpers the window tests share: the status panels, the labels' texts, the size fields, a
// row of a list to select, the texts of a list and whole files as bytes.
#pragma once

#include <QByteArray>
#include <QLabel>
#include <QList>
#include <QListView>
#include <QListWidget>
#include <QObject>
#include <QString>
#include <QStringList>

namespace qv::test {

/// The main window's status panels, left to right ("StatusPanel0", "StatusPanel1", ...).
QList<QLabel*> StatusPanels(const QObject& window);

/// The text of the label named `name` in `window`.
QString LabelText(const QObject& window, const char* name);

/// Types `width` and `height` into the main window's size fields ("NumberEdit1", "NumberEdit2").
void TypeSizes(const QObject& window, const QString& width, const QString& height);

/// Makes `row` the current row of `list`, as a click on it would.
void SelectRow(QListView& list, int row);

/// The texts of the items of `list`, top to bottom.
QStringList Items(const QListWidget& list);

/// The whole file at `path`; empty when it cannot be read.
QByteArray Contents(const QString& path);

/// Makes `bytes` the whole file at `path`; fails the current test when that does not work.
void Write(const QString& path, const QByteArray& bytes);

}  // namespace qv::test
