#include "workspace/editors/EditorDialog.h"

#include <QEvent>

#include "workspace/common/Operator.h"
#include "workspace/common-qt/QtControls.h"

EditorDialog::EditorDialog(Operator& op, QWidget* parent) : QDialog(parent), operator_(op) {}

void EditorDialog::FocusNameAfresh() {
  pendingFocus_ = nullptr;
  FocusName();
}

void EditorDialog::Refuse(QWidget* field, const std::string& message) {
  pendingFocus_ = field;
  operator_.Tell(message, MessageIcon::Warning);
  QtControls::FocusAndSelect(field);
  // The message box may still hand the activation back later; only then the
  // pending focus is spent.
  if (isActiveWindow()) pendingFocus_ = nullptr;
}

void EditorDialog::FocusName() { QtControls::FocusAndSelect(nameField_); }

void EditorDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FocusName();
}

bool EditorDialog::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::WindowActivate) {
    if (pendingFocus_) {
      QtControls::FocusAndSelect(pendingFocus_);
      pendingFocus_ = nullptr;
    } else {
      FocusName();
    }
  }
  return handled;
}
