// A drop-down list as the window logic sees it: its entries (UTF-8), the
// selected position (-1 for none) and whether it can be used.
#pragma once

#include <string>
#include <vector>

struct ListControl {
  std::vector<std::string> items;
  int selected = -1;
  bool enabled = true;

  bool HasSelection() const { return selected >= 0 && static_cast<std::size_t>(selected) < items.size(); }
  std::string SelectedText() const {
    return HasSelection() ? items[static_cast<std::size_t>(selected)] : std::string();
  }
};
