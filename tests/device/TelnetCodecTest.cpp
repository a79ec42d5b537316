// The Telnet stream of a serial device server: escaping, commands taken out
// of the register's bytes, options answered without loops, the COM port settings.
#include "device/transport/TelnetCodec.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;

TEST(TelnetCodecTest, EscapesAndUnescapesTheRegistersBytes) {
  EXPECT_EQ(TelnetCodec::Escape(Bytes{0x01, 0xFF, 0x03, 0xFF, 0xFF}),
            (Bytes{0x01, 0xFF, 0xFF, 0x03, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(TelnetCodec::Escape(Bytes{}), Bytes{});
}

TEST(TelnetCodecTest, TakesCommandsOutOfTheStreamWhereverItIsSplit) {
  // Register bytes with a doubled 0xFF, a NOP, a subnegotiation holding a
  // doubled 0xFF, the baud rate the server confirmed, and a negotiation.
  const Bytes stream = {0x01, IAC, IAC, 0x02, IAC,  241,  0x03, IAC,  SB,  44, 110,  IAC, IAC,  IAC, SE,
                        IAC,  SB,  44,  101,  0x00, 0x00, 0x4B, 0x00, IAC, SE, 0x04, IAC, WILL, 1,   0x05};
  const Bytes data = {0x01, 0xFF, 0x02, 0x03, 0x04, 0x05};
  for (std::size_t split = 0; split <= stream.size(); ++split) {
    TelnetCodec codec;
    Bytes got, reply;
    codec.Receive({stream.data(), split}, got, reply);
    codec.Receive({stream.data() + split, stream.size() - split}, got, reply);
    EXPECT_EQ(got, data) << split;
    EXPECT_EQ(reply, (Bytes{IAC, DONT, 1})) << "echo is refused; split " << split;
    EXPECT_EQ(codec.ConfirmedBaud(), 19200u) << split;
  }
}

TEST(TelnetCodecTest, OpensWithTheComPortOptionAndTheLineSettings) {
  TelnetCodec codec;
  const Bytes opening = codec.Opening(0x0001C2FF);  // a rate with an 0xFF byte is escaped
  const Bytes expected = {IAC,  WILL, 44,  IAC, WILL, 0,  IAC, DO,  0,  IAC, SB, 44,  1,  0x00, 0x01, 0xC2,
                          0xFF, 0xFF, IAC, SE,  IAC,  SB, 44,  2,   8,  IAC, SE, IAC, SB, 44,   3,    1,
                          IAC,  SE,   IAC, SB,  44,   4,  1,   IAC, SE, IAC, SB, 44,  5,  1,    IAC,  SE};
  EXPECT_EQ(opening, expected);
  EXPECT_FALSE(codec.TakeNotes().empty());
}

TEST(TelnetCodecTest, AnswersNegotiationOnceAndRefusesWhatIsNotNeeded) {
  const struct {
    const char* name;
    bool opened;  // after our opening
    Bytes in;
    Bytes reply;
  } cases[] = {
      {"server agrees to what we asked", true, {IAC, DO, 44, IAC, DO, 0, IAC, WILL, 0}, {}},
      {"agreeing twice changes nothing", true, {IAC, DO, 44, IAC, DO, 44, IAC, WILL, 0, IAC, WILL, 0}, {}},
      {"options we do not need",
       true,
       {IAC, DO, 1, IAC, WILL, 3, IAC, DO, 24},
       {IAC, WONT, 1, IAC, DONT, 3, IAC, WONT, 24}},
      {"binary offered before we asked", false, {IAC, WILL, 0, IAC, DO, 0}, {IAC, DO, 0, IAC, WILL, 0}},
      {"binary withdrawn after agreement",
       true,
       {IAC, WILL, 0, IAC, WONT, 0, IAC, DO, 0, IAC, DONT, 0},
       {IAC, DONT, 0, IAC, WONT, 0}},
      {"refusals of what we asked are not answered", true, {IAC, DONT, 44, IAC, WONT, 0}, {}},
      {"a refusal of what is off is not answered", false, {IAC, DONT, 7, IAC, WONT, 7}, {}},
  };
  for (const auto& c : cases) {
    TelnetCodec codec;
    if (c.opened) codec.Opening(9600);
    Bytes data, reply;
    codec.Receive(c.in, data, reply);
    EXPECT_EQ(reply, c.reply) << c.name;
    EXPECT_TRUE(data.empty()) << c.name;
  }
}

TEST(TelnetCodecTest, AnOverlongSubnegotiationIsSkippedWhole) {
  TelnetCodec codec;
  Bytes stream = {IAC, SB, 44, 101};
  stream.insert(stream.end(), 1000, 0x41);
  stream.insert(stream.end(), {IAC, SE, 0x07});
  Bytes data, reply;
  codec.Receive(stream, data, reply);
  EXPECT_EQ(data, Bytes{0x07});
  EXPECT_FALSE(codec.ConfirmedBaud());
}

}  // namespace
