// A list box's rows as a model over a list the session keeps: the window shows the session's own
// lists, with no widget item per row and no second copy to keep in step. Rows are asked for
// only when shown, so a list of ten million colours costs nothing until it is scrolled.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <cstddef>
#include <functional>

namespace qv {

class LabelListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  using CountFn = std::function<std::size_t()>;
  using LabelFn = std::function<QString(std::size_t row)>;

  /// Rows are `count()` labels `label(row)`; `draggable` lets rows be dragged (as kMimeType) to
  /// another list.
  LabelListModel(CountFn count, LabelFn label, bool draggable, QObject* parent = nullptr);

  /// Call after the list changed.
  void Reload();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;

  /// Mime type of a label dragged from a list.
  static const char* const kMimeType;

 private:
  CountFn mCount;
  LabelFn mLabel;
  bool mDraggable;
};

}  // namespace qv
