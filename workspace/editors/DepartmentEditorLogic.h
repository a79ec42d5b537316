// The department editor without its window: the record under edit, the
// opening steps that fill the lists from the device profile and the configured
// names (free price entries in reverse order, the stand list shut when the
// register has no stands), the field exchange with its refusals, and OK. One
// editor serves one opening.
#pragma once

#include <optional>
#include <string>

#include "workspace/editors/DepartmentEditorControls.h"
#include "workspace/common/FieldRefusal.h"
#include "data/Records.h"
#include "workspace/common/RecordNameText.h"
#include "workspace/editors/TaxLetterList.h"

struct DeviceProfile;
struct GroupNames;

class DepartmentEditorLogic {
 public:
  using Refusal = FieldRefusal<DepartmentField>;

  DepartmentEditorLogic(const DeviceProfile& profile, const GroupNames& names);

  DepartmentRecord& Record() { return record_; }
  const DepartmentRecord& Record() const { return record_; }
  const std::string& NameText() const { return nameText_; }
  const std::string& TaxText() const { return taxText_; }  // code-page bytes

  DepartmentEditorControls& Controls() { return controls_; }
  const DepartmentEditorControls& Controls() const { return controls_; }

  void Open();
  void ShowMembers();
  std::optional<Refusal> RefusalReadingControls();
  // A price field lost the focus: it shows the value as OK will store it.
  void ReformatField(DepartmentField field);
  // nullopt when the window may close with OK; the record then holds the edit.
  std::optional<Refusal> RefusalOnOk();

 private:
  const DeviceProfile& profile_;
  const GroupNames& names_;

  DepartmentRecord record_{};
  RecordNameText nameSource_;
  std::string nameText_;
  std::string taxText_;
  TaxLetterList taxLetters_;
  DepartmentEditorControls controls_;
};
