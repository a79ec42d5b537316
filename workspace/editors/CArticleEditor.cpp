#include "workspace/editors/CArticleEditor.h"

#include <QLineEdit>
#include <QPushButton>

#include "workspace/editors/NameValidator.h"
#include "workspace/common/Operator.h"
#include "workspace/common-qt/QtControls.h"
#include "workspace/common/UiText.h"
#include "ui_ArticleEditor.h"

namespace {

QString Text(const char* key) { return QString::fromStdString(UiText(key)); }

}  // namespace

CArticleEditor::CArticleEditor(const DeviceProfile& profile, const GroupNames& names, Operator& op, QWidget* parent)
    : EditorDialog(op, parent), ui_(std::make_unique<Ui::ArticleEditor>()), logic_(profile, names) {
  ui_->setupUi(this);
  SetNameField(ui_->editName);
  ui_->editName->setValidator(new NameValidator(ui_->editName));
  connect(ui_->buttonOk, &QPushButton::clicked, this, &CArticleEditor::accept);
  connect(ui_->buttonCancel, &QPushButton::clicked, this, &CArticleEditor::reject);
  connect(ui_->checkStockNotControlled, &QCheckBox::clicked, this,
          [this] { NotControlledClicked(ArticleEditorLogic::Quantity::Stock); });
  connect(ui_->checkInitialNotControlled, &QCheckBox::clicked, this,
          [this] { NotControlledClicked(ArticleEditorLogic::Quantity::Initial); });
  // A number shows as it will be stored once the operator leaves its field.
  const auto reformatOnLeaving = [this](QLineEdit* edit, ArticleField field,
                                        EditControl ArticleEditorControls::*control) {
    connect(edit, &QLineEdit::editingFinished, this, [this, edit, field, control] {
      ReadControls();
      logic_.ReformatField(field);
      QtControls::Show(edit, logic_.Controls().*control);
    });
  };
  reformatOnLeaving(ui_->editPluNumber, ArticleField::PluNumber, &ArticleEditorControls::pluNumber);
  reformatOnLeaving(ui_->editBarcode, ArticleField::Barcode, &ArticleEditorControls::barcode);
  reformatOnLeaving(ui_->editPrice1, ArticleField::Price1, &ArticleEditorControls::price1);
  reformatOnLeaving(ui_->editPrice2, ArticleField::Price2, &ArticleEditorControls::price2);
  reformatOnLeaving(ui_->editStockQty, ArticleField::StockQty, &ArticleEditorControls::stockQty);
  reformatOnLeaving(ui_->editInitialQty, ArticleField::InitialQty, &ArticleEditorControls::initialQty);
  reformatOnLeaving(ui_->editPluLink, ArticleField::PluLink, &ArticleEditorControls::pluLink);
}

CArticleEditor::~CArticleEditor() = default;

int CArticleEditor::DoModal() {
  Prepare();
  const int result = exec();
  // However the window went away, it is no longer open.
  if (logic_.IsOpen()) logic_.Cancel();
  return result;
}

void CArticleEditor::Prepare() {
  logic_.BeginModal();
  ApplyTexts();
  logic_.Open(database_);
  ShowControls();
  FocusNameAfresh();
}

void CArticleEditor::ApplyTexts() {
  ui_->labelPluNumber->setText(Text("DLG_ARTICLEEDITOR_PLUNO"));
  ui_->labelTaxGroup->setText(Text("DLG_ARTICLEEDITOR_TAXGRP"));
  ui_->labelPrice1->setText(Text("DLG_ARTICLEEDITOR_PRICE1"));
  ui_->labelName->setText(Text("DLG_ARTICLEEDITOR_NAME"));
  ui_->labelBarcode->setText(Text("DLG_ARTICLEEDITOR_BARCODE"));
  ui_->labelDepartment->setText(Text("DLG_ARTICLEEDITOR_DEPARTMENT"));
  ui_->labelCommodityGroup->setText(Text("DLG_ARTICLEEDITOR_COMMODITYGRP"));
  ui_->labelPrice2->setText(Text("DLG_ARTICLEEDITOR_PRICE2"));
  ui_->labelMeasureUnit->setText(Text("DLG_ARTICLEEDITOR_MESUREUNIT"));
  ui_->groupOptions->setTitle(Text("DLG_ARTICLEEDITOR_OPTIONS"));
  ui_->groupPrice->setTitle(Text("DLG_ARTICLEEDITOR_PRICE"));
  ui_->groupRelations->setTitle(Text("DLG_ARTICLEEDITOR_RELATIONS"));
  ui_->groupStock->setTitle(Text("DLG_ARTICLEEDITOR_STOCKQTY"));
  ui_->labelPluLink->setText(Text("DLG_ARTICLEEDITOR_PLULINK"));
  ui_->checkStockNotControlled->setText(Text("DLG_ARTICLEEDITOR_NOTCONTROLLED"));
  ui_->buttonOk->setText(Text("DLG_OK"));
  ui_->buttonCancel->setText(Text("DLG_CANCEL"));
}

void CArticleEditor::ShowControls() {
  const ArticleEditorControls& c = logic_.Controls();
  QtControls::Show(ui_->editPluNumber, c.pluNumber);
  QtControls::Show(ui_->editName, c.name);
  QtControls::Show(ui_->editBarcode, c.barcode);
  QtControls::Show(ui_->comboTaxGroup, c.taxGroup);
  QtControls::Show(ui_->editPrice1, c.price1);
  QtControls::Show(ui_->editPrice2, c.price2);
  QtControls::Show(ui_->comboMeasureUnit, c.measureUnit);
  QtControls::Show(ui_->comboDepartment, c.department);
  QtControls::Show(ui_->checkStockNotControlled, c.stockNotControlled);
  QtControls::Show(ui_->checkInitialNotControlled, c.initialNotControlled);
  QtControls::Show(ui_->comboCommodityGroup, c.commodityGroup);
  QtControls::Show(ui_->comboFractionalQty, c.fractionalQty);
  QtControls::Show(ui_->comboFreePrice, c.freePrice);
  QtControls::Show(ui_->comboSingleTransaction, c.singleTransaction);
  QtControls::Show(ui_->editStockQty, c.stockQty);
  QtControls::Show(ui_->editInitialQty, c.initialQty);
  QtControls::Show(ui_->editPluLink, c.pluLink);
  ui_->groupStock->setEnabled(c.stockGroupEnabled);
  ui_->groupInitial->setEnabled(c.initialGroupEnabled);
  ui_->labelPluLink->setEnabled(c.pluLinkLabelEnabled);
}

void CArticleEditor::ReadControls() {
  ArticleEditorControls& c = logic_.Controls();
  QtControls::Read(ui_->editPluNumber, c.pluNumber);
  QtControls::Read(ui_->editName, c.name);
  QtControls::Read(ui_->editBarcode, c.barcode);
  QtControls::Read(ui_->comboTaxGroup, c.taxGroup);
  QtControls::Read(ui_->editPrice1, c.price1);
  QtControls::Read(ui_->editPrice2, c.price2);
  QtControls::Read(ui_->comboMeasureUnit, c.measureUnit);
  QtControls::Read(ui_->comboDepartment, c.department);
  QtControls::Read(ui_->checkStockNotControlled, c.stockNotControlled);
  QtControls::Read(ui_->checkInitialNotControlled, c.initialNotControlled);
  QtControls::Read(ui_->comboCommodityGroup, c.commodityGroup);
  QtControls::Read(ui_->comboFractionalQty, c.fractionalQty);
  QtControls::Read(ui_->comboFreePrice, c.freePrice);
  QtControls::Read(ui_->comboSingleTransaction, c.singleTransaction);
  QtControls::Read(ui_->editStockQty, c.stockQty);
  QtControls::Read(ui_->editInitialQty, c.initialQty);
  QtControls::Read(ui_->editPluLink, c.pluLink);
}

QWidget* CArticleEditor::FieldWidget(ArticleField field) const {
  switch (field) {
    case ArticleField::PluNumber: return ui_->editPluNumber;
    case ArticleField::Name: return ui_->editName;
    case ArticleField::Barcode: return ui_->editBarcode;
    case ArticleField::TaxGroup: return ui_->comboTaxGroup;
    case ArticleField::Price1: return ui_->editPrice1;
    case ArticleField::Price2: return ui_->editPrice2;
    case ArticleField::MeasureUnit: return ui_->comboMeasureUnit;
    case ArticleField::Department: return ui_->comboDepartment;
    case ArticleField::StockNotControlled: return ui_->checkStockNotControlled;
    case ArticleField::InitialNotControlled: return ui_->checkInitialNotControlled;
    case ArticleField::CommodityGroup: return ui_->comboCommodityGroup;
    case ArticleField::FractionalQty: return ui_->comboFractionalQty;
    case ArticleField::FreePrice: return ui_->comboFreePrice;
    case ArticleField::SingleTransaction: return ui_->comboSingleTransaction;
    case ArticleField::StockQty: return ui_->editStockQty;
    case ArticleField::InitialQty: return ui_->editInitialQty;
    case ArticleField::PluLink: return ui_->editPluLink;
  }
  return nullptr;
}

void CArticleEditor::RefreshFromRecord() {
  logic_.RefreshFromRecord();
  ShowControls();
}

void CArticleEditor::accept() {
  ReadControls();
  if (const auto refusal = logic_.RefusalOnOk()) {
    Refuse(FieldWidget(refusal->field), refusal->message);
    return;
  }
  QDialog::accept();
}

void CArticleEditor::reject() {
  logic_.Cancel();
  QDialog::reject();
}

void CArticleEditor::NotControlledClicked(ArticleEditorLogic::Quantity which) {
  ReadControls();
  const auto refusal = logic_.RefusalOnNotControlled(which);
  if (refusal) operator_.Tell(refusal->message, MessageIcon::Warning);
  ShowControls();
  if (refusal) QtControls::FocusAndSelect(FieldWidget(refusal->field));
}
