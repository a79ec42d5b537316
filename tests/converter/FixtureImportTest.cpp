// Workbooks saved by another spreadsheet program (tests/fixtures/converter)
// import with the same records, whatever their format.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

using namespace testsupport;

const fs::path kFixtures = CONVERTER_FIXTURES;

class FixtureImport : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureImport, GivesTheRecordsOfTheSourceRows) {
  ScratchDir dir;
  const RunResult result =
      RunProgram(dir.path(), {"alal", "-UP", "-ItmpDBTransfer.tmp", "-O", (kFixtures / GetParam()).string()});
  ASSERT_EQ(result.status, 0) << result.errors;
  const fs::path db = dir / "tmpDBTransfer.tmp";
  EXPECT_TRUE(HasValidHeader(db));

  const DepartmentRecord d1 = ReadDepartment(db, 0), d2 = ReadDepartment(db, 1), d3 = ReadDepartment(db, 2);
  EXPECT_EQ(d1.DEPTNO, 1u);
  EXPECT_EQ(NameOf(d1.NAME), "Bakery");
  EXPECT_EQ(d1.TAX_GROUP, 'B');
  EXPECT_EQ(d1.MAX_PRICE, 100);
  EXPECT_EQ(d1.MAX_AMOUNT, 500);
  EXPECT_EQ(d1.OPT_FRACT_QTY, 1);
  EXPECT_EQ(NameOf(d2.NAME), "Drinks \"cold\"");
  EXPECT_EQ(d2.SING_PRICE, 1.5);
  EXPECT_EQ(d2.STOCK_GROUP, 2);
  EXPECT_EQ(d2.MEASURE_UNIT, 3);
  EXPECT_EQ(d2.OPT_SINGTRANS, 1);
  EXPECT_EQ(d2.AMOUNT, 12.34);
  EXPECT_EQ(d2.SOLDQTY, 5.678);
  EXPECT_EQ(d3.TAX_GROUP, '\0');
  EXPECT_EQ(NameOf(d3.NAME), "Fruit & Veg");
  EXPECT_EQ(ReadDepartment(db, 3).DEPTNO, 0u);

  const auto articles = ReadArticles(db);
  ASSERT_EQ(articles.size(), 5u);  // the blank line is skipped
  EXPECT_EQ(articles[0].PLUNO, 1u);
  EXPECT_EQ(NameOf(articles[0].NAME), "Milk 'fresh' \"1L\"");
  EXPECT_EQ(articles[0].BARCODE, 4006381333931);
  EXPECT_EQ(articles[0].SING_PRICE, 1.19);
  EXPECT_EQ(articles[0].MAX_PRICE, 1.29);
  EXPECT_EQ(articles[0].AMOUNT, 10.5);
  EXPECT_EQ(articles[0].STOCKQTY, 12);
  EXPECT_EQ(articles[0].SOLDQTY, 3);
  EXPECT_EQ(articles[0].IN_USE, 1u);
  EXPECT_EQ(NameOf(articles[1].NAME), "Cr\xE8me br\xFBl\xE9" "e");
  EXPECT_EQ(articles[1].BARCODE, 123);
  EXPECT_EQ(articles[1].PLUNOLINK, 7);
  EXPECT_EQ(articles[1].STOCKQTY, 1.25);
  EXPECT_EQ(articles[1].INITQTY, 2.5);
  EXPECT_EQ(articles[1].OPT_FRACT_QTY, 1);
  EXPECT_EQ(articles[1].OPT_FREEPRICE, 1);
  EXPECT_EQ(NameOf(articles[2].NAME), "\xC4pfel \xDF \x80");
  EXPECT_EQ(articles[2].SING_PRICE, -0.5);
  EXPECT_EQ(articles[2].DEPARTMENT, 2);
  EXPECT_EQ(articles[3].PLUNO, 42u);
  EXPECT_EQ(NameOf(articles[3].NAME), "A name of exactly forty-nine characters, ok......");
  EXPECT_EQ(articles[3].BARCODE, 9999999999999);
  EXPECT_EQ(articles[3].AMOUNT, 123456.78);
  EXPECT_EQ(articles[3].STOCKQTY, 999.999);
  EXPECT_EQ(articles[3].INITQTY, 0.001);
  EXPECT_EQ(articles[4].PLUNO, 43u);
  EXPECT_EQ(NameOf(articles[4].NAME), "This name is sixty characters long and gets cut t");
}

INSTANTIATE_TEST_SUITE_P(Formats, FixtureImport, ::testing::Values("fixture.xlsx", "fixture.ods", "fixture.xls"));

TEST(FixtureImportWrongSheets, SheetsNamedOtherwiseAreReported) {
  ScratchDir dir;
  const RunResult result = RunProgram(
      dir.path(), {"alal", "-UP", "-ItmpDBTransfer.tmp", "-O", (kFixtures / "wrong_sheet_names.xlsx").string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.HasLine("the workbook has no sheet DEPARTMENTS (its sheets: ARTICLES.csv, DEPARTMENTS.csv)"))
      << result.errors;
  EXPECT_FALSE(fs::exists(dir / "tmpDBTransfer.tmp"));
}

}  // namespace
