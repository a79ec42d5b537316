// What the main articles window needs of its two editors, so that its logic
// runs with the real dialogs, with scripted editors in tests, or without any.
#pragma once

#include <functional>

#include "data/Records.h"

// Which field of an edited article another article of the file already has.
enum class DuplicateField { None, PluNumber, Barcode };
using DuplicateCheck = std::function<DuplicateField(const ArticleRecord&)>;

class ArticleEditorPort {
 public:
  virtual ~ArticleEditorPort() = default;
  // The record under edit: filled before DoModal, read after OK.
  virtual ArticleRecord& Record() = 0;
  virtual bool IsOpen() const = 0;
  // Shows the editor; true when it was closed with OK.
  virtual bool DoModal() = 0;
  // Shows the record again in an editor that is already open.
  virtual void RefreshFromRecord() = 0;
  // Checked when OK is pressed: a duplicate is refused with the editor still
  // open. An editor without the check leaves it to the window, after closing.
  virtual void SetDuplicateCheck(DuplicateCheck) {}
};

class DepartmentEditorPort {
 public:
  virtual ~DepartmentEditorPort() = default;
  // Opens a fresh editor on the record; true, with the edited record, after OK.
  virtual bool Edit(DepartmentRecord& record) = 0;
};
