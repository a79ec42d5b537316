// One workbook cell as the converter sees it: empty, a number, a text (UTF-8)
// or a date/time (its text as the file gives it: an ISO date or a serial).
#pragma once

#include <string>
#include <utility>

struct Cell {
  enum class Kind { Empty, Number, Text, Date };

  Kind kind = Kind::Empty;
  double number = 0.0;
  std::string text;

  static Cell Empty() { return {}; }
  static Cell Number(double value) { return {Kind::Number, value, {}}; }
  static Cell Text(std::string value) { return {Kind::Text, 0.0, std::move(value)}; }
  static Cell Date(std::string value) { return {Kind::Date, 0.0, std::move(value)}; }

  bool IsEmpty() const { return kind == Kind::Empty; }
  bool IsNumber() const { return kind == Kind::Number; }
  bool IsText() const { return kind == Kind::Text; }
  bool IsDate() const { return kind == Kind::Date; }
};
