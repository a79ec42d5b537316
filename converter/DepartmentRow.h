// A department record and its row of the DEPARTMENTS sheet, in both directions.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "converter/Cell.h"
#include "converter/CellConversion.h"
#include "data/Records.h"
#include "converter/WorkbookSchema.h"

class DepartmentRow {
 public:
  using Cells = std::array<Cell, schema::kDepartmentColumnCount>;

  // The row for a record; values a cell cannot carry faithfully go to problems.
  static Cells FromRecord(const DepartmentRecord& record, std::vector<CellProblem>& problems);

  // Fills a zero-filled record from the row's cells; every cell that cannot
  // give its field's value is a problem (none: the record is good).
  static std::vector<CellProblem> ToRecord(std::span<const Cell> cells, DepartmentRecord& record);
};
