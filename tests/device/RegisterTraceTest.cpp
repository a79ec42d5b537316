// The technician's trace of the register link.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include "tests/device/FastTiming.h"
#include "device/RegisterConnection.h"
#include "device/RegisterTrace.h"
#include "device/transport/DemoRegister.h"

namespace {

using Event = RegisterTrace::Event;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> Lines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines that contain all of the given pieces.
std::size_t CountLines(const std::vector<std::string>& lines, std::initializer_list<std::string> pieces) {
  std::size_t count = 0;
  for (const auto& line : lines) {
    bool all = true;
    for (const auto& piece : pieces) all = all && line.find(piece) != std::string::npos;
    count += all ? 1 : 0;
  }
  return count;
}

class RegisterTraceTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path); }
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("register-trace-" + std::to_string(::getpid()) + ".log");
};

TEST_F(RegisterTraceTest, ExchangesWithFaultsAreTracedLineByLine) {
  RegisterChoice choice = *RegisterChoice::Parse("demo", nullptr);
  choice.tracePath = path.string();
  std::vector<std::string> lines;
  {
    RegisterConnection connection(choice, FastTiming());
    ASSERT_TRUE(connection.TraceProblem().empty());
    ASSERT_TRUE(connection.Start());
    auto& demo = dynamic_cast<DemoRegister&>(connection.Transport());
    demo.InjectFault(DemoRegister::Fault::Nak);
    demo.InjectSynBurst(2);
    std::string reply;
    ASSERT_EQ(connection.Engine().DeviceTransaction(0x80, "", reply), 0);
    demo.InjectFault(DemoRegister::Fault::Silence);
    ASSERT_EQ(connection.Engine().DeviceTransaction(0x83, "R1", reply), 0);
    connection.Trace()->Flush();
    lines = Lines(path);
  }
  ASSERT_FALSE(lines.empty());
  const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} .+)");
  for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, stamped)) << line;
  EXPECT_EQ(CountLines(lines, {"trace started: the built-in demo register, attached"}), 1u);
  // The worked frame, then its resend after the NAK with the next SEQ.
  EXPECT_EQ(CountLines(lines, {"TX 01 24 21 80 05 30 30 3C 3A 03  CMD 80 SEQ 21 text \"\""}), 1u);
  EXPECT_EQ(CountLines(lines, {"RX NAK"}), 1u);
  EXPECT_EQ(CountLines(lines, {"TX 01 24 22 80", "SEQ 22"}), 1u);
  EXPECT_GE(CountLines(lines, {"RX SYN"}), 2u);
  EXPECT_EQ(CountLines(lines, {"RX 01 ", "CMD 80 SEQ 22 text \"", "status ", "(the answer)"}), 1u);
  EXPECT_EQ(CountLines(lines, {"TX ", "CMD 83", "text \"R1\""}), 2u);
  EXPECT_EQ(CountLines(lines, {"silence: no answer within 150 ms"}), 1u);
  EXPECT_EQ(CountLines(lines, {"transport reset: demo register"}), 1u);
}

TEST_F(RegisterTraceTest, DescribeDecodesFramesAndNamesEvents) {
  // Reply to SEQ 0x21, command 0x80, text "A\"\xC4", status 80 A0 ...
  const Bytes reply{0x01, 0x2E, 0x21, 0x80, 'A',  '"',  0xC4, 0x04, 0x80, 0xA0,
                    0x80, 0x80, 0x80, 0x80, 0x05, 0x30, 0x33, 0x38, 0x3F, 0x03};
  const std::vector<std::tuple<Event, Bytes, std::string, std::string>> cases = {
      {Event::Received, reply, "the answer",
       "RX 01 2E 21 80 41 22 C4 04 80 A0 80 80 80 80 05 30 33 38 3F 03  CMD 80 SEQ 21 text \"A\\\"\xC3\x84\" "
       "status 80 A0 80 80 80 80 (the answer)"},
      {Event::Sent,
       {0x01, 0x25, 0x30, 0x6B, '\n', 0x05, 0x30, 0x30, 0x3C, 0x3A, 0x03},
       "",
       "TX 01 25 30 6B 0A 05 30 30 3C 3A 03  CMD 6B SEQ 30 text \"\\n\""},
      {Event::Received, {0x01, 0x40, 0x21}, "", "RX 01 40 21"},
      {Event::Nak, {}, "", "RX NAK"},
      {Event::Syn, {}, "", "RX SYN"},
      {Event::Stray, {0x78, 0x03}, "", "RX dropped 78 03"},
      {Event::Reset, {}, "in place", "transport reset: in place"},
      {Event::Arrived, {}, "USB 1234:5678", "register attached: USB 1234:5678"},
  };
  for (const auto& [event, bytes, note, expected] : cases)
    EXPECT_EQ(RegisterTrace::Describe(event, bytes, note), expected);
}

TEST_F(RegisterTraceTest, AFileThatCannotBeWrittenIsReportedAndNothingIsTraced) {
  std::string error;
  EXPECT_EQ(RegisterTrace::Open("/nonexistent-folder/trace.log", &error), nullptr);
  EXPECT_NE(error.find("/nonexistent-folder/trace.log"), std::string::npos);

  RegisterChoice choice = *RegisterChoice::Parse("demo", nullptr);
  choice.tracePath = "/nonexistent-folder/trace.log";
  RegisterConnection connection(choice, FastTiming());
  EXPECT_FALSE(connection.TraceProblem().empty());
  EXPECT_NE(connection.Diagnostic().find("trace"), std::string::npos);
  EXPECT_EQ(connection.Trace(), nullptr);
  EXPECT_TRUE(connection.Start());
  std::string reply;
  EXPECT_EQ(connection.Engine().DeviceTransaction(0x80, "", reply), 0);
}

TEST_F(RegisterTraceTest, EventsBeyondTheCapacityAreCountedNotWaitedFor) {
  auto trace = RegisterTrace::Open(path.string(), nullptr);
  ASSERT_NE(trace, nullptr);
  for (std::size_t i = 0; i < 3 * RegisterTrace::kCapacity; ++i) trace->Record(Event::Syn);
  trace->Flush();
  const auto lines = Lines(path);
  const std::size_t recorded = 3 * RegisterTrace::kCapacity;
  const std::size_t syns = CountLines(lines, {"RX SYN"});
  EXPECT_GE(syns, RegisterTrace::kCapacity);
  // Every event is in the file or counted in a line that says how many were lost.
  if (syns < recorded) {
    EXPECT_EQ(lines.size(), syns + 1);
    EXPECT_EQ(CountLines(lines, {"(" + std::to_string(recorded - syns) + " events lost"}), 1u);
  }
}

}  // namespace
