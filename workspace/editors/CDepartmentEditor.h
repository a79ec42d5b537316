// The department editor window: puts DepartmentEditorLogic on screen and
// shows its refusals through the operator with the refused field focused and
// selected. Built for one opening and discarded afterwards.
#pragma once

#include <memory>

#include "workspace/editors/DepartmentEditorLogic.h"
#include "workspace/editors/EditorDialog.h"

namespace Ui {
class DepartmentEditor;
}

class Operator;

class CDepartmentEditor : public EditorDialog {
  Q_OBJECT

 public:
  CDepartmentEditor(const DeviceProfile& profile, const GroupNames& names, Operator& op, QWidget* parent = nullptr);
  ~CDepartmentEditor() override;

  DepartmentEditorLogic& Logic() { return logic_; }
  DepartmentRecord& Record() { return logic_.Record(); }

  // Opens the window modally: QDialog::Accepted after OK, Rejected otherwise.
  int DoModal();
  // The opening steps without the modal loop.
  void Prepare();

  void ShowControls();
  void ReadControls();
  QWidget* FieldWidget(DepartmentField field) const;

 public slots:
  void accept() override;

 private:
  void ApplyTexts();

  std::unique_ptr<Ui::DepartmentEditor> ui_;
  DepartmentEditorLogic logic_;
};
