// Export runs of the real program: database file in, workbook out.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sys/stat.h>

#include "data/DatabaseFile.h"
#include "tests/converter/TestSupport.h"
#include "converter/WorkbookSchema.h"
#include "converter/XlsxWorkbookReader.h"

namespace {

using namespace testsupport;

constexpr std::size_t kArticleColumns = schema::kArticleColumnCount;
constexpr std::size_t kDepartmentColumns = schema::kDepartmentColumnCount;

std::vector<DepartmentRecord> TwoHundredDepartments() {
  std::vector<DepartmentRecord> departments;
  for (std::uint32_t n = 1; n <= 200; ++n) departments.push_back(MakeDepartment(n, "Dept " + std::to_string(n), 'B'));
  return departments;
}

RunResult RunExport(const ScratchDir& dir, RunOptions options = {}) {
  return RunProgram(dir.path(), {"alal", "-DW", "-ItmpDBTransfer.tmp", "-O", (dir / "out.xlsx").string()}, options);
}

class Export : public ::testing::Test {
 protected:
  ScratchDir dir;
  fs::path db = dir / "tmpDBTransfer.tmp";
  fs::path book = dir / "out.xlsx";
};

TEST_F(Export, TheArticlesWindowsArgumentListWritesBothSheets) {
  WriteDatabase(db, TwoHundredDepartments(), {MakeArticle(1, "Milk", 'A', 1.19), MakeArticle(2, "Bread", 'B', 2.5)});
  for (const char* program : {QUORVEX_PATH, QUORVEX_LP_PATH}) {
    const RunResult result = RunExport(dir, {.program = program});
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_EQ(result.errors, "");
    const Sheet articles = ReadSheet(book, "ARTICLES", kArticleColumns);
    ASSERT_EQ(articles.size(), 3u);
    for (std::size_t c = 0; c < kArticleColumns; ++c) EXPECT_EQ(articles[0][c].text, schema::kArticleColumns[c].name);
    EXPECT_EQ(articles[1][0].number, 1);
    EXPECT_EQ(articles[1][1].text, "A");
    EXPECT_EQ(articles[1][2].text, "Milk");
    EXPECT_EQ(articles[1][3].number, 1.19);
    EXPECT_EQ(articles[2][2].text, "Bread");
    const Sheet departments = ReadSheet(book, "DEPARTMENTS", kDepartmentColumns);
    // Eight department rows, whatever the file holds.
    ASSERT_EQ(departments.size(), 9u);
    for (std::size_t c = 0; c < kDepartmentColumns; ++c)
      EXPECT_EQ(departments[0][c].text, schema::kDepartmentColumns[c].name);
    EXPECT_EQ(departments[8][0].number, 8);
    EXPECT_EQ(departments[8][2].text, "Dept 8");
    EXPECT_EQ(departments[8][12].number, 12.345);
  }
}

TEST_F(Export, AHeaderOnlyFileGivesEmptyArticlesAndEightZeroDepartments) {
  WriteDatabase(db, {}, {});
  ASSERT_EQ(fs::file_size(db), 20u);
  const RunResult result = RunExport(dir);
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(ReadSheet(book, "ARTICLES", kArticleColumns).size(), 1u);
  const Sheet departments = ReadSheet(book, "DEPARTMENTS", kDepartmentColumns);
  ASSERT_EQ(departments.size(), 9u);
  for (std::size_t r = 1; r < 9; ++r) {
    EXPECT_EQ(departments[r][0].number, 0);
    // A zero tax letter is an empty cell, not a cut-off row.
    EXPECT_TRUE(departments[r][1].IsEmpty());
    EXPECT_TRUE(departments[r][2].IsEmpty());
    EXPECT_EQ(departments[r][12].number, 0);
  }
}

TEST_F(Export, DeletedSlotsAndACutRecordAreNotArticlesButUnusedReportRecordsAre) {
  ArticleRecord report = MakeArticle(9, "Report line", 'A', 3);
  report.IN_USE = 0;  // report files never set it
  WriteDatabase(db, TwoHundredDepartments(), {MakeArticle(1, "One", 'A', 1), ZeroArticle(), report});
  // 100 bytes of a fourth record: cut short at the end of the file.
  std::string bytes = ReadBytes(db) + std::string(100, '\x01');
  WriteBytes(db, bytes);
  const RunResult result = RunExport(dir);
  ASSERT_EQ(result.status, 0) << result.errors;
  const Sheet articles = ReadSheet(book, "ARTICLES", kArticleColumns);
  ASSERT_EQ(articles.size(), 3u);
  EXPECT_EQ(articles[1][0].number, 1);
  EXPECT_EQ(articles[2][0].number, 9);
  EXPECT_EQ(articles[2][2].text, "Report line");
}

TEST_F(Export, OnlyTheArticlesOwnNotControlledValueIsWrittenAsAnEmptyCell) {
  ArticleRecord whole = MakeArticle(1, "a", 'A', 1), fractional = MakeArticle(2, "b", 'A', 1),
                other = MakeArticle(3, "c", 'A', 1);
  whole.STOCKQTY = 999999.999;  // a real stock of a whole-unit article
  whole.INITQTY = 999999999.0;
  fractional.OPT_FRACT_QTY = 1;
  fractional.STOCKQTY = 999999.999;
  fractional.INITQTY = 999999999.0;
  other.STOCKQTY = 999999.998;
  other.INITQTY = -0.5;
  WriteDatabase(db, {}, {whole, fractional, other});
  ASSERT_EQ(RunExport(dir).status, 0);
  const Sheet articles = ReadSheet(book, "ARTICLES", kArticleColumns);
  ASSERT_EQ(articles.size(), 4u);
  EXPECT_EQ(articles[1][15].number, 999999.999);
  EXPECT_TRUE(articles[1][16].IsEmpty());
  EXPECT_TRUE(articles[2][15].IsEmpty());
  EXPECT_EQ(articles[2][16].number, 999999999.0);
  EXPECT_EQ(articles[3][15].number, 999999.998);
  EXPECT_EQ(articles[3][16].number, -0.5);
  EXPECT_TRUE(HasValidHeader(db));
  EXPECT_EQ(ReadArticles(db)[0].STOCKQTY, 999999.999);  // the file is not changed
}

TEST_F(Export, NumbersAreRoundedToTheirDecimalsAndBarcodesShowThirteenDigits) {
  ArticleRecord a = MakeArticle(1, "a", 'A', 1.23456);
  a.SOLDQTY = 2.00049;
  a.BARCODE = 123;
  WriteDatabase(db, {}, {a});
  ASSERT_EQ(RunExport(dir).status, 0);
  const Sheet articles = ReadSheet(book, "ARTICLES", kArticleColumns);
  EXPECT_EQ(articles[1][3].number, 1.23);
  EXPECT_EQ(articles[1][17].number, 2.0);
  ASSERT_TRUE(articles[1][4].IsNumber());
  EXPECT_EQ(articles[1][4].number, 123);

  // The barcode cell carries the zero-filled number format.
  std::string error;
  auto reader = XlsxWorkbookReader::Load(ReadBytes(book), error);
  ASSERT_TRUE(reader) << error;
  std::vector<unsigned char> part;
  ASSERT_TRUE(reader->ReadPart("xl/styles.xml", part));
  const std::string styles(part.begin(), part.end());
  std::smatch m;
  ASSERT_TRUE(std::regex_search(styles, m, std::regex(R"re(numFmtId="(\d+)" formatCode="0000000000000")re")));
  const std::string formatId = m[1];
  const std::string xfs = styles.substr(styles.find("<cellXfs"));
  std::size_t index = 0, at = 0;
  bool found = false;
  while ((at = xfs.find("<xf ", at)) != std::string::npos) {
    if (xfs.compare(at, 14 + formatId.size(), "<xf numFmtId=\"" + formatId) == 0) {
      found = true;
      break;
    }
    ++index;
    ++at;
  }
  ASSERT_TRUE(found);
  ASSERT_TRUE(reader->ReadPart("xl/worksheets/sheet1.xml", part));
  const std::string sheet(part.begin(), part.end());
  EXPECT_NE(sheet.find("<c r=\"E2\" s=\"" + std::to_string(index) + "\""), std::string::npos);
}

TEST_F(Export, AMissingDatabaseIsUnableToOpen) {
  const RunResult result = RunExport(dir);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.HasLine("Unable to open the file!")) << result.errors;
  EXPECT_FALSE(fs::exists(book));
}

TEST_F(Export, AWrongHeaderIsAnIncorrectFileAndLeavesTheWorkbookAlone) {
  WriteDatabase(db, {}, {MakeArticle(1, "a", 'A', 1)});
  std::string bytes = ReadBytes(db);
  bytes[8] = 'X';
  WriteBytes(db, bytes);
  WriteBytes(book, "earlier workbook");
  const RunResult result = RunExport(dir);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.HasLine("Incorrect File!")) << result.errors;
  EXPECT_EQ(ReadBytes(book), "earlier workbook");
}

TEST_F(Export, HeaderPaddingBytesAreNotExamined) {
  WriteDatabase(db, {}, {MakeArticle(1, "a", 'A', 1)});
  std::string bytes = ReadBytes(db);
  bytes[9] = '\x7F';
  bytes[19] = 'Z';
  WriteBytes(db, bytes);
  EXPECT_EQ(RunExport(dir).status, 0);
}

TEST_F(Export, AnEarlierWorkbookIsReplaced) {
  WriteDatabase(db, {}, {MakeArticle(1, "a", 'A', 1)});
  WriteBytes(book, std::string(100000, 'x'));
  const RunResult result = RunExport(dir);
  ASSERT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(ReadSheet(book, "ARTICLES", kArticleColumns).size(), 2u);
}

TEST_F(Export, ADestinationThatIsNoFileIsNotDeletedAndSaysSo) {
  WriteDatabase(db, {}, {MakeArticle(1, "a", 'A', 1)});
  const RunResult result = RunProgram(dir.path(), {"alal", "-DW", "-ItmpDBTransfer.tmp", "-O", "/dev/null"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.HasLine("Destination file can not be opened!")) << result.errors;
  struct stat st;
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(Export, AFolderThatDoesNotExistIsAWriteError) {
  WriteDatabase(db, {}, {MakeArticle(1, "a", 'A', 1)});
  const RunResult result = RunProgram(
      dir.path(), {"alal", "-DW", "-ItmpDBTransfer.tmp", "-O", (dir / "no such folder" / "out.xlsx").string()});
  EXPECT_EQ(result.status, 1);
  ASSERT_GE(result.errors.size(), 25u);
  EXPECT_EQ(result.errors.substr(result.errors.size() - 25), "XLS Database Write Error\n") << result.errors;
  EXPECT_NE(result.errors.find("no such folder"), std::string::npos) << result.errors;
  EXPECT_FALSE(fs::exists(dir / "no such folder"));
}

TEST_F(Export, AFullDiskIsAWriteError) {
  std::vector<ArticleRecord> articles;
  for (std::uint32_t n = 1; n <= 3000; ++n) articles.push_back(MakeArticle(n, "Article " + std::to_string(n), 'A', n));
  WriteDatabase(db, TwoHundredDepartments(), articles);
  RunResult result = RunProgram(dir.path(), {"alal", "-DW", "-ItmpDBTransfer.tmp", "-O", "/dev/full"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.HasLine("Destination file can not be opened!")) << result.errors;  // no file

  WriteBytes(book, "earlier workbook");
  result = RunExport(dir, {.fileSizeLimit = 20000});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.HasLine("XLS Database Write Error")) << result.errors;
  EXPECT_EQ(ReadBytes(book), "earlier workbook");
}

TEST_F(Export, ValuesNoCellCanHoldAreReportedByRowAndColumn) {
  ArticleRecord bad = MakeArticle(2, "b", 'A', std::nan(""));
  WriteDatabase(db, {}, {MakeArticle(1, "a", 'A', 1), bad, MakeArticle(3, "c", 'A', 3)});
  const RunResult result = RunExport(dir);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("sheet ARTICLES, row 3, column D (XLS_SING_PRICE)"), std::string::npos) << result.errors;
  const Sheet articles = ReadSheet(book, "ARTICLES", kArticleColumns);
  ASSERT_EQ(articles.size(), 4u);  // the other rows are all there
  EXPECT_TRUE(articles[2][3].IsEmpty());
  EXPECT_EQ(articles[3][3].number, 3);
}

}  // namespace
