// Value rules between record fields and workbook cells, shared by the article
// and department rows. Import readers return a problem text instead of guessing:
// a cell that cannot give its field's value stops the import with a message.
#pragma once

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "converter/Cell.h"
#include "data/FieldLimits.h"
#include "data/Records.h"

// A value that a cell could not carry or give, by 0-based column.
struct CellProblem {
  std::size_t column;
  std::string what;
};

namespace cells {

// ---- export ----

// The value a number written with "%.<decimals>f" carries, so that a cell holds
// exactly what the register's files show (0.125 -> 0.13 with 2 decimals).
double Rounded(double value, int decimals);

// A numeric cell for a floating field; nullopt for a value no cell can hold
// (not a number, infinite).
std::optional<Cell> FloatCell(double value, int decimals);

// The tax letter as text; a zero letter (a zero-filled record) as an empty cell.
Cell TaxGroupCell(char letter);

// The name in UTF-8. Sets *undefined when a byte has no character in the code
// page (it is then shown as U+FFFD and would not come back unchanged).
Cell NameCell(const char (&name)[kNameFieldSize], bool* undefined);

// Into a row's cell at column: a value the cell cannot carry faithfully is
// added to problems (a float then leaves the cell empty).
void PutFloat(std::span<Cell> row, std::size_t column, double value, int decimals, std::vector<CellProblem>& problems);
void PutName(std::span<Cell> row, std::size_t column, const char (&name)[kNameFieldSize],
             std::vector<CellProblem>& problems);

// ---- import ----

// An empty cell, or text of blanks only.
bool IsEmptyValue(const Cell& cell);

// Each returns an empty optional on success, else what is wrong with the cell.
// Number fields take number cells as they are (integer fields truncated
// toward zero) and text cells by the rule for typed numbers (ReadTypedNumber,
// ReadTypedInteger: "12,5" is 12.5, "1e3" and "12abc" are no numbers); the
// value must lie within the field's limits. Empty cells, dates and times and
// other text are refused.
std::optional<std::string> ReadDouble(const Cell& cell, double& out, field_limits::DecimalRange range);
// A stock or initial quantity: an empty cell is the not-controlled value for
// the article's fractional-quantities option, and a number must stay short of it.
std::optional<std::string> ReadQuantity(const Cell& cell, std::int32_t fractional, double& out);
std::optional<std::string> ReadInt32(const Cell& cell, std::int32_t& out, field_limits::IntegerRange range);
std::optional<std::string> ReadUInt32(const Cell& cell, std::uint32_t& out, field_limits::IntegerRange range);
std::optional<std::string> ReadInt64(const Cell& cell, std::int64_t& out, field_limits::IntegerRange range);
// The whole ranges of the record fields, for fields no one types.
inline constexpr field_limits::IntegerRange kAnyInt32{-2147483647 - 1, 2147483647};
inline constexpr field_limits::DecimalRange kAnyDouble{-HUGE_VAL, HUGE_VAL};
// 1 when the truncated number is not 0, else 0.
std::optional<std::string> ReadFlag(const Cell& cell, std::int32_t& out);
// First character of the text; an empty cell gives 0.
std::optional<std::string> ReadTaxGroup(const Cell& cell, char& out);
// Text cut to 49 code-page bytes; an empty cell gives an empty name. Control
// characters (line breaks, tabs) are refused.
std::optional<std::string> ReadName(const Cell& cell, char (&out)[kNameFieldSize]);

}  // namespace cells
