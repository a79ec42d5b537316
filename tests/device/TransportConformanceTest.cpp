// What every transport of the registry promises the protocol engine, run
// against each of them: the serial line over a pseudo-terminal, the USB
// transport over the fake USB library, a TCP connection to a loopback server,
// and the demo register. Behind the first three a demo register answers, so
// every transport carries the same exchanges.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "device/RegisterConnection.h"
#include "device/cDeviceProtocol.h"
#include "device/transport/DemoRegister.h"
#include "device/transport/NetworkTransport.h"
#include "device/transport/TransportRegistry.h"
#include "device/transport/cICLWDUDriver.h"
#include "tests/device/FlakyRegisterServer.h"
#include "tests/device/FakeUsb.h"

namespace {

using namespace std::chrono_literals;

DeviceTiming ConformanceTiming() {
  DeviceTiming timing;
  timing.lineReadTimeoutMs = 10;
  timing.usbTransferTimeoutMs = 10;
  timing.attachPollMs = 1;
  timing.attachPollCount = 50;
  timing.resetSettleMs = 1;
  timing.replyWaitMs = 300;
  timing.exchangeLockWaitMs = 100;
  timing.writeRetryPauseMs = 1;
  timing.afterFramePauseMs = 0;
  timing.noDevicePollMs = 1;
  timing.stopPollMs = 1;
  timing.startPauseMs = 0;
  timing.connectTimeoutMs = 500;
  return timing;
}

// Everything the register behind a transport sends back for the bytes given.
std::vector<std::uint8_t> Answer(DemoRegister& demo, const std::uint8_t* data, std::size_t length) {
  demo.Write(data, static_cast<std::uint32_t>(length));
  std::vector<std::uint8_t> answer;
  std::uint8_t buffer[256];
  while (const std::uint32_t got = demo.Read(buffer, sizeof buffer)) answer.insert(answer.end(), buffer, buffer + got);
  return answer;
}

DemoRegister::Options FarEnd() {
  DemoRegister::Options options;
  options.timing.lineReadTimeoutMs = 1;
  return options;
}

// The built-in demo register is the transport and the register at once.
struct DemoRig {
  DemoRig() {
    std::string error;
    address = transports::Parse("demo", &error);
    transport = address->MakeTransport(ConformanceTiming());
  }
  DemoRegister& Register() { return static_cast<DemoRegister&>(*transport); }
  void Unplug() { Register().Detach(); }

  std::shared_ptr<const TransportAddress> address;
  std::unique_ptr<iCOMDriver> transport;
  const char* text = "demo";
  const char* description = "the built-in demo register";
};

// A register on a serial line: the far end of a pseudo-terminal, answered by a demo register.
struct SerialRig {
  SerialRig() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) path = ptsname(master);
    textStorage = "serial:" + path + "@9600";
    descriptionStorage = "the register on " + path + " at 9600 baud";
    text = textStorage.c_str();
    description = descriptionStorage.c_str();
    address = transports::Parse(textStorage, nullptr);
    transport = address->MakeTransport(ConformanceTiming());
    far = std::thread([this] {
      std::uint8_t buffer[256];
      while (running) {
        pollfd wait{master, POLLIN, 0};
        if (poll(&wait, 1, 5) <= 0) continue;
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) continue;
        const auto answer = Answer(demo, buffer, static_cast<std::size_t>(got));
        if (!answer.empty() && write(master, answer.data(), answer.size()) != static_cast<ssize_t>(answer.size()))
          ADD_FAILURE() << "the far end could not answer";
      }
    });
  }
  ~SerialRig() {
    running = false;
    far.join();
    transport.reset();
    if (master >= 0) close(master);
  }
  // The line goes away: its far end closes.
  void Unplug() {
    running = false;
    far.join();
    close(master);
    master = -1;
    running = true;
    far = std::thread([] {});
  }

  DemoRegister demo{FarEnd()};
  int master = -1;
  std::string path, textStorage, descriptionStorage;
  std::atomic<bool> running{true};
  std::thread far;
  std::shared_ptr<const TransportAddress> address;
  std::unique_ptr<iCOMDriver> transport;
  const char* text = nullptr;
  const char* description = nullptr;
};

// A USB register on the fake USB library, answered by a demo register.
struct UsbRig {
  UsbRig() {
    address = transports::Parse(text, nullptr);
    auto owned = std::make_unique<FakeUsbBackend>();
    backend = owned.get();
    // The transport of the registry would take the real library; this one takes the fake.
    transport = std::make_unique<cICLWDUDriver>(std::move(owned), ConformanceTiming());
    link->onFrame = [this](const std::vector<std::uint8_t>& frame, FakeUsbLink& self) {
      const auto answer = Answer(demo, frame.data(), frame.size());
      std::vector<FakeUsbLink::Step> packets;
      for (std::size_t at = 0; at < answer.size(); at += 64) {
        const auto end = answer.begin() + static_cast<std::ptrdiff_t>(std::min(answer.size(), at + 64));
        packets.push_back({0, -1, {answer.begin() + static_cast<std::ptrdiff_t>(at), end}});
      }
      self.Script(0x81, packets);
    };
    backend->Plug(link);
  }
  void Unplug() { backend->Unplug(); }

  DemoRegister demo{FarEnd()};
  std::shared_ptr<FakeUsbLink> link = std::make_shared<FakeUsbLink>();
  FakeUsbBackend* backend = nullptr;
  std::shared_ptr<const TransportAddress> address;
  std::unique_ptr<iCOMDriver> transport;
  const char* text = "usb:1a2b:00ff";
  const char* description = "the USB register";
};

// A register behind a TCP port: a loopback server answered by a demo register.
struct TcpRig {
  TcpRig() {
    textStorage = "tcp:127.0.0.1:" + std::to_string(server.Port());
    descriptionStorage = "the register at 127.0.0.1:" + std::to_string(server.Port());
    text = textStorage.c_str();
    description = descriptionStorage.c_str();
    address = transports::Parse(textStorage, nullptr);
    transport = address->MakeTransport(ConformanceTiming());
  }
  // The server goes away and takes its port with it.
  void Unplug() { server.Stop(); }

  DemoRegister demo{FarEnd()};
  FlakyRegisterServer server{demo};
  std::string textStorage, descriptionStorage;
  std::shared_ptr<const TransportAddress> address;
  std::unique_ptr<iCOMDriver> transport;
  const char* text = nullptr;
  const char* description = nullptr;
};

template <typename Rig>
class TransportConformanceTest : public ::testing::Test {
 protected:
  Rig rig;
  iCOMDriver& Transport() { return *rig.transport; }
};

using Rigs = ::testing::Types<DemoRig, SerialRig, UsbRig, TcpRig>;
TYPED_TEST_SUITE(TransportConformanceTest, Rigs);

TYPED_TEST(TransportConformanceTest, DescribesItselfAsItsAddressIsWritten) {
  ASSERT_NE(this->rig.address, nullptr);
  EXPECT_EQ(this->rig.address->Text(), this->rig.text);
  EXPECT_EQ(this->rig.address->Describe(), this->rig.description);
  const auto again = transports::Parse(this->rig.address->Text(), nullptr);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Text(), this->rig.text);
}

TYPED_TEST(TransportConformanceTest, FramesMakeTheRoundTripThroughTheEngine) {
  ASSERT_TRUE(this->Transport().Open(0));
  EXPECT_TRUE(this->Transport().IsConnected());
  EXPECT_TRUE(this->Transport().Diagnostic().empty());
  cDeviceProtocol engine(ConformanceTiming());
  ASSERT_TRUE(engine.Start(&this->Transport()));
  std::string reply;
  EXPECT_EQ(engine.DeviceTransaction(0x83, "R1", reply), 0);
  EXPECT_EQ(reply.substr(0, 9), "R,1,Baker");
  EXPECT_EQ(engine.DeviceTransaction(0x6B, "F", reply), 0);
  EXPECT_EQ(reply.substr(0, 6), "A,101,");

  // After a reset the register is there again and answers.
  this->Transport().Reset();
  EXPECT_TRUE(this->Transport().IsConnected());
  EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0);
  EXPECT_FALSE(reply.empty());
  engine.Stop();
}

TYPED_TEST(TransportConformanceTest, ARegisterThatGoesIsNoLongerConnected) {
  ASSERT_TRUE(this->Transport().Open(0));
  this->rig.Unplug();
  std::uint8_t buffer[16];
  EXPECT_EQ(this->Transport().Read(buffer, sizeof buffer), 0u);
  EXPECT_FALSE(this->Transport().IsConnected());
  const std::uint8_t frame[] = {0x01, 0x24, 0x21, 0x80, 0x05, 0x30, 0x30, 0x3C, 0x3A, 0x03};
  EXPECT_EQ(this->Transport().Write(frame, sizeof frame), 0u);
  this->Transport().Reset();  // with nothing there, nothing to bring back
  EXPECT_FALSE(this->Transport().IsConnected());
}

TYPED_TEST(TransportConformanceTest, AClosedTransportCarriesNothing) {
  ASSERT_TRUE(this->Transport().Open(0));
  this->Transport().Close();
  EXPECT_FALSE(this->Transport().IsConnected());
  const std::uint8_t frame[] = {0x01, 0x24, 0x21, 0x80, 0x05, 0x30, 0x30, 0x3C, 0x3A, 0x03};
  EXPECT_EQ(this->Transport().Write(frame, sizeof frame), 0u);
  std::uint8_t buffer[16];
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(this->Transport().Read(buffer, sizeof buffer), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
}

// Every form of address the help names, and what is refused.
TEST(TransportRegistryTest, AddressesAndTheirRefusals) {
  EXPECT_EQ(transports::Forms(),
            "usb|usb:VENDOR:PRODUCT|demo|serial:DEVICE[@BAUD]|tcp:HOST:PORT|rfc2217:HOST:PORT[@BAUD]");
  const struct {
    const char* text;
    const char* written;  // as --register writes it back
    const char* scheme;
  } good[] = {
      {"usb", "usb", "usb"},
      {"usb:1A2B:ff", "usb:1a2b:00ff", "usb"},
      {"demo", "demo", "demo"},
      {"serial:/dev/ttyACM0", "serial:/dev/ttyACM0", "serial"},
      {"serial:/dev/ttyACM0@115200", "serial:/dev/ttyACM0", "serial"},
      {"serial:/dev/a@b@9600", "serial:/dev/a@b@9600", "serial"},
      {"tcp:10.0.0.21:4001", "tcp:10.0.0.21:4001", "tcp"},
      {"tcp:shop-7.example.net:1", "tcp:shop-7.example.net:1", "tcp"},
      {"tcp:[::1]:65535", "tcp:[::1]:65535", "tcp"},
      {"rfc2217:10.0.0.21:4001", "rfc2217:10.0.0.21:4001", "rfc2217"},
      {"rfc2217:10.0.0.21:4001@9600", "rfc2217:10.0.0.21:4001", "rfc2217"},
      {"rfc2217:[2001:db8::7]:2000@115200", "rfc2217:[2001:db8::7]:2000@115200", "rfc2217"},
  };
  for (const auto& row : good) {
    std::string error;
    const auto address = transports::Parse(row.text, &error);
    ASSERT_NE(address, nullptr) << row.text << ": " << error;
    EXPECT_EQ(address->Text(), row.written);
    EXPECT_EQ(address->Scheme(), row.scheme);
  }
  const struct {
    const char* text;
    const char* because;
  } bad[] = {
      {"usb:", "usb:VENDOR:PRODUCT in hexadecimal"},
      {"usb:1a2b", "usb:VENDOR:PRODUCT in hexadecimal"},
      {"usb:xyz:1", "usb:VENDOR:PRODUCT in hexadecimal"},
      {"serial:", "name the serial device"},
      {"serial:/dev/ttyS0@fast", "baud rate after @"},
      {"demo:1", "unknown register connection \"demo:1\"; use --register usb|usb:VENDOR:PRODUCT|demo|serial"},
      {"tcp:", "name the port after the host, as in tcp:"},
      {"tcp:10.0.0.21", "name the port after the host"},
      {"tcp::4001", "name the host"},
      {"tcp:10.0.0.21:0", "port must be a number from 1 to 65535"},
      {"tcp:10.0.0.21:65536", "port must be a number from 1 to 65535"},
      {"tcp:10.0.0.21:40x1", "port must be a number from 1 to 65535"},
      {"tcp:10.0.0.21:-1", "port must be a number from 1 to 65535"},
      {"tcp:10.0.0.21:", "port must be a number from 1 to 65535"},
      {"tcp:::1:4001", "put an IPv6 address in brackets"},
      {"tcp:[::1:4001", "closing bracket"},
      {"tcp:[::1]", "name the port after the address"},
      {"tcp:[::1]4001", "name the port after the address"},
      {"tcp:[10.0.0.1]:4001", "is not an IPv6 address"},
      {"tcp:[]:4001", "is not an IPv6 address"},
      {"tcp:shop 7:4001", "is not a host name or an IPv4 address"},
      {"tcp:10.0.0.21:4001@9600", "port must be a number"},
      {"rfc2217:10.0.0.21:4001@", "baud rate after @ must be a number"},
      {"rfc2217:10.0.0.21:4001@0", "baud rate after @ must be a number"},
      {"rfc2217:10.0.0.21@9600", "name the port after the host, as in rfc2217:"},
      {"rfc2217", "unknown register connection"},
      {"", "unknown register connection"},
  };
  for (const auto& row : bad) {
    std::string error;
    EXPECT_EQ(transports::Parse(row.text, &error), nullptr) << row.text;
    EXPECT_NE(error.find(row.because), std::string::npos) << row.text << ": " << error;
  }
}

// A register whose connection breaks goes on answering: the transport
// connects again and the engine's resend carries the exchange.
TEST(NetworkTransportTest, AConnectionClosedByTheServerIsMadeAgain) {
  DemoRegister demo{FarEnd()};
  FlakyRegisterServer server{demo};
  auto transport =
      transports::Parse("tcp:127.0.0.1:" + std::to_string(server.Port()), nullptr)->MakeTransport(ConformanceTiming());
  ASSERT_TRUE(transport->Open(0));
  cDeviceProtocol engine(ConformanceTiming());
  ASSERT_TRUE(engine.Start(transport.get()));
  std::string reply;
  for (int round = 0; round < 3; ++round) {
    server.DropAfter(1);  // the next request is lost with its connection
    EXPECT_EQ(engine.DeviceTransaction(0x83, "R1", reply), 0) << round;
    EXPECT_EQ(reply.substr(0, 9), "R,1,Baker");
  }
  EXPECT_EQ(server.Connections(), 4);
  engine.Stop();
}

// A port nobody listens on is reported at once, by address and reason; a
// host that does not answer within the connect time limit, by that limit.
TEST(NetworkTransportTest, AnUnreachableRegisterIsNamedQuickly) {
  DemoRegister demo{FarEnd()};
  auto server = std::make_unique<FlakyRegisterServer>(demo);
  const std::string port = std::to_string(server->Port());
  server.reset();  // the port is free now: connecting is refused
  const struct {
    std::string address;
    std::string message;
  } cases[] = {
      {"tcp:127.0.0.1:" + port, "cannot reach the register at 127.0.0.1:" + port + ": connection refused"},
      {"rfc2217:127.0.0.1:" + port, "cannot reach the register at 127.0.0.1:" + port + ": connection refused"},
      // TEST-NET-1 is never routed to a host that answers.
      {"tcp:192.0.2.1:4001", "cannot reach the register at 192.0.2.1:4001: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    auto transport = transports::Parse(c.address, nullptr)->MakeTransport(ConformanceTiming());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(transport->Open(0));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_FALSE(transport->IsConnected());
    EXPECT_EQ(transport->Diagnostic().substr(0, c.message.size()), c.message);
    // The engine opens the transport again and gives up as quickly.
    cDeviceProtocol engine(ConformanceTiming());
    EXPECT_FALSE(engine.Start(transport.get()));
    std::string reply;
    EXPECT_NE(engine.DeviceTransaction(0x80, "", reply), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 3s);
    engine.Stop();
  }
}

}  // namespace
