#include "reports/ReportListModel.h"

ReportListModel::ReportListModel(const ReportsLogic& logic, bool departments, QObject* parent)
    : QAbstractTableModel(parent),
      logic_(logic),
      departments_(departments),
      columns_(departments ? ReportsLogic::DepartmentColumns() : ReportsLogic::ArticleColumns()) {}

int ReportListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
  const int line = LineOfRow(index.row());
  if (!index.isValid() || line < 0 || index.column() < 0 || index.column() >= columnCount()) return {};
  const ReportColumn column = columns_[static_cast<std::size_t>(index.column())];
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::AlignVCenter | (ReportsLogic::IsNumeric(column) ? Qt::AlignRight : Qt::AlignLeft));
  }
  if (role != Qt::DisplayRole) return {};
  const auto at = static_cast<std::size_t>(line);
  return QString::fromStdString(departments_ ? logic_.DepartmentCell(at, column) : logic_.ArticleCell(at, column));
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return QString::fromStdString(ReportsLogic::ColumnTitle(columns_[static_cast<std::size_t>(section)], departments_));
}

void ReportListModel::sort(int column, Qt::SortOrder order) {
  beginResetModel();
  sortColumn_ = column >= 0 && column < columnCount() ? column : -1;
  descending_ = order == Qt::DescendingOrder;
  Order();
  endResetModel();
}

void ReportListModel::Reset() {
  beginResetModel();
  Order();
  endResetModel();
}

void ReportListModel::Order() {
  if (sortColumn_ < 0) {
    const std::size_t lines = departments_ ? logic_.DepartmentLines().size() : logic_.ArticleLines().size();
    order_.resize(lines);
    for (std::size_t i = 0; i < lines; ++i) order_[i] = i;
    return;
  }
  const ReportColumn column = columns_[static_cast<std::size_t>(sortColumn_)];
  order_ = departments_ ? logic_.DepartmentOrder(column, descending_) : logic_.ArticleOrder(column, descending_);
}

int ReportListModel::LineOfRow(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= order_.size()) return -1;
  return static_cast<int>(order_[static_cast<std::size_t>(row)]);
}
