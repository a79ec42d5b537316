// Lets the articles window logic edit a department: every edit builds a fresh
// department editor window over the articles window and discards it after.
#pragma once

#include "workspace/articles/EditorPorts.h"

struct DeviceProfile;
class Operator;
class QWidget;
struct GroupNames;

class DepartmentEditorAdapter : public DepartmentEditorPort {
 public:
  DepartmentEditorAdapter(const DeviceProfile& profile, const GroupNames& names, Operator& op, QWidget* parent)
      : profile_(profile), names_(names), op_(op), parent_(parent) {}

  bool Edit(DepartmentRecord& record) override;

 private:
  const DeviceProfile& profile_;
  const GroupNames& names_;
  Operator& op_;
  QWidget* parent_;
};
