#include "data/CFormat.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <locale.h>

namespace {

locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view SkipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

}  // namespace

std::string CFormat(const char* format, ...) {
  const locale_t previous = uselocale(CLocale());
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  char small[256];
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string result;
  if (needed >= 0 && static_cast<std::size_t>(needed) < sizeof small) {
    result.assign(small, static_cast<std::size_t>(needed));
  } else if (needed >= 0) {
    result.resize(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(result.data(), result.size(), format, again);
    result.resize(static_cast<std::size_t>(needed));
  }
  va_end(again);
  uselocale(previous);
  return result;
}

std::optional<std::int64_t> ReadLeadingInteger(std::string_view text) {
  text = SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
  std::uint64_t magnitude = 0;
  bool overflow = false;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
      overflow = true;
    } else {
      magnitude = magnitude * 10 + digit;
    }
  }
  constexpr std::uint64_t kMaxPositive = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (negative) {
    if (overflow || magnitude > kMaxPositive + 1) return std::numeric_limits<std::int64_t>::min();
    return magnitude == kMaxPositive + 1 ? std::numeric_limits<std::int64_t>::min()
                                         : -static_cast<std::int64_t>(magnitude);
  }
  if (overflow || magnitude > kMaxPositive) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(magnitude);
}

std::optional<double> ReadLeadingDouble(std::string_view text) {
  text = SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // from_chars takes no sign of its own; a second sign is not a number.
  if (text.empty() || text[0] == '+' || text[0] == '-') return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (end == text.data()) return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    // Keep the C library's answer for numbers out of range.
    value = std::numeric_limits<double>::infinity();
    std::string copy(text.substr(0, static_cast<std::size_t>(end - text.data())));
    const locale_t previous = uselocale(CLocale());
    value = std::strtod(copy.c_str(), nullptr);
    uselocale(previous);
  }
  return negative ? -value : value;
}

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Sign, digits and at most one decimal point (full stop or comma), with a digit somewhere.
bool IsTypedNumber(std::string_view text, bool allowPoint) {
  std::size_t i = 0, digits = 0, points = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if ((c == '.' || c == ',') && allowPoint && points == 0) {
      ++points;
    } else {
      return false;
    }
  }
  return digits > 0;
}

}  // namespace

std::optional<double> ReadTypedNumber(std::string_view text) {
  text = TrimBlanks(text);
  if (!IsTypedNumber(text, true)) return std::nullopt;
  std::string decimal(text);
  for (char& c : decimal) {
    if (c == ',') c = '.';
  }
  const auto value = ReadLeadingDouble(decimal);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return value;
}

std::optional<std::int64_t> ReadTypedInteger(std::string_view text) {
  text = TrimBlanks(text);
  if (!IsTypedNumber(text, false)) return std::nullopt;
  if (text.front() == '+') text.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::int64_t LeadingIntegerOrZero(std::string_view text) { return ReadLeadingInteger(text).value_or(0); }

double LeadingDoubleOrZero(std::string_view text) { return ReadLeadingDouble(text).value_or(0.0); }

std::int64_t TruncateToInt64(double value) {
  if (std::isnan(value)) return 0;
  value = std::trunc(value);
  if (value >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
  if (value <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

std::int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  value = std::trunc(value);
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}
