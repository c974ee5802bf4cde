// Small Qt helpers the window tests share: the texts of a list and whole files as bytes.
#pragma once

#include <QByteArray>
#include <QListWidget>
#include <QString>
#include <QStringList>

namespace qv::test {

/// The texts of the items of `list`, top to bottom.
QStringList Items(const QListWidget& list);

/// The whole file at `path`; empty when it cannot be read.
QByteArray Contents(const QString& path);

/// Makes `bytes` the whole file at `path`; fails the current test when that does not work.
void Write(const QString& path, const QByteArray& bytes);

}  // namespace qv::test
