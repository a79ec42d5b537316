// What an editable combo box shows for a text: the list entry to select, or,
// when no entry fits, the text itself in the edit field.
#pragma once

#include <string>

struct ComboShowing {
  int selected = -1;
  std::string editText;
};
