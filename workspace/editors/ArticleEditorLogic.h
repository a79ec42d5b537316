// The article editor without its window: the record under edit and the texts
// the fields hold, the opening steps that fill the lists from the device
// profile and the configured names, the field exchange in both directions with
// its refusals, the Not Controlled boxes, OK and Cancel. The main articles
// window keeps one editor for its whole life and reuses it for every opening.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "workspace/editors/ArticleEditorControls.h"
#include "workspace/common/FieldRefusal.h"
#include "data/Records.h"
#include "workspace/common/RecordNameText.h"
#include "workspace/editors/TaxLetterList.h"

class DatabaseFile;
struct DeviceProfile;
struct GroupNames;

class ArticleEditorLogic {
 public:
  using Refusal = FieldRefusal<ArticleField>;
  // A check of the whole article that the window's owner runs at OK (duplicates).
  using RecordCheck = std::function<std::optional<Refusal>(const ArticleRecord&)>;
  enum class Quantity { Stock, Initial };

  // The profile and the names are the program's own and are read at each opening.
  ArticleEditorLogic(const DeviceProfile& profile, const GroupNames& names);

  // The copy under edit: the caller fills it before opening and reads it after OK.
  ArticleRecord& Record() { return record_; }
  const ArticleRecord& Record() const { return record_; }

  bool IsOpen() const { return isOpen_; }
  const std::string& NameText() const { return nameText_; }
  const std::string& TaxText() const { return taxText_; }  // code-page bytes
  const std::string& StockText() const { return stockText_; }
  const std::string& InitialText() const { return initialText_; }
  bool StockNotControlled() const { return stockNotControlled_; }
  bool InitialNotControlled() const { return initialNotControlled_; }
  std::int32_t PluLinkValue() const { return pluLinkValue_; }

  // What the window shows; the window copies its controls in here before any
  // read and shows whatever the logic leaves here afterwards.
  ArticleEditorControls& Controls() { return controls_; }
  const ArticleEditorControls& Controls() const { return controls_; }

  // The window goes up: isOpen is set, then the opening steps fill the
  // controls. database may be null; the department names are then empty.
  void BeginModal() { isOpen_ = true; }
  void Open(const DatabaseFile* database);

  // The field exchange: members to controls, and controls to members up to
  // the first refused field.
  void ShowMembers();
  std::optional<Refusal> RefusalReadingControls();

  // A Not Controlled box was clicked; a refusal of the reading is returned
  // after the click has been handled with the box state last read.
  std::optional<Refusal> RefusalOnNotControlled(Quantity which);

  // A number field lost the focus: it shows the value as OK will store it
  // ("1,5" becomes 1.5, " 007" becomes 7); text OK would refuse stays as typed.
  void ReformatField(ArticleField field);

  // Run at every OK until replaced; an empty check accepts everything.
  void SetRecordCheck(RecordCheck check) { recordCheck_ = std::move(check); }

  // nullopt when the window may close with OK; the record then holds the edit.
  std::optional<Refusal> RefusalOnOk();
  // Cancel, and any other way the window closes without OK.
  void Cancel() { isOpen_ = false; }

  // The record was replaced while the window is up: show it.
  void RefreshFromRecord();

 private:
  void LoadNameAndTax();
  void SetQuantityFromRecord(double stored, EditControl& field, std::string& text, bool& notControlled);
  void ClickQuantity(bool notControlled, EditControl& field, std::string& text, double& stored);
  // A typed stock or initial quantity, nullopt when it is not one the register takes.
  std::optional<double> TypedQuantity(const std::string& text) const;
  double QuantityToStore(const EditControl& field, bool notControlled, const std::string& text, double stored) const;

  const DeviceProfile& profile_;
  const GroupNames& names_;

  ArticleRecord record_{};
  RecordNameText nameSource_;
  std::string nameText_;
  std::string taxText_;
  std::string stockText_;
  std::string initialText_;
  bool stockNotControlled_ = false;
  bool initialNotControlled_ = false;
  std::int32_t pluLinkValue_ = 0;
  bool isOpen_ = false;
  RecordCheck recordCheck_;

  TaxLetterList taxLetters_;
  ArticleEditorControls controls_;
};
