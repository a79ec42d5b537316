// What the register's command texts can carry, for the editors' number fields.
#pragma once

#include <cstdint>

namespace field_limits {
// PLU, department and link numbers travel as "%d".
inline constexpr std::int64_t kMaxNumber = 2147483647;
// The department number is the register's own and read-only: any the record holds.
inline constexpr std::int64_t kMaxDepartmentNumber = 4294967295;
// A barcode has at most 13 digits.
inline constexpr std::int64_t kMaxBarcode = 9999999999999;
// Prices and amounts: nine digits before the decimal point, negative ones for deposits and returns.
inline constexpr double kMaxPrice = 999999999.99;
}  // namespace field_limits
