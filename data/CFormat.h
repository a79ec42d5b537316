// printf-style formatting and number reading that ignore the user's locale:
// numbers for the register, the files and the workbooks always use a full stop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// vsnprintf under the "C" locale, whatever the process locale is.
std::string CFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Leading-number readers with the C library's rules (leading blanks skipped, an
// optional sign, reading stops at the first character that cannot continue the
// number); nullopt when no number starts.
std::optional<std::int64_t> ReadLeadingInteger(std::string_view text);
std::optional<double> ReadLeadingDouble(std::string_view text);

// What a person typed, read whole: apart from blanks around it the text must
// be one decimal number (an optional sign, digits, one decimal point, which may
// be a comma). No thousands separators, exponents, "nan" or "inf"; nullopt
// otherwise. Integers take no decimal point and must fit 64 bits.
std::optional<double> ReadTypedNumber(std::string_view text);
std::optional<std::int64_t> ReadTypedInteger(std::string_view text);

// As above, but no number reads as 0 (the rule for register replies).
std::int64_t LeadingIntegerOrZero(std::string_view text);
double LeadingDoubleOrZero(std::string_view text);

// Converts to an integer type by truncation toward zero, saturating at the
// type's limits and giving 0 for values that are not numbers.
std::int64_t TruncateToInt64(double value);
std::int32_t TruncateToInt32(double value);
