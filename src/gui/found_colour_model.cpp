// Model of the found-colours list.
#include "gui/found_colour_model.h"

#include <QMimeData>

namespace qv {

const char* const FoundColourModel::kMimeType = "application/x-quorvane-colour-label";

FoundColourModel::FoundColourModel(const std::vector<std::string>& labels, QObject* parent)
    : QAbstractListModel(parent), mLabels(labels) {}

void FoundColourModel::Reload() {
  beginResetModel();
  endResetModel();
}

int FoundColourModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(mLabels.size());
}

QVariant FoundColourModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(mLabels.size())) return {};
  if (role == Qt::DisplayRole) return QString::fromStdString(mLabels[static_cast<std::size_t>(index.row())]);
  return {};
}

Qt::ItemFlags FoundColourModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractListModel::flags(index);
  if (index.isValid()) f |= Qt::ItemIsDragEnabled;
  return f;
}

QStringList FoundColourModel::mimeTypes() const { return {kMimeType}; }

QMimeData* FoundColourModel::mimeData(const QModelIndexList& indexes) const {
  auto* mime = new QMimeData;
  if (!indexes.isEmpty()) mime->setData(kMimeType, data(indexes.first(), Qt::DisplayRole).toString().toUtf8());
  return mime;
}

}  // namespace qv
