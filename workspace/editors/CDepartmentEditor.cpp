#include "workspace/editors/CDepartmentEditor.h"

#include <QLineEdit>
#include <QPushButton>

#include "workspace/editors/NameValidator.h"
#include "workspace/common-qt/QtControls.h"
#include "workspace/common/UiText.h"
#include "ui_DepartmentEditor.h"

namespace {

QString Text(const char* key) { return QString::fromStdString(UiText(key)); }

}  // namespace

CDepartmentEditor::CDepartmentEditor(const DeviceProfile& profile, const GroupNames& names, Operator& op,
                                     QWidget* parent)
    : EditorDialog(op, parent), ui_(std::make_unique<Ui::DepartmentEditor>()), logic_(profile, names) {
  ui_->setupUi(this);
  SetNameField(ui_->editName);
  ui_->editName->setValidator(new NameValidator(ui_->editName));
  connect(ui_->buttonOk, &QPushButton::clicked, this, &CDepartmentEditor::accept);
  connect(ui_->buttonCancel, &QPushButton::clicked, this, &CDepartmentEditor::reject);
  // A price shows as it will be stored once the operator leaves its field.
  const auto reformatOnLeaving = [this](QLineEdit* edit, DepartmentField field,
                                        EditControl DepartmentEditorControls::*control) {
    connect(edit, &QLineEdit::editingFinished, this, [this, edit, field, control] {
      ReadControls();
      logic_.ReformatField(field);
      QtControls::Show(edit, logic_.Controls().*control);
    });
  };
  reformatOnLeaving(ui_->editPrice, DepartmentField::Price, &DepartmentEditorControls::price);
  reformatOnLeaving(ui_->editMaxPrice, DepartmentField::MaxPrice, &DepartmentEditorControls::maxPrice);
  reformatOnLeaving(ui_->editMaxAmount, DepartmentField::MaxAmount, &DepartmentEditorControls::maxAmount);
}

CDepartmentEditor::~CDepartmentEditor() = default;

int CDepartmentEditor::DoModal() {
  Prepare();
  return exec();
}

void CDepartmentEditor::Prepare() {
  logic_.Open();
  ApplyTexts();
  ShowControls();
  FocusNameAfresh();
}

void CDepartmentEditor::ApplyTexts() {
  ui_->labelDepartmentNumber->setText(Text("DLG_DEPARTMENTEDIT_DEPTNO"));
  ui_->labelName->setText(Text("DLG_DEPARTMENTEDIT_NAME"));
  ui_->labelTaxGroup->setText(Text("DLG_DEPARTMENTEDIT_TAXGROUP"));
  ui_->labelPrice->setText(Text("DLG_ARTICLEEDITOR_PRICE"));
  ui_->labelMaxPrice->setText(Text("DLG_ARTICLEEDITOR_PRICE2"));
  ui_->labelMaxAmount->setText(Text("DLG_DEPARTMENTEDIT_MAXAMOUNT"));
  ui_->labelCommodityGroup->setText(Text("DLG_DEPARTMENTEDIT_COMMGRP"));
  ui_->labelStand->setText(Text("DLG_DEPARTMENTEDIT_STAND"));
  ui_->labelMeasureUnit->setText(Text("DLG_DEPARTMENTEDIT_MESUREID"));
  ui_->buttonOk->setText(Text("DLG_OK"));
  ui_->buttonCancel->setText(Text("DLG_CANCEL"));
}

void CDepartmentEditor::ShowControls() {
  const DepartmentEditorControls& c = logic_.Controls();
  QtControls::Show(ui_->editName, c.name);
  QtControls::Show(ui_->editDepartmentNumber, c.departmentNumber);
  QtControls::Show(ui_->comboMeasureUnit, c.measureUnit);
  QtControls::Show(ui_->comboCommodityGroup, c.commodityGroup);
  QtControls::Show(ui_->comboFractionalQty, c.fractionalQty);
  QtControls::Show(ui_->comboFreePrice, c.freePrice);
  QtControls::Show(ui_->comboSingleTransaction, c.singleTransaction);
  QtControls::Show(ui_->comboStand, c.stand);
  QtControls::Show(ui_->comboTaxGroup, c.taxGroup);
  QtControls::Show(ui_->editPrice, c.price);
  QtControls::Show(ui_->editMaxPrice, c.maxPrice);
  QtControls::Show(ui_->editMaxAmount, c.maxAmount);
}

void CDepartmentEditor::ReadControls() {
  DepartmentEditorControls& c = logic_.Controls();
  QtControls::Read(ui_->editName, c.name);
  QtControls::Read(ui_->editDepartmentNumber, c.departmentNumber);
  QtControls::Read(ui_->comboMeasureUnit, c.measureUnit);
  QtControls::Read(ui_->comboCommodityGroup, c.commodityGroup);
  QtControls::Read(ui_->comboFractionalQty, c.fractionalQty);
  QtControls::Read(ui_->comboFreePrice, c.freePrice);
  QtControls::Read(ui_->comboSingleTransaction, c.singleTransaction);
  QtControls::Read(ui_->comboStand, c.stand);
  QtControls::Read(ui_->comboTaxGroup, c.taxGroup);
  QtControls::Read(ui_->editPrice, c.price);
  QtControls::Read(ui_->editMaxPrice, c.maxPrice);
  QtControls::Read(ui_->editMaxAmount, c.maxAmount);
}

QWidget* CDepartmentEditor::FieldWidget(DepartmentField field) const {
  switch (field) {
    case DepartmentField::Name: return ui_->editName;
    case DepartmentField::DepartmentNumber: return ui_->editDepartmentNumber;
    case DepartmentField::MeasureUnit: return ui_->comboMeasureUnit;
    case DepartmentField::CommodityGroup: return ui_->comboCommodityGroup;
    case DepartmentField::FractionalQty: return ui_->comboFractionalQty;
    case DepartmentField::FreePrice: return ui_->comboFreePrice;
    case DepartmentField::SingleTransaction: return ui_->comboSingleTransaction;
    case DepartmentField::Stand: return ui_->comboStand;
    case DepartmentField::TaxGroup: return ui_->comboTaxGroup;
    case DepartmentField::Price: return ui_->editPrice;
    case DepartmentField::MaxPrice: return ui_->editMaxPrice;
    case DepartmentField::MaxAmount: return ui_->editMaxAmount;
  }
  return nullptr;
}

void CDepartmentEditor::accept() {
  ReadControls();
  if (const auto refusal = logic_.RefusalOnOk()) {
    Refuse(FieldWidget(refusal->field), refusal->message);
    return;
  }
  QDialog::accept();
}
