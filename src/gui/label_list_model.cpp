// LabelListModel over a vector of labels.
#include "gui/label_list_model.h"

#include <QMimeData>

namespace qv {

const char* const LabelListModel::kMimeType = "application/x-quorvane-colour-label";

LabelListModel::LabelListModel(CountFn count, LabelFn label, bool draggable, QObject* parent)
    : QAbstractListModel(parent),
      mCount(std::move(count)),
      mLabel(std::move(label)),
      mDraggable(draggable) {}

void LabelListModel::Reload() {
  beginResetModel();
  endResetModel();
}

int LabelListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(mCount());
}

QVariant LabelListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= mCount()) {
    return {};
  }
  if (role == Qt::DisplayRole) return mLabel(static_cast<std::size_t>(index.row()));
  return {};
}

Qt::ItemFlags LabelListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractListModel::flags(index);
  if (index.isValid() && mDraggable) f |= Qt::ItemIsDragEnabled;
  return f;
}

QStringList LabelListModel::mimeTypes() const { return {kMimeType}; }

QMimeData* LabelListModel::mimeData(const QModelIndexList& indexes) const {
  auto* mime = new QMimeData;
  if (!indexes.isEmpty()) {
    mime->setData(kMimeType, data(indexes.first(), Qt::DisplayRole).toString().toUtf8());
  }
  return mime;
}

}  // namespace qv
