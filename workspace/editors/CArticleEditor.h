// The article editor window: puts ArticleEditorLogic on screen, sends every
// button and box click through it, and shows its refusals through the
// operator with the refused field focused and selected. The main articles
// window keeps one for its whole life.
#pragma once

#include <memory>

#include "workspace/editors/ArticleEditorLogic.h"
#include "workspace/editors/EditorDialog.h"

namespace Ui {
class ArticleEditor;
}

class Operator;

class CArticleEditor : public EditorDialog {
  Q_OBJECT

 public:
  CArticleEditor(const DeviceProfile& profile, const GroupNames& names, Operator& op, QWidget* parent = nullptr);
  ~CArticleEditor() override;

  ArticleEditorLogic& Logic() { return logic_; }
  ArticleRecord& Record() { return logic_.Record(); }
  bool IsOpen() const { return logic_.IsOpen(); }

  // The open database whose department names the department list offers; the
  // file stays the caller's. Null leaves the names empty.
  void SetDatabase(const DatabaseFile* database) { database_ = database; }

  // Opens the window modally: QDialog::Accepted after OK, Rejected otherwise.
  int DoModal();
  // The opening steps without the modal loop (DoModal runs them itself).
  void Prepare();
  // Shows the record again while the window is up.
  void RefreshFromRecord();

  // Pushes the logic's control states to the widgets, and reads them back.
  void ShowControls();
  void ReadControls();

  QWidget* FieldWidget(ArticleField field) const;

 public slots:
  void accept() override;
  void reject() override;

 private:
  void ApplyTexts();
  void NotControlledClicked(ArticleEditorLogic::Quantity which);

  std::unique_ptr<Ui::ArticleEditor> ui_;
  ArticleEditorLogic logic_;
  const DatabaseFile* database_ = nullptr;
};
