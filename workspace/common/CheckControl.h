// A check box as the window logic sees it.
#pragma once

struct CheckControl {
  bool checked = false;
  bool enabled = true;
};
