// Workbooks for the import benchmarks, written without a spreadsheet program:
// the ARTICLES and DEPARTMENTS sheets as .ods and .xls, and packages whose
// one part inflates to a given size (decompression bombs).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "converter/Cell.h"

namespace benchfiles {

using Row = std::vector<Cell>;
struct SheetRows {
  const char* name;
  std::vector<Row> rows;  // the header row first
};

void WriteOds(const std::filesystem::path& path, const std::vector<SheetRows>& sheets);
void WriteXls(const std::filesystem::path& path, const std::vector<SheetRows>& sheets);

// An .xlsx with sheets DEPARTMENTS and ARTICLES whose DEPARTMENTS part (read
// first) inflates to inflatedBytes of blanks inside <sheetData>.
void WriteXlsxBomb(const std::filesystem::path& path, std::uint64_t inflatedBytes);

}  // namespace benchfiles
