// What the workbook libraries say on their own (glib's log: warnings and
// failed assertions of libgsf on a damaged compound file). It is no message
// for the operator, who gets the reader's one line on what is wrong; it is
// dropped unless a reporter is set to take it (Quorvex --trace).
#pragma once

#include "converter/Reporter.h"

namespace library_log {

// Takes over glib's log and its printerr for the rest of the run; once is
// enough, more calls change nothing.
void Capture();

// Where the captured lines go from now on; nullptr drops them.
void ForwardTo(Reporter* reporter);

}  // namespace library_log
