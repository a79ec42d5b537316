// The conversions every editor uses between record values and control texts:
// numbers shown and read back with the C library's leading-number rules, list
// positions, and the case-blind prefix match of the tax letter lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ListControl.h"

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

  // nullopt when no number starts in the text. A minus sign is accepted and
  // the value keeps its bit pattern in the unsigned field (-3 stays -3).
  static std::optional<std::uint32_t> ReadUnsigned32(std::string_view text);
  static std::optional<std::int32_t> ReadSigned32(std::string_view text);
  static std::optional<std::int64_t> ReadSigned64(std::string_view text);
  static std::optional<double> ReadNumber(std::string_view text);

  // Selects the position; a position the list does not hold selects nothing.
  static void ShowPosition(ListControl& list, std::int32_t position);
  static std::int32_t ReadPosition(const ListControl& list);

  // Selects the first entry that begins with text, letter case ignored; when
  // none does, the selection stays as it is.
  static void ShowPrefix(ListControl& list, std::string_view text);
  static bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);
};
