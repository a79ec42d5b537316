#include "converter/ArticleRow.h"

#include <cstdint>

#include "data/FieldLimits.h"
#include "converter/RowCells.h"

namespace {

enum Column : std::size_t {
  kPluNo,
  kTaxGroup,
  kName,
  kSingPrice,
  kBarcode,
  kDepartment,
  kStockGroup,
  kMeasureUnit,
  kMaxPrice,
  kOptFractQty,
  kOptSingTrans,
  kOptFreePrice,
  kPluNoLink,
  kAmount,
  kAmountDs,
  kStockQty,
  kInitQty,
  kSoldQty,
};
static_assert(kSoldQty + 1 == schema::kArticleColumnCount);

// Beyond 2^53 a double no longer holds every integer.
constexpr std::int64_t kExactIntegerLimit = std::int64_t{1} << 53;

}  // namespace

bool ArticleRow::IsNotControlledQuantity(double quantity, std::int32_t fractional) {
  // Only the article's own value: 999999.999 is a real stock of a whole-unit article.
  return quantity == NotControlledValue(fractional);
}

namespace {

// A quantity the register does not track is an empty cell: it comes back as
// not controlled, where a 0 would make the register count a stock of none.
void PutQuantity(std::span<Cell> row, std::size_t column, double quantity, std::int32_t fractional,
                 std::vector<CellProblem>& problems) {
  if (ArticleRow::IsNotControlledQuantity(quantity, fractional))
    row[column] = Cell::Empty();
  else
    cells::PutFloat(row, column, quantity, 3, problems);
}

}  // namespace

ArticleRow::Cells ArticleRow::FromRecord(const ArticleRecord& r, std::vector<CellProblem>& problems) {
  Cells cells;
  cells[kPluNo] = Cell::Number(r.PLUNO);
  cells[kTaxGroup] = cells::TaxGroupCell(r.TAX_GROUP);
  cells::PutName(cells, kName, r.NAME, problems);
  cells::PutFloat(cells, kSingPrice, r.SING_PRICE, 2, problems);
  const double barcode = static_cast<double>(r.BARCODE);
  if (r.BARCODE > kExactIntegerLimit || r.BARCODE < -kExactIntegerLimit)
    problems.push_back({kBarcode, "barcode too long to be kept exactly"});
  cells[kBarcode] = Cell::Number(barcode);
  cells[kDepartment] = Cell::Number(r.DEPARTMENT);
  cells[kStockGroup] = Cell::Number(r.STOCK_GROUP);
  cells[kMeasureUnit] = Cell::Number(r.MEASURE_UNIT);
  cells::PutFloat(cells, kMaxPrice, r.MAX_PRICE, 2, problems);
  cells[kOptFractQty] = Cell::Number(r.OPT_FRACT_QTY);
  cells[kOptSingTrans] = Cell::Number(r.OPT_SINGTRANS);
  cells[kOptFreePrice] = Cell::Number(r.OPT_FREEPRICE);
  cells[kPluNoLink] = Cell::Number(r.PLUNOLINK);
  cells::PutFloat(cells, kAmount, r.AMOUNT, 2, problems);
  cells::PutFloat(cells, kAmountDs, r.AMOUNT_DS, 2, problems);
  PutQuantity(cells, kStockQty, r.STOCKQTY, r.OPT_FRACT_QTY, problems);
  PutQuantity(cells, kInitQty, r.INITQTY, r.OPT_FRACT_QTY, problems);
  cells::PutFloat(cells, kSoldQty, r.SOLDQTY, 3, problems);
  return cells;
}

std::vector<CellProblem> ArticleRow::ToRecord(std::span<const Cell> c, ArticleRecord& r) {
  r = ZeroArticle();
  RowCells row(c, schema::kArticleColumns);
  row.Take(kPluNo, cells::ReadUInt32, r.PLUNO, field_limits::kPluNumber);
  row.Note(kTaxGroup, cells::ReadTaxGroup(c[kTaxGroup], r.TAX_GROUP));
  row.Note(kName, cells::ReadName(c[kName], r.NAME));
  row.Take(kSingPrice, cells::ReadDouble, r.SING_PRICE, field_limits::kPrice);
  row.Take(kBarcode, cells::ReadInt64, r.BARCODE, field_limits::kBarcode);
  row.Take(kDepartment, cells::ReadInt32, r.DEPARTMENT, cells::kAnyInt32);
  row.Take(kStockGroup, cells::ReadInt32, r.STOCK_GROUP, cells::kAnyInt32);
  row.Take(kMeasureUnit, cells::ReadInt32, r.MEASURE_UNIT, cells::kAnyInt32);
  row.Take(kMaxPrice, cells::ReadDouble, r.MAX_PRICE, field_limits::kPrice);
  row.Take(kOptFractQty, cells::ReadFlag, r.OPT_FRACT_QTY);
  row.Take(kOptSingTrans, cells::ReadFlag, r.OPT_SINGTRANS);
  row.Take(kOptFreePrice, cells::ReadFlag, r.OPT_FREEPRICE);
  row.Take(kPluNoLink, cells::ReadInt32, r.PLUNOLINK, field_limits::kPluLink);
  row.Take(kAmount, cells::ReadDouble, r.AMOUNT, cells::kAnyDouble);
  row.Take(kAmountDs, cells::ReadDouble, r.AMOUNT_DS, cells::kAnyDouble);
  // An empty quantity is "not controlled" for the option read above.
  row.Note(kStockQty, cells::ReadQuantity(c[kStockQty], r.OPT_FRACT_QTY, r.STOCKQTY));
  row.Note(kInitQty, cells::ReadQuantity(c[kInitQty], r.OPT_FRACT_QTY, r.INITQTY));
  row.Take(kSoldQty, cells::ReadDouble, r.SOLDQTY, cells::kAnyDouble);
  r.IN_USE = 1;
  return std::move(row).Problems();
}
