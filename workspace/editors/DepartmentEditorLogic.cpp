#include "workspace/editors/DepartmentEditorLogic.h"

#include <algorithm>

#include "data/Config.h"
#include "data/DeviceProfile.h"
#include "workspace/common/FieldExchange.h"
#include "data/FieldLimits.h"
#include "workspace/common/UiText.h"

namespace {

void ShowTypedPrice(EditControl& field) {
  const auto value = FieldExchange::ReadDecimal(field.text, field_limits::kPrice.low, field_limits::kPrice.high);
  if (value) field.text = FieldExchange::ShowNumber(*value);
}

}  // namespace

DepartmentEditorLogic::DepartmentEditorLogic(const DeviceProfile& profile, const GroupNames& names)
    : profile_(profile), names_(names) {}

void DepartmentEditorLogic::Open() {
  controls_ = DepartmentEditorControls{};
  ShowMembers();

  nameSource_.Load(NameOf(record_.NAME));
  nameText_ = nameSource_.Shown();

  controls_.fractionalQty.items = {UiText("DLG_FRAC_QTY_D"), UiText("DLG_FRAC_QTY_E")};
  // The register's department settings list free price first.
  controls_.freePrice.items = {UiText("DLG_FREE_PRICE_E"), UiText("DLG_FREE_PRICE_D")};
  controls_.singleTransaction.items = {UiText("DLG_SINGLE_TRANS_D"), UiText("DLG_SINGLE_TRANS_E")};
  FieldExchange::ShowPosition(controls_.fractionalQty, 1);

  taxLetters_.Fill(controls_.taxGroup, names_, profile_.taxGroupCount);
  taxText_ = record_.TAX_GROUP != '\0' ? std::string(1, record_.TAX_GROUP) : std::string();

  const std::uint32_t stands = std::min<std::uint32_t>(profile_.standCount, GroupNames::kStands);
  for (std::uint32_t i = 0; i < stands; ++i) controls_.stand.items.push_back(UiName(names_.Stand(i)));
  controls_.stand.enabled = stands != 0;

  const std::uint32_t units = std::min<std::uint32_t>(profile_.measureUnitCount, GroupNames::kMeasureUnits);
  for (std::uint32_t i = 0; i < units; ++i) controls_.measureUnit.items.push_back(UiName(names_.MeasureUnit(i)));
  controls_.measureUnit.enabled = units != 0;
  FieldExchange::ShowPosition(controls_.measureUnit, record_.MEASURE_UNIT);

  const std::uint32_t groups = std::min<std::uint32_t>(profile_.commodityGroupCount, GroupNames::kCommodityGroups);
  for (std::uint32_t i = 0; i < groups; ++i) controls_.commodityGroup.items.push_back(UiName(names_.CommodityGroup(i)));
  controls_.commodityGroup.enabled = groups != 0;
  FieldExchange::ShowPosition(controls_.commodityGroup, record_.STOCK_GROUP);

  ShowMembers();
}

void DepartmentEditorLogic::ShowMembers() {
  DepartmentEditorControls& c = controls_;
  c.name.text = nameText_;
  c.departmentNumber.text = FieldExchange::ShowUnsigned(record_.DEPTNO);
  FieldExchange::ShowPosition(c.measureUnit, record_.MEASURE_UNIT);
  FieldExchange::ShowPosition(c.commodityGroup, record_.STOCK_GROUP);
  FieldExchange::ShowPosition(c.fractionalQty, record_.OPT_FRACT_QTY);
  FieldExchange::ShowPosition(c.freePrice, record_.OPT_FREEPRICE);
  FieldExchange::ShowPosition(c.singleTransaction, record_.OPT_SINGTRANS);
  FieldExchange::ShowPosition(c.stand, record_.STAND);
  FieldExchange::ShowPrefix(c.taxGroup, UiName(taxText_));
  c.price.text = FieldExchange::ShowNumber(record_.SING_PRICE);
  c.maxPrice.text = FieldExchange::ShowNumber(record_.MAX_PRICE);
  c.maxAmount.text = FieldExchange::ShowNumber(record_.MAX_AMOUNT);
}

std::optional<DepartmentEditorLogic::Refusal> DepartmentEditorLogic::RefusalReadingControls() {
  const DepartmentEditorControls& c = controls_;
  if (auto why = nameSource_.Check(c.name.text)) return Refusal{DepartmentField::Name, *why};
  nameText_ = c.name.text;

  // The department number is the register's own: never typed into, stored
  // back as it came, 0 of an unused slot included.
  if (c.departmentNumber.enabled && !c.departmentNumber.readOnly) {
    const auto number = FieldExchange::ReadInteger(c.departmentNumber.text, field_limits::kDepartmentNumber.low,
                                                   field_limits::kDepartmentNumber.high);
    if (!number) return Refusal{DepartmentField::DepartmentNumber, FieldExchange::kMsgPositiveInteger};
    record_.DEPTNO = static_cast<std::uint32_t>(*number);
  }

  record_.MEASURE_UNIT = FieldExchange::ReadPosition(c.measureUnit);
  record_.STOCK_GROUP = FieldExchange::ReadPosition(c.commodityGroup);
  record_.OPT_FRACT_QTY = FieldExchange::ReadPosition(c.fractionalQty);
  record_.OPT_FREEPRICE = FieldExchange::ReadPosition(c.freePrice);
  record_.OPT_SINGTRANS = FieldExchange::ReadPosition(c.singleTransaction);
  record_.STAND = FieldExchange::ReadPosition(c.stand);
  taxText_ = taxLetters_.SelectedLetter(c.taxGroup);

  const auto price = FieldExchange::ReadDecimal(c.price.text, field_limits::kPrice.low, field_limits::kPrice.high);
  if (!price) return Refusal{DepartmentField::Price, FieldExchange::kMsgNumber};
  record_.SING_PRICE = *price;
  const auto maxPrice =
      FieldExchange::ReadDecimal(c.maxPrice.text, field_limits::kPrice.low, field_limits::kPrice.high);
  if (!maxPrice) return Refusal{DepartmentField::MaxPrice, FieldExchange::kMsgNumber};
  record_.MAX_PRICE = *maxPrice;
  const auto maxAmount =
      FieldExchange::ReadDecimal(c.maxAmount.text, field_limits::kPrice.low, field_limits::kPrice.high);
  if (!maxAmount) return Refusal{DepartmentField::MaxAmount, FieldExchange::kMsgNumber};
  record_.MAX_AMOUNT = *maxAmount;
  return std::nullopt;
}

void DepartmentEditorLogic::ReformatField(DepartmentField field) {
  switch (field) {
    case DepartmentField::Price: return ShowTypedPrice(controls_.price);
    case DepartmentField::MaxPrice: return ShowTypedPrice(controls_.maxPrice);
    case DepartmentField::MaxAmount: return ShowTypedPrice(controls_.maxAmount);
    default: return;  // the name, the read-only number and the lists are shown as they are
  }
}

std::optional<DepartmentEditorLogic::Refusal> DepartmentEditorLogic::RefusalOnOk() {
  if (auto refusal = RefusalReadingControls()) return refusal;
  nameSource_.Store(nameText_, record_.NAME);
  record_.TAX_GROUP = taxText_.empty() ? '\0' : taxText_[0];
  return std::nullopt;
}
