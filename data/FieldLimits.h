// What the register's command texts can carry in each number field: the one
// set of limits the editors hold typed numbers to and the converter holds
// workbook cells to, so that neither takes what the other refuses.
#pragma once

#include <cmath>
#include <cstdint>

namespace field_limits {

struct IntegerRange {
  std::int64_t low;
  std::int64_t high;
  constexpr bool Holds(std::int64_t value) const { return value >= low && value <= high; }
};

struct DecimalRange {
  double low;
  double high;
  // Not a number lies in no range.
  constexpr bool Holds(double value) const { return value >= low && value <= high; }
};

// PLU numbers travel as "%d" and 0 is no article.
inline constexpr IntegerRange kPluNumber{1, 2147483647};
// A PLU link travels as "%d"; 0 links nothing.
inline constexpr IntegerRange kPluLink{-2147483647 - 1, 2147483647};
// A barcode has at most 13 digits; 0 is none.
inline constexpr IntegerRange kBarcode{0, 9999999999999};
// The department number is the register's own: any the record can hold.
inline constexpr IntegerRange kDepartmentNumber{0, 4294967295};
// Prices and amounts: nine digits before the decimal point, negative ones for
// deposits and returns.
inline constexpr DecimalRange kPrice{-999999999.99, 999999999.99};

// A stock or initial quantity stays short of the value that means "not
// controlled" (which the Not Controlled box or an empty cell stands for).
inline DecimalRange Quantity(double notControlled) {
  const double limit = std::nextafter(notControlled, 0.0);
  return {-limit, limit};
}

}  // namespace field_limits
