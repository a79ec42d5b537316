// The protocol engine against a register played by the test.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "tests/device/FastTiming.h"
#include "device/RegisterFrame.h"
#include "tests/device/ScriptedTransport.h"
#include "device/cDeviceProtocol.h"

namespace {

using Bytes = ScriptedTransport::Bytes;
using std::chrono::milliseconds;

constexpr std::array<std::uint8_t, 6> kOk{0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
constexpr std::array<std::uint8_t, 6> kRefused{0xA0, 0x80, 0x80, 0x80, 0x80, 0x80};

Bytes Reply(std::uint8_t sequence, std::uint8_t command, const std::string& text,
            const std::array<std::uint8_t, 6>& status = kOk) {
  return RegisterFrame::BuildReply(sequence, command, text, status);
}

// Splits a frame into reads of the given size.
void QueueInPieces(ScriptedTransport& transport, const Bytes& frame, std::size_t piece) {
  for (std::size_t at = 0; at < frame.size(); at += piece)
    transport.Queue(Bytes(frame.begin() + static_cast<std::ptrdiff_t>(at),
                          frame.begin() + static_cast<std::ptrdiff_t>(std::min(frame.size(), at + piece))));
}

// Answers every request with the given text, echoing its sequence byte and command.
auto Answering(const std::string& text, const std::array<std::uint8_t, 6>& status = kOk) {
  return [text, status](const Bytes& frame, ScriptedTransport& self) {
    self.Queue(Reply(frame[2], frame[3], text, status));
  };
}

class DeviceProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(engine.Start(&transport)); }
  void TearDown() override { engine.Stop(); }

  ScriptedTransport transport;
  cDeviceProtocol engine{FastTiming()};
};

TEST_F(DeviceProtocolTest, WorkedFramesGoOutByteForByte) {
  transport.onWrite = Answering("");
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(engine.DeviceTransaction(0x83, "R1", reply), 0);
  const auto frames = transport.Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], (Bytes{0x01, 0x24, 0x21, 0x80, 0x05, 0x30, 0x30, 0x3C, 0x3A, 0x03}));
  EXPECT_EQ(frames[1], (Bytes{0x01, 0x26, 0x22, 0x83, 0x52, 0x31, 0x05, 0x30, 0x31, 0x35, 0x33, 0x03}));
}

TEST_F(DeviceProtocolTest, SequenceByteWrapsAfter0x80) {
  transport.onWrite = Answering("ok");
  std::string reply;
  for (int i = 0; i < 98; ++i) ASSERT_EQ(engine.DeviceTransaction(0x80, "", reply), 0) << "exchange " << i + 1;
  const auto frames = transport.Frames();
  ASSERT_EQ(frames.size(), 98u);
  EXPECT_EQ(frames[0][2], 0x21);
  EXPECT_EQ(frames[94][2], 0x7F);
  EXPECT_EQ(frames[95][2], 0x80);
  EXPECT_EQ(frames[96][2], 0x20);
  EXPECT_EQ(frames[97][2], 0x21);
}

TEST_F(DeviceProtocolTest, RequestTextLimits) {
  transport.onWrite = Answering("");
  std::string reply = "unchanged";
  // 219 bytes is the most LEN can express: LEN 0xFF, a 229-byte frame.
  EXPECT_EQ(engine.DeviceTransaction(0x6B, std::string(219, 'x'), reply), 0);
  ASSERT_EQ(transport.Frames().size(), 1u);
  EXPECT_EQ(transport.Frames()[0].size(), 229u);
  EXPECT_EQ(transport.Frames()[0][1], 0xFF);
  // One more byte cannot be framed: refused before anything is written.
  cDeviceProtocol::ReplyArea area{};
  EXPECT_EQ(engine.Exchange(0x6B, std::string(220, 'x'), area), cDeviceProtocol::kRequestTooLong);
  EXPECT_EQ(engine.Exchange(0x6B, std::string(400, 'x'), area), cDeviceProtocol::kRequestTooLong);
  EXPECT_EQ(transport.Frames().size(), 1u);
  EXPECT_EQ(transport.Resets(), 0);
  // The text ends at a zero byte, so a long tail behind it does not count.
  EXPECT_EQ(engine.DeviceTransaction(0x83, std::string("R1\0", 3) + std::string(300, 'y'), reply), 0);
  EXPECT_EQ(transport.Frames().back().size(), 12u);
}

TEST_F(DeviceProtocolTest, ReplySplitIntoSingleBytesIsAssembled) {
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    QueueInPieces(self, Reply(frame[2], frame[3], "1,2,3,8,abc"), 1);
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "1,2,3,8,abc");
  EXPECT_EQ(transport.Frames().size(), 1u);
}

TEST_F(DeviceProtocolTest, StatusBytesReachTheReplyArea) {
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    self.Queue(Reply(frame[2], frame[3], "text", {0x81, 0x82, 0x83, 0x84, 0x86, 0x87}));
  };
  cDeviceProtocol::ReplyArea area{};
  ASSERT_EQ(engine.Exchange(0x80, "", area), 0u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(area.data())), "text");
  EXPECT_EQ(Bytes(area.begin() + 256, area.end()), (Bytes{0x81, 0x82, 0x83, 0x84, 0x86, 0x87}));
}

TEST_F(DeviceProtocolTest, EmptyReplyTextSucceeds) {
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    Bytes reply = Reply(frame[2], frame[3], "");
    EXPECT_EQ(reply[1], 0x2B);
    self.Queue(reply);
  };
  std::string reply = "previous";
  EXPECT_EQ(engine.DeviceTransaction(0x83, "P1,x\nA1.00,1,0,0,0,1,1,0.00,0.00", reply), 0);
  EXPECT_EQ(reply, "");
}

TEST_F(DeviceProtocolTest, RefusalStillDeliversTheText) {
  transport.onWrite = Answering("E12", kRefused);
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x83, "R99", reply), 1);
  EXPECT_EQ(reply, "E12");
}

TEST_F(DeviceProtocolTest, NakLeadsToResendWithNextSequence) {
  int writes = 0;
  transport.onWrite = [&writes](const Bytes& frame, ScriptedTransport& self) {
    if (++writes == 1) return self.Queue({RegisterFrame::kNAK});
    self.Queue(Reply(frame[2], frame[3], "second"));
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "second");
  const auto frames = transport.Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0][2], 0x21);
  EXPECT_EQ(frames[1][2], 0x22);
  EXPECT_EQ(frames[0][3], frames[1][3]);
  EXPECT_EQ(transport.Resets(), 0);
}

TEST_F(DeviceProtocolTest, TwentyNineNaksAreSurvivedTheThirtiethEndsTheExchange) {
  int writes = 0;
  transport.onWrite = [&writes](const Bytes& frame, ScriptedTransport& self) {
    if (++writes <= 29) return self.Queue({RegisterFrame::kNAK});
    self.Queue(Reply(frame[2], frame[3], "at last"));
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "at last");
  EXPECT_EQ(transport.Frames().size(), 30u);

  transport.onWrite = [](const Bytes&, ScriptedTransport& self) { self.Queue({RegisterFrame::kNAK}); };
  cDeviceProtocol::ReplyArea area{};
  EXPECT_EQ(engine.Exchange(0x80, "", area), cDeviceProtocol::kRefusedRepeatedly);
  // The first frame and thirty resends; the last resend goes out before the reset.
  EXPECT_EQ(transport.Frames().size(), 30u + 31u);
  EXPECT_EQ(transport.Log().substr(30), std::string(31, 'W') + "R");
}

TEST_F(DeviceProtocolTest, ThreeSilencesEndTheExchangeWithFourResets) {
  std::string reply = "kept";
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 1);
  EXPECT_EQ(reply, "kept");
  EXPECT_EQ(transport.Log(), "WRWRWRWR");
}

TEST_F(DeviceProtocolTest, OneSilenceCostsAResetAndAResend) {
  int writes = 0;
  transport.onWrite = [&writes](const Bytes& frame, ScriptedTransport& self) {
    if (++writes == 2) self.Queue(Reply(frame[2], frame[3], "late"));
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "late");
  EXPECT_EQ(transport.Log(), "WRW");
}

TEST_F(DeviceProtocolTest, SynKeepsTheExchangeWaitingAtNoCost) {
  // A SYN every 75 ms, eight of them: the whole wait spans four silent periods
  // of 150 ms, but none passes without a SYN. (Queue times count from now.)
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    for (int i = 1; i <= 8; ++i) self.Queue({RegisterFrame::kSYN}, milliseconds(75 * i));
    self.Queue(Reply(frame[2], frame[3], "done"), milliseconds(75 * 9));
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "done");
  EXPECT_EQ(transport.Log(), "W");
}

// Replies spoilt on the way, each followed by the good answer to the resend.
// The register has sent all it will: waiting for more would cost a silence and
// a transport reset, where a resend is all it takes.
const std::vector<std::pair<const char*, std::function<Bytes(Bytes)>>>& DamagedReplies() {
  static const std::vector<std::pair<const char*, std::function<Bytes(Bytes)>>> damages = {
      {"LEN one too high", [](Bytes r) { return ++r[1], r; }},
      {"LEN one too low", [](Bytes r) { return --r[1], r; }},
      {"LEN with a bit flipped", [](Bytes r) { return r[1] ^= 0x40, r; }},
      {"separator", [](Bytes r) { return r[r.size() - 13] = 'x', r; }},
      {"post-amble", [](Bytes r) { return r[r.size() - 6] = 0x06, r; }},
      {"a byte dropped from the text", [](Bytes r) { return r.erase(r.begin() + 6), r; }},
      {"a byte dropped from the status", [](Bytes r) { return r.erase(r.end() - 9), r; }},
      {"cut after a check character that became ETX",
       [](Bytes r) { return r.resize(r.size() - 4), r.back() = RegisterFrame::kETX, r; }},
  };
  return damages;
}

TEST_F(DeviceProtocolTest, DamagedRepliesCostAResendNotASilence) {
  for (const auto& [what, damage] : DamagedReplies()) {
    for (const std::size_t piece : {std::size_t{64}, std::size_t{7}}) {
      int writes = 0;
      transport.onWrite = [&writes, &damage, piece](const Bytes& frame, ScriptedTransport& self) {
        const Bytes reply = Reply(frame[2], frame[3], "payload text");
        QueueInPieces(self, ++writes == 1 ? damage(reply) : reply, piece);
      };
      const std::string before = transport.Log();
      std::string reply;
      EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0) << what << " in reads of " << piece;
      EXPECT_EQ(reply, "payload text") << what;
      EXPECT_EQ(transport.Log().substr(before.size()), "WW") << what << " in reads of " << piece;
    }
  }
}

TEST_F(DeviceProtocolTest, NakBehindAHeldPartialFrameCostsAResend) {
  const Bytes partial = Reply(0x21, 0x80, "abcdefgh");
  const std::vector<std::pair<const char*, std::vector<Bytes>>> cases = {
      {"in the next read", {Bytes(partial.begin(), partial.begin() + 7), {RegisterFrame::kNAK}}},
      {"in the same read", {[&] {
         Bytes read(partial.begin(), partial.begin() + 7);
         read.push_back(RegisterFrame::kNAK);
         return read;
       }()}},
      {"after a start cut in the status", {Bytes(partial.begin(), partial.begin() + 15), {RegisterFrame::kNAK}}},
      {"after a lone SOH", {{RegisterFrame::kSOH}, {RegisterFrame::kNAK}}},
  };
  for (const auto& [what, reads] : cases) {
    int writes = 0;
    transport.onWrite = [&writes, &reads](const Bytes& frame, ScriptedTransport& self) {
      if (++writes > 1) return self.Queue(Reply(frame[2], frame[3], "second"));
      for (const Bytes& read : reads) self.Queue(read, milliseconds(5));
    };
    const std::string before = transport.Log();
    std::string reply;
    EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0) << what;
    EXPECT_EQ(reply, "second") << what;
    EXPECT_EQ(transport.Log().substr(before.size()), "WW") << what;
  }
}

TEST_F(DeviceProtocolTest, DamagedRepliesCountAsFailedFramesNotAsSilences) {
  // Three would end the exchange if each cost a silence; twenty-nine are survived.
  for (const int damaged : {3, 29}) {
    int writes = 0;
    transport.onWrite = [&writes, damaged](const Bytes& frame, ScriptedTransport& self) {
      Bytes reply = Reply(frame[2], frame[3], "at last");
      if (++writes <= damaged) reply.erase(reply.begin() + 5);
      self.Queue(reply);
    };
    const std::string before = transport.Log();
    std::string reply;
    EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0) << damaged;
    EXPECT_EQ(reply, "at last") << damaged;
    EXPECT_EQ(transport.Log().substr(before.size()), std::string(static_cast<std::size_t>(damaged) + 1, 'W'));
  }
  // The thirtieth ends it, as thirty NAKs do.
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    Bytes reply = Reply(frame[2], frame[3], "never");
    reply[reply.size() - 6] = 0x06;
    self.Queue(reply);
  };
  const std::string before = transport.Log();
  cDeviceProtocol::ReplyArea area{};
  EXPECT_EQ(engine.Exchange(0x80, "", area), cDeviceProtocol::kRefusedRepeatedly);
  EXPECT_EQ(transport.Log().substr(before.size()), std::string(31, 'W') + "R");
}

TEST_F(DeviceProtocolTest, LateAnswerWithEarlierSequenceIsDropped) {
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    self.Queue(Reply(static_cast<std::uint8_t>(frame[2] - 1), frame[3], "stale"));
    self.Queue(Reply(frame[2], frame[3], "fresh"));
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "fresh");
  EXPECT_EQ(transport.Frames().size(), 1u);
}

TEST_F(DeviceProtocolTest, BytesOutsideAFrameAreDropped) {
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    self.Queue({'x', 'y', 0x03});
    self.Queue({0x04, 0x05});
    self.Queue(Reply(frame[2], frame[3], "clean"));
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "clean");
  EXPECT_EQ(transport.Frames().size(), 1u);
}

// Whatever comes in front of a frame in the same read, the frame is found.
TEST_F(DeviceProtocolTest, EveryByteOfAReadIsLookedAt) {
  const std::vector<std::pair<const char*, Bytes>> prefixes = {
      {"SYN", {RegisterFrame::kSYN}},        {"two SYNs", {RegisterFrame::kSYN, RegisterFrame::kSYN}},
      {"NAK", {RegisterFrame::kNAK}},        {"stray bytes", {'x', 0x03, 0x7F}},
      {"a lone SOH", {RegisterFrame::kSOH}}, {"a cut frame", {RegisterFrame::kSOH, 0x40, 0x21, 0x80, 'a'}},
  };
  for (const auto& [what, prefix] : prefixes) {
    transport.onWrite = [prefix = prefix](const Bytes& frame, ScriptedTransport& self) {
      Bytes read = prefix;
      const Bytes reply = Reply(frame[2], frame[3], "found");
      read.insert(read.end(), reply.begin(), reply.end());
      read.push_back(RegisterFrame::kSYN);  // and what follows the frame does no harm
      self.Queue(read);
    };
    const std::size_t before = transport.Frames().size();
    std::string reply;
    EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0) << what;
    EXPECT_EQ(reply, "found") << what;
    EXPECT_EQ(transport.Frames().size(), before + 1) << what;
  }
}

TEST_F(DeviceProtocolTest, SynsBetweenThePiecesOfAFrameAreNotPartOfIt) {
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    const Bytes reply = Reply(frame[2], frame[3], "whole");
    self.Queue(Bytes(reply.begin(), reply.begin() + 6));
    self.Queue({RegisterFrame::kSYN, RegisterFrame::kSYN});
    self.Queue(Bytes(reply.begin() + 6, reply.end()));
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "whole");
  EXPECT_EQ(transport.Frames().size(), 1u);
}

TEST_F(DeviceProtocolTest, AnEndOfTextByteInsideTheStatusDoesNotEndTheFrame) {
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    QueueInPieces(self, Reply(frame[2], frame[3], "abc", {0x80, 0x03, 0x80, 0x80, 0x80, 0x03}), 9);
  };
  cDeviceProtocol::ReplyArea area{};
  ASSERT_EQ(engine.Exchange(0x80, "", area), 0u);
  EXPECT_EQ(area[257], 0x03);
  EXPECT_EQ(transport.Frames().size(), 1u);
}

// A late answer to a frame that was already sent again must never be taken for
// the answer to the new frame: each answer names the SEQ it answers, and a NAK
// makes the engine send again while the late answer is on its way.
TEST_F(DeviceProtocolTest, LateAnswersNeverAnswerTheResentRequest) {
  int writes = 0;
  transport.onWrite = [&writes](const Bytes& frame, ScriptedTransport& self) {
    const std::string names = std::to_string(frame[2]);
    if (++writes % 2 == 1) {
      self.Queue({RegisterFrame::kNAK});
      self.Queue(Reply(frame[2], frame[3], names));  // arrives while the resend goes out
    } else {
      self.Queue(Reply(frame[2], frame[3], names));
    }
  };
  for (int i = 0; i < 100; ++i) {
    std::string reply;
    ASSERT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
    EXPECT_EQ(reply, std::to_string(transport.Frames().back()[2])) << "exchange " << i;
  }
}

TEST_F(DeviceProtocolTest, BadCheckCharactersLeadToResend) {
  int writes = 0;
  transport.onWrite = [&writes](const Bytes& frame, ScriptedTransport& self) {
    Bytes reply = Reply(frame[2], frame[3], "body");
    if (++writes == 1) reply[reply.size() - 2] ^= 0x01;
    self.Queue(reply);
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "body");
  EXPECT_EQ(transport.Frames().size(), 2u);
}

TEST_F(DeviceProtocolTest, CheckCharactersNotYetArrivedDoNotPass) {
  // A frame cut after its post-amble but ending in 0x03 by chance of the cut.
  int writes = 0;
  transport.onWrite = [&writes](const Bytes& frame, ScriptedTransport& self) {
    Bytes reply = Reply(frame[2], frame[3], "cut");
    if (++writes == 1) {
      reply.resize(reply.size() - 4);
      reply.back() = 0x03;
    }
    self.Queue(reply);
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(transport.Frames().size(), 2u);
}

TEST_F(DeviceProtocolTest, NewFrameStartWhileOneIsHeldStartsAfresh) {
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    Bytes first = Reply(frame[2], frame[3], "abandoned");
    first.resize(8);
    self.Queue(first);
    self.Queue(Reply(frame[2], frame[3], "whole"));
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "whole");
  EXPECT_EQ(transport.Frames().size(), 1u);
}

TEST_F(DeviceProtocolTest, FullReceiveBufferStartsAgainAtItsBeginning) {
  transport.onWrite = [](const Bytes& frame, ScriptedTransport& self) {
    Bytes overlong(256, 'z');
    overlong[0] = RegisterFrame::kSOH;
    self.Queue(overlong);
    // Continues the over-long frame: these bytes land at the buffer's start and
    // are no frame, so they are not taken as one.
    self.Queue({'q', 'q'});
    self.Queue(Reply(frame[2], frame[3], "after overflow"));
  };
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "after overflow");
  EXPECT_EQ(transport.Frames().size(), 1u);
}

TEST_F(DeviceProtocolTest, TwentyOneEmptyReadsCountAsAFailedFrame) {
  // Silence long enough for 21 empty reads (1 ms each) but shorter than the
  // reply wait: the request goes out again without a transport reset.
  engine.Stop();
  DeviceTiming timing = FastTiming();
  timing.replyWaitMs = 5000;
  cDeviceProtocol patient(timing);
  ScriptedTransport quick(milliseconds(1));
  int writes = 0;
  quick.onWrite = [&writes](const Bytes& frame, ScriptedTransport& self) {
    if (++writes == 2) self.Queue(Reply(frame[2], frame[3], "second try"));
  };
  ASSERT_TRUE(patient.Start(&quick));
  std::string reply;
  EXPECT_EQ(patient.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(reply, "second try");
  EXPECT_EQ(quick.Log(), "WW");
}

TEST_F(DeviceProtocolTest, FailedWritesAreTriedThreeTimes) {
  transport.onWrite = Answering("ok");
  transport.FailNextWrites({5});
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_EQ(transport.Log(), "wRW");

  transport.FailNextWrites({5, 6, 7});
  cDeviceProtocol::ReplyArea area{};
  EXPECT_EQ(engine.Exchange(0x80, "", area), 7u);
  EXPECT_EQ(transport.Log().substr(3), "wRwRwRR");
}

TEST_F(DeviceProtocolTest, NoRegisterFailsAtOnceAndLeavesTheTextAlone) {
  transport.SetConnected(false);
  std::string reply = "kept";
  cDeviceProtocol::ReplyArea area{};
  EXPECT_EQ(engine.Exchange(0x80, "", area), cDeviceProtocol::kNoReply);
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 1);
  EXPECT_EQ(reply, "kept");
  EXPECT_TRUE(transport.Log().empty());
}

TEST(DeviceProtocolLifecycle, StartWithoutTransportAndRepeatedStop) {
  cDeviceProtocol engine(FastTiming());
  EXPECT_FALSE(engine.Start(nullptr));
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 1);
  ScriptedTransport transport;
  transport.SetConnected(false);
  EXPECT_FALSE(engine.Start(&transport));  // Open's answer: nothing attached
  transport.SetConnected(true);
  engine.Stop();
  engine.Stop();
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 1);  // stopped: no receiver
  EXPECT_TRUE(transport.Log().empty());
}

TEST(RegisterFrameTest, CheckCharactersUseColonToQuestionMarkAboveNine) {
  const Bytes bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  // 0x07F8
  EXPECT_EQ(RegisterFrame::CheckCharacters(bytes), (std::array<std::uint8_t, 4>{'0', '7', '?', '8'}));
  EXPECT_EQ(RegisterFrame::NextSequence(0x7F), 0x80);
  EXPECT_EQ(RegisterFrame::NextSequence(0x80), 0x20);
  EXPECT_TRUE(RegisterFrame::BuildReply(0x21, 0x80, std::string(213, 'a'), kOk).empty());
  EXPECT_EQ(RegisterFrame::BuildReply(0x21, 0x80, std::string(212, 'a'), kOk)[1], 0xFF);
}

}  // namespace
