#include "workspace/articles/NameFilter.h"

#include <algorithm>

#include "data/CodePage.h"
#include "data/Records.h"

NameFilter::NameFilter(std::string_view utf8) : active_(!utf8.empty()), lower_(codepage::LowerCaseBytes()) {
  if (!active_) return;
  const auto bytes = codepage::FromUtf8(utf8);
  if (!bytes) {
    impossible_ = true;
    return;
  }
  needle_ = *bytes;
  for (char& c : needle_) c = lower_[static_cast<unsigned char>(c)];
}

bool NameFilter::Matches(std::string_view recordName) const {
  if (!active_) return true;
  if (impossible_ || needle_.size() > recordName.size()) return false;
  // Names are at most 49 bytes: fold into a buffer on the stack and search there.
  char folded[kNameFieldSize];
  const std::size_t length = std::min(recordName.size(), sizeof folded);
  for (std::size_t i = 0; i < length; ++i) folded[i] = lower_[static_cast<unsigned char>(recordName[i])];
  return std::string_view(folded, length).find(needle_) != std::string_view::npos;
}
