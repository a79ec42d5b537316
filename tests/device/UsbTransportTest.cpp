// The USB transport's own rules, with the USB library played by the test.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <numeric>
#include <thread>

#include "device/transport/ClaimRetries.h"
#include "tests/device/FakeUsb.h"
#include "device/transport/LibusbBackend.h"
#include "device/RegisterFrame.h"
#include "device/cDeviceProtocol.h"
#include "device/transport/cICLWDUDriver.h"

namespace {

using Step = FakeUsbLink::Step;

DeviceTiming FastTiming() {
  DeviceTiming timing;
  timing.usbTransferTimeoutMs = 10;
  timing.attachPollMs = 1;
  timing.attachPollCount = 20;
  timing.resetSettleMs = 1;
  return timing;
}

std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{1});
  return bytes;
}

class UsbTransportTest : public ::testing::Test {
 protected:
  UsbTransportTest() {
    auto owned = std::make_unique<FakeUsbBackend>();
    backend = owned.get();
    driver = std::make_unique<cICLWDUDriver>(std::move(owned), FastTiming());
  }
  void PlugRegister() { backend->Plug(link); }

  std::shared_ptr<FakeUsbLink> link = std::make_shared<FakeUsbLink>();
  FakeUsbBackend* backend = nullptr;
  std::unique_ptr<cICLWDUDriver> driver;
};

TEST_F(UsbTransportTest, WritesGoOutInChunksOfAtMost32Bytes) {
  PlugRegister();
  const auto frame = Counting(100);
  EXPECT_EQ(driver->Write(frame.data(), 100), 100u);
  EXPECT_EQ(driver->GetLastStatus(), 0u);
  const auto calls = link->Calls();
  ASSERT_EQ(calls.size(), 4u);
  std::vector<std::uint8_t> joined;
  for (const auto& call : calls) {
    EXPECT_EQ(call.endpoint, cICLWDUDriver::kOutEndpoint);
    joined.insert(joined.end(), call.bytes.begin(), call.bytes.end());
  }
  EXPECT_EQ(calls[0].length, 32);
  EXPECT_EQ(calls[3].length, 4);
  EXPECT_EQ(joined, frame);

  const auto exact = Counting(32);
  EXPECT_EQ(driver->Write(exact.data(), 32), 32u);
  EXPECT_EQ(link->Calls().size(), 5u);
}

TEST_F(UsbTransportTest, PartialTransferResumesWithFreshTries) {
  PlugRegister();
  // Two failures, then 10 bytes taken; two more failures would end the
  // transfer if the tries were not counted afresh.
  link->Script(0x03, {{-7, 0, {}}, {-7, 0, {}}, {0, 10, {}}, {-7, 0, {}}, {-7, 0, {}}, {0, -1, {}}});
  const auto frame = Counting(40);
  EXPECT_EQ(driver->Write(frame.data(), 40), 40u);
  EXPECT_EQ(driver->GetLastStatus(), 0u);
  const auto calls = link->Calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[3].bytes.front(), frame[10]);  // resumed at the first byte not taken
  EXPECT_EQ(calls[5].length, 30);                // then the rest, still within 32
  EXPECT_EQ(link->Halts(), (std::vector<std::uint8_t>{0x03, 0x03, 0x03, 0x03}));
}

TEST_F(UsbTransportTest, ThreeFailedTriesEndTheWrite) {
  PlugRegister();
  link->Script(0x03, {{0, 5, {}}, {-9, 0, {}}, {-9, 0, {}}, {-9, 0, {}}});
  const auto frame = Counting(20);
  EXPECT_EQ(driver->Write(frame.data(), 20), 5u);
  EXPECT_EQ(driver->GetLastStatus(), 9u);
  EXPECT_EQ(link->Calls().size(), 4u);
  EXPECT_EQ(link->Halts().size(), 3u);
}

TEST_F(UsbTransportTest, ZeroByteSuccessCountsAsAFailedTry) {
  PlugRegister();
  link->Script(0x03, {{0, 0, {}}, {0, 0, {}}, {0, 0, {}}});
  const auto frame = Counting(10);
  EXPECT_EQ(driver->Write(frame.data(), 10), 0u);
  EXPECT_EQ(driver->GetLastStatus(), cICLWDUDriver::kStatusZeroLengthWrite);
  EXPECT_EQ(link->Calls().size(), 3u);
}

TEST_F(UsbTransportTest, ReadIsTriedThreeTimesWithPipeResets) {
  PlugRegister();
  link->Script(0x81, {{-7, 0, {}}, {-1, 0, {}}, {0, -1, {0x01, 0x02, 0x03}}});
  std::uint8_t buffer[8]{};
  EXPECT_EQ(driver->Read(buffer, 8), 3u);
  EXPECT_EQ(driver->GetLastStatus(), 0u);
  EXPECT_EQ(buffer[2], 0x03);
  EXPECT_EQ(link->Halts(), (std::vector<std::uint8_t>{0x81, 0x81}));

  EXPECT_EQ(driver->Read(buffer, 8), 0u);  // nothing scripted: three time-outs
  EXPECT_EQ(driver->GetLastStatus(), 7u);
  EXPECT_EQ(link->Calls().size(), 6u);
}

TEST_F(UsbTransportTest, ReadsAskForWholePacketsAndKeepWhatDoesNotFit) {
  PlugRegister();
  std::vector<std::uint8_t> reply(20);
  std::iota(reply.begin(), reply.end(), std::uint8_t{1});
  link->Script(0x81, {{0, -1, reply}});
  std::uint8_t buffer[256]{};
  EXPECT_EQ(driver->Read(buffer, 8), 8u);
  EXPECT_EQ(link->Calls().back().length, 64);
  EXPECT_EQ(driver->Read(buffer + 8, 248), 12u);
  EXPECT_EQ(link->Calls().size(), 1u);  // the rest came from what was kept
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 20), reply);
  EXPECT_EQ(driver->Read(buffer, 200), 0u);
  EXPECT_EQ(link->Calls().back().length, 256);

  // What was kept goes with the device.
  link->Script(0x81, {{0, -1, reply}});
  EXPECT_EQ(driver->Read(buffer, 4), 4u);
  backend->Unplug();
  PlugRegister();
  EXPECT_EQ(driver->Read(buffer, 4), 0u);
}

// A high-speed register sends packets of 512 bytes: a read asking for less
// than one packet would overflow and lose the reply.
TEST_F(UsbTransportTest, ReadsAskForWholePacketsOfTheRegistersEndpoint) {
  link->inPacketSize = 512;
  PlugRegister();
  const auto reply = Counting(200);
  link->Script(0x81, {{0, -1, reply}});
  std::uint8_t buffer[256]{};
  ASSERT_EQ(driver->Read(buffer, 8), 8u);
  EXPECT_EQ(link->Calls().back().length, 512);
  EXPECT_EQ(driver->Read(buffer + 8, 248), 192u);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 200), reply);
  EXPECT_EQ(link->Calls().size(), 1u);
}

TEST_F(UsbTransportTest, BytesThatCameWithATimeOutAreKept) {
  PlugRegister();
  link->Script(0x81, {{-7, 2, {0x16, 0x16}}});
  std::uint8_t buffer[4]{};
  EXPECT_EQ(driver->Read(buffer, 4), 2u);
  EXPECT_EQ(driver->GetLastStatus(), 0u);
}

TEST_F(UsbTransportTest, WithoutRegisterNothingIsTransferred) {
  std::uint8_t byte = 0;
  EXPECT_FALSE(driver->IsConnected());
  EXPECT_FALSE(driver->Open(0));
  EXPECT_EQ(driver->Write(&byte, 1), 0u);
  EXPECT_EQ(driver->Read(&byte, 1), 0u);
  driver->Reset();  // nothing to reset
  EXPECT_EQ(backend->Starts(), 1);
  EXPECT_TRUE(link->Calls().empty());
}

TEST_F(UsbTransportTest, AttachAndDetachNotices) {
  PlugRegister();
  EXPECT_TRUE(driver->IsConnected());
  EXPECT_TRUE(driver->Open(0));
  backend->Unplug();
  EXPECT_FALSE(driver->IsConnected());
  std::uint8_t byte = 0;
  EXPECT_EQ(driver->Write(&byte, 1), 0u);
  PlugRegister();
  EXPECT_TRUE(driver->IsConnected());
}

TEST_F(UsbTransportTest, DetachDuringAWriteStopsUsingTheDroppedDevice) {
  PlugRegister();
  link->during = [this] { backend->Unplug(); };
  link->Script(0x03, {{-4, 0, {}}});  // the transfer fails: no device
  const auto frame = Counting(64);
  EXPECT_EQ(driver->Write(frame.data(), 64), 0u);
  EXPECT_EQ(driver->GetLastStatus(), cICLWDUDriver::kStatusDeviceGone);
  EXPECT_EQ(link->Calls().size(), 1u);  // no further tries on the dropped handle
  EXPECT_FALSE(driver->IsConnected());
}

TEST_F(UsbTransportTest, ResetRegistersAgainAndWaitsForTheRegister) {
  PlugRegister();
  driver->Reset();
  EXPECT_EQ(link->Resets(), 1);
  EXPECT_EQ(backend->Stops(), 1);
  EXPECT_EQ(backend->Starts(), 2);
  EXPECT_TRUE(driver->IsConnected());

  // A register that does not come back: the attach wait runs out and the
  // transport is left waiting for a device.
  backend->reannounce = false;
  driver->Reset();
  EXPECT_EQ(link->Resets(), 2);
  EXPECT_FALSE(driver->IsConnected());
  driver->Reset();  // without a device: nothing happens
  EXPECT_EQ(backend->Starts(), 3);
}

TEST_F(UsbTransportTest, ResetInPlaceKeepsTheHandleWithoutANewArrival) {
  PlugRegister();
  link->resetResult = 0;
  backend->reannounce = false;  // nothing would announce the register again
  driver->Reset();
  EXPECT_EQ(link->Resets(), 1);
  EXPECT_EQ(backend->Starts(), 1);
  EXPECT_EQ(link->Handles(), 1);
  EXPECT_TRUE(driver->IsConnected());
  const auto frame = Counting(8);
  EXPECT_EQ(driver->Write(frame.data(), 8), 8u);
  EXPECT_EQ(driver->GetLastStatus(), 0u);
}

// A reset that leaves the handle useless: the read in progress on it is
// interrupted, the handle closed, and the register claimed again through a new
// one; transfers that would otherwise hold the old handle for seconds.
TEST(UsbTransportRecovery, ResetEndsTheReadInProgressAndReopens) {
  DeviceTiming timing = FastTiming();
  timing.usbTransferTimeoutMs = 5000;
  auto owned = std::make_unique<FakeUsbBackend>();
  FakeUsbBackend* backend = owned.get();
  cICLWDUDriver driver(std::move(owned), timing);
  auto link = std::make_shared<FakeUsbLink>();
  backend->Plug(link);

  std::atomic<bool> reading{false};
  std::uint32_t got = 99;
  std::thread reader([&] {
    std::uint8_t buffer[8];
    reading = true;
    got = driver.Read(buffer, 8);
  });
  while (!reading) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the read start waiting
  driver.Reset();
  reader.join();
  EXPECT_EQ(got, 0u);
  EXPECT_GE(link->InterruptedTransfers(), 1);
  EXPECT_EQ(link->Handles(), 2);
  ASSERT_TRUE(driver.IsConnected());

  link->Script(0x81, {{0, -1, {0x16}}});
  std::uint8_t buffer[8]{};
  EXPECT_EQ(driver.Read(buffer, 8), 1u);
  EXPECT_EQ(buffer[0], 0x16);
}

// The whole link: the register stays silent once, the engine resets the
// transport, and the register answers the request sent again, whether the
// reset kept the handle or a new one had to be opened.
TEST(UsbTransportRecovery, RegisterAnswersAgainAfterASilence) {
  for (const int resetResult : {0, static_cast<int>(LIBUSB_ERROR_IO), static_cast<int>(LIBUSB_ERROR_NOT_FOUND)}) {
    DeviceTiming timing = FastTiming();
    timing.usbTransferTimeoutMs = 5000;
    timing.replyWaitMs = 150;
    timing.afterFramePauseMs = 0;
    timing.writeRetryPauseMs = 1;
    timing.stopPollMs = 1;
    auto owned = std::make_unique<FakeUsbBackend>();
    FakeUsbBackend* backend = owned.get();
    cICLWDUDriver driver(std::move(owned), timing);
    auto link = std::make_shared<FakeUsbLink>();
    link->resetResult = resetResult;
    int frames = 0;
    link->onFrame = [&frames](const std::vector<std::uint8_t>& frame, FakeUsbLink& self) {
      if (++frames == 1) return;  // the first request goes unanswered
      const auto reply = RegisterFrame::BuildReply(frame[2], frame[3], "back", {0x80, 0x80, 0x80, 0x80, 0x80, 0x80});
      self.Script(0x81, {{0, -1, reply}});
    };
    backend->Plug(link);
    cDeviceProtocol engine(timing);
    ASSERT_TRUE(engine.Start(&driver));
    std::string reply;
    EXPECT_EQ(engine.DeviceTransaction(0x80, "", reply), 0) << "reset answers " << resetResult;
    EXPECT_EQ(reply, "back");
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(link->Resets(), 1);
    EXPECT_EQ(link->Handles(), resetResult == 0 ? 1 : 2);
    engine.Stop();
  }
}

TEST_F(UsbTransportTest, WriteStatusIsNotOverwrittenByAConcurrentRead) {
  PlugRegister();
  link->Script(0x81, {{-1, 0, {}}, {-1, 0, {}}, {-1, 0, {}}});
  const auto frame = Counting(8);
  EXPECT_EQ(driver->Write(frame.data(), 8), 8u);
  std::thread reader([this] {
    std::uint8_t buffer[4];
    driver->Read(buffer, 4);
    EXPECT_EQ(driver->GetLastStatus(), 1u);
  });
  reader.join();
  EXPECT_EQ(driver->GetLastStatus(), 0u);
}

TEST(UsbTransportProblems, UnusableLibraryLeavesTheTransportWithoutDevice) {
  auto backend = std::make_unique<FakeUsbBackend>();
  backend->usable = false;
  backend->problemOnStart = "The USB library could not be started";
  cICLWDUDriver driver(std::move(backend), FastTiming());
  EXPECT_FALSE(driver.IsConnected());
  EXPECT_EQ(driver.Diagnostic(), "The USB library could not be started");
  std::uint8_t byte = 0;
  EXPECT_EQ(driver.Write(&byte, 1), 0u);
}

TEST(UsbTransportProblems, DeniedAccessIsReportedAndClearedByAnAttach) {
  auto owned = std::make_unique<FakeUsbBackend>();
  FakeUsbBackend* backend = owned.get();
  owned->problemOnStart = "USB register found at bus 1 device 4 but access was denied; see the udev rule.";
  cICLWDUDriver driver(std::move(owned), FastTiming());
  EXPECT_FALSE(driver.IsConnected());
  EXPECT_NE(driver.Diagnostic().find("access was denied"), std::string::npos);
  backend->Plug(std::make_shared<FakeUsbLink>());
  EXPECT_TRUE(driver.IsConnected());
  EXPECT_TRUE(driver.Diagnostic().empty());
}

TEST(UsbTransportOnLibusb, StartsAndClosesWithoutARegister) {
  // On a machine without a register (or without USB at all) the transport
  // simply has no device.
  cICLWDUDriver driver(std::make_unique<LibusbBackend>(), FastTiming());
  std::uint8_t byte = 0;
  if (!driver.IsConnected()) {
    EXPECT_EQ(driver.Write(&byte, 1), 0u);
  }
  driver.Close();
  EXPECT_FALSE(driver.IsConnected());
}

}  // namespace

namespace {

libusb_endpoint_descriptor Endpoint(std::uint8_t address, std::uint8_t type) {
  libusb_endpoint_descriptor endpoint{};
  endpoint.bEndpointAddress = address;
  endpoint.bmAttributes = type;
  return endpoint;
}

std::optional<int> RegisterInterfaceOf(std::vector<libusb_endpoint_descriptor> endpoints) {
  libusb_interface_descriptor setting{};
  setting.bInterfaceNumber = 2;
  setting.bNumEndpoints = static_cast<std::uint8_t>(endpoints.size());
  setting.endpoint = endpoints.data();
  libusb_interface interface {};
  interface.altsetting = &setting;
  interface.num_altsetting = 1;
  libusb_config_descriptor config{};
  config.bNumInterfaces = 1;
  config.interface = &interface;
  const auto found = LibusbBackend::RegisterInterface(config);
  return found ? std::optional<int>(found->interfaceNumber) : std::nullopt;
}

// Which devices count as registers: both pipes, bulk or interrupt (the
// transport needs transfers with a time-out, which both give), in one setting.
TEST(UsbRegisterRule, NeedsOut03AndIn81AsBulkOrInterruptInOneSetting) {
  constexpr auto kBulk = LIBUSB_TRANSFER_TYPE_BULK;
  constexpr auto kInterrupt = LIBUSB_TRANSFER_TYPE_INTERRUPT;
  constexpr auto kIsochronous = LIBUSB_TRANSFER_TYPE_ISOCHRONOUS;
  EXPECT_EQ(RegisterInterfaceOf({Endpoint(0x03, kBulk), Endpoint(0x81, kBulk)}), 2);
  EXPECT_EQ(RegisterInterfaceOf({Endpoint(0x81, kBulk), Endpoint(0x82, kInterrupt), Endpoint(0x03, kBulk)}), 2);
  EXPECT_FALSE(RegisterInterfaceOf({Endpoint(0x03, kBulk)}).has_value());
  EXPECT_EQ(RegisterInterfaceOf({Endpoint(0x03, kInterrupt), Endpoint(0x81, kBulk)}), 2);
  EXPECT_EQ(RegisterInterfaceOf({Endpoint(0x03, kInterrupt), Endpoint(0x81, kInterrupt)}), 2);
  EXPECT_FALSE(RegisterInterfaceOf({Endpoint(0x03, kIsochronous), Endpoint(0x81, kBulk)}).has_value());
  EXPECT_FALSE(RegisterInterfaceOf({Endpoint(0x83, kBulk), Endpoint(0x01, kBulk)}).has_value());
  EXPECT_FALSE(RegisterInterfaceOf({}).has_value());
}

// Reads follow the IN endpoint's packet size, read from its descriptor.
TEST(UsbRegisterRule, TheInEndpointsPacketSizeIsTaken) {
  const auto packetOf = [](std::uint8_t type, std::uint16_t maxPacketSize) {
    std::vector<libusb_endpoint_descriptor> endpoints{Endpoint(0x03, LIBUSB_TRANSFER_TYPE_BULK), Endpoint(0x81, type)};
    endpoints[0].wMaxPacketSize = 8;
    endpoints[1].wMaxPacketSize = maxPacketSize;
    libusb_interface_descriptor setting{};
    setting.bNumEndpoints = 2;
    setting.endpoint = endpoints.data();
    libusb_interface interface {};
    interface.altsetting = &setting;
    interface.num_altsetting = 1;
    libusb_config_descriptor config{};
    config.bNumInterfaces = 1;
    config.interface = &interface;
    return LibusbBackend::RegisterInterface(config).value().inPacketSize;
  };
  EXPECT_EQ(packetOf(LIBUSB_TRANSFER_TYPE_BULK, 64), 64u);
  EXPECT_EQ(packetOf(LIBUSB_TRANSFER_TYPE_BULK, 512), 512u);
  EXPECT_EQ(packetOf(LIBUSB_TRANSFER_TYPE_INTERRUPT, 1024), 1024u);
  // A high-speed interrupt endpoint with two extra transactions per microframe.
  EXPECT_EQ(packetOf(LIBUSB_TRANSFER_TYPE_INTERRUPT, (2 << 11) | 1024), 3072u);
}

// A register whose interface another handle still holds is tried again until
// the retry time is up, then reported once; one that leaves is let go.
TEST(UsbClaimRetries, BusyClaimsAreTriedAgainUntilTheRetryTimeIsUp) {
  using Retries = ClaimRetries<int>;
  using std::chrono::milliseconds;
  Retries retries(milliseconds(3000));
  const auto start = Retries::Clock::now();
  std::vector<int> released, reported;
  std::map<int, Retries::Claim> answers;
  const auto retry = [&](milliseconds after) {
    retries.Retry(
        start + after, [&](int device) { return answers.at(device); }, [&](int device) { reported.push_back(device); },
        [&](int device) { released.push_back(device); });
  };
  retries.Add(1, start);  // freed in time
  retries.Add(2, start);  // held for good
  retries.Add(3, start);  // unplugged while waiting
  answers = {{1, Retries::Claim::Busy}, {2, Retries::Claim::Busy}, {3, Retries::Claim::Busy}};
  retry(milliseconds(100));
  EXPECT_TRUE(released.empty());
  retries.Remove(3, [&](int device) { released.push_back(device); });
  answers[1] = Retries::Claim::Taken;
  retry(milliseconds(2900));
  EXPECT_EQ(released, (std::vector<int>{3, 1}));
  EXPECT_TRUE(reported.empty());
  retry(milliseconds(3000));
  EXPECT_EQ(released, (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(reported, std::vector<int>{2});
  EXPECT_TRUE(retries.Empty());

  // What is still listed at the end is let go too.
  retries.Add(4, start);
  retries.Clear([&](int device) { released.push_back(device); });
  EXPECT_EQ(released.back(), 4);
  EXPECT_TRUE(retries.Empty());
}

// A device found by its endpoints alone is never taken from a kernel driver.
TEST(UsbRegisterRule, OnlyANamedDeviceIsTakenFromItsKernelDriver) {
  using A = LibusbBackend::Admission;
  EXPECT_EQ(LibusbBackend::Admit(false, false), A::Take);
  EXPECT_EQ(LibusbBackend::Admit(false, true), A::Leave);
  EXPECT_EQ(LibusbBackend::Admit(true, false), A::Take);
  EXPECT_EQ(LibusbBackend::Admit(true, true), A::TakeDetachingDriver);
}

}  // namespace
