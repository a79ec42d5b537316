// Workbooks saved by another spreadsheet program (tests/fixtures/converter)
// import with the same records, whatever their format.
#include <gtest/gtest.h>

#include "tests/converter/TestSupport.h"

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
  EXPECT_EQ(NameOf(articles[1].NAME),
            "Cr\xE8me br\xFBl\xE9"
            "e");
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

INSTANTIATE_TEST_SUITE_P(Formats, FixtureImport,
                         ::testing::Values("fixture.xlsx", "fixture.ods", "fixture.xls", "fixture_biff5.xls",
                                           "fixture_biff5_named_workbook.xls"));

// Excel 5.0/95 workbooks (written by make_biff5_fixtures.py) give the very
// database the same rows give from an .xlsx.
TEST(FixtureImportExcel95, GivesTheDatabaseOfTheSameWorkbookAsXlsx) {
  ScratchDir dir;
  std::vector<std::string> databases;
  for (const char* file : {"fixture.xlsx", "fixture_biff5.xls", "fixture_biff5_named_workbook.xls"}) {
    SCOPED_TRACE(file);
    const std::string db = std::string(file) + ".db";
    const RunResult result = RunProgram(dir.path(), {"alal", "-UP", "-I" + db, "-O", (kFixtures / file).string()});
    ASSERT_EQ(result.status, 0) << result.errors;
    databases.push_back(ReadBytes(dir / db));
  }
  EXPECT_GT(databases[0].size(), 25620u);
  EXPECT_EQ(databases[1], databases[0]);
  EXPECT_EQ(databases[2], databases[0]);
}

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

// Workbooks as people make them (see tests/fixtures/converter/README.md):
// columns reordered and inserted, formulas, numbers as text, booleans, empty
// quantities. Every format gives the same records.
class PeopleFixtureImport : public ::testing::TestWithParam<const char*> {};

TEST_P(PeopleFixtureImport, GivesTheValuesTheCellsShow) {
  ScratchDir dir;
  const RunResult result = RunProgram(dir.path(), {"alal", "-UP", "-ItmpDBTransfer.tmp", "-O",
                                                   (kFixtures / ("people." + std::string(GetParam()))).string()});
  ASSERT_EQ(result.status, 0) << result.errors;
  const fs::path db = dir / "tmpDBTransfer.tmp";

  const DepartmentRecord d1 = ReadDepartment(db, 0), d2 = ReadDepartment(db, 1);
  EXPECT_EQ(d1.DEPTNO, 1u);
  EXPECT_EQ(NameOf(d1.NAME), "Bakery");
  EXPECT_EQ(d1.TAX_GROUP, 'B');
  EXPECT_EQ(d1.MAX_PRICE, 100);
  EXPECT_EQ(d1.OPT_FRACT_QTY, 1);
  EXPECT_EQ(d2.DEPTNO, 2u);
  EXPECT_EQ(d2.OPT_SINGTRANS, 1);
  EXPECT_EQ(d2.SOLDQTY, 5.678);

  const auto articles = ReadArticles(db);
  ASSERT_EQ(articles.size(), 2u);
  const ArticleRecord& milk = articles[0];
  EXPECT_EQ(milk.PLUNO, 1u);
  EXPECT_EQ(NameOf(milk.NAME), "Milk 1L");
  EXPECT_EQ(milk.TAX_GROUP, 'A');
  EXPECT_EQ(milk.SING_PRICE, 1.19);
  EXPECT_EQ(milk.BARCODE, 4006381333931);
  EXPECT_EQ(milk.MAX_PRICE, 1.29);
  EXPECT_EQ(milk.OPT_FRACT_QTY, 0);
  EXPECT_EQ(milk.OPT_SINGTRANS, 1);
  EXPECT_EQ(milk.OPT_FREEPRICE, 1);
  EXPECT_EQ(milk.AMOUNT, 10.5);
  EXPECT_EQ(milk.STOCKQTY, kNotControlledWhole);
  EXPECT_EQ(milk.INITQTY, kNotControlledWhole);
  EXPECT_EQ(milk.SOLDQTY, 3);
  const ArticleRecord& bread = articles[1];
  EXPECT_EQ(bread.PLUNO, 2u);
  EXPECT_EQ(bread.SING_PRICE, 2.5);
  EXPECT_EQ(bread.BARCODE, 123);
  EXPECT_EQ(bread.OPT_FRACT_QTY, 1);
  EXPECT_EQ(bread.PLUNOLINK, 7);
  EXPECT_EQ(bread.STOCKQTY, 1.25);
  EXPECT_EQ(bread.INITQTY, kNotControlledFractional);
}

TEST_P(PeopleFixtureImport, ADateInANumberColumnIsRefusedWithItsPlace) {
  ScratchDir dir;
  const RunResult result = RunProgram(dir.path(), {"alal", "-UP", "-ItmpDBTransfer.tmp", "-O",
                                                   (kFixtures / ("dates." + std::string(GetParam()))).string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("sheet ARTICLES, row 3, column O (XLS_AMOUNT): date or time"), std::string::npos)
      << result.errors;
}

INSTANTIATE_TEST_SUITE_P(Formats, PeopleFixtureImport, ::testing::Values("xlsx", "ods", "xls"));

namespace {

// Hostile and unusual packages (see make_hostile_fixtures.py): each is refused
// with its reason, in bounded memory, or read.
TEST(FixtureImportHostile, EachIsRefusedWithItsReasonOrRead) {
  struct Case {
    const char* file;
    const char* message;  // nullptr: imports
  };
  const std::vector<Case> cases = {
      {"bomb_sheet.xlsx",
       "part xl/worksheets/sheet1.xml is larger than 160 MiB when unpacked: the workbook is too large to be imported"},
      {"bomb_content.ods",
       "part content.xml is larger than 160 MiB when unpacked: the workbook is too large to be imported"},
      {"repeated_article.ods", "sheet ARTICLES holds more than 49999 article rows"},
      {"password.ods", "the workbook is protected by a password"},
      {"moved_parts.xlsx", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ScratchDir dir;
    const RunResult result =
        RunProgram(dir.path(), {"alal", "-UP", "-ItmpDBTransfer.tmp", "-O", (kFixtures / c.file).string()});
    EXPECT_LT(result.peakKiB, 300 * 1024);
    if (!c.message) {
      EXPECT_EQ(result.status, 0) << result.errors;
      EXPECT_EQ(ReadArticles(dir / "tmpDBTransfer.tmp").size(), 5u);
      continue;
    }
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.errors.find(c.message), std::string::npos) << result.errors;
    EXPECT_EQ(result.errors.find("damaged"), std::string::npos) << result.errors;
    EXPECT_FALSE(fs::exists(dir / "tmpDBTransfer.tmp"));  // nothing is written for a refused workbook
  }
}

}  // namespace
