// Lets the articles window logic drive the one article editor window through
// its editor port.
#pragma once

#include "workspace/articles/EditorPorts.h"

class CArticleEditor;

class ArticleEditorAdapter : public ArticleEditorPort {
 public:
  explicit ArticleEditorAdapter(CArticleEditor& editor) : editor_(editor) {}

  ArticleRecord& Record() override;
  bool IsOpen() const override;
  bool DoModal() override;
  void RefreshFromRecord() override;
  void SetDuplicateCheck(DuplicateCheck check) override;

 private:
  CArticleEditor& editor_;
};
