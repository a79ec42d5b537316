#include "workspace/editors/ArticleEditorLogic.h"

#include <algorithm>

#include "data/CFormat.h"
#include "data/Config.h"
#include "data/DatabaseFile.h"
#include "data/DeviceProfile.h"
#include "workspace/common/FieldExchange.h"
#include "data/FieldLimits.h"
#include "workspace/common/UiText.h"

namespace {

// The stock and initial boxes store the whole-quantity value unless the
// fractional option is exactly 1; a list without selection reads as -1.
double NotControlledFor(std::int32_t fractional) {
  return fractional == 1 ? kNotControlledFractional : kNotControlledWhole;
}

// Only what the operator can type into is checked; a greyed-out or read-only
// field keeps whatever the record held, even a value beyond the limits.
bool Typable(const EditControl& field) { return field.enabled && !field.readOnly; }

void ShowTypedInteger(EditControl& field, field_limits::IntegerRange range) {
  if (const auto value = FieldExchange::ReadInteger(field.text, range.low, range.high)) {
    field.text = FieldExchange::ShowSigned(*value);
  }
}

void ShowTypedDecimal(EditControl& field, field_limits::DecimalRange range, std::string (*show)(double)) {
  if (const auto value = FieldExchange::ReadDecimal(field.text, range.low, range.high)) field.text = show(*value);
}

}  // namespace

ArticleEditorLogic::ArticleEditorLogic(const DeviceProfile& profile, const GroupNames& names)
    : profile_(profile), names_(names) {}

void ArticleEditorLogic::LoadNameAndTax() {
  nameSource_.Load(NameOf(record_.NAME));
  nameText_ = nameSource_.Shown();
  taxText_ = record_.TAX_GROUP != '\0' ? std::string(1, record_.TAX_GROUP) : std::string();
}

void ArticleEditorLogic::Open(const DatabaseFile* database) {
  // The window is built afresh for every opening.
  controls_ = ArticleEditorControls{};

  LoadNameAndTax();

  controls_.fractionalQty.items = {UiText("DLG_FRAC_QTY_D"), UiText("DLG_FRAC_QTY_E")};
  controls_.freePrice.items = {UiText("DLG_FREE_PRICE_D"), UiText("DLG_FREE_PRICE_E")};
  controls_.singleTransaction.items = {UiText("DLG_SINGLE_TRANS_D"), UiText("DLG_SINGLE_TRANS_E")};

  ShowMembers();

  const bool stock = profile_.stockQtyEnabled != 0;
  controls_.stockGroupEnabled = stock;
  controls_.stockQty.enabled = stock;
  controls_.stockNotControlled.enabled = stock;
  controls_.barcode.enabled = profile_.barcodeEnabled != 0;
  const bool initial = profile_.initialQtyEnabled != 0;
  controls_.initialGroupEnabled = initial;
  controls_.initialQty.enabled = initial;
  controls_.initialNotControlled.enabled = initial;
  const bool link = profile_.pluLinkEnabled != 0;
  controls_.pluLinkLabelEnabled = link;
  controls_.pluLink.enabled = link;

  pluLinkValue_ = link ? record_.PLUNOLINK : 0;

  SetQuantityFromRecord(record_.STOCKQTY, controls_.stockQty, stockText_, stockNotControlled_);
  SetQuantityFromRecord(record_.INITQTY, controls_.initialQty, initialText_, initialNotControlled_);

  ShowMembers();

  // The lists never offer more than their sources hold, whatever the register reported.
  taxLetters_.Fill(controls_.taxGroup, names_, profile_.taxGroupCount);
  taxText_ = record_.TAX_GROUP != '\0' ? std::string(1, record_.TAX_GROUP) : std::string();

  const std::uint32_t units = std::min<std::uint32_t>(profile_.measureUnitCount, GroupNames::kMeasureUnits);
  for (std::uint32_t i = 0; i < units; ++i) controls_.measureUnit.items.push_back(UiName(names_.MeasureUnit(i)));
  FieldExchange::ShowPosition(controls_.measureUnit, record_.MEASURE_UNIT);

  const std::uint32_t departments = std::min<std::uint32_t>(profile_.departmentCount, DeviceProfile::kMaxDepartments);
  for (std::uint32_t i = 1; i <= departments; ++i) {
    DepartmentRecord department = ZeroDepartment();
    if (database != nullptr && database->IsOpen() && database->ReadDepartment(i - 1, department) != ReadStatus::Ok) {
      department = ZeroDepartment();
    }
    controls_.department.items.push_back(UiName(NameOf(department.NAME)));
  }
  controls_.department.items.emplace_back("---");
  FieldExchange::ShowPosition(controls_.department, record_.DEPARTMENT);

  const std::uint32_t groups = std::min<std::uint32_t>(profile_.commodityGroupCount, GroupNames::kCommodityGroups);
  for (std::uint32_t i = 0; i < groups; ++i) controls_.commodityGroup.items.push_back(UiName(names_.CommodityGroup(i)));
  FieldExchange::ShowPosition(controls_.commodityGroup, record_.STOCK_GROUP);

  ShowMembers();
}

void ArticleEditorLogic::SetQuantityFromRecord(double stored, EditControl& field, std::string& text,
                                               bool& notControlled) {
  notControlled = IsNotControlled(stored, record_.OPT_FRACT_QTY);
  field.readOnly = notControlled;
  text = notControlled ? std::string() : FieldExchange::ShowQuantity(stored);
}

void ArticleEditorLogic::ShowMembers() {
  ArticleEditorControls& c = controls_;
  c.pluNumber.text = FieldExchange::ShowUnsigned(record_.PLUNO);
  c.name.text = nameText_;
  c.barcode.text = FieldExchange::ShowSigned(record_.BARCODE);
  FieldExchange::ShowPrefix(c.taxGroup, UiName(taxText_));
  c.price1.text = FieldExchange::ShowNumber(record_.SING_PRICE);
  c.price2.text = FieldExchange::ShowNumber(record_.MAX_PRICE);
  FieldExchange::ShowPosition(c.measureUnit, record_.MEASURE_UNIT);
  FieldExchange::ShowPosition(c.department, record_.DEPARTMENT);
  c.stockNotControlled.checked = stockNotControlled_;
  c.initialNotControlled.checked = initialNotControlled_;
  FieldExchange::ShowPosition(c.commodityGroup, record_.STOCK_GROUP);
  FieldExchange::ShowPosition(c.fractionalQty, record_.OPT_FRACT_QTY);
  FieldExchange::ShowPosition(c.freePrice, record_.OPT_FREEPRICE);
  FieldExchange::ShowPosition(c.singleTransaction, record_.OPT_SINGTRANS);
  c.stockQty.text = stockText_;
  c.initialQty.text = initialText_;
  c.pluLink.text = FieldExchange::ShowSigned(pluLinkValue_);
}

std::optional<ArticleEditorLogic::Refusal> ArticleEditorLogic::RefusalReadingControls() {
  const ArticleEditorControls& c = controls_;
  const auto plu =
      FieldExchange::ReadInteger(c.pluNumber.text, field_limits::kPluNumber.low, field_limits::kPluNumber.high);
  if (!plu) return Refusal{ArticleField::PluNumber, FieldExchange::kMsgPositiveInteger};
  record_.PLUNO = static_cast<std::uint32_t>(*plu);

  if (auto why = nameSource_.Check(c.name.text)) return Refusal{ArticleField::Name, *why};
  nameText_ = c.name.text;

  if (Typable(c.barcode)) {
    const auto barcode =
        FieldExchange::ReadInteger(c.barcode.text, field_limits::kBarcode.low, field_limits::kBarcode.high);
    if (!barcode) return Refusal{ArticleField::Barcode, FieldExchange::kMsgInteger};
    record_.BARCODE = *barcode;
  }

  taxText_ = taxLetters_.SelectedLetter(c.taxGroup);

  const auto price1 = FieldExchange::ReadDecimal(c.price1.text, field_limits::kPrice.low, field_limits::kPrice.high);
  if (!price1) return Refusal{ArticleField::Price1, FieldExchange::kMsgNumber};
  record_.SING_PRICE = *price1;
  const auto price2 = FieldExchange::ReadDecimal(c.price2.text, field_limits::kPrice.low, field_limits::kPrice.high);
  if (!price2) return Refusal{ArticleField::Price2, FieldExchange::kMsgNumber};
  record_.MAX_PRICE = *price2;

  record_.MEASURE_UNIT = FieldExchange::ReadPosition(c.measureUnit);
  record_.DEPARTMENT = FieldExchange::ReadPosition(c.department);
  stockNotControlled_ = c.stockNotControlled.checked;
  initialNotControlled_ = c.initialNotControlled.checked;
  record_.STOCK_GROUP = FieldExchange::ReadPosition(c.commodityGroup);
  record_.OPT_FRACT_QTY = FieldExchange::ReadPosition(c.fractionalQty);
  record_.OPT_FREEPRICE = FieldExchange::ReadPosition(c.freePrice);
  record_.OPT_SINGTRANS = FieldExchange::ReadPosition(c.singleTransaction);
  stockText_ = c.stockQty.text;
  initialText_ = c.initialQty.text;
  // A read-only quantity is one the box emptied; nothing was typed there.
  if (Typable(c.stockQty) && !stockNotControlled_ && !TypedQuantity(stockText_)) {
    return Refusal{ArticleField::StockQty, FieldExchange::kMsgNumber};
  }
  if (Typable(c.initialQty) && !initialNotControlled_ && !TypedQuantity(initialText_)) {
    return Refusal{ArticleField::InitialQty, FieldExchange::kMsgNumber};
  }

  // Without the register's links the field shows 0 and OK stores 0.
  if (Typable(c.pluLink)) {
    const auto link =
        FieldExchange::ReadInteger(c.pluLink.text, field_limits::kPluLink.low, field_limits::kPluLink.high);
    if (!link) return Refusal{ArticleField::PluLink, FieldExchange::kMsgInteger};
    pluLinkValue_ = static_cast<std::int32_t>(*link);
  }
  return std::nullopt;
}

std::optional<ArticleEditorLogic::Refusal> ArticleEditorLogic::RefusalOnNotControlled(Quantity which) {
  auto refusal = RefusalReadingControls();
  if (which == Quantity::Stock) {
    ClickQuantity(stockNotControlled_, controls_.stockQty, stockText_, record_.STOCKQTY);
  } else {
    ClickQuantity(initialNotControlled_, controls_.initialQty, initialText_, record_.INITQTY);
  }
  ShowMembers();
  return refusal;
}

void ArticleEditorLogic::ClickQuantity(bool notControlled, EditControl& field, std::string& text, double& stored) {
  field.readOnly = notControlled;
  if (notControlled) {
    text.clear();
  } else {
    stored = 0.0;
    text = FieldExchange::ShowQuantity(stored);
  }
}

std::optional<double> ArticleEditorLogic::TypedQuantity(const std::string& text) const {
  const auto range = field_limits::Quantity(NotControlledFor(record_.OPT_FRACT_QTY));
  return FieldExchange::ReadDecimal(text, range.low, range.high);
}

double ArticleEditorLogic::QuantityToStore(const EditControl& field, bool notControlled, const std::string& text,
                                           double stored) const {
  if (notControlled) return NotControlledFor(record_.OPT_FRACT_QTY);
  // A quantity the register does not keep is stored back as the record held it.
  if (!field.enabled) return stored;
  return TypedQuantity(text).value_or(0.0);
}

std::optional<ArticleEditorLogic::Refusal> ArticleEditorLogic::RefusalOnOk() {
  if (auto refusal = RefusalReadingControls()) return refusal;
  if (recordCheck_) {
    if (auto refusal = recordCheck_(record_)) return refusal;
  }
  nameSource_.Store(nameText_, record_.NAME);
  record_.TAX_GROUP = taxText_.empty() ? '\0' : taxText_[0];
  record_.STOCKQTY = QuantityToStore(controls_.stockQty, stockNotControlled_, stockText_, record_.STOCKQTY);
  record_.INITQTY = QuantityToStore(controls_.initialQty, initialNotControlled_, initialText_, record_.INITQTY);
  isOpen_ = false;
  record_.PLUNOLINK = pluLinkValue_;
  return std::nullopt;
}

void ArticleEditorLogic::ReformatField(ArticleField field) {
  ArticleEditorControls& c = controls_;
  const auto quantity = field_limits::Quantity(NotControlledFor(FieldExchange::ReadPosition(c.fractionalQty)));
  switch (field) {
    case ArticleField::PluNumber: return ShowTypedInteger(c.pluNumber, field_limits::kPluNumber);
    case ArticleField::Barcode: return ShowTypedInteger(c.barcode, field_limits::kBarcode);
    case ArticleField::Price1: return ShowTypedDecimal(c.price1, field_limits::kPrice, FieldExchange::ShowNumber);
    case ArticleField::Price2: return ShowTypedDecimal(c.price2, field_limits::kPrice, FieldExchange::ShowNumber);
    case ArticleField::StockQty:
      if (Typable(c.stockQty)) ShowTypedDecimal(c.stockQty, quantity, FieldExchange::ShowQuantity);
      return;
    case ArticleField::InitialQty:
      if (Typable(c.initialQty)) ShowTypedDecimal(c.initialQty, quantity, FieldExchange::ShowQuantity);
      return;
    case ArticleField::PluLink: return ShowTypedInteger(c.pluLink, field_limits::kPluLink);
    default: return;  // names and lists are shown as they are
  }
}

void ArticleEditorLogic::RefreshFromRecord() {
  LoadNameAndTax();
  ShowMembers();
}
