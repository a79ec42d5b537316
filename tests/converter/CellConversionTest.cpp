#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ArticleRow.h"
#include "CellConversion.h"
#include "CodePage.h"
#include "DepartmentRow.h"
#include "TestSupport.h"

namespace {

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

TEST_F(CellConversion, IntegersAreTruncatedTowardZeroAndRangeChecked) {
  std::int32_t i = 0;
  EXPECT_FALSE(cells::ReadInt32(Cell::Number(-3.9), i));
  EXPECT_EQ(i, -3);
  EXPECT_FALSE(cells::ReadInt32(Cell::Number(2147483647.5), i));
  EXPECT_EQ(i, 2147483647);
  EXPECT_TRUE(cells::ReadInt32(Cell::Number(2147483648.0), i));
  std::uint32_t u = 0;
  EXPECT_TRUE(cells::ReadUInt32(Cell::Number(-1), u));
  EXPECT_FALSE(cells::ReadUInt32(Cell::Number(4294967295.0), u));
  EXPECT_EQ(u, 4294967295u);
  std::int64_t barcode = 0;
  EXPECT_FALSE(cells::ReadInt64(Cell::Number(4006381333931.0), barcode));
  EXPECT_EQ(barcode, 4006381333931);
  EXPECT_TRUE(cells::ReadInt64(Cell::Number(1e19), barcode));
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

TEST_F(CellConversion, TextOrEmptyCellsInNumberColumnsAreRefused) {
  double d = 0;
  std::int32_t i = 0;
  EXPECT_TRUE(cells::ReadDouble(Cell::Text("1,5"), d));
  EXPECT_TRUE(cells::ReadDouble(Cell::Empty(), d));
  EXPECT_TRUE(cells::ReadInt32(Cell::Text("abc"), i));
  EXPECT_TRUE(cells::ReadFlag(Cell::Empty(), i));
}

TEST_F(CellConversion, TaxGroupIsTheFirstCharacterInTheCodePage) {
  char tax = 'x';
  EXPECT_FALSE(cells::ReadTaxGroup(Cell::Empty(), tax));
  EXPECT_EQ(tax, '\0');
  EXPECT_FALSE(cells::ReadTaxGroup(Cell::Text("Bravo"), tax));
  EXPECT_EQ(tax, 'B');
  EXPECT_FALSE(cells::ReadTaxGroup(Cell::Text("\xE2\x82\xAC" "uro"), tax));  // € is 0x80 in 1252
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

TEST_F(CellConversion, ArticleRowAppliesTheSentinelRuleOnlyToExactValues) {
  ArticleRecord a = testsupport::MakeArticle(5, "x", 'A', 1);
  a.STOCKQTY = kNotControlledFractional;
  a.INITQTY = kNotControlledWhole;
  std::vector<CellProblem> problems;
  auto cells = ArticleRow::FromRecord(a, problems);
  EXPECT_TRUE(cells[15].IsEmpty());
  EXPECT_TRUE(cells[16].IsEmpty());
  a.STOCKQTY = 999999.998;
  a.INITQTY = 999999999.001;
  cells = ArticleRow::FromRecord(a, problems);
  EXPECT_EQ(cells[15].number, 999999.998);
  EXPECT_EQ(cells[16].number, 999999999.001);
  EXPECT_TRUE(problems.empty());
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

TEST_F(CellConversion, ArticleRowNamesTheFirstBadColumn) {
  auto row = testsupport::ArticleCells(3, "ok");
  row[13] = Cell::Text("n/a");
  row[15] = Cell::Empty();
  ArticleRecord a;
  const auto problem = ArticleRow::ToRecord(row, a);
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->column, 13u);
}

TEST_F(CellConversion, ArticleRowFillsEveryColumnAndSetsInUse) {
  std::vector<Cell> row;
  for (int c = 0; c < 18; ++c) row.push_back(Cell::Number(c + 1));
  row[1] = Cell::Text("T");
  row[2] = Cell::Text("Name");
  ArticleRecord a;
  ASSERT_FALSE(ArticleRow::ToRecord(row, a));
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
  ASSERT_FALSE(DepartmentRow::ToRecord(row, d));
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
