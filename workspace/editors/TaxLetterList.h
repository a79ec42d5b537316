// The tax group list of the record editors: an entry for each configured tax
// letter, blank places skipped, and the code-page letter behind each entry, so
// that the selection reads back as the letter a record stores.
#pragma once

#include <cstdint>
#include <string>

#include "workspace/common/ListControl.h"

struct GroupNames;

class TaxLetterList {
 public:
  // Adds the entries of the first count tax places to list (never more than
  // the names hold) and selects the second entry.
  void Fill(ListControl& list, const GroupNames& names, std::uint32_t count);

  // The letter behind the list's selection as text; empty when there is none.
  std::string SelectedLetter(const ListControl& list) const;

 private:
  std::string letters_;
};
