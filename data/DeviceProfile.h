// The register's limits and switches: how many departments, groups, tax letters,
// measure units and stands the lists offer, and which optional fields exist.
#pragma once

#include <cstdint>
#include <string_view>

struct DeviceProfile {
  // Sizes of the sources the lists are built from; counts never exceed them.
  static constexpr std::uint32_t kMaxDepartments = 200;
  static constexpr std::uint32_t kMaxCommodityGroups = 20;
  static constexpr std::uint32_t kMaxTaxGroups = 20;
  static constexpr std::uint32_t kMaxMeasureUnits = 12;
  static constexpr std::uint32_t kMaxStands = 10;

  std::uint32_t departmentCount = 0;
  std::uint32_t commodityGroupCount = 0;
  std::uint32_t taxGroupCount = 0;
  std::uint32_t measureUnitCount = 0;
  std::uint32_t standCount = 0;
  std::uint32_t barcodeEnabled = 0;
  std::uint32_t stockQtyEnabled = 0;
  std::uint32_t secondPriceInReports = 0;
  std::uint32_t initialQtyEnabled = 0;
  std::uint32_t pluLinkEnabled = 0;

  // The values of the one register type; pluLinkEnabled is left alone.
  void SetForDeviceType();

  // Takes the register's parameter reply (command 0x80). initialQtyEnabled is
  // cleared first; the rest changes only when the exchange succeeded.
  void ApplyParameterReply(bool exchangeSucceeded, std::string_view reply);

  // Keeps every count within its source.
  void Clamp();
};
