// Import runs of the real program: workbook in, database file out.
#include <gtest/gtest.h>

#include "DatabaseFile.h"
#include "TestSupport.h"
#include "WorkbookSchema.h"

namespace {

using namespace testsupport;

class Import : public ::testing::Test {
 protected:
  RunResult Convert(RunOptions options = {}) {
    return RunProgram(dir.path(), {"alal", "-UP", "-ItmpDBTransfer.tmp", "-O", book.string()}, options);
  }
  // The file holds a valid header and nothing else.
  void ExpectHeaderOnly() {
    EXPECT_TRUE(HasValidHeader(db));
    EXPECT_EQ(fs::file_size(db), 20u);
  }

  ScratchDir dir;
  fs::path db = dir / "tmpDBTransfer.tmp";
  fs::path book = dir / "in.xlsx";
};

SheetSpec Departments(std::size_t rows) {
  SheetSpec sheet{"DEPARTMENTS", DepartmentHeader(), {}};
  for (std::size_t k = 1; k <= rows; ++k) sheet.rows.push_back(DepartmentCells(static_cast<double>(k), "Dept " + std::to_string(k)));
  return sheet;
}

SheetSpec Articles(std::size_t rows) {
  SheetSpec sheet{"ARTICLES", ArticleHeader(), {}};
  for (std::size_t n = 1; n <= rows; ++n) sheet.rows.push_back(ArticleCells(static_cast<double>(n), "Article " + std::to_string(n)));
  return sheet;
}

TEST_F(Import, RecordsLandAtTheirPositionsWithTheHeaderLast) {
  WriteWorkbook(book, {Departments(3), Articles(2)});
  WriteBytes(db, std::string(50000, 'x'));  // an earlier file is emptied first
  const RunResult result = Convert();
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(result.errors, "");
  EXPECT_EQ(fs::file_size(db), 25620u + 2 * 184);
  EXPECT_TRUE(HasValidHeader(db));
  EXPECT_EQ(NameOf(ReadDepartment(db, 2).NAME), "Dept 3");
  EXPECT_EQ(ReadDepartment(db, 3).DEPTNO, 0u);  // never written
  const auto articles = ReadArticles(db);
  ASSERT_EQ(articles.size(), 2u);
  EXPECT_EQ(articles[1].PLUNO, 2u);
  EXPECT_EQ(articles[1].IN_USE, 1u);
  EXPECT_EQ(NameOf(articles[1].NAME), "Article 2");
}

TEST_F(Import, ThreeDepartmentsAndNoArticlesEndWithByte403) {
  WriteWorkbook(book, {Departments(3), Articles(0)});
  const RunResult result = Convert();
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(fs::file_size(db), 404u);  // bytes 0 to 403
  EXPECT_TRUE(HasValidHeader(db));
}

TEST_F(Import, RowsPastTwoHundredDepartmentsAreDroppedAndReported) {
  WriteWorkbook(book, {Departments(203), Articles(1)});
  const RunResult result = Convert();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("3 row(s) past the 200 department places"), std::string::npos) << result.errors;
  EXPECT_EQ(ReadDepartment(db, 199).DEPTNO, 200u);
  const auto articles = ReadArticles(db);
  ASSERT_EQ(articles.size(), 1u);  // the article area is untouched by departments
  EXPECT_EQ(articles[0].PLUNO, 1u);
}

TEST_F(Import, BlankLinesInASheetAreNoRecords) {
  SheetSpec articles = Articles(2);
  articles.rows.insert(articles.rows.begin() + 1, std::vector<Cell>(18));
  WriteWorkbook(book, {Departments(1), articles});
  ASSERT_EQ(Convert().status, 0);
  ASSERT_EQ(ReadArticles(db).size(), 2u);
  EXPECT_EQ(ReadArticles(db)[1].PLUNO, 2u);
}

TEST_F(Import, EmptyTextCellsGiveAZeroTaxLetterAndAnEmptyName) {
  SheetSpec articles = Articles(1);
  articles.rows[0][1] = Cell::Empty();
  articles.rows[0][2] = Cell::Empty();
  WriteWorkbook(book, {Departments(1), articles});
  ASSERT_EQ(Convert().status, 0);
  const auto read = ReadArticles(db);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].TAX_GROUP, '\0');
  EXPECT_EQ(NameOf(read[0].NAME), "");
}

TEST_F(Import, HugeNamesAreCutTo49Characters) {
  SheetSpec articles = Articles(1);
  articles.rows[0][2] = Cell::Text(std::string(30000, 'N'));
  SheetSpec departments = Departments(1);
  departments.rows[0][2] = Cell::Text(std::string(50, 'D'));
  WriteWorkbook(book, {departments, articles});
  const RunResult result = Convert();
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(NameOf(ReadArticles(db)[0].NAME), std::string(49, 'N'));
  EXPECT_EQ(NameOf(ReadDepartment(db, 0).NAME), std::string(49, 'D'));
}

TEST_F(Import, TextInANumberColumnStopsWithTheRecordsSoFarBehindAValidHeader) {
  SheetSpec articles = Articles(3);
  articles.rows[1][3] = Cell::Text("1,50");
  WriteWorkbook(book, {Departments(2), articles});
  const RunResult result = Convert();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("sheet ARTICLES, row 3, column D (XLS_SING_PRICE)"), std::string::npos)
      << result.errors;
  EXPECT_TRUE(result.HasLine("XLS Database Write Error"));
  EXPECT_TRUE(HasValidHeader(db));
  ASSERT_EQ(ReadArticles(db).size(), 1u);
  EXPECT_EQ(ReadDepartment(db, 1).DEPTNO, 2u);
}

TEST_F(Import, AnEmptyNumberCellIsReportedToo) {
  SheetSpec departments = Departments(2);
  departments.rows[1][12] = Cell::Empty();
  WriteWorkbook(book, {departments, Articles(1)});
  const RunResult result = Convert();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("sheet DEPARTMENTS, row 3, column M (XLS_DEPT_SOLDQTY)"), std::string::npos)
      << result.errors;
  EXPECT_TRUE(HasValidHeader(db));
  EXPECT_EQ(ReadDepartment(db, 0).DEPTNO, 1u);
  EXPECT_EQ(fs::file_size(db), 20u + 128);
}

TEST_F(Import, ANameTheCodePageCannotHoldIsReported) {
  SheetSpec articles = Articles(2);
  articles.rows[1][2] = Cell::Text("\xE5\xAF\xBF\xE5\x8F\xB8");  // two CJK letters
  WriteWorkbook(book, {Departments(1), articles});
  const RunResult result = Convert();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("sheet ARTICLES, row 3, column C (XLS_NAME): a character has no place in code page"),
            std::string::npos)
      << result.errors;
  EXPECT_EQ(ReadArticles(db).size(), 1u);
}

TEST_F(Import, TheConfiguredCodePageIsUsed) {
  WriteBytes(dir / "ARTICLESRW.CONF", "CODE_PAGE = \"WINDOWS-1251\"\n");
  SheetSpec articles = Articles(1);
  articles.rows[0][2] = Cell::Text("\xD0\x9C\xD0\xBB\xD1\x8F\xD0\xBA\xD0\xBE");  // Cyrillic "Mlyako"
  WriteWorkbook(book, {Departments(1), articles});
  const RunResult result = Convert();
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(NameOf(ReadArticles(db)[0].NAME), "\xCC\xEB\xFF\xEA\xEE");
}

TEST_F(Import, AnUnusableConfiguredCodePageConvertsNothing) {
  WriteBytes(dir / "ARTICLESRW.CONF", "CODE_PAGE = \"UTF-8\"\n");
  WriteWorkbook(book, {Departments(1), Articles(1)});
  WriteBytes(db, "earlier contents");
  const RunResult result = Convert();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("the code page UTF-8 set in ARTICLESRW.CONF cannot be used"), std::string::npos)
      << result.errors;
  EXPECT_EQ(ReadBytes(db), "earlier contents");
}

TEST_F(Import, AMissingSheetIsNamedAndLeavesAValidHeader) {
  WriteWorkbook(book, {Articles(2)});
  const RunResult result = Convert();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("the workbook has no sheet DEPARTMENTS (its sheets: ARTICLES)"), std::string::npos)
      << result.errors;
  EXPECT_TRUE(result.HasLine("XLS Database Write Error"));
  ExpectHeaderOnly();
}

TEST_F(Import, SheetNamesAndColumnNamesIgnoreLetterCase) {
  SheetSpec departments = Departments(1), articles = Articles(1);
  departments.name = "Departments";
  articles.header[2] = " xls_name ";
  WriteWorkbook(book, {departments, articles});
  const RunResult result = Convert();
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(ReadArticles(db).size(), 1u);
}

TEST_F(Import, AMissingOrWrongColumnIsNamedBeforeAnyRecordIsWritten) {
  SheetSpec articles = Articles(1);
  articles.header.pop_back();  // no XLS_SOLDQTY
  WriteWorkbook(book, {Departments(2), articles});
  RunResult result = Convert();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("sheet ARTICLES, row 1, column R (XLS_SOLDQTY): no column name"), std::string::npos)
      << result.errors;
  ExpectHeaderOnly();

  SheetSpec departments = Departments(1);
  std::swap(departments.header[3], departments.header[4]);
  WriteWorkbook(book, {departments, Articles(1)});
  result = Convert();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("sheet DEPARTMENTS, row 1, column D (XLS_DEPT_SING_PRICE): \"XLS_DEPT_STOCK_GROUP\""),
            std::string::npos)
      << result.errors;
  ExpectHeaderOnly();
}

TEST_F(Import, ASheetWithoutAnyRowHasNoColumnNames) {
  WriteWorkbook(book, {{"DEPARTMENTS", {}, {}}, Articles(1)});
  const RunResult result = Convert();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("sheet DEPARTMENTS"), std::string::npos) << result.errors;
  ExpectHeaderOnly();
}

TEST_F(Import, FilesThatAreNoWorkbooksLeaveOnlyAValidHeader) {
  WriteWorkbook(dir / "good.xlsx", {Departments(2), Articles(5)});
  const std::string good = ReadBytes(dir / "good.xlsx");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"empty file", ""},
      {"text", "XLS_PLUNO;XLS_NAME\n1;Milk\n"},
      {"truncated workbook", good.substr(0, good.size() / 2)},
      {"zip signature only", "PK\x03\x04"},
      {"foreign OLE2 file", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0')},
      {"damaged inside", [&] {
         std::string bad = good;
         for (std::size_t i = 200; i < bad.size() - 200; i += 7) bad[i] = static_cast<char>(bad[i] ^ 0x5A);
         return bad;
       }()},
  };
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    WriteBytes(book, bytes);
    const RunResult result = Convert();
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.HasLine("XLS Database Write Error")) << result.errors;
    EXPECT_GE(std::count(result.errors.begin(), result.errors.end(), '\n'), 2) << "no reason given";
    ExpectHeaderOnly();
  }
  fs::remove(book);
  const RunResult missing = Convert();
  EXPECT_EQ(missing.status, 1);
  ExpectHeaderOnly();
}

TEST_F(Import, TheFormatIsToldByContentNotByName) {
  WriteWorkbook(dir / "real.xlsx", {Departments(1), Articles(1)});
  fs::rename(dir / "real.xlsx", dir / "looks-old.xls");
  book = dir / "looks-old.xls";
  const RunResult result = Convert();
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(ReadArticles(db).size(), 1u);
}

TEST_F(Import, ADatabaseThatCannotBeCreatedIsUnableToOpen) {
  WriteWorkbook(book, {Departments(1), Articles(1)});
  const RunResult result =
      RunProgram(dir.path(), {"alal", "-UP", "-Ino/such/folder/tmpDBTransfer.tmp", "-O", book.string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.HasLine("Unable to open the file!")) << result.errors;
}

TEST_F(Import, AFullDiskStopsWithAValidHeader) {
  WriteWorkbook(book, {Departments(8), Articles(500)});
  const RunResult result = Convert({.fileSizeLimit = 30000});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.HasLine("XLS Database Write Error")) << result.errors;
  EXPECT_TRUE(HasValidHeader(db));
  EXPECT_LE(fs::file_size(db), 30000u);
  const auto articles = ReadArticles(db);
  ASSERT_FALSE(articles.empty());
  EXPECT_EQ(articles.back().PLUNO, articles.size());
}

}  // namespace
