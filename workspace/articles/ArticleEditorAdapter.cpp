#include "workspace/articles/ArticleEditorAdapter.h"

#include "workspace/articles/ArticlesWindowLogic.h"
#include "workspace/editors/CArticleEditor.h"

ArticleRecord& ArticleEditorAdapter::Record() { return editor_.Record(); }
bool ArticleEditorAdapter::IsOpen() const { return editor_.IsOpen(); }
bool ArticleEditorAdapter::DoModal() { return editor_.DoModal() == QDialog::Accepted; }
void ArticleEditorAdapter::RefreshFromRecord() { editor_.RefreshFromRecord(); }

void ArticleEditorAdapter::SetDuplicateCheck(DuplicateCheck check) {
  using Refusal = ArticleEditorLogic::Refusal;
  editor_.Logic().SetRecordCheck([check = std::move(check)](const ArticleRecord& record) -> std::optional<Refusal> {
    switch (check ? check(record) : DuplicateField::None) {
      case DuplicateField::PluNumber: return Refusal{ArticleField::PluNumber, kMsgDuplicatePlu};
      case DuplicateField::Barcode: return Refusal{ArticleField::Barcode, kMsgDuplicateBarcode};
      case DuplicateField::None: break;
    }
    return std::nullopt;
  });
}
