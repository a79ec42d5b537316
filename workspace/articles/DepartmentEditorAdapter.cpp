#include "workspace/articles/DepartmentEditorAdapter.h"

#include "workspace/editors/CDepartmentEditor.h"

bool DepartmentEditorAdapter::Edit(DepartmentRecord& record) {
  CDepartmentEditor editor(profile_, names_, op_, parent_);
  editor.Record() = record;
  if (editor.DoModal() != QDialog::Accepted) return false;
  record = editor.Record();
  return true;
}
