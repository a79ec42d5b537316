#include "workspace/common-qt/QtControls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>

void QtControls::Show(QLineEdit* edit, const EditControl& control) {
  const QString text = QString::fromStdString(control.text);
  // Rewriting an unchanged text would move the caret and drop the selection.
  if (edit->text() != text) edit->setText(text);
  edit->setEnabled(control.enabled);
  edit->setReadOnly(control.readOnly);
}

void QtControls::Read(const QLineEdit* edit, EditControl& control) { control.text = edit->text().toStdString(); }

void QtControls::Show(QComboBox* box, const ListControl& control) {
  const QSignalBlocker blocker(box);
  QStringList items;
  items.reserve(static_cast<qsizetype>(control.items.size()));
  for (const auto& item : control.items) items << QString::fromStdString(item);
  bool same = box->count() == items.size();
  for (int i = 0; same && i < box->count(); ++i) same = box->itemText(i) == items[i];
  if (!same) {
    box->clear();
    box->addItems(items);
  }
  box->setCurrentIndex(control.HasSelection() ? control.selected : -1);
  box->setEnabled(control.enabled);
}

void QtControls::Read(const QComboBox* box, ListControl& control) { control.selected = box->currentIndex(); }

void QtControls::Show(QAbstractButton* box, const CheckControl& control) {
  const QSignalBlocker blocker(box);
  box->setChecked(control.checked);
  box->setEnabled(control.enabled);
}

void QtControls::Read(const QAbstractButton* box, CheckControl& control) { control.checked = box->isChecked(); }

void QtControls::FocusAndSelect(QWidget* field) {
  if (field == nullptr) return;
  field->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(field)) {
    edit->selectAll();
  }
}
