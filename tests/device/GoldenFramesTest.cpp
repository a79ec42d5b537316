// Frames written down by hand from the register's frame layout (LEN, the check
// characters and all), not produced by the product's own frame builder: the
// requests of a download must go out exactly so, and replies of each field
// layout exactly so must come through into the records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/device/FastTiming.h"
#include "device/RegisterFrame.h"
#include "device/RegisterTransfers.h"
#include "tests/device/ScriptedTransport.h"
#include "device/cDeviceProtocol.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// head (SOH LEN SEQ CMD), then the text, then tail (separator, status,
// post-amble, check characters, ETX).
Bytes Frame(Bytes head, std::string_view text, const Bytes& tail) {
  head.insert(head.end(), text.begin(), text.end());
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

const Bytes kOkTail = {0x04, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x05};

Bytes WithCheck(Bytes tail, std::string_view check) {
  tail.insert(tail.end(), check.begin(), check.end());
  tail.push_back(0x03);
  return tail;
}

struct Golden {
  const char* what;
  Bytes request;  // the frame the engine must send
  Bytes reply;    // the register's answer to it
};

// Four exchanges in a row, as a download makes them: SEQ 0x21 to 0x24.
const std::vector<Golden>& Exchanges() {
  static const std::vector<Golden> exchanges = {
      {"device parameters (0x80, empty text)",
       {0x01, 0x24, 0x21, 0x80, 0x05, 0x30, 0x30, 0x3C, 0x3A, 0x03},
       Frame({0x01, 0x70, 0x21, 0x80}, "1,2,3,6,5,6,7,8,9,10,11,12,13,14,15,8,17,1,0,20,21,22,10,24,25,26,0,1",
             WithCheck(kOkTail, "1113"))},
      {"department 1 (0x83, \"R1\")",
       {0x01, 0x26, 0x22, 0x83, 0x52, 0x31, 0x05, 0x30, 0x31, 0x35, 0x33, 0x03},
       Frame({0x01, 0x5C, 0x22, 0x83}, "1,3,Bread\nB,1.50,2.000,3.00,2,0,1,0,3,9.99,100.00",
             WithCheck(kOkTail, "0>0;"))},
      {"first article (0x6B, \"F\")",
       {0x01, 0x25, 0x23, 0x6B, 0x46, 0x05, 0x30, 0x30, 0x3F, 0x3E, 0x03},
       Frame({0x01, 0x80, 0x23, 0x6B},
             "N,42,0,A,2.50,3.00,4.000,1.000,10.00,2.50,Milk 1l\n5901234123457,2,1,100.000,3,1,0,2,7",
             WithCheck(kOkTail, "1510"))},
      {"no further article (0x6B, \"N\")",
       {0x01, 0x25, 0x24, 0x6B, 0x4E, 0x05, 0x30, 0x31, 0x30, 0x37, 0x03},
       Frame({0x01, 0x2C, 0x24, 0x6B}, "F", WithCheck(kOkTail, "040:"))},
  };
  return exchanges;
}

TEST(GoldenFrames, ADownloadSendsAndTakesTheFramesByteForByte) {
  ScriptedTransport transport;
  std::size_t next = 0;
  transport.onWrite = [&next](const Bytes&, ScriptedTransport& self) {
    if (next < Exchanges().size()) self.Queue(Exchanges()[next++].reply);
  };
  cDeviceProtocol engine(FastTiming());
  ASSERT_TRUE(engine.Start(&transport));
  DeviceProfile profile;
  RegisterTransfers transfers(
      [&engine](std::uint16_t command, const std::string& request, std::string& reply) {
        return engine.DeviceTransaction(command, request, reply);
      },
      profile);

  ASSERT_TRUE(transfers.ReadDeviceParameters());
  EXPECT_EQ(profile.taxGroupCount, 6u);
  EXPECT_EQ(profile.departmentCount, 8u);
  EXPECT_EQ(profile.stockQtyEnabled, 1u);
  EXPECT_EQ(profile.barcodeEnabled, 0u);
  EXPECT_EQ(profile.commodityGroupCount, 20u);
  EXPECT_EQ(profile.measureUnitCount, 10u);
  EXPECT_EQ(profile.initialQtyEnabled, 0u);
  EXPECT_EQ(profile.pluLinkEnabled, 1u);

  DepartmentRecord department{};
  ASSERT_TRUE(transfers.DownloadDepartment(department, 0));
  EXPECT_EQ(department.DEPTNO, 3u);
  EXPECT_STREQ(department.NAME, "Bread");
  EXPECT_EQ(department.TAX_GROUP, 'B');
  EXPECT_DOUBLE_EQ(department.SING_PRICE, 1.5);
  EXPECT_DOUBLE_EQ(department.SOLDQTY, 2.0);
  EXPECT_DOUBLE_EQ(department.AMOUNT, 3.0);
  EXPECT_EQ(department.STOCK_GROUP, 1);
  EXPECT_EQ(department.OPT_SINGTRANS, 0);
  EXPECT_EQ(department.OPT_FRACT_QTY, 1);
  EXPECT_EQ(department.OPT_FREEPRICE, 0);
  EXPECT_EQ(department.MEASURE_UNIT, 2);
  EXPECT_DOUBLE_EQ(department.MAX_PRICE, 9.99);
  EXPECT_DOUBLE_EQ(department.MAX_AMOUNT, 100.0);

  ArticleRecord article{};
  char state = 0;
  ASSERT_TRUE(transfers.DownloadArticle(article, 'F', state));
  EXPECT_EQ(state, 'N');
  EXPECT_EQ(article.PLUNO, 42u);
  EXPECT_EQ(article.TAX_GROUP, 'A');
  EXPECT_DOUBLE_EQ(article.SING_PRICE, 2.5);
  EXPECT_DOUBLE_EQ(article.MAX_PRICE, 3.0);
  EXPECT_DOUBLE_EQ(article.SOLDQTY, 4.0);
  EXPECT_DOUBLE_EQ(article.SOLDQTY_DS, 1.0);
  EXPECT_DOUBLE_EQ(article.AMOUNT, 10.0);
  EXPECT_DOUBLE_EQ(article.AMOUNT_DS, 2.5);
  EXPECT_STREQ(article.NAME, "Milk 1l");
  EXPECT_EQ(article.BARCODE, 5901234123457);
  EXPECT_EQ(article.DEPARTMENT, 1);
  EXPECT_EQ(article.OPT_FRACT_QTY, 1);
  EXPECT_DOUBLE_EQ(article.STOCKQTY, 100.0);
  EXPECT_EQ(article.STOCK_GROUP, 2);
  EXPECT_EQ(article.OPT_SINGTRANS, 1);
  EXPECT_EQ(article.OPT_FREEPRICE, 0);
  EXPECT_EQ(article.MEASURE_UNIT, 1);
  EXPECT_EQ(article.PLUNOLINK, 7);
  EXPECT_EQ(article.IN_USE, 1u);

  ASSERT_TRUE(transfers.DownloadArticle(article, 'N', state));
  EXPECT_EQ(state, 'F');
  engine.Stop();

  // Nothing was sent again: every golden reply was taken at once.
  const auto frames = transport.Frames();
  ASSERT_EQ(frames.size(), Exchanges().size());
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], Exchanges()[i].request) << Exchanges()[i].what;
}

// The builder that the demo register and the tests use agrees with the frames
// written down by hand.
TEST(GoldenFrames, TheFrameBuilderAgreesWithTheGoldenFrames) {
  const std::array<std::uint8_t, 6> ok{0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
  for (const Golden& golden : Exchanges()) {
    const std::string requestText(golden.request.begin() + 4, golden.request.end() - 6);
    std::array<std::uint8_t, 256> out{};
    const std::size_t length = RegisterFrame::BuildRequest(golden.request[2], golden.request[3], requestText, out);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(length)), golden.request) << golden.what;
    const std::string replyText(golden.reply.begin() + 4, golden.reply.end() - 13);
    EXPECT_EQ(RegisterFrame::BuildReply(golden.reply[2], golden.reply[3], replyText, ok), golden.reply) << golden.what;
  }
}

}  // namespace
