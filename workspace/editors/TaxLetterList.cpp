#include "workspace/editors/TaxLetterList.h"

#include <algorithm>

#include "data/Config.h"
#include "workspace/common/FieldExchange.h"
#include "workspace/common/UiText.h"

void TaxLetterList::Fill(ListControl& list, const GroupNames& names, std::uint32_t count) {
  letters_.clear();
  // The list never offers more than the names hold, whatever the register reported.
  const std::uint32_t taxCount = std::min<std::uint32_t>(count, GroupNames::kTaxLetters);
  for (std::uint32_t i = 0; i < taxCount; ++i) {
    const char letter = names.TaxLetter(i);
    if (letter == '\0') continue;
    letters_ += letter;
    list.items.push_back(UiName(std::string_view(&letter, 1)));
  }
  FieldExchange::ShowPosition(list, 1);
}

std::string TaxLetterList::SelectedLetter(const ListControl& list) const {
  return list.HasSelection() && static_cast<std::size_t>(list.selected) < letters_.size()
             ? std::string(1, letters_[static_cast<std::size_t>(list.selected)])
             : std::string();
}
