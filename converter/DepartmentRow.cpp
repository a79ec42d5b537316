#include "DepartmentRow.h"

#include "FirstCellProblem.h"

namespace {

enum Column : std::size_t {
  kDeptNo, kTaxGroup, kName, kSingPrice, kStockGroup, kMeasureUnit, kMaxPrice, kMaxAmount,
  kOptFractQty, kOptSingTrans, kOptFreePrice, kAmount, kSoldQty,
};
static_assert(kSoldQty + 1 == schema::kDepartmentColumnCount);

}  // namespace

DepartmentRow::Cells DepartmentRow::FromRecord(const DepartmentRecord& r, std::vector<CellProblem>& problems) {
  Cells cells;
  cells[kDeptNo] = Cell::Number(r.DEPTNO);
  cells[kTaxGroup] = cells::TaxGroupCell(r.TAX_GROUP);
  cells::PutName(cells, kName, r.NAME, problems);
  cells::PutFloat(cells, kSingPrice, r.SING_PRICE, 2, problems);
  cells[kStockGroup] = Cell::Number(r.STOCK_GROUP);
  cells[kMeasureUnit] = Cell::Number(r.MEASURE_UNIT);
  cells::PutFloat(cells, kMaxPrice, r.MAX_PRICE, 2, problems);
  cells::PutFloat(cells, kMaxAmount, r.MAX_AMOUNT, 2, problems);
  cells[kOptFractQty] = Cell::Number(r.OPT_FRACT_QTY);
  cells[kOptSingTrans] = Cell::Number(r.OPT_SINGTRANS);
  cells[kOptFreePrice] = Cell::Number(r.OPT_FREEPRICE);
  cells::PutFloat(cells, kAmount, r.AMOUNT, 2, problems);
  cells::PutFloat(cells, kSoldQty, r.SOLDQTY, 3, problems);
  return cells;
}

std::optional<CellProblem> DepartmentRow::ToRecord(std::span<const Cell> c, DepartmentRecord& r) {
  r = ZeroDepartment();
  FirstCellProblem first;
  first.Check(kDeptNo, cells::ReadUInt32(c[kDeptNo], r.DEPTNO));
  first.Check(kTaxGroup, cells::ReadTaxGroup(c[kTaxGroup], r.TAX_GROUP));
  first.Check(kName, cells::ReadName(c[kName], r.NAME));
  first.Check(kSingPrice, cells::ReadDouble(c[kSingPrice], r.SING_PRICE));
  first.Check(kStockGroup, cells::ReadInt32(c[kStockGroup], r.STOCK_GROUP));
  first.Check(kMeasureUnit, cells::ReadInt32(c[kMeasureUnit], r.MEASURE_UNIT));
  first.Check(kMaxPrice, cells::ReadDouble(c[kMaxPrice], r.MAX_PRICE));
  first.Check(kMaxAmount, cells::ReadDouble(c[kMaxAmount], r.MAX_AMOUNT));
  first.Check(kOptFractQty, cells::ReadFlag(c[kOptFractQty], r.OPT_FRACT_QTY));
  first.Check(kOptSingTrans, cells::ReadFlag(c[kOptSingTrans], r.OPT_SINGTRANS));
  first.Check(kOptFreePrice, cells::ReadFlag(c[kOptFreePrice], r.OPT_FREEPRICE));
  first.Check(kAmount, cells::ReadDouble(c[kAmount], r.AMOUNT));
  first.Check(kSoldQty, cells::ReadDouble(c[kSoldQty], r.SOLDQTY));
  return first.Take();
}
