#include "data/DeviceProfile.h"

#include <algorithm>
#include <limits>

#include "data/CFormat.h"
#include "data/FieldReader.h"

void DeviceProfile::SetForDeviceType() {
  departmentCount = 8;
  commodityGroupCount = 20;
  secondPriceInReports = 0;
  taxGroupCount = 8;
  measureUnitCount = 10;
  barcodeEnabled = 1;
  stockQtyEnabled = 1;
  standCount = 0;
  initialQtyEnabled = 0;
}

void DeviceProfile::ApplyParameterReply(bool exchangeSucceeded, std::string_view reply) {
  initialQtyEnabled = 0;
  if (!exchangeSucceeded) return;
  pluLinkEnabled = 0;
  FieldReader fields{std::string(reply)};
  for (int position = 1;; ++position) {
    const auto field = fields.Next(",");
    if (!field) break;
    // The register sends small counts and flags; anything negative or huge is
    // taken as 0 or the largest value and then clamped.
    const std::int64_t value =
        std::clamp<std::int64_t>(LeadingIntegerOrZero(*field), 0, std::numeric_limits<std::uint32_t>::max());
    const auto v = static_cast<std::uint32_t>(value);
    switch (position) {
      case 4: taxGroupCount = v; break;
      case 16: departmentCount = v; break;
      case 18: stockQtyEnabled = v; break;
      case 19: barcodeEnabled = v; break;
      case 20: commodityGroupCount = v; break;
      case 23: measureUnitCount = v; break;
      case 27: initialQtyEnabled = v; break;
      case 28: pluLinkEnabled = v; break;
      default: break;
    }
  }
  Clamp();
}

void DeviceProfile::Clamp() {
  departmentCount = std::min(departmentCount, kMaxDepartments);
  commodityGroupCount = std::min(commodityGroupCount, kMaxCommodityGroups);
  taxGroupCount = std::min(taxGroupCount, kMaxTaxGroups);
  measureUnitCount = std::min(measureUnitCount, kMaxMeasureUnits);
  standCount = std::min(standCount, kMaxStands);
}
