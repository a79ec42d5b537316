// An article record and its row of the ARTICLES sheet, in both directions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "converter/Cell.h"
#include "converter/CellConversion.h"
#include "data/Records.h"
#include "converter/WorkbookSchema.h"

class ArticleRow {
 public:
  using Cells = std::array<Cell, schema::kArticleColumnCount>;

  // The row for a record. Values a cell cannot carry faithfully are added to
  // problems (the cell then holds the nearest it can, or stays empty).
  static Cells FromRecord(const ArticleRecord& record, std::vector<CellProblem>& problems);

  // Fills a zero-filled record from the row's cells, IN_USE set; every cell
  // that cannot give its field's value is a problem (none: the record is good).
  static std::vector<CellProblem> ToRecord(std::span<const Cell> cells, ArticleRecord& record);

  // Whether a stock or initial quantity is the value the register stores for
  // "not controlled" under the article's own fractional option; such a
  // quantity is written as an empty cell, and an empty cell reads back as it.
  static bool IsNotControlledQuantity(double quantity, std::int32_t fractional);
};
