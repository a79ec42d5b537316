#include "converter/DepartmentRow.h"

#include "data/FieldLimits.h"
#include "converter/RowCells.h"

namespace {

enum Column : std::size_t {
  kDeptNo,
  kTaxGroup,
  kName,
  kSingPrice,
  kStockGroup,
  kMeasureUnit,
  kMaxPrice,
  kMaxAmount,
  kOptFractQty,
  kOptSingTrans,
  kOptFreePrice,
  kAmount,
  kSoldQty,
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

std::vector<CellProblem> DepartmentRow::ToRecord(std::span<const Cell> c, DepartmentRecord& r) {
  r = ZeroDepartment();
  RowCells row(c, schema::kDepartmentColumns);
  row.Take(kDeptNo, cells::ReadUInt32, r.DEPTNO, field_limits::kDepartmentNumber);
  row.Note(kTaxGroup, cells::ReadTaxGroup(c[kTaxGroup], r.TAX_GROUP));
  row.Note(kName, cells::ReadName(c[kName], r.NAME));
  row.Take(kSingPrice, cells::ReadDouble, r.SING_PRICE, field_limits::kPrice);
  row.Take(kStockGroup, cells::ReadInt32, r.STOCK_GROUP, cells::kAnyInt32);
  row.Take(kMeasureUnit, cells::ReadInt32, r.MEASURE_UNIT, cells::kAnyInt32);
  row.Take(kMaxPrice, cells::ReadDouble, r.MAX_PRICE, field_limits::kPrice);
  row.Take(kMaxAmount, cells::ReadDouble, r.MAX_AMOUNT, field_limits::kPrice);
  row.Take(kOptFractQty, cells::ReadFlag, r.OPT_FRACT_QTY);
  row.Take(kOptSingTrans, cells::ReadFlag, r.OPT_SINGTRANS);
  row.Take(kOptFreePrice, cells::ReadFlag, r.OPT_FREEPRICE);
  row.Take(kAmount, cells::ReadDouble, r.AMOUNT, cells::kAnyDouble);
  row.Take(kSoldQty, cells::ReadDouble, r.SOLDQTY, cells::kAnyDouble);
  return std::move(row).Problems();
}
