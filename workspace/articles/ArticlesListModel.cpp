#include "workspace/articles/ArticlesListModel.h"

#include <algorithm>

#include "workspace/common/UiText.h"

ArticlesListModel::ArticlesListModel(const ArticlesWindowLogic& logic, QObject* parent)
    : QAbstractTableModel(parent), logic_(logic), columns_(logic.Columns()) {}

int ArticlesListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(logic_.ListCount());
}

int ArticlesListModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(columns_.size());
}

QVariant ArticlesListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= logic_.ListCount() ||
      index.column() < 0 || static_cast<std::size_t>(index.column()) >= columns_.size()) {
    return {};
  }
  const auto row = static_cast<std::size_t>(index.row());
  const ListColumn column = columns_[static_cast<std::size_t>(index.column())];
  switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(logic_.Cell(row, column));
    case LineRole: return QString::fromStdString(UiName(logic_.ListLine(row)));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignVCenter |
                                 (ArticlesWindowLogic::IsNumeric(column) ? Qt::AlignRight : Qt::AlignLeft));
    default: return {};
  }
}

QVariant ArticlesListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      static_cast<std::size_t>(section) >= columns_.size()) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return QString::fromStdString(ArticlesWindowLogic::ColumnTitle(columns_[static_cast<std::size_t>(section)]));
}

void ArticlesListModel::Reset() {
  beginResetModel();
  columns_ = logic_.Columns();
  endResetModel();
}

int ArticlesListModel::SectionOf(ListColumn column) const {
  const auto found = std::find(columns_.begin(), columns_.end(), column);
  return found == columns_.end() ? -1 : static_cast<int>(found - columns_.begin());
}
