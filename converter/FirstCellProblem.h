// Reading a row's cells in column order: every field is read, and the first
// cell that could not give its value names the row's problem.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "CellConversion.h"

class FirstCellProblem {
 public:
  // result: what a cells::Read... function said about the cell at column.
  void Check(std::size_t column, std::optional<std::string> result) {
    if (!problem_ && result) problem_ = CellProblem{column, std::move(*result)};
  }

  // The first problem seen; nullopt when every cell gave its value.
  std::optional<CellProblem> Take() { return std::move(problem_); }

 private:
  std::optional<CellProblem> problem_;
};
