#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "converter/ArticleRow.h"
#include "converter/CellConversion.h"
#include "data/CodePage.h"
#include "converter/DepartmentRow.h"
#include "tests/converter/TestSupport.h"
#include "tests/data/TypedNumberCases.h"
#include "converter/WorkbookSchema.h"

namespace {

std::vector<std::size_t> Columns(const std::vector<CellProblem>& problems) {
  std::vector<std::size_t> columns;
  for (const CellProblem& p : problems) columns.push_back(p.column);
  return columns;
}

class CellConversion : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(codepage::Select("WINDOWS-1252")); }
};

TEST_F(CellConversion, FloatsCarryWhatTheirDecimalTextCarries) {
  EXPECT_EQ(cells::Rounded(1.23456, 2), 1.23);
  EXPECT_EQ(cells::Rounded(2.675, 2), 2.67);  // 2.675 is stored a little below
  EXPECT_EQ(cells::Rounded(0.0005, 3), 0.001);
  EXPECT_EQ(cells::Rounded(-7.125, 3), -7.125);
  EXPECT_EQ(cells::Rounded(999999999.0, 3), 999999999.0);
  EXPECT_FALSE(cells::FloatCell(std::nan(""), 2).has_value());
  EXPECT_FALSE(cells::FloatCell(INFINITY, 3).has_value());
}

TEST_F(CellConversion, NumberCellsAreTakenAsNumbersWithinTheFieldLimits) {
  std::int32_t i = 0;
  EXPECT_FALSE(cells::ReadInt32(Cell::Number(-3.9), i, cells::kAnyInt32));
  EXPECT_EQ(i, -3);
  EXPECT_FALSE(cells::ReadInt32(Cell::Number(2147483647.5), i, field_limits::kPluLink));
  EXPECT_EQ(i, 2147483647);
  EXPECT_TRUE(cells::ReadInt32(Cell::Number(2147483648.0), i, field_limits::kPluLink));
  std::uint32_t u = 0;
  EXPECT_FALSE(cells::ReadUInt32(Cell::Number(12.7), u, field_limits::kPluNumber));
  EXPECT_EQ(u, 12u);
  EXPECT_EQ(cells::ReadUInt32(Cell::Number(0.5), u, field_limits::kPluNumber),
            "number 0.5 out of range (1 to 2147483647)");
  EXPECT_FALSE(cells::ReadUInt32(Cell::Number(4294967295.0), u, field_limits::kDepartmentNumber));
  EXPECT_EQ(u, 4294967295u);
  EXPECT_FALSE(cells::ReadUInt32(Cell::Number(0), u, field_limits::kDepartmentNumber));
  std::int64_t barcode = 0;
  EXPECT_FALSE(cells::ReadInt64(Cell::Number(4006381333931.0), barcode, field_limits::kBarcode));
  EXPECT_EQ(barcode, 4006381333931);
  EXPECT_TRUE(cells::ReadInt64(Cell::Number(1e13), barcode, field_limits::kBarcode));
  EXPECT_TRUE(cells::ReadInt64(Cell::Number(-1), barcode, field_limits::kBarcode));
  double price = 0;
  EXPECT_FALSE(cells::ReadDouble(Cell::Number(1000.0), price, field_limits::kPrice));  // shown as 1E+03 or not
  EXPECT_EQ(price, 1000.0);
  EXPECT_EQ(cells::ReadDouble(Cell::Number(1e9), price, field_limits::kPrice),
            "number 1000000000 out of range (-999999999.99 to 999999999.99)");
  EXPECT_TRUE(cells::ReadDouble(Cell::Number(INFINITY), price, cells::kAnyDouble));
}

TEST_F(CellConversion, FlagsAreOneForAnyNonZeroTruncation) {
  std::int32_t flag = 7;
  EXPECT_FALSE(cells::ReadFlag(Cell::Number(0.9), flag));
  EXPECT_EQ(flag, 0);
  EXPECT_FALSE(cells::ReadFlag(Cell::Number(-2), flag));
  EXPECT_EQ(flag, 1);
  EXPECT_FALSE(cells::ReadFlag(Cell::Number(1e300), flag));
  EXPECT_EQ(flag, 1);
}

TEST_F(CellConversion, TextThatIsNoNumberAndEmptyCellsAreRefusedByTheReaders) {
  double d = 0;
  std::int32_t i = 0;
  EXPECT_FALSE(cells::ReadDouble(Cell::Text("1,5"), d, cells::kAnyDouble));
  EXPECT_EQ(d, 1.5);
  EXPECT_TRUE(cells::ReadDouble(Cell::Empty(), d, cells::kAnyDouble));
  EXPECT_TRUE(cells::ReadInt32(Cell::Text("abc"), i, cells::kAnyInt32));
  EXPECT_EQ(cells::ReadInt32(Cell::Text("12.5"), i, cells::kAnyInt32), "text \"12.5\" where a whole number belongs");
  EXPECT_TRUE(cells::ReadFlag(Cell::Empty(), i));
}

// The column of each field of the shared table, and the value it gave.
std::size_t ArticleColumn(NumberField field) {
  switch (field) {
    case NumberField::PluNumber: return 0;
    case NumberField::Barcode: return 4;
    case NumberField::Price: return 3;
    case NumberField::SecondPrice: return 8;
    case NumberField::PluLink: return 12;
    case NumberField::Quantity: return 15;
  }
  return 0;
}

double ArticleValue(NumberField field, const ArticleRecord& a) {
  switch (field) {
    case NumberField::PluNumber: return a.PLUNO;
    case NumberField::Barcode: return static_cast<double>(a.BARCODE);
    case NumberField::Price: return a.SING_PRICE;
    case NumberField::SecondPrice: return a.MAX_PRICE;
    case NumberField::PluLink: return a.PLUNOLINK;
    case NumberField::Quantity: return a.STOCKQTY;
  }
  return 0;
}

TEST_F(CellConversion, TextCellsAreTakenOrRefusedAsTheEditorTakesTypedNumbers) {
  for (const TypedNumberCase& c : kTypedNumberCases) {
    SCOPED_TRACE(c.text);
    auto row = testsupport::ArticleCells(3, "ok");
    row[9] = Cell::Number(1);  // fractional quantities
    const std::size_t column = ArticleColumn(c.field);
    row[column] = Cell::Text(c.text);
    ArticleRecord a;
    const auto problems = ArticleRow::ToRecord(row, a);
    if (!c.value) {
      ASSERT_EQ(problems.size(), 1u);
      EXPECT_EQ(problems[0].column, column);
      continue;
    }
    ASSERT_TRUE(problems.empty()) << problems[0].what;
    EXPECT_EQ(ArticleValue(c.field, a), *c.value);
  }
}

TEST_F(CellConversion, TaxGroupIsTheFirstCharacterInTheCodePage) {
  char tax = 'x';
  EXPECT_FALSE(cells::ReadTaxGroup(Cell::Empty(), tax));
  EXPECT_EQ(tax, '\0');
  EXPECT_FALSE(cells::ReadTaxGroup(Cell::Text("Bravo"), tax));
  EXPECT_EQ(tax, 'B');
  EXPECT_FALSE(cells::ReadTaxGroup(Cell::Text("\xE2\x82\xAC"
                                              "uro"),
                                   tax));  // € is 0x80 in 1252
  EXPECT_EQ(static_cast<unsigned char>(tax), 0x80);
  EXPECT_TRUE(cells::ReadTaxGroup(Cell::Text("\xE6\x97\xA5"), tax));  // a CJK letter has no place
  EXPECT_FALSE(cells::ReadTaxGroup(Cell::Number(2), tax));
  EXPECT_EQ(tax, '2');
  EXPECT_EQ(cells::TaxGroupCell('\0').kind, Cell::Kind::Empty);
  EXPECT_EQ(cells::TaxGroupCell('A').text, "A");
}

TEST_F(CellConversion, NamesAreCutTo49CodePageBytesAfterConversion) {
  char name[kNameFieldSize];
  // 60 letters of two UTF-8 bytes each: 49 single bytes in the code page.
  std::string umlauts;
  for (int i = 0; i < 60; ++i) umlauts += "\xC3\xA4";
  EXPECT_FALSE(cells::ReadName(Cell::Text(umlauts), name));
  EXPECT_EQ(NameOf(name), std::string(49, '\xE4'));
  // A character that cannot be stored is reported, unless it lies past the cut.
  EXPECT_TRUE(cells::ReadName(Cell::Text("Sushi \xE6\x97\xA5"), name));
  EXPECT_FALSE(cells::ReadName(Cell::Text(std::string(49, 'a') + "\xE6\x97\xA5"), name));
  EXPECT_FALSE(cells::ReadName(Cell::Empty(), name));
  EXPECT_EQ(NameOf(name), "");
  EXPECT_FALSE(cells::ReadName(Cell::Number(4711), name));
  EXPECT_EQ(NameOf(name), "4711");
}

TEST_F(CellConversion, OnlyTheArticlesOwnNotControlledValueIsAnEmptyCell) {
  struct Case {
    std::int32_t fractional;
    double quantity;
    bool empty;
  };
  const Case cases[] = {
      {1, kNotControlledFractional, true},
      {0, kNotControlledWhole, true},
      {0, kNotControlledFractional, false},  // a whole-unit article's real stock
      {1, kNotControlledWhole, false},
      {1, 999999.998, false},
      {0, 999999999.001, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.quantity << " with fractional option " << c.fractional);
    ArticleRecord a = testsupport::MakeArticle(5, "x", 'A', 1);
    a.OPT_FRACT_QTY = c.fractional;
    a.STOCKQTY = a.INITQTY = c.quantity;
    std::vector<CellProblem> problems;
    const auto cells = ArticleRow::FromRecord(a, problems);
    EXPECT_TRUE(problems.empty());
    for (std::size_t column : {15u, 16u}) {
      EXPECT_EQ(cells[column].IsEmpty(), c.empty);
      if (!c.empty) {
        EXPECT_EQ(cells[column].number, c.quantity);
      }
    }
  }
}

TEST_F(CellConversion, ArticleRowReportsValuesNoCellCanCarry) {
  ArticleRecord a = testsupport::MakeArticle(5, "fine", 'A', std::nan(""));
  a.MAX_PRICE = 2;
  a.BARCODE = (std::int64_t{1} << 53) + 1;
  std::vector<CellProblem> problems;
  const auto cells = ArticleRow::FromRecord(a, problems);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].column, 3u);
  EXPECT_EQ(problems[1].column, 4u);
  EXPECT_TRUE(cells[3].IsEmpty());
}

TEST_F(CellConversion, ANameByteWithoutACharacterIsReported) {
  // 0xAA has no character in the Greek code page.
  ASSERT_TRUE(codepage::Select("WINDOWS-1253"));
  DepartmentRecord d = testsupport::MakeDepartment(1, "bad \xAA byte", 'A');
  std::vector<CellProblem> problems;
  DepartmentRow::FromRecord(d, problems);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].column, 2u);
  ASSERT_TRUE(codepage::Select("WINDOWS-1252"));
}

TEST_F(CellConversion, ArticleRowNamesEveryBadColumn) {
  auto row = testsupport::ArticleCells(3, "ok");
  row[0] = Cell::Number(0);
  row[13] = Cell::Text("n/a");
  row[15] = Cell::Empty();
  row[17] = Cell::Date("2024-05-01");
  ArticleRecord a;
  const auto problems = ArticleRow::ToRecord(row, a);
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0].column, 0u);
  EXPECT_EQ(problems[1].column, 13u);
  EXPECT_EQ(problems[2].column, 17u);
}

TEST_F(CellConversion, EmptyCellsGiveZeroWhereZeroIsANaturalValue) {
  std::vector<Cell> article(schema::kArticleColumnCount, Cell::Empty());
  std::vector<Cell> department(schema::kDepartmentColumnCount, Cell::Text(" "));
  // PLU number, price and department; department number and price.
  const std::vector<std::size_t> articleRequired = {0, 3, 5};
  const std::vector<std::size_t> departmentRequired = {0, 3};
  ArticleRecord a;
  EXPECT_EQ(Columns(ArticleRow::ToRecord(article, a)), articleRequired);
  DepartmentRecord d;
  EXPECT_EQ(Columns(DepartmentRow::ToRecord(department, d)), departmentRequired);

  for (std::size_t c : articleRequired) article[c] = Cell::Number(c == 0 ? 9 : 2);
  ASSERT_TRUE(ArticleRow::ToRecord(article, a).empty());
  EXPECT_EQ(a.PLUNO, 9u);
  EXPECT_EQ(a.SING_PRICE, 2);
  EXPECT_EQ(a.DEPARTMENT, 2);
  EXPECT_EQ(a.BARCODE, 0);
  EXPECT_EQ(a.MAX_PRICE, 0);
  EXPECT_EQ(a.AMOUNT, 0);
  EXPECT_EQ(a.AMOUNT_DS, 0);
  EXPECT_EQ(a.SOLDQTY, 0);
  EXPECT_EQ(a.PLUNOLINK, 0);
  EXPECT_EQ(a.OPT_FRACT_QTY, 0);
  EXPECT_EQ(a.STOCK_GROUP, 0);
  EXPECT_EQ(a.MEASURE_UNIT, 0);
  EXPECT_EQ(a.STOCKQTY, kNotControlledWhole);  // an empty quantity is not controlled
  EXPECT_EQ(a.IN_USE, 1u);

  for (std::size_t c : departmentRequired) department[c] = Cell::Number(4);
  ASSERT_TRUE(DepartmentRow::ToRecord(department, d).empty());
  EXPECT_EQ(d.DEPTNO, 4u);
  EXPECT_EQ(d.MAX_PRICE, 0);
  EXPECT_EQ(d.MAX_AMOUNT, 0);
  EXPECT_EQ(d.SOLDQTY, 0);
  EXPECT_EQ(d.AMOUNT, 0);
}

TEST_F(CellConversion, ArticleRowFillsEveryColumnAndSetsInUse) {
  std::vector<Cell> row;
  for (int c = 0; c < 18; ++c) row.push_back(Cell::Number(c + 1));
  row[1] = Cell::Text("T");
  row[2] = Cell::Text("Name");
  ArticleRecord a;
  ASSERT_TRUE(ArticleRow::ToRecord(row, a).empty());
  EXPECT_EQ(a.PLUNO, 1u);
  EXPECT_EQ(a.TAX_GROUP, 'T');
  EXPECT_EQ(NameOf(a.NAME), "Name");
  EXPECT_EQ(a.SING_PRICE, 4);
  EXPECT_EQ(a.BARCODE, 5);
  EXPECT_EQ(a.DEPARTMENT, 6);
  EXPECT_EQ(a.STOCK_GROUP, 7);
  EXPECT_EQ(a.MEASURE_UNIT, 8);
  EXPECT_EQ(a.MAX_PRICE, 9);
  EXPECT_EQ(a.OPT_FRACT_QTY, 1);
  EXPECT_EQ(a.OPT_SINGTRANS, 1);
  EXPECT_EQ(a.OPT_FREEPRICE, 1);
  EXPECT_EQ(a.PLUNOLINK, 13);
  EXPECT_EQ(a.AMOUNT, 14);
  EXPECT_EQ(a.AMOUNT_DS, 15);
  EXPECT_EQ(a.STOCKQTY, 16);
  EXPECT_EQ(a.INITQTY, 17);
  EXPECT_EQ(a.SOLDQTY, 18);
  EXPECT_EQ(a.IN_USE, 1u);
  EXPECT_EQ(a.SOLDQTY_DS, 0);
}

TEST_F(CellConversion, DepartmentRowFillsEveryColumnAndLeavesTheRestZero) {
  std::vector<Cell> row;
  for (int c = 0; c < 13; ++c) row.push_back(Cell::Number(c + 1));
  row[1] = Cell::Text("C");
  row[2] = Cell::Text("Dept");
  DepartmentRecord d;
  ASSERT_TRUE(DepartmentRow::ToRecord(row, d).empty());
  EXPECT_EQ(d.DEPTNO, 1u);
  EXPECT_EQ(d.TAX_GROUP, 'C');
  EXPECT_EQ(NameOf(d.NAME), "Dept");
  EXPECT_EQ(d.SING_PRICE, 4);
  EXPECT_EQ(d.STOCK_GROUP, 5);
  EXPECT_EQ(d.MEASURE_UNIT, 6);
  EXPECT_EQ(d.MAX_PRICE, 7);
  EXPECT_EQ(d.MAX_AMOUNT, 8);
  EXPECT_EQ(d.OPT_FRACT_QTY, 1);
  EXPECT_EQ(d.OPT_SINGTRANS, 1);
  EXPECT_EQ(d.OPT_FREEPRICE, 1);
  EXPECT_EQ(d.AMOUNT, 12);
  EXPECT_EQ(d.SOLDQTY, 13);
  EXPECT_EQ(d.STAND, 0);
  EXPECT_EQ(d.downloaded, 0);
}

}  // namespace
