// Spreadsheet number formats: .xlsx and .xls keep dates and times as plain
// numbers and tell them apart only by the format of the cell.
#pragma once

#include <string_view>

namespace numfmt {

// Whether a built-in format number (the same in both files) shows a date or time.
bool IsBuiltInDate(unsigned id);

// Whether a format code such as "dd/mm/yyyy hh:mm" shows a date or time:
// d, m, y, h or s outside quotes, brackets and escapes ("[h]" counts too).
bool IsDateCode(std::string_view code);

}  // namespace numfmt
