#include "workspace/editors/NameValidator.h"

#include "workspace/common/RecordNameText.h"

NameValidator::NameValidator(QObject* parent) : QValidator(parent) {}

QValidator::State NameValidator::validate(QString& input, int& /*pos*/) const {
  return RecordNameText::Fits(input.toStdString()) ? Acceptable : Invalid;
}
