// Export then import gives back every field the workbook carries.
#include <gtest/gtest.h>

#include <random>

#include "converter/ArticleRow.h"
#include "tests/converter/TestSupport.h"

namespace {

using namespace testsupport;

// Names that have broken workbook exchanges before: quotes, apostrophes,
// markup characters, letters outside ASCII, full length, blanks at the ends.
const std::vector<std::string> kNames = {
    "Milk 'fresh'",
    "Say \"cheese\"",
    "O'Neil's \"best\" <b>&amp;</b>",
    "Cr\xE8me br\xFBl\xE9"
    "e \x80 2,50",
    "\xC4\xD6\xDC\xE4\xF6\xFC\xDF \x8C\x9C \x8A\x9A \xA9\xAE\xB0",
    std::string(49, 'W'),
    std::string(48, 'x') + "\xE9",
    "",
    "  blanks around  ",
    "semi;colon,comma tab",
    "_x0041_ looks escaped _x005F_",
    "bell and controls",
    "100%",
    "=1+2",
};

DepartmentRecord VariedDepartment(std::uint32_t n, std::mt19937& rng) {
  DepartmentRecord d = MakeDepartment(n, kNames[n % kNames.size()], static_cast<char>('A' + n % 8));
  std::uniform_int_distribution<int> cents(-100000, 10000000);
  d.SING_PRICE = cents(rng) / 100.0;
  d.MAX_PRICE = cents(rng) / 100.0;
  d.MAX_AMOUNT = cents(rng) / 100.0;
  d.AMOUNT = cents(rng) / 100.0;
  d.SOLDQTY = cents(rng) / 1000.0;
  d.STOCK_GROUP = static_cast<std::int32_t>(n % 20);
  d.MEASURE_UNIT = static_cast<std::int32_t>(n % 12);
  d.OPT_FRACT_QTY = n % 2;
  d.OPT_SINGTRANS = n % 3 == 0;
  d.OPT_FREEPRICE = n % 5 == 0;
  return d;
}

ArticleRecord VariedArticle(std::uint32_t n, std::mt19937& rng) {
  ArticleRecord a = MakeArticle(n * 7 + 1, kNames[n % kNames.size()], static_cast<char>('A' + n % 5), 0);
  if (n % 11 == 0) SetName(a.NAME, "Article " + std::to_string(n) + " \xE9t\xE9");
  std::uniform_int_distribution<int> cents(-5000000, 99999999);
  std::uniform_int_distribution<std::int64_t> barcode(0, 9999999999999);
  a.SING_PRICE = cents(rng) / 100.0;
  a.MAX_PRICE = cents(rng) / 100.0;
  a.AMOUNT = cents(rng) / 100.0;
  a.AMOUNT_DS = cents(rng) / 100.0;
  a.SOLDQTY = cents(rng) / 1000.0;
  a.BARCODE = n % 4 == 0 ? 0 : n % 4 == 1 ? 9999999999999 - n : barcode(rng);
  a.DEPARTMENT = static_cast<std::int32_t>(n % 201) - (n % 17 == 0 ? 300 : 0);
  a.STOCK_GROUP = static_cast<std::int32_t>(n % 20);
  a.MEASURE_UNIT = static_cast<std::int32_t>(n % 12);
  a.OPT_FRACT_QTY = n % 2;
  a.OPT_SINGTRANS = n % 3 == 0;
  a.OPT_FREEPRICE = n % 7 == 0;
  a.PLUNOLINK = n % 9 == 0 ? static_cast<std::int32_t>(n) : 0;
  // Every fourth article's quantities are not controlled; some whole-unit
  // articles (n % 8 == 2) really have the fractional articles' value in stock.
  a.STOCKQTY = n % 4 == 0   ? NotControlledValue(a.OPT_FRACT_QTY)
               : n % 8 == 2 ? kNotControlledFractional
                            : cents(rng) / 1000.0;
  a.INITQTY = n % 4 == 0 ? NotControlledValue(a.OPT_FRACT_QTY) : cents(rng) / 1000.0;
  return a;
}

TEST(RoundTrip, ExportThenImportKeepsEveryCarriedField) {
  ScratchDir dir;
  std::mt19937 rng(20261207);
  std::vector<DepartmentRecord> departments;
  for (std::uint32_t n = 1; n <= 200; ++n) departments.push_back(VariedDepartment(n, rng));
  std::vector<ArticleRecord> slots, articles;
  for (std::uint32_t n = 1; n <= 3500; ++n) {
    // Deleted articles leave all-zero slots among the others.
    if (n % 97 == 0) {
      slots.push_back(ZeroArticle());
      continue;
    }
    slots.push_back(VariedArticle(n, rng));
    articles.push_back(slots.back());
  }
  WriteDatabase(dir / "original.db", departments, slots);
  fs::copy_file(dir / "original.db", dir / "tmpDBTransfer.tmp");

  const std::string book = (dir / "goods.xlsx").string();
  RunResult result = RunProgram(dir.path(), {"alal", "-DW", "-ItmpDBTransfer.tmp", "-O", book});
  ASSERT_EQ(result.status, 0) << result.errors;
  result = RunProgram(dir.path(), {"alal", "-UP", "-Iback.db", "-O", book});
  ASSERT_EQ(result.status, 0) << result.errors;

  const fs::path back = dir / "back.db";
  ASSERT_TRUE(HasValidHeader(back));
  for (std::uint32_t k = 0; k < 200; ++k) {
    SCOPED_TRACE("department slot " + std::to_string(k));
    const DepartmentRecord got = ReadDepartment(back, k);
    if (k >= 8) {  // only eight departments travel in a workbook
      EXPECT_EQ(got.DEPTNO, 0u);
      continue;
    }
    const DepartmentRecord& want = departments[k];
    EXPECT_EQ(got.DEPTNO, want.DEPTNO);
    EXPECT_EQ(got.TAX_GROUP, want.TAX_GROUP);
    EXPECT_EQ(NameOf(got.NAME), NameOf(want.NAME));
    EXPECT_EQ(got.SING_PRICE, want.SING_PRICE);
    EXPECT_EQ(got.STOCK_GROUP, want.STOCK_GROUP);
    EXPECT_EQ(got.MEASURE_UNIT, want.MEASURE_UNIT);
    EXPECT_EQ(got.MAX_PRICE, want.MAX_PRICE);
    EXPECT_EQ(got.MAX_AMOUNT, want.MAX_AMOUNT);
    EXPECT_EQ(got.OPT_FRACT_QTY, want.OPT_FRACT_QTY);
    EXPECT_EQ(got.OPT_SINGTRANS, want.OPT_SINGTRANS);
    EXPECT_EQ(got.OPT_FREEPRICE, want.OPT_FREEPRICE);
    EXPECT_EQ(got.AMOUNT, want.AMOUNT);
    EXPECT_EQ(got.SOLDQTY, want.SOLDQTY);
  }

  const auto got = ReadArticles(back);
  ASSERT_EQ(got.size(), articles.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE("article " + std::to_string(i));
    const ArticleRecord& want = articles[i];
    const ArticleRecord& a = got[i];
    ASSERT_EQ(a.PLUNO, want.PLUNO);
    EXPECT_EQ(a.TAX_GROUP, want.TAX_GROUP);
    EXPECT_EQ(NameOf(a.NAME), NameOf(want.NAME));
    EXPECT_EQ(a.SING_PRICE, want.SING_PRICE);
    EXPECT_EQ(a.MAX_PRICE, want.MAX_PRICE);
    EXPECT_EQ(a.AMOUNT, want.AMOUNT);
    EXPECT_EQ(a.AMOUNT_DS, want.AMOUNT_DS);
    EXPECT_EQ(a.SOLDQTY, want.SOLDQTY);
    EXPECT_EQ(a.BARCODE, want.BARCODE);
    EXPECT_EQ(a.DEPARTMENT, want.DEPARTMENT);
    EXPECT_EQ(a.STOCKQTY, want.STOCKQTY);  // "not controlled" survives as it is
    EXPECT_EQ(a.INITQTY, want.INITQTY);
    EXPECT_EQ(a.STOCK_GROUP, want.STOCK_GROUP);
    EXPECT_EQ(a.MEASURE_UNIT, want.MEASURE_UNIT);
    EXPECT_EQ(a.OPT_FRACT_QTY, want.OPT_FRACT_QTY);
    EXPECT_EQ(a.OPT_SINGTRANS, want.OPT_SINGTRANS);
    EXPECT_EQ(a.OPT_FREEPRICE, want.OPT_FREEPRICE);
    EXPECT_EQ(a.PLUNOLINK, want.PLUNOLINK);
    EXPECT_EQ(a.IN_USE, 1u);
    EXPECT_EQ(a.SOLDQTY_DS, 0.0);
  }
}

}  // namespace
