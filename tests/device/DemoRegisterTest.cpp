// Conversations between the engine and the demo register, for every command,
// with the register misbehaving on demand.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/device/FastTiming.h"
#include "data/CFormat.h"
#include "data/DeviceProfile.h"
#include "data/FieldReader.h"
#include "device/RegisterFrame.h"
#include "device/transport/DemoRegister.h"
#include "device/cDeviceProtocol.h"

namespace {

// The article reply read the way the download reads it.
struct ReadBack {
  char state = 0;
  ArticleRecord article = ZeroArticle();
};

ReadBack ParseArticle(const std::string& reply, bool initialQty) {
  ReadBack result;
  const std::string text = MarkEmptyNames(reply);
  FieldReader fields(text);
  ArticleRecord& a = result.article;
  const auto next = [&fields](std::string_view separators = ",") { return fields.Next(separators).value_or(""); };
  result.state = next().substr(0, 1)[0];
  if (result.state == 'F') return result;
  a.PLUNO = static_cast<std::uint32_t>(LeadingIntegerOrZero(next()));
  next();
  a.TAX_GROUP = next()[0];
  a.SING_PRICE = LeadingDoubleOrZero(next());
  a.MAX_PRICE = LeadingDoubleOrZero(next());
  a.SOLDQTY = LeadingDoubleOrZero(next());
  a.SOLDQTY_DS = LeadingDoubleOrZero(next());
  a.AMOUNT = LeadingDoubleOrZero(next());
  a.AMOUNT_DS = LeadingDoubleOrZero(next());
  SetName(a.NAME, next("\n"));
  a.BARCODE = TruncateToInt64(LeadingDoubleOrZero(next()));
  a.DEPARTMENT = static_cast<std::int32_t>(LeadingIntegerOrZero(next())) - 1;
  a.OPT_FRACT_QTY = static_cast<std::int32_t>(LeadingIntegerOrZero(next()));
  a.STOCKQTY = LeadingDoubleOrZero(next());
  if (initialQty) a.INITQTY = LeadingDoubleOrZero(next());
  a.STOCK_GROUP = static_cast<std::int32_t>(LeadingIntegerOrZero(next())) - 1;
  a.OPT_SINGTRANS = static_cast<std::int32_t>(LeadingIntegerOrZero(next()));
  a.OPT_FREEPRICE = static_cast<std::int32_t>(LeadingIntegerOrZero(next()));
  a.MEASURE_UNIT = static_cast<std::int32_t>(LeadingIntegerOrZero(next())) - 1;
  a.PLUNOLINK = static_cast<std::int32_t>(LeadingIntegerOrZero(next()));
  return result;
}

// The article programming request as the upload builds it (six layouts).
std::string ArticleRequest(const ArticleRecord& a, bool initialQty, bool pluLink) {
  const std::string head =
      CFormat("P%c%d,%2.2f,%2.2f,%s\n%.13lld,%d,%d,", a.TAX_GROUP, a.PLUNO, a.SING_PRICE, a.MAX_PRICE, a.NAME,
              static_cast<long long>(a.BARCODE), a.DEPARTMENT + 1, a.OPT_FRACT_QTY);
  const bool fractional = a.OPT_FRACT_QTY != 0;
  std::string quantities = CFormat(fractional ? "%1.3f" : "%1.0f", a.STOCKQTY);
  if (initialQty) quantities += CFormat(fractional ? ",%2.3f" : ",%2.0f", a.INITQTY);
  std::string tail = CFormat(",%d,%d,%d,%d", a.STOCK_GROUP + 1, a.OPT_SINGTRANS, a.OPT_FREEPRICE, a.MEASURE_UNIT + 1);
  if (!initialQty && pluLink) tail += CFormat(",%d", a.PLUNOLINK);
  return head + quantities + tail;
}

class DemoRegisterTest : public ::testing::Test {
 protected:
  explicit DemoRegisterTest(DemoRegister::Contents contents = DemoRegister::Contents::Sample)
      : demo(MakeOptions(contents)) {}
  static DemoRegister::Options MakeOptions(DemoRegister::Contents contents) {
    DemoRegister::Options options;
    options.contents = contents;
    options.timing = FastTiming();
    options.readPiece = 16;
    return options;
  }
  void SetUp() override { ASSERT_TRUE(engine.Start(&demo)); }
  void TearDown() override { engine.Stop(); }

  int Transact(std::uint16_t command, const std::string& text) {
    return engine.DeviceTransaction(command, text, reply);
  }

  DemoRegister demo;
  cDeviceProtocol engine{FastTiming()};
  std::string reply;
};

class EmptyDemoRegisterTest : public DemoRegisterTest {
 protected:
  EmptyDemoRegisterTest() : DemoRegisterTest(DemoRegister::Contents::Empty) {}
};

TEST_F(DemoRegisterTest, ParameterReplyFillsTheProfile) {
  DemoRegister::Profile profile;
  profile.taxGroupCount = 6;
  profile.departmentCount = 40;
  profile.commodityGroupCount = 15;
  profile.measureUnitCount = 7;
  profile.stockQtyEnabled = 0;
  profile.barcodeEnabled = 1;
  profile.initialQtyEnabled = 1;
  profile.pluLinkEnabled = 1;
  demo.SetProfile(profile);
  ASSERT_EQ(Transact(0x80, ""), 0);
  DeviceProfile read;
  read.ApplyParameterReply(true, reply);
  EXPECT_EQ(read.taxGroupCount, 6u);
  EXPECT_EQ(read.departmentCount, 40u);
  EXPECT_EQ(read.commodityGroupCount, 15u);
  EXPECT_EQ(read.measureUnitCount, 7u);
  EXPECT_EQ(read.stockQtyEnabled, 0u);
  EXPECT_EQ(read.barcodeEnabled, 1u);
  EXPECT_EQ(read.initialQtyEnabled, 1u);
  EXPECT_EQ(read.pluLinkEnabled, 1u);
}

TEST_F(DemoRegisterTest, DepartmentsReadProgramAndReadBack) {
  ASSERT_EQ(Transact(0x83, "R1"), 0);
  EXPECT_EQ(reply.substr(0, 11), "R,1,Bakery\n");
  ASSERT_EQ(Transact(0x83, "R8"), 0);
  EXPECT_EQ(reply.substr(0, 4), "R,8,");

  ASSERT_EQ(Transact(0x83, "P3,Bread\nB1.50,1,0,1,0,1,1,0.00,0.00"), 0);
  EXPECT_EQ(reply, "");
  ASSERT_EQ(Transact(0x83, "R3"), 0);
  const std::string text = MarkEmptyNames(reply);
  FieldReader fields(text);
  EXPECT_EQ(fields.Next(","), "R");
  EXPECT_EQ(fields.Next(","), "3");
  EXPECT_EQ(fields.Next("\n"), "Bread");
  EXPECT_EQ(fields.Next(","), "B");
  EXPECT_EQ(LeadingDoubleOrZero(*fields.Next(",")), 1.5);
  fields.Next(",");  // sold quantity and amount: the department's sales, kept
  fields.Next(",");
  EXPECT_EQ(fields.Next(","), "1");  // commodity group, from 1
  EXPECT_EQ(fields.Next(","), "0");  // single transaction
  EXPECT_EQ(fields.Next(","), "1");  // fractional
  EXPECT_EQ(fields.Next(","), "0");  // free price
  EXPECT_EQ(fields.Next(","), "1");  // measure unit, from 1

  // Without a name the reply still keeps the name's place.
  ASSERT_EQ(Transact(0x83, "P4,\nA2.00,2,1,0,1,3,1,10.00,100.00"), 0);
  ASSERT_EQ(Transact(0x83, "R4"), 0);
  EXPECT_EQ(MarkEmptyNames(reply).substr(0, 7), "R,4, \nA");
}

TEST_F(DemoRegisterTest, BadDepartmentRequestsAreRefused) {
  for (const char* request :
       {"R0", "R9", "Rx", "R", "X1", "P9,Nine\nA1.00,1,0,0,0,1,1,0.00,0.00", "P3,Bread\nB1.50,1,0,1,0,1,1,0.00",
        "P3,Bread\nZ1.50,1,0,1,0,1,1,0.00,0.00", "P3,Bread\nB1.50,99,0,1,0,1,1,0.00,0.00", "P3,Bread B1.50"}) {
    reply = "untouched";
    EXPECT_EQ(Transact(0x83, request), 1) << request;
    EXPECT_EQ(reply, "") << request;  // the refusal's own (empty) text
  }
  EXPECT_EQ(Transact(0x99, ""), 1);
  EXPECT_EQ(demo.GetCounters().refused, 11u);
}

TEST_F(DemoRegisterTest, EveryArticleOfTheSampleCanBeDownloaded) {
  // With and without the initial quantity field: every reply fits a frame.
  for (const bool initialQty : {false, true}) {
    DemoRegister::Profile profile = demo.GetProfile();
    profile.initialQtyEnabled = initialQty;
    demo.SetProfile(profile);
    std::size_t count = 0;
    std::uint32_t lastPlu = 0;
    ASSERT_EQ(Transact(0x6B, "F"), 0);
    for (ReadBack read = ParseArticle(reply, initialQty); read.state != 'F'; read = ParseArticle(reply, initialQty)) {
      ++count;
      EXPECT_GT(read.article.PLUNO, lastPlu);
      lastPlu = read.article.PLUNO;
      EXPECT_EQ(read.article.MEASURE_UNIT, demo.Article(lastPlu)->MEASURE_UNIT);
      ASSERT_EQ(Transact(0x6B, "N"), 0) << "after PLU " << lastPlu;
    }
    EXPECT_EQ(count, demo.ArticleCount());
    EXPECT_GE(count, 300u);
    // Past the end it stays at the end.
    ASSERT_EQ(Transact(0x6B, "N"), 0);
    EXPECT_EQ(reply, "F");
  }
}

TEST_F(EmptyDemoRegisterTest, EmptyRegisterAnswersTheFirstRequestWithF) {
  ASSERT_EQ(Transact(0x6B, "F"), 0);
  EXPECT_EQ(reply, "F");
}

ArticleRecord SampleArticle(std::uint32_t plu, bool fractional) {
  ArticleRecord a = ZeroArticle();
  a.PLUNO = plu;
  a.TAX_GROUP = 'B';
  a.SING_PRICE = 3.45;
  a.MAX_PRICE = 2.99;
  SetName(a.NAME, "Gouda, aged 12 months");
  a.BARCODE = 8712345678906;
  a.DEPARTMENT = 1;
  a.OPT_FRACT_QTY = fractional ? 1 : 0;
  a.STOCKQTY = fractional ? 12.345 : 42;
  a.INITQTY = fractional ? 20.5 : 50;
  a.STOCK_GROUP = 4;
  a.OPT_SINGTRANS = 1;
  a.OPT_FREEPRICE = 0;
  a.MEASURE_UNIT = fractional ? 1 : 0;
  a.PLUNOLINK = 0;
  return a;
}

// Every one of the six request layouts reads back as it was sent, when the
// register's switches match the ones the layout was chosen by.
TEST_F(EmptyDemoRegisterTest, UploadedArticlesReadBackTheSameInAllSixLayouts) {
  for (const bool initialQty : {true, false}) {
    for (const bool pluLink : {true, false}) {
      for (const bool fractional : {true, false}) {
        SCOPED_TRACE(CFormat("initial %d link %d fractional %d", initialQty, pluLink, fractional));
        demo.RemoveAllArticles();
        DemoRegister::Profile profile = demo.GetProfile();
        profile.initialQtyEnabled = initialQty;
        profile.pluLinkEnabled = pluLink;
        demo.SetProfile(profile);

        ArticleRecord target = SampleArticle(7, false);
        ASSERT_EQ(Transact(0x6B, ArticleRequest(target, initialQty, pluLink)), 0);
        ArticleRecord sent = SampleArticle(42, fractional);
        if (pluLink) sent.PLUNOLINK = 7;
        ASSERT_EQ(Transact(0x6B, ArticleRequest(sent, initialQty, pluLink)), 0)
            << ArticleRequest(sent, initialQty, pluLink);

        ASSERT_EQ(Transact(0x6B, "F"), 0);
        ASSERT_EQ(Transact(0x6B, "N"), 0);
        const ReadBack read = ParseArticle(reply, initialQty);
        const ArticleRecord& got = read.article;
        EXPECT_EQ(got.PLUNO, 42u);
        EXPECT_EQ(got.TAX_GROUP, 'B');
        EXPECT_DOUBLE_EQ(got.SING_PRICE, 3.45);
        EXPECT_DOUBLE_EQ(got.MAX_PRICE, 2.99);
        EXPECT_EQ(NameOf(got.NAME), "Gouda, aged 12 months");
        EXPECT_EQ(got.BARCODE, 8712345678906);
        EXPECT_EQ(got.DEPARTMENT, 1);
        EXPECT_EQ(got.OPT_FRACT_QTY, sent.OPT_FRACT_QTY);
        EXPECT_DOUBLE_EQ(got.STOCKQTY, sent.STOCKQTY);
        EXPECT_DOUBLE_EQ(got.INITQTY, initialQty ? sent.INITQTY : 0.0);
        EXPECT_EQ(got.STOCK_GROUP, 4);
        EXPECT_EQ(got.OPT_SINGTRANS, 1);
        EXPECT_EQ(got.OPT_FREEPRICE, 0);
        EXPECT_EQ(got.MEASURE_UNIT, sent.MEASURE_UNIT);
        EXPECT_EQ(got.PLUNOLINK, !initialQty && pluLink ? 7 : 0);
      }
    }
  }
}

TEST_F(EmptyDemoRegisterTest, BadArticleRequestsAreRefused) {
  DemoRegister::Profile profile = demo.GetProfile();
  profile.pluLinkEnabled = 1;
  demo.SetProfile(profile);
  ArticleRecord a = SampleArticle(5, false);
  a.PLUNOLINK = 999;  // no such article
  EXPECT_EQ(Transact(0x6B, ArticleRequest(a, false, true)), 1);
  a.PLUNOLINK = 5;  // itself
  EXPECT_EQ(Transact(0x6B, ArticleRequest(a, false, true)), 1);
  a.PLUNOLINK = 0;
  // A layout that does not match the register's switches does not parse.
  EXPECT_EQ(Transact(0x6B, ArticleRequest(a, false, false)), 1);
  EXPECT_EQ(Transact(0x6B, ArticleRequest(a, true, false)), 1);
  a.DEPARTMENT = 8;  // sent as 9 of 8
  EXPECT_EQ(Transact(0x6B, ArticleRequest(a, false, true)), 1);
  a.DEPARTMENT = -1;  // sent as 0: no department, which is fine
  EXPECT_EQ(Transact(0x6B, ArticleRequest(a, false, true)), 0);
  EXPECT_EQ(Transact(0x6B, "PA5,1.00,1.00,name without line end"), 1);
  EXPECT_EQ(Transact(0x6B, "Q"), 1);
  EXPECT_EQ(Transact(0x6B, "PZ5,1.00,1.00,x\n0000000000000,1,0,5,1,0,0,1,0"), 1);  // unknown tax letter
  EXPECT_EQ(Transact(0x6B, "PA5,1.00,1.00,x\n00000000000x0,1,0,5,1,0,0,1,0"), 1);  // barcode not digits
  EXPECT_EQ(demo.ArticleCount(), 1u);
}

TEST_F(DemoRegisterTest, ProgrammingAnArticleKeepsItsSales) {
  const auto before = demo.Article(101);
  ASSERT_TRUE(before.has_value());
  ASSERT_GT(before->SOLDQTY + before->AMOUNT, 0.0);
  ArticleRecord changed = *before;
  changed.SING_PRICE = 9.99;
  changed.DEPARTMENT = 0;  // the register's number 1, as an index
  ASSERT_EQ(Transact(0x6B, ArticleRequest(changed, false, false)), 0);
  const auto after = demo.Article(101);
  EXPECT_DOUBLE_EQ(after->SING_PRICE, 9.99);
  EXPECT_DOUBLE_EQ(after->SOLDQTY, before->SOLDQTY);
  EXPECT_DOUBLE_EQ(after->AMOUNT, before->AMOUNT);
}

TEST_F(DemoRegisterTest, FaultsAreRidden) {
  demo.InjectFault(DemoRegister::Fault::Nak, 2);
  EXPECT_EQ(Transact(0x83, "R2"), 0);
  EXPECT_EQ(reply.substr(0, 9), "R,2,Dairy");

  demo.InjectSynBurst(5);
  EXPECT_EQ(Transact(0x83, "R1"), 0);

  demo.InjectFault(DemoRegister::Fault::CorruptCheck);
  EXPECT_EQ(Transact(0x83, "R1"), 0);
  EXPECT_EQ(reply.substr(0, 10), "R,1,Bakery");

  demo.InjectFault(DemoRegister::Fault::StaleSequence);
  EXPECT_EQ(Transact(0x6B, "F"), 0);
  EXPECT_EQ(reply.substr(0, 6), "A,101,");

  const auto resetsBefore = demo.GetCounters().resets;
  demo.InjectFault(DemoRegister::Fault::Silence);
  EXPECT_EQ(Transact(0x6B, "N"), 0);
  EXPECT_EQ(reply.substr(0, 6), "A,102,");
  EXPECT_EQ(demo.GetCounters().resets, resetsBefore + 1);

  // Every request refused: the engine gives up after its credits.
  demo.InjectFault(DemoRegister::Fault::Nak, 30);
  reply = "kept";
  EXPECT_EQ(Transact(0x80, ""), 1);
  EXPECT_EQ(reply, "kept");
  EXPECT_EQ(Transact(0x80, ""), 0);
}

TEST_F(DemoRegisterTest, VanishingRegisterFailsTheExchangeUntilItIsBack) {
  demo.InjectFault(DemoRegister::Fault::Vanish);
  EXPECT_EQ(Transact(0x80, ""), 1);
  EXPECT_FALSE(demo.IsConnected());
  EXPECT_EQ(Transact(0x80, ""), 1);  // at once: nothing attached
  demo.Attach();
  EXPECT_EQ(Transact(0x80, ""), 0);
}

TEST(DemoRegisterConcurrency, ExchangesFromTwoThreadsAreSerialised) {
  DeviceTiming timing = FastTiming();
  timing.exchangeLockWaitMs = 10000;
  DemoRegister::Options options;
  options.timing = timing;
  DemoRegister demo(options);
  cDeviceProtocol engine(timing);
  ASSERT_TRUE(engine.Start(&demo));
  const auto worker = [&engine](int department, int& failures) {
    std::string reply;
    for (int i = 0; i < 25; ++i) {
      const std::string request = "R" + std::to_string(department);
      if (engine.DeviceTransaction(0x83, request, reply) != 0 ||
          reply.rfind("R," + std::to_string(department) + ",", 0) != 0)
        ++failures;
    }
  };
  int failuresA = 0;
  int failuresB = 0;
  std::thread a(worker, 2, std::ref(failuresA));
  std::thread b(worker, 5, std::ref(failuresB));
  a.join();
  b.join();
  EXPECT_EQ(failuresA, 0);
  EXPECT_EQ(failuresB, 0);
  EXPECT_EQ(demo.GetCounters().framesReceived, 50u);
}

TEST(DemoRegisterFrames, BrokenRequestIsAnsweredWithNak) {
  DemoRegister demo;
  std::uint8_t frame[] = {0x01, 0x24, 0x21, 0x80, 0x05, 0x30, 0x30, 0x3C, 0x3B, 0x03};  // last check character off
  EXPECT_EQ(demo.Write(frame, sizeof frame), sizeof frame);
  std::uint8_t answer[16]{};
  EXPECT_EQ(demo.Read(answer, sizeof answer), 1u);
  EXPECT_EQ(answer[0], RegisterFrame::kNAK);
  EXPECT_EQ(demo.GetCounters().badFrames, 1u);

  // Noise before a good frame is skipped; the reply comes in more than one read.
  frame[8] = 0x3A;
  const std::uint8_t noise[] = {'x', 0x03};
  demo.Write(noise, sizeof noise);
  demo.Write(frame, sizeof frame);
  std::uint8_t first[64]{};
  const auto got = demo.Read(first, sizeof first);
  EXPECT_GT(got, 0u);
  EXPECT_EQ(first[0], RegisterFrame::kSOH);
  EXPECT_EQ(first[2], 0x21);
  EXPECT_NE(first[got - 1], RegisterFrame::kETX);
}

}  // namespace
