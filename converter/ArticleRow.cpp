#include "ArticleRow.h"

#include <cstdint>

namespace {

enum Column : std::size_t {
  kPluNo, kTaxGroup, kName, kSingPrice, kBarcode, kDepartment, kStockGroup, kMeasureUnit, kMaxPrice,
  kOptFractQty, kOptSingTrans, kOptFreePrice, kPluNoLink, kAmount, kAmountDs, kStockQty, kInitQty, kSoldQty,
};
static_assert(kSoldQty + 1 == schema::kArticleColumnCount);

// Beyond 2^53 a double no longer holds every integer.
constexpr std::int64_t kExactIntegerLimit = std::int64_t{1} << 53;

void PutFloat(ArticleRow::Cells& cells, std::size_t column, double value, int decimals,
              std::vector<CellProblem>& problems) {
  if (auto cell = cells::FloatCell(value, decimals)) {
    cells[column] = std::move(*cell);
  } else {
    problems.push_back({column, "value is not a number; the cell is left empty"});
  }
}

}  // namespace

double ArticleRow::ExportedQuantity(double quantity) {
  return quantity == kNotControlledFractional || quantity == kNotControlledWhole ? 0.0 : quantity;
}

ArticleRow::Cells ArticleRow::FromRecord(const ArticleRecord& r, std::vector<CellProblem>& problems) {
  Cells cells;
  cells[kPluNo] = Cell::Number(r.PLUNO);
  cells[kTaxGroup] = cells::TaxGroupCell(r.TAX_GROUP);
  bool undefined = false;
  cells[kName] = cells::NameCell(r.NAME, &undefined);
  if (undefined) problems.push_back({kName, "a byte of the name has no character in the code page"});
  PutFloat(cells, kSingPrice, r.SING_PRICE, 2, problems);
  const double barcode = static_cast<double>(r.BARCODE);
  if (r.BARCODE > kExactIntegerLimit || r.BARCODE < -kExactIntegerLimit) problems.push_back({kBarcode, "barcode too long to be kept exactly"});
  cells[kBarcode] = Cell::Number(barcode);
  cells[kDepartment] = Cell::Number(r.DEPARTMENT);
  cells[kStockGroup] = Cell::Number(r.STOCK_GROUP);
  cells[kMeasureUnit] = Cell::Number(r.MEASURE_UNIT);
  PutFloat(cells, kMaxPrice, r.MAX_PRICE, 2, problems);
  cells[kOptFractQty] = Cell::Number(r.OPT_FRACT_QTY);
  cells[kOptSingTrans] = Cell::Number(r.OPT_SINGTRANS);
  cells[kOptFreePrice] = Cell::Number(r.OPT_FREEPRICE);
  cells[kPluNoLink] = Cell::Number(r.PLUNOLINK);
  PutFloat(cells, kAmount, r.AMOUNT, 2, problems);
  PutFloat(cells, kAmountDs, r.AMOUNT_DS, 2, problems);
  PutFloat(cells, kStockQty, ExportedQuantity(r.STOCKQTY), 3, problems);
  PutFloat(cells, kInitQty, ExportedQuantity(r.INITQTY), 3, problems);
  PutFloat(cells, kSoldQty, r.SOLDQTY, 3, problems);
  return cells;
}

std::optional<CellProblem> ArticleRow::ToRecord(std::span<const Cell> c, ArticleRecord& r) {
  r = ZeroArticle();
  std::optional<std::string> problem;
  std::size_t column = 0;
  // Fields in column order; the first cell that fails names itself.
  auto check = [&](std::size_t col, std::optional<std::string> result) {
    if (!problem && result) {
      problem = std::move(result);
      column = col;
    }
  };
  check(kPluNo, cells::ReadUInt32(c[kPluNo], r.PLUNO));
  check(kTaxGroup, cells::ReadTaxGroup(c[kTaxGroup], r.TAX_GROUP));
  check(kName, cells::ReadName(c[kName], r.NAME));
  check(kSingPrice, cells::ReadDouble(c[kSingPrice], r.SING_PRICE));
  check(kBarcode, cells::ReadInt64(c[kBarcode], r.BARCODE));
  check(kDepartment, cells::ReadInt32(c[kDepartment], r.DEPARTMENT));
  check(kStockGroup, cells::ReadInt32(c[kStockGroup], r.STOCK_GROUP));
  check(kMeasureUnit, cells::ReadInt32(c[kMeasureUnit], r.MEASURE_UNIT));
  check(kMaxPrice, cells::ReadDouble(c[kMaxPrice], r.MAX_PRICE));
  check(kOptFractQty, cells::ReadFlag(c[kOptFractQty], r.OPT_FRACT_QTY));
  check(kOptSingTrans, cells::ReadFlag(c[kOptSingTrans], r.OPT_SINGTRANS));
  check(kOptFreePrice, cells::ReadFlag(c[kOptFreePrice], r.OPT_FREEPRICE));
  check(kPluNoLink, cells::ReadInt32(c[kPluNoLink], r.PLUNOLINK));
  check(kAmount, cells::ReadDouble(c[kAmount], r.AMOUNT));
  check(kAmountDs, cells::ReadDouble(c[kAmountDs], r.AMOUNT_DS));
  check(kStockQty, cells::ReadDouble(c[kStockQty], r.STOCKQTY));
  check(kInitQty, cells::ReadDouble(c[kInitQty], r.INITQTY));
  check(kSoldQty, cells::ReadDouble(c[kSoldQty], r.SOLDQTY));
  if (problem) return CellProblem{column, std::move(*problem)};
  r.IN_USE = 1;
  return std::nullopt;
}
