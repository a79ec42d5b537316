// The conversions every editor uses between record values and control texts:
// numbers shown and read back whole, within their field's limits, list
// positions, and the case-blind prefix match of the tax letter lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "workspace/common/ListControl.h"

class FieldExchange {
 public:
  static constexpr const char* kMsgPositiveInteger = "Please enter a positive integer.";
  static constexpr const char* kMsgInteger = "Please enter an integer.";
  static constexpr const char* kMsgNumber = "Please enter a number.";

  static std::string ShowUnsigned(std::uint32_t value);
  static std::string ShowSigned(std::int64_t value);
  // Shortest form with at most 15 significant digits: 1.5 shows as 1.5, 2 as 2.
  static std::string ShowNumber(double value);
  // Quantities: always three decimals, 12.5 shows as 12.500.
  static std::string ShowQuantity(double value);

  // What the editors take from a number field: the whole text must be the
  // number ("12,5" and "12.5" alike) and lie within [low, high]; nullopt otherwise.
  static std::optional<std::int64_t> ReadInteger(std::string_view text, std::int64_t low, std::int64_t high);
  static std::optional<double> ReadDecimal(std::string_view text, double low, double high);

  // Selects the position; a position the list does not hold selects nothing.
  static void ShowPosition(ListControl& list, std::int32_t position);
  static std::int32_t ReadPosition(const ListControl& list);

  // Selects the first entry that begins with text, letter case ignored; when
  // none does, the selection stays as it is.
  static void ShowPrefix(ListControl& list, std::string_view text);
  static bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
};
