#include "DepartmentRow.h"

namespace {

enum Column : std::size_t {
  kDeptNo, kTaxGroup, kName, kSingPrice, kStockGroup, kMeasureUnit, kMaxPrice, kMaxAmount,
  kOptFractQty, kOptSingTrans, kOptFreePrice, kAmount, kSoldQty,
};
static_assert(kSoldQty + 1 == schema::kDepartmentColumnCount);

void PutFloat(DepartmentRow::Cells& cells, std::size_t column, double value, int decimals,
              std::vector<CellProblem>& problems) {
  if (auto cell = cells::FloatCell(value, decimals)) {
    cells[column] = std::move(*cell);
  } else {
    problems.push_back({column, "value is not a number; the cell is left empty"});
  }
}

}  // namespace

DepartmentRow::Cells DepartmentRow::FromRecord(const DepartmentRecord& r, std::vector<CellProblem>& problems) {
  Cells cells;
  cells[kDeptNo] = Cell::Number(r.DEPTNO);
  cells[kTaxGroup] = cells::TaxGroupCell(r.TAX_GROUP);
  bool undefined = false;
  cells[kName] = cells::NameCell(r.NAME, &undefined);
  if (undefined) problems.push_back({kName, "a byte of the name has no character in the code page"});
  PutFloat(cells, kSingPrice, r.SING_PRICE, 2, problems);
  cells[kStockGroup] = Cell::Number(r.STOCK_GROUP);
  cells[kMeasureUnit] = Cell::Number(r.MEASURE_UNIT);
  PutFloat(cells, kMaxPrice, r.MAX_PRICE, 2, problems);
  PutFloat(cells, kMaxAmount, r.MAX_AMOUNT, 2, problems);
  cells[kOptFractQty] = Cell::Number(r.OPT_FRACT_QTY);
  cells[kOptSingTrans] = Cell::Number(r.OPT_SINGTRANS);
  cells[kOptFreePrice] = Cell::Number(r.OPT_FREEPRICE);
  PutFloat(cells, kAmount, r.AMOUNT, 2, problems);
  PutFloat(cells, kSoldQty, r.SOLDQTY, 3, problems);
  return cells;
}

std::optional<CellProblem> DepartmentRow::ToRecord(std::span<const Cell> c, DepartmentRecord& r) {
  r = ZeroDepartment();
  std::optional<std::string> problem;
  std::size_t column = 0;
  auto check = [&](std::size_t col, std::optional<std::string> result) {
    if (!problem && result) {
      problem = std::move(result);
      column = col;
    }
  };
  check(kDeptNo, cells::ReadUInt32(c[kDeptNo], r.DEPTNO));
  check(kTaxGroup, cells::ReadTaxGroup(c[kTaxGroup], r.TAX_GROUP));
  check(kName, cells::ReadName(c[kName], r.NAME));
  check(kSingPrice, cells::ReadDouble(c[kSingPrice], r.SING_PRICE));
  check(kStockGroup, cells::ReadInt32(c[kStockGroup], r.STOCK_GROUP));
  check(kMeasureUnit, cells::ReadInt32(c[kMeasureUnit], r.MEASURE_UNIT));
  check(kMaxPrice, cells::ReadDouble(c[kMaxPrice], r.MAX_PRICE));
  check(kMaxAmount, cells::ReadDouble(c[kMaxAmount], r.MAX_AMOUNT));
  check(kOptFractQty, cells::ReadFlag(c[kOptFractQty], r.OPT_FRACT_QTY));
  check(kOptSingTrans, cells::ReadFlag(c[kOptSingTrans], r.OPT_SINGTRANS));
  check(kOptFreePrice, cells::ReadFlag(c[kOptFreePrice], r.OPT_FREEPRICE));
  check(kAmount, cells::ReadDouble(c[kAmount], r.AMOUNT));
  check(kSoldQty, cells::ReadDouble(c[kSoldQty], r.SOLDQTY));
  if (problem) return CellProblem{column, std::move(*problem)};
  return std::nullopt;
}
