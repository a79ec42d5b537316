// The demo register on a TCP port, reached by a plain socket client.
#include "device/DemoRegisterServer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "device/RegisterFrame.h"
#include "device/transport/DemoRegister.h"
#include "tests/device/FastTiming.h"
#include "tests/device/SocketClient.h"

namespace {

DemoRegister::Options Fast() {
  DemoRegister::Options options;
  options.timing = FastTiming();
  return options;
}

// What the demo register answers to a request when driven directly.
std::vector<std::uint8_t> DirectReply(std::uint8_t sequence, std::uint8_t command) {
  DemoRegister demo(Fast());
  std::uint8_t frame[256];
  const std::size_t size = RegisterFrame::BuildRequest(sequence, command, {}, frame);
  demo.Write(frame, static_cast<std::uint32_t>(size));
  std::vector<std::uint8_t> reply;
  std::uint8_t buffer[64];
  while (const std::uint32_t n = demo.Read(buffer, sizeof buffer)) reply.insert(reply.end(), buffer, buffer + n);
  return reply;
}

class Served : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server.Listen({"127.0.0.1", 0}, &error)) << error;
    running = std::thread([this] { server.Run(stop); });
  }
  void TearDown() override {
    stop = true;
    if (running.joinable()) running.join();
  }

  DemoRegister demo{Fast()};
  DemoRegisterServer server{demo, DemoServerTiming{5}};
  std::atomic<bool> stop{false};
  std::thread running;
};

TEST_F(Served, AnswersEachClientInTurnAsTheRegisterItselfWould) {
  const auto expected = DirectReply(0x21, DemoRegister::kCommandParameters);
  ASSERT_GT(expected.size(), RegisterFrame::kReplyOverhead);
  ASSERT_EQ(expected.front(), RegisterFrame::kSOH);
  EXPECT_EQ(server.Address(), "127.0.0.1:" + std::to_string(server.Port()));
  ASSERT_NE(server.Port(), 0);

  {
    SocketClient first("127.0.0.1", server.Port());
    ASSERT_TRUE(first.Connected());
    ASSERT_TRUE(first.SendRequest(0x21, DemoRegister::kCommandParameters));
    EXPECT_EQ(first.ReadReply(), expected);
    // Half a request left behind: the next client's request does not end it.
    const std::uint8_t partial[] = {RegisterFrame::kSOH, 0x30, 0x21};
    ASSERT_TRUE(first.SendBytes(partial, sizeof partial));
  }
  // A second client waits in the queue while one is served, and is answered once it closes.
  SocketClient second("127.0.0.1", server.Port());
  SocketClient third("127.0.0.1", server.Port());
  ASSERT_TRUE(second.Connected());
  ASSERT_TRUE(third.Connected());
  ASSERT_TRUE(third.SendRequest(0x21, DemoRegister::kCommandParameters));
  ASSERT_TRUE(second.SendRequest(0x21, DemoRegister::kCommandParameters));
  EXPECT_EQ(second.ReadReply(), expected);
  EXPECT_TRUE(third.ReadReply(20).empty()) << "served while another client is";
  second.Close();
  EXPECT_EQ(third.ReadReply(), expected);
  third.Close();

  const auto counters = demo.GetCounters();
  EXPECT_EQ(counters.framesReceived, 3u);
  EXPECT_EQ(counters.badFrames, 0u);
}

TEST(DemoRegisterServer, ListensOnIpv6AndRefusesAnAddressInUse) {
  DemoRegister demo(Fast());
  DemoRegisterServer first(demo);
  std::string error;
  ASSERT_TRUE(first.Listen({"127.0.0.1", 0}, &error)) << error;
  DemoRegisterServer second(demo);
  EXPECT_FALSE(second.Listen({"127.0.0.1", first.Port()}, &error));
  EXPECT_EQ(error, "cannot listen on 127.0.0.1:" + std::to_string(first.Port()) + ": Address already in use");
  EXPECT_FALSE(second.Listen({"no-such-host.invalid", 0}, &error));
  EXPECT_NE(error.find("cannot listen on no-such-host.invalid:0: "), std::string::npos) << error;

  DemoRegisterServer six(demo);
  if (!six.Listen({"::1", 0}, &error)) GTEST_SKIP() << "no IPv6 loopback here: " << error;
  EXPECT_EQ(six.Address(), "[::1]:" + std::to_string(six.Port()));
}

TEST(DemoRegisterServer, ReadsListenAddresses) {
  struct Case {
    const char* text;
    const char* host;  // nullptr: refused
    std::uint16_t port;
    const char* why;
  };
  const Case cases[] = {
      {"127.0.0.1:4001", "127.0.0.1", 4001, ""},
      {"0.0.0.0:0", "0.0.0.0", 0, ""},
      {"till-1.local:65535", "till-1.local", 65535, ""},
      {"[::1]:4001", "::1", 4001, ""},
      {"[fe80::1]:7", "fe80::1", 7, ""},
      {"127.0.0.1", nullptr, 0, "the port is missing"},
      {":4001", nullptr, 0, "the host is empty"},
      {"127.0.0.1:65536", nullptr, 0, "the port is not a number from 0 to 65535"},
      {"127.0.0.1:-1", nullptr, 0, "the port is not a number from 0 to 65535"},
      {"127.0.0.1:", nullptr, 0, "the port is not a number from 0 to 65535"},
      {"127.0.0.1:40a", nullptr, 0, "the port is not a number from 0 to 65535"},
      {"::1:4001", nullptr, 0, "an IPv6 address goes between [ ]"},
      {"[::1:4001", nullptr, 0, "the [ of the IPv6 address is not closed"},
      {"[]:4001", nullptr, 0, "the host is empty"},
      {"[shop]:4001", nullptr, 0, "not an IPv6 address between [ ]"},
      {"[::1]4001", nullptr, 0, "the port is missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const auto parsed = ParseListenAddress(c.text, &error);
    if (c.host) {
      ASSERT_TRUE(parsed) << error;
      EXPECT_EQ(parsed->host, c.host);
      EXPECT_EQ(parsed->port, c.port);
    } else {
      EXPECT_FALSE(parsed);
      EXPECT_EQ(error, std::string("--listen ") + c.text + ": " + c.why +
                           "; expected HOST:PORT (a name, an IPv4 address or [IPv6], and a port from 0 to 65535)");
    }
  }
}

TEST(DemoRegisterServer, SizesTheSample) {
  DemoRegister full(Fast());
  const std::size_t sampleSize = full.ArticleCount();
  ASSERT_GT(sampleSize, 5u);
  for (const std::uint32_t count : {0u, 5u, static_cast<std::uint32_t>(sampleSize), 1000u}) {
    SCOPED_TRACE(count);
    DemoRegister demo(Fast());
    SizeDemoSample(demo, count);
    EXPECT_EQ(demo.ArticleCount(), count);
  }
  DemoRegister five(Fast());
  SizeDemoSample(five, 5);
  // The first articles of the sample, as they are.
  std::uint32_t seen = 0;
  for (std::uint32_t plu = 1; plu <= DemoRegister::kMaxPlu && seen < 5; ++plu) {
    if (const auto article = full.Article(plu)) {
      ++seen;
      const auto kept = five.Article(plu);
      ASSERT_TRUE(kept) << plu;
      EXPECT_EQ(std::memcmp(&*kept, &*article, sizeof(ArticleRecord)), 0) << plu;
    }
  }
  DemoRegister big(Fast());
  SizeDemoSample(big, 1000);
  ASSERT_TRUE(big.Article(1));
  EXPECT_EQ(big.Article(1)->BARCODE, 0);
}

}  // namespace
