// One list of the reports window as a table: the report's articles or its
// departments with their figures, sorted by a header click without copying a
// line (the model keeps only the order of the logic's lines).
#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "reports/ReportsLogic.h"

class ReportListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  ReportListModel(const ReportsLogic& logic, bool departments, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  // column -1: the order of the file.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  // The logic's lines changed; the last sort is kept.
  void Reset();
  // The logic's line shown in row, -1 for none.
  int LineOfRow(int row) const;

 private:
  void Order();

  const ReportsLogic& logic_;
  const bool departments_;
  const std::vector<ReportColumn> columns_;
  std::vector<std::size_t> order_;
  int sortColumn_ = -1;
  bool descending_ = false;
};
