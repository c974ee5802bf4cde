// The found-colours list as a model over the session's labels, so a picture with a hundred
// thousand colours needs no widget item per colour.
#pragma once

#include <QAbstractListModel>
#include <string>
#include <vector>

namespace qv {

class FoundColourModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit FoundColourModel(const std::vector<std::string>& labels, QObject* parent = nullptr);

  /// Call after the labels changed (whole list replaced).
  void Reload();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;

  /// Mime type of a label dragged from the found-colours list.
  static const char* const kMimeType;

 private:
  const std::vector<std::string>& mLabels;
};

}  // namespace qv
