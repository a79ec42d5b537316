// The articles window's list as a Qt model over the window logic: one row per
// line the logic shows, texts converted from the record code page as they are
// painted. Nothing is copied, so refilling 49,999 lines costs one reset.
#pragma once

#include <QAbstractListModel>

class ArticlesWindowLogic;

class ArticlesListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit ArticlesListModel(const ArticlesWindowLogic& logic, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // The logic's lines changed in count or contents.
  void Reset();

 private:
  const ArticlesWindowLogic& logic_;
};
