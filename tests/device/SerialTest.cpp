// The settings dialog's serial port and the serial-line transport, on a
// pseudo-terminal standing in for the port.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "device/RegisterFrame.h"
#include "device/SerialPort.h"
#include "device/transport/DemoRegister.h"
#include "device/cDeviceProtocol.h"
#include "device/transport/SerialLineTransport.h"

namespace {

// The far end of a pseudo-terminal; the near end's path plays the port.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) path_ = ptsname(master_);
  }
  ~PseudoTerminal() { CloseMaster(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool Ready() const { return master_ >= 0 && !path_.empty(); }
  const std::string& Path() const { return path_; }
  int Master() const { return master_; }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  // The settings of the near end, as the far end sees them.
  termios Settings() const {
    termios settings{};
    tcgetattr(master_, &settings);
    return settings;
  }
  std::string ReadAvailable(int waitMs) const {
    std::string text;
    pollfd wait{master_, POLLIN, 0};
    while (poll(&wait, 1, waitMs) > 0) {
      char buffer[256];
      const ssize_t got = read(master_, buffer, sizeof buffer);
      if (got <= 0) break;
      text.append(buffer, static_cast<std::size_t>(got));
      waitMs = 5;
    }
    return text;
  }

 private:
  int master_ = -1;
  std::string path_;
};

TEST(SerialPortTest, PortNamesMapToDevicePaths) {
  EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath("COM4"), "/dev/ttyS3");
  EXPECT_EQ(SerialDevicePath("COM5"), "COM5");
  EXPECT_EQ(SerialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(SerialPortTest, OpensWithTheFixedLineSettingsAndRestoresThemOnClose) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Ready());
  const termios before = pty.Settings();
  ASSERT_EQ(SerialOpen(pty.Path(), 300, 19200), kSerialOk);
  EXPECT_TRUE(SerialIsOpen());
  const termios line = pty.Settings();
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));

  EXPECT_EQ(SerialClose(), kSerialOk);
  EXPECT_FALSE(SerialIsOpen());
  const termios after = pty.Settings();
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
}

TEST(SerialPortTest, OpeningTwiceAndClosingTwice) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Ready());
  // What the dialog does on every OK: close (nothing open yet: 10), then open.
  EXPECT_EQ(SerialClose(), kSerialCloseFailed);
  EXPECT_EQ(SerialOpen(pty.Path(), 300, 9600), kSerialOk);
  EXPECT_EQ(SerialClose(), kSerialOk);
  EXPECT_EQ(SerialOpen(pty.Path(), 300, 9600), kSerialOk);
  // Opening again while open closes the first one rather than leaking it.
  EXPECT_EQ(SerialOpen(pty.Path(), 300, 115200), kSerialOk);
  EXPECT_EQ(SerialClose(), kSerialOk);
  EXPECT_EQ(SerialClose(), kSerialCloseFailed);
}

TEST(SerialPortTest, FailuresGiveTheirStatusAndLeaveNothingOpen) {
  EXPECT_EQ(SerialOpen("/dev/no-such-port-here", 300, 9600), kSerialOpenFailed);
  EXPECT_FALSE(SerialIsOpen());
  EXPECT_EQ(SerialOpen("/dev/null", 300, 9600), kSerialOpenFailed);  // not a serial line
  EXPECT_FALSE(SerialIsOpen());
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Ready());
  EXPECT_EQ(SerialOpen(pty.Path(), 300, 12345), kSerialSettingsRefused);
  EXPECT_FALSE(SerialIsOpen());
}

DeviceTiming LineTiming() {
  DeviceTiming timing;
  timing.lineReadTimeoutMs = 10;
  timing.usbTransferTimeoutMs = 200;
  timing.replyWaitMs = 200;
  timing.afterFramePauseMs = 0;
  timing.writeRetryPauseMs = 1;
  timing.stopPollMs = 1;
  timing.startPauseMs = 0;
  return timing;
}

TEST(SerialLineDriverTest, CarriesBytesBothWays) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Ready());
  SerialLineTransport line(pty.Path(), 115200, LineTiming());
  ASSERT_TRUE(line.Open(0));
  EXPECT_TRUE(line.IsConnected());

  const std::uint8_t frame[] = {0x01, 0x24, 0x21, 0x80, 0x05, 0x30, 0x30, 0x3C, 0x3A, 0x03};
  EXPECT_EQ(line.Write(frame, sizeof frame), sizeof frame);
  EXPECT_EQ(line.GetLastStatus(), 0u);
  EXPECT_EQ(pty.ReadAvailable(1000), std::string(reinterpret_cast<const char*>(frame), sizeof frame));

  ASSERT_EQ(write(pty.Master(), "\x16\x01\x03", 3), 3);
  std::uint8_t buffer[2]{};
  std::string got;
  for (int i = 0; i < 100 && got.size() < 3; ++i) {
    const auto n = line.Read(buffer, sizeof buffer);  // never more than the capacity
    ASSERT_LE(n, 2u);
    got.append(reinterpret_cast<const char*>(buffer), n);
  }
  EXPECT_EQ(got, "\x16\x01\x03");
  EXPECT_EQ(line.Read(buffer, sizeof buffer), 0u);  // nothing more: time-out

  // A reset discards what came and was not read.
  ASSERT_EQ(write(pty.Master(), "junk", 4), 4);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  line.Reset();
  EXPECT_TRUE(line.IsConnected());
  EXPECT_EQ(line.Read(buffer, sizeof buffer), 0u);
}

TEST(SerialLineDriverTest, LostLineAndMissingDevice) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Ready());
  SerialLineTransport line(pty.Path(), 115200, LineTiming());
  ASSERT_TRUE(line.Open(0));
  pty.CloseMaster();
  std::uint8_t buffer[4];
  EXPECT_EQ(line.Read(buffer, sizeof buffer), 0u);
  EXPECT_FALSE(line.IsConnected());
  EXPECT_EQ(line.Write(buffer, 1), 0u);
  EXPECT_NE(line.GetLastStatus(), 0u);

  SerialLineTransport missing("/dev/no-such-register", 115200, LineTiming());
  EXPECT_FALSE(missing.Open(0));
  EXPECT_FALSE(missing.IsConnected());
  EXPECT_NE(missing.Diagnostic().find("no-such-register"), std::string::npos);
  EXPECT_EQ(missing.Write(buffer, 1), 0u);
  EXPECT_EQ(missing.GetLastStatus(), SerialLineTransport::kStatusNotOpen);
  missing.Reset();
  EXPECT_FALSE(missing.IsConnected());
}

// The engine over a serial line, with the demo register answering at the far end.
TEST(SerialLineDriverTest, EngineTalksToARegisterAcrossTheLine) {
  PseudoTerminal pty;
  ASSERT_TRUE(pty.Ready());
  DemoRegister::Options options;
  options.timing.lineReadTimeoutMs = 5;
  DemoRegister demo(options);
  std::atomic<bool> running{true};
  std::thread far([&] {
    std::uint8_t buffer[256];
    pollfd wait{pty.Master(), POLLIN, 0};
    while (running) {
      if (poll(&wait, 1, 5) > 0) {
        const ssize_t got = read(pty.Master(), buffer, sizeof buffer);
        if (got > 0) demo.Write(buffer, static_cast<std::uint32_t>(got));
      }
      const auto out = demo.Read(buffer, sizeof buffer);
      if (out > 0 && write(pty.Master(), buffer, out) != static_cast<ssize_t>(out))
        ADD_FAILURE() << "far end could not write";
    }
  });
  {
    SerialLineTransport line(pty.Path(), 115200, LineTiming());
    cDeviceProtocol engine(LineTiming());
    ASSERT_TRUE(engine.Start(&line));
    std::string reply;
    EXPECT_EQ(engine.DeviceTransaction(0x83, "R1", reply), 0);
    EXPECT_EQ(reply.substr(0, 9), "R,1,Baker");
    EXPECT_EQ(engine.DeviceTransaction(0x6B, "F", reply), 0);
    EXPECT_EQ(reply.substr(0, 6), "A,101,");
    engine.Stop();
  }
  running = false;
  far.join();
}

}  // namespace
