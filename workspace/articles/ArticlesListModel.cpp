#include "ArticlesListModel.h"

#include "ArticlesWindowLogic.h"
#include "UiText.h"

ArticlesListModel::ArticlesListModel(const ArticlesWindowLogic& logic, QObject* parent)
    : QAbstractListModel(parent), logic_(logic) {}

int ArticlesListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(logic_.ListCount());
}

QVariant ArticlesListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 ||
      static_cast<std::size_t>(index.row()) >= logic_.ListCount()) {
    return {};
  }
  return QString::fromStdString(UiName(logic_.ListLine(static_cast<std::size_t>(index.row()))));
}

void ArticlesListModel::Reset() {
  beginResetModel();
  endResetModel();
}
