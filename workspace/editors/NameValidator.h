// Keeps a name field within what a record can hold: typing or pasting past
// 49 bytes of the record's code page is refused as it happens.
#pragma once

#include <QValidator>

class NameValidator : public QValidator {
  Q_OBJECT

 public:
  explicit NameValidator(QObject* parent = nullptr);
  State validate(QString& input, int& pos) const override;
};
