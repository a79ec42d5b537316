#include "ArticleRow.h"

#include <cstdint>

#include "FirstCellProblem.h"

namespace {

enum Column : std::size_t {
  kPluNo, kTaxGroup, kName, kSingPrice, kBarcode, kDepartment, kStockGroup, kMeasureUnit, kMaxPrice,
  kOptFractQty, kOptSingTrans, kOptFreePrice, kPluNoLink, kAmount, kAmountDs, kStockQty, kInitQty, kSoldQty,
};
static_assert(kSoldQty + 1 == schema::kArticleColumnCount);

// Beyond 2^53 a double no longer holds every integer.
constexpr std::int64_t kExactIntegerLimit = std::int64_t{1} << 53;

}  // namespace

bool ArticleRow::IsNotControlledQuantity(double quantity) {
  return quantity == kNotControlledFractional || quantity == kNotControlledWhole;
}

namespace {

// A quantity the register does not track is an empty cell: it comes back as
// not controlled, where a 0 would make the register count a stock of none.
void PutQuantity(std::span<Cell> row, std::size_t column, double quantity, std::vector<CellProblem>& problems) {
  if (ArticleRow::IsNotControlledQuantity(quantity))
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
  if (r.BARCODE > kExactIntegerLimit || r.BARCODE < -kExactIntegerLimit) problems.push_back({kBarcode, "barcode too long to be kept exactly"});
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
  PutQuantity(cells, kStockQty, r.STOCKQTY, problems);
  PutQuantity(cells, kInitQty, r.INITQTY, problems);
  cells::PutFloat(cells, kSoldQty, r.SOLDQTY, 3, problems);
  return cells;
}

std::optional<CellProblem> ArticleRow::ToRecord(std::span<const Cell> c, ArticleRecord& r) {
  r = ZeroArticle();
  FirstCellProblem first;
  first.Check(kPluNo, cells::ReadUInt32(c[kPluNo], r.PLUNO));
  first.Check(kTaxGroup, cells::ReadTaxGroup(c[kTaxGroup], r.TAX_GROUP));
  first.Check(kName, cells::ReadName(c[kName], r.NAME));
  first.Check(kSingPrice, cells::ReadDouble(c[kSingPrice], r.SING_PRICE));
  first.Check(kBarcode, cells::ReadInt64(c[kBarcode], r.BARCODE));
  first.Check(kDepartment, cells::ReadInt32(c[kDepartment], r.DEPARTMENT));
  first.Check(kStockGroup, cells::ReadInt32(c[kStockGroup], r.STOCK_GROUP));
  first.Check(kMeasureUnit, cells::ReadInt32(c[kMeasureUnit], r.MEASURE_UNIT));
  first.Check(kMaxPrice, cells::ReadDouble(c[kMaxPrice], r.MAX_PRICE));
  first.Check(kOptFractQty, cells::ReadFlag(c[kOptFractQty], r.OPT_FRACT_QTY));
  first.Check(kOptSingTrans, cells::ReadFlag(c[kOptSingTrans], r.OPT_SINGTRANS));
  first.Check(kOptFreePrice, cells::ReadFlag(c[kOptFreePrice], r.OPT_FREEPRICE));
  first.Check(kPluNoLink, cells::ReadInt32(c[kPluNoLink], r.PLUNOLINK));
  first.Check(kAmount, cells::ReadDouble(c[kAmount], r.AMOUNT));
  first.Check(kAmountDs, cells::ReadDouble(c[kAmountDs], r.AMOUNT_DS));
  first.Check(kStockQty, cells::ReadQuantity(c[kStockQty], r.OPT_FRACT_QTY, r.STOCKQTY));
  first.Check(kInitQty, cells::ReadQuantity(c[kInitQty], r.OPT_FRACT_QTY, r.INITQTY));
  first.Check(kSoldQty, cells::ReadDouble(c[kSoldQty], r.SOLDQTY));
  if (auto problem = first.Take()) return problem;
  r.IN_USE = 1;
  return std::nullopt;
}
