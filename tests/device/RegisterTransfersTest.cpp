#include <gtest/gtest.h>

#include <deque>
#include <limits>

#include "device/RegisterTransfers.h"

namespace {

DeviceProfile Profile() {
  DeviceProfile profile;
  profile.SetForDeviceType();
  return profile;
}

ArticleRecord Milk() {
  ArticleRecord a = ZeroArticle();
  a.PLUNO = 42;
  a.TAX_GROUP = 'A';
  a.SING_PRICE = 1.2;
  SetName(a.NAME, "Milk");
  a.STOCKQTY = 5;
  a.IN_USE = 1;
  return a;
}

// A register that answers from a script and records what it was asked.
struct ScriptedRegister {
  struct Reply {
    int result;
    std::string text;
  };
  std::deque<Reply> replies;
  std::vector<std::pair<std::uint16_t, std::string>> requests;

  TransactionFunction Function() {
    return [this](std::uint16_t command, const std::string& request, std::string& reply) {
      requests.emplace_back(command, request);
      if (replies.empty()) return 1;
      const Reply next = replies.front();
      replies.pop_front();
      if (next.result == 0 || !next.text.empty()) reply = next.text;
      return next.result;
    };
  }
};

}  // namespace

TEST(RegisterRequests, DepartmentProgrammingText) {
  DepartmentRecord d = ZeroDepartment();
  d.DEPTNO = 3;
  SetName(d.NAME, "Bread");
  d.TAX_GROUP = 'B';
  d.SING_PRICE = 1.5;
  d.OPT_FRACT_QTY = 1;
  EXPECT_EQ(FormatDepartmentRequest(d), "P3,Bread\nB1.50,1,0,1,0,1,1,0.00,0.00");

  d.STOCK_GROUP = 4;
  d.OPT_SINGTRANS = 1;
  d.OPT_FREEPRICE = 1;
  d.MEASURE_UNIT = 2;
  d.STAND = 1;
  d.MAX_PRICE = 10;
  d.MAX_AMOUNT = 99.999;
  // Options go out as single transaction, fractional, free price.
  EXPECT_EQ(FormatDepartmentRequest(d), "P3,Bread\nB1.50,5,1,1,1,3,2,10.00,100.00");
}

TEST(RegisterRequests, TheSixArticleFormats) {
  DeviceProfile profile = Profile();
  ArticleRecord a = Milk();
  a.OPT_FRACT_QTY = 0;
  EXPECT_EQ(FormatArticleRequest(a, profile), "PA42,1.20,0.00,Milk\n0000000000000,1,0,5,1,0,0,1");

  a.BARCODE = 5901234123457;
  a.INITQTY = 7;
  a.PLUNOLINK = 9;
  profile.pluLinkEnabled = 1;
  EXPECT_EQ(FormatArticleRequest(a, profile), "PA42,1.20,0.00,Milk\n5901234123457,1,0,5,1,0,0,1,9");
  profile.initialQtyEnabled = 1;  // both set: initial quantity, no link
  EXPECT_EQ(FormatArticleRequest(a, profile), "PA42,1.20,0.00,Milk\n5901234123457,1,0,5, 7,1,0,0,1");

  a.OPT_FRACT_QTY = 1;
  a.STOCKQTY = 2.5;
  a.INITQTY = 1.25;
  EXPECT_EQ(FormatArticleRequest(a, profile), "PA42,1.20,0.00,Milk\n5901234123457,1,1,2.500,1.250,1,0,0,1");
  profile.initialQtyEnabled = 0;
  EXPECT_EQ(FormatArticleRequest(a, profile), "PA42,1.20,0.00,Milk\n5901234123457,1,1,2.500,1,0,0,1,9");
  profile.pluLinkEnabled = 0;
  EXPECT_EQ(FormatArticleRequest(a, profile), "PA42,1.20,0.00,Milk\n5901234123457,1,1,2.500,1,0,0,1");
}

TEST(RegisterRequests, DepartmentAndStockAreAdjustedForSending) {
  DeviceProfile profile = Profile();
  ArticleRecord a = Milk();
  a.DEPARTMENT = 8;  // no department
  a.STOCK_GROUP = 2;
  a.MEASURE_UNIT = 1;
  EXPECT_EQ(FormatArticleRequest(a, profile), "PA42,1.20,0.00,Milk\n0000000000000,0,0,5,3,0,0,2");

  profile.stockQtyEnabled = 0;
  a.DEPARTMENT = 0;
  EXPECT_EQ(FormatArticleRequest(a, profile), "PA42,1.20,0.00,Milk\n0000000000000,1,0,999999999,3,0,0,2");
  a.OPT_FRACT_QTY = 1;
  EXPECT_EQ(FormatArticleRequest(a, profile), "PA42,1.20,0.00,Milk\n0000000000000,1,1,999999.999,3,0,0,2");
  EXPECT_EQ(a.STOCKQTY, 5.0);  // the record keeps its own value
}

TEST(RegisterReplies, Department) {
  DepartmentRecord d = ZeroDepartment();
  ParseDepartmentReply("R,3,Bread\nB,1.50,12.000,18.00,2,0,1,1,3,9.99,500.00", d);
  EXPECT_EQ(d.DEPTNO, 3u);
  EXPECT_EQ(NameOf(d.NAME), "Bread");
  EXPECT_EQ(d.TAX_GROUP, 'B');
  EXPECT_EQ(d.SING_PRICE, 1.5);
  EXPECT_EQ(d.SOLDQTY, 12.0);
  EXPECT_EQ(d.AMOUNT, 18.0);
  EXPECT_EQ(d.STOCK_GROUP, 1);
  EXPECT_EQ(d.OPT_SINGTRANS, 0);
  EXPECT_EQ(d.OPT_FRACT_QTY, 1);
  EXPECT_EQ(d.OPT_FREEPRICE, 1);
  EXPECT_EQ(d.MEASURE_UNIT, 2);
  EXPECT_EQ(d.MAX_PRICE, 9.99);
  EXPECT_EQ(d.MAX_AMOUNT, 500.0);

  // An empty name arrives as one blank; fields missing at the end keep their values.
  ParseDepartmentReply("R,4,\nC,2.00", d);
  EXPECT_EQ(d.DEPTNO, 4u);
  EXPECT_EQ(NameOf(d.NAME), " ");
  EXPECT_EQ(d.TAX_GROUP, 'C');
  EXPECT_EQ(d.SING_PRICE, 2.0);
  EXPECT_EQ(d.MAX_AMOUNT, 500.0);

  ParseDepartmentReply("R,5," + std::string(60, 'n') + "\nA", d);
  EXPECT_EQ(NameOf(d.NAME).size(), 49u);
  EXPECT_EQ(d.NAME[49], '\0');
}

TEST(RegisterReplies, Article) {
  ArticleRecord a = ZeroArticle();
  const std::string reply = "N,7,x,A,1.20,2.40,3.000,1.000,3.60,2.40,Milk\n5901234123457,1,1,12.500,2,0,1,3,9";
  EXPECT_EQ(ParseArticleReply(reply, a, false), 'N');
  EXPECT_EQ(a.PLUNO, 7u);
  EXPECT_EQ(a.TAX_GROUP, 'A');
  EXPECT_EQ(a.SING_PRICE, 1.2);
  EXPECT_EQ(a.MAX_PRICE, 2.4);
  EXPECT_EQ(a.SOLDQTY, 3.0);
  EXPECT_EQ(a.SOLDQTY_DS, 1.0);
  EXPECT_EQ(a.AMOUNT, 3.6);
  EXPECT_EQ(a.AMOUNT_DS, 2.4);
  EXPECT_EQ(NameOf(a.NAME), "Milk");
  EXPECT_EQ(a.BARCODE, 5901234123457);
  EXPECT_EQ(a.DEPARTMENT, 0);
  EXPECT_EQ(a.OPT_FRACT_QTY, 1);
  EXPECT_EQ(a.STOCKQTY, 12.5);
  EXPECT_EQ(a.STOCK_GROUP, 1);
  EXPECT_EQ(a.OPT_SINGTRANS, 0);
  EXPECT_EQ(a.OPT_FREEPRICE, 1);
  EXPECT_EQ(a.MEASURE_UNIT, 2);
  EXPECT_EQ(a.PLUNOLINK, 9);

  // With initial quantities the extra field shifts every later one.
  ArticleRecord b = ZeroArticle();
  ParseArticleReply("N,7,x,A,1,2,3,1,3,2,Milk\n123,1,1,12.5,4.5,2,0,1,3,9", b, true);
  EXPECT_EQ(b.INITQTY, 4.5);
  EXPECT_EQ(b.STOCK_GROUP, 1);
  EXPECT_EQ(b.PLUNOLINK, 9);

  // An empty name keeps the barcode in its place.
  ArticleRecord c = ZeroArticle();
  ParseArticleReply("N,8,x,B,1,0,0,0,0,0,\n123,2,0,1,1,0,0,1,0", c, false);
  EXPECT_EQ(NameOf(c.NAME), " ");
  EXPECT_EQ(c.BARCODE, 123);
  EXPECT_EQ(c.DEPARTMENT, 1);

  // A reply that ends after field 10 leaves the name and what follows as they were.
  ArticleRecord d = a;
  ParseArticleReply("N,9,x,B,5,0,0,0,0,0", d, false);
  EXPECT_EQ(d.PLUNO, 9u);
  EXPECT_EQ(NameOf(d.NAME), "Milk");
  EXPECT_EQ(d.BARCODE, 5901234123457);

  ArticleRecord e = a;
  EXPECT_EQ(ParseArticleReply("", e, false), '\0');
  EXPECT_EQ(ParseArticleReply("F", e, false), 'F');
  EXPECT_EQ(e.PLUNO, 7u);
}

// Found by fuzzing: a count at the bottom of the int range overflowed when it
// was made 0-based, and one at the top when it was made 1-based again.
TEST(RegisterReplies, ExtremeCountsSaturateInsteadOfOverflowing) {
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  DepartmentRecord d = ZeroDepartment();
  ParseDepartmentReply("R,3,Bread\nB,1.50,12.000,18.00,-99999999999,0,1,1,-2147483648,9.99,500.00", d);
  EXPECT_EQ(d.STOCK_GROUP, kMin);
  EXPECT_EQ(d.MEASURE_UNIT, kMin);

  ArticleRecord a = ZeroArticle();
  ParseArticleReply("N,7,x,A,1,2,3,1,3,2,Milk\n123,-2147483648,1,12.5,-99999999999,0,1,-3000000000,9", a, false);
  EXPECT_EQ(a.DEPARTMENT, kMin);
  EXPECT_EQ(a.STOCK_GROUP, kMin);
  EXPECT_EQ(a.MEASURE_UNIT, kMin);

  a.DEPARTMENT = kMax;
  a.STOCK_GROUP = kMax;
  a.MEASURE_UNIT = kMax;
  EXPECT_NE(FormatArticleRequest(a, Profile()).find(",2147483647,1,"), std::string::npos);
  d.STOCK_GROUP = kMax;
  d.MEASURE_UNIT = kMax;
  d.STAND = kMax;
  EXPECT_NE(FormatDepartmentRequest(d).find(",2147483647,0,1,1,2147483647,2147483647,"), std::string::npos);
}

TEST(RegisterTransfers, OperationsSendTheirCommandsAndReportFailures) {
  DeviceProfile profile = Profile();
  ScriptedRegister reg;
  RegisterTransfers transfers(reg.Function(), profile);

  reg.replies = {{0, "R,2,Drinks\nA,0,0,0,1,0,1,0,1,0,0"}, {1, ""}};
  DepartmentRecord d = ZeroDepartment();
  EXPECT_TRUE(transfers.DownloadDepartment(d, 1));
  EXPECT_EQ(NameOf(d.NAME), "Drinks");
  d.DEPTNO = 77;
  EXPECT_FALSE(transfers.DownloadDepartment(d, 7));
  EXPECT_EQ(d.DEPTNO, 77u);  // left as it was
  EXPECT_EQ(reg.requests[0], (std::pair<std::uint16_t, std::string>{0x83, "R2"}));
  EXPECT_EQ(reg.requests[1].second, "R8");

  // An empty reply is a failed request, not the end of the articles.
  reg.replies = {{0, ""}, {0, "F"}, {0, "N,5,x,C,1,0,0,0,0,0,Tea\n0,1,0,2,1,0,0,1,0"}};
  ArticleRecord a = ZeroArticle();
  char state = 0;
  EXPECT_FALSE(transfers.DownloadArticle(a, 'F', state));
  EXPECT_TRUE(transfers.DownloadArticle(a, 'F', state));
  EXPECT_EQ(state, 'F');
  EXPECT_TRUE(transfers.DownloadArticle(a, 'N', state));
  EXPECT_EQ(state, 'N');
  EXPECT_EQ(a.IN_USE, 1u);
  EXPECT_EQ(NameOf(a.NAME), "Tea");

  // A refused upload (status bit 5) fails even though a reply came.
  reg.replies = {{1, "E"}, {0, ""}};
  EXPECT_FALSE(transfers.UploadArticle(Milk()));
  EXPECT_TRUE(transfers.UploadArticle(Milk()));
  EXPECT_EQ(reg.requests.back().first, 0x6B);
}

TEST(RegisterTransfers, ReportArticlesKeepTheInUseFlagAndClearInitialQuantities) {
  DeviceProfile profile = Profile();
  ScriptedRegister reg;
  RegisterTransfers transfers(reg.Function(), profile);
  reg.replies = {{0, "N,5,x,C,1,0,0,0,0,0,Tea\n0,1,0,2,1,0,0,1,0"}};
  ArticleRecord a = ZeroArticle();
  a.INITQTY = 8;
  char state = 0;
  ASSERT_TRUE(transfers.ReadReportArticle(a, 'F', state));
  EXPECT_EQ(a.IN_USE, 0u);
  EXPECT_EQ(a.INITQTY, 0.0);
}

TEST(RegisterTransfers, ParametersUpdateTheProfile) {
  DeviceProfile profile = Profile();
  ScriptedRegister reg;
  RegisterTransfers transfers(reg.Function(), profile);
  profile.initialQtyEnabled = 1;
  reg.replies = {{1, ""}};
  EXPECT_FALSE(transfers.ReadDeviceParameters());
  EXPECT_EQ(profile.initialQtyEnabled, 0u);
  EXPECT_EQ(profile.departmentCount, 8u);

  reg.replies = {{0, "0,0,0,4,0,0,0,0,0,0,0,0,0,0,0,12,0,1,1,6,0,0,5,0,0,0,1,1"}};
  EXPECT_TRUE(transfers.ReadDeviceParameters());
  EXPECT_EQ(profile.taxGroupCount, 4u);
  EXPECT_EQ(profile.departmentCount, 12u);
  EXPECT_EQ(profile.commodityGroupCount, 6u);
  EXPECT_EQ(profile.measureUnitCount, 5u);
  EXPECT_EQ(profile.initialQtyEnabled, 1u);
  EXPECT_EQ(profile.pluLinkEnabled, 1u);
  EXPECT_EQ(reg.requests.back(), (std::pair<std::uint16_t, std::string>{0x80, ""}));
}
