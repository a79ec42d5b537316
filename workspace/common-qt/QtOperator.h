// The operator at the screen: message boxes, the Open and Save file dialogs
// and the wait cursor, for every window of the articles program.
#pragma once

#include <QPointer>
#include <QWidget>

#include "workspace/common/Operator.h"

class QtOperator : public Operator {
 public:
  // Boxes and file dialogs open over parent, or over the active window when
  // no parent is given (or it has gone).
  explicit QtOperator(QWidget* parent = nullptr);

  void SetParent(QWidget* parent) { parent_ = parent; }

  Answer Ask(const std::string& text, const std::string& title, MessageButtons buttons, MessageIcon icon) override;
  std::optional<std::string> ChooseFile(const FileChoice& choice) override;
  void BeginWait() override;
  void EndWait() override;

  // Name filters as the file dialog takes them: "label (pattern)".
  static QStringList NameFilters(const FileChoice& choice);

 private:
  QWidget* Parent() const;

  QPointer<QWidget> parent_;
  int waitDepth_ = 0;
};
