// Reading a row's cells in column order: every cell is read and each one that
// cannot give its field's value is noted, so that one import run names them
// all. An empty cell in a column the schema does not require leaves its field
// as the zero-filled record has it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "converter/CellConversion.h"
#include "converter/WorkbookSchema.h"

class RowCells {
 public:
  RowCells(std::span<const Cell> cells, std::span<const ColumnSpec> columns) : cells_(cells), columns_(columns) {}

  const Cell& operator[](std::size_t column) const { return cells_[column]; }

  // read(cell, args...) is one of the cells::Read... functions.
  template <class Read, class... Args>
  void Take(std::size_t column, Read read, Args&&... args) {
    const Cell& cell = cells_[column];
    if (!columns_[column].required && cells::IsEmptyValue(cell)) return;
    Note(column, read(cell, std::forward<Args>(args)...));
  }

  // result: what a cells::Read... function said about the cell at column.
  void Note(std::size_t column, std::optional<std::string> result) {
    if (result) problems_.push_back({column, std::move(*result)});
  }

  // Every problem seen, in column order; empty when every cell gave its value.
  std::vector<CellProblem> Problems() && { return std::move(problems_); }

 private:
  std::span<const Cell> cells_;
  std::span<const ColumnSpec> columns_;
  std::vector<CellProblem> problems_;
};
