// What the record editor windows share around refusals: the name field gets
// the focus with its text selected whenever the window shows or is activated,
// except once after a refusal, when the refused field gets it instead.
#pragma once

#include <string>

#include <QDialog>
#include <QPointer>

class Operator;

class EditorDialog : public QDialog {
  Q_OBJECT

 protected:
  EditorDialog(Operator& op, QWidget* parent);

  // The field focused by default; set once the widgets exist.
  void SetNameField(QWidget* field) { nameField_ = field; }
  // The end of every opening: no refused field pending, the name focused.
  void FocusNameAfresh();
  // Tells the operator why the field was refused and focuses it.
  void Refuse(QWidget* field, const std::string& message);

  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

  Operator& operator_;

 private:
  void FocusName();

  QWidget* nameField_ = nullptr;
  // Where the focus goes when the window is next activated: the refused field
  // once after a refusal, the name field otherwise.
  QPointer<QWidget> pendingFocus_;
};
