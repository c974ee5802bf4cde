// A list box's rows as a model over a list of colour labels the session keeps: the window shows
// the session's own lists, with no widget item per row and no second copy to keep in step.
#pragma once

#include <QAbstractListModel>
#include <string>
#include <vector>

namespace qv {

class LabelListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  /// Rows are `labels`, which must outlive the model; `draggable` lets rows be dragged (as
  /// kMimeType) to another list.
  LabelListModel(const std::vector<std::string>& labels, bool draggable,
                 QObject* parent = nullptr);

  /// Call after the labels changed.
  void Reload();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;

  /// Mime type of a label dragged from a list.
  static const char* const kMimeType;

 private:
  const std::vector<std::string>& mLabels;
  bool mDraggable;
};

}  // namespace qv
