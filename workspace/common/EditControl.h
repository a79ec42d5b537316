// What an edit field shows and allows, as the window logic sees it: the text
// (UTF-8) and whether the operator can reach and change it.
#pragma once

#include <string>

struct EditControl {
  std::string text;
  bool enabled = true;
  bool readOnly = false;
};
