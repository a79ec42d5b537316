// ARTICLESRW.CONF text: loaded as the file would be, then looked up the way the
// windows and the group lists do.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/Config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  config::LoadText(std::string(reinterpret_cast<const char*>(data), size));

  for (const char* key : {"TAX_CHARS", "CODE_PAGE", "DLG_ARTICLEEDITOR_PRICE2", "COMM_GRP_1", "", "\""}) {
    (void)GetConfigText(key);
    (void)config::FindValue(key);
  }
  GroupNames names;
  names.Load();
  for (std::size_t i = 0; i < GroupNames::kTaxLetters + 1; ++i) (void)names.TaxLetter(i);
  for (std::size_t i = 0; i < GroupNames::kCommodityGroups + 1; ++i) {
    (void)names.Stand(i);
    (void)names.CommodityGroup(i);
    (void)names.MeasureUnit(i);
  }
  (void)DefaultDepartmentTaxLetter();
  (void)ConfiguredCodePage();
  // Frees every text handed out for this input: the next one starts from nothing.
  config::Reset();
  return 0;
}
