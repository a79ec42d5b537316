// The articles window's list as a Qt table model over the window logic: one row
// per line the logic shows, one column per column it has, texts converted from
// the record code page as they are painted. Nothing is copied, so refilling
// 49,999 rows costs one reset.
#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "workspace/articles/ArticlesWindowLogic.h"

class ArticlesListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The whole list line ("00042 : 0000000000000 : Milk") of a row.
  static constexpr int LineRole = Qt::UserRole;

  explicit ArticlesListModel(const ArticlesWindowLogic& logic, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // The logic's lines changed in count, contents or columns.
  void Reset();
  const std::vector<ListColumn>& Columns() const { return columns_; }
  // The section of a column, -1 when the list does not show it.
  int SectionOf(ListColumn column) const;

 private:
  const ArticlesWindowLogic& logic_;
  std::vector<ListColumn> columns_;
};
