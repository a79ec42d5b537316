#include "ArticleEditorAdapter.h"

#include "CArticleEditor.h"

ArticleRecord& ArticleEditorAdapter::Record() { return editor_.Record(); }
bool ArticleEditorAdapter::IsOpen() const { return editor_.IsOpen(); }
bool ArticleEditorAdapter::DoModal() { return editor_.DoModal() == QDialog::Accepted; }
void ArticleEditorAdapter::RefreshFromRecord() { editor_.RefreshFromRecord(); }
