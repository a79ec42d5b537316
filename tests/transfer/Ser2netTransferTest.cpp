// Transfers through a real serial device server: ser2net bridges a
// pseudo-terminal, on whose far end a demo register answers, to a raw TCP port
// and to a Telnet port with the COM port option. What arrives must be what a
// transfer over the serial line itself gives.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "data/DatabaseFile.h"
#include "device/RegisterTrace.h"
#include "device/cDeviceProtocol.h"
#include "device/transport/DemoRegister.h"
#include "device/transport/TransportRegistry.h"
#include "tests/data/TempDir.h"
#include "tests/device/FastTiming.h"
#include "transfer/TransferService.h"

namespace {

using namespace std::chrono_literals;
constexpr const char* kSer2net = "/usr/sbin/ser2net";

DeviceTiming NetworkTiming() {
  DeviceTiming timing = FastTiming();
  timing.connectTimeoutMs = 1000;
  timing.writeRetryPauseMs = 50;
  return timing;
}

std::vector<char> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::uint16_t FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  std::uint16_t port = 0;
  if (bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  close(probe);
  return port;
}

// Whether a socket listens on the loopback port. Read from the kernel's table
// instead of connecting: a probe connection would open the line and make the
// server turn away the next client while it closes it.
bool Listening(std::uint16_t port) {
  std::ifstream table("/proc/net/tcp");
  char wanted[16];
  std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
  std::string line;
  while (std::getline(table, line)) {
    if (line.find(wanted) != std::string::npos && line.find(" 0A ") != std::string::npos) return true;
  }
  return false;
}

// A demo register on the far end of a pseudo-terminal.
class PtyRegister {
 public:
  PtyRegister() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) path_ = ptsname(master_);
    // Held open, so that the far end survives the server's closing the line
    // and the line's settings can be read.
    slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    thread_ = std::thread([this] { Serve(); });
  }
  ~PtyRegister() {
    running_ = false;
    thread_.join();
    close(slave_);
    close(master_);
  }
  const std::string& Path() const { return path_; }
  speed_t Speed() const {
    termios settings{};
    tcgetattr(slave_, &settings);
    return cfgetospeed(&settings);
  }

 private:
  void Serve() {
    DemoRegister::Options options;
    options.timing.lineReadTimeoutMs = 1;
    DemoRegister demo(options);
    std::uint8_t buffer[256];
    while (running_) {
      pollfd wait{master_, POLLIN, 0};
      if (poll(&wait, 1, 5) <= 0) continue;
      const ssize_t got = read(master_, buffer, sizeof buffer);
      if (got <= 0) continue;
      demo.Write(buffer, static_cast<std::uint32_t>(got));
      while (const std::uint32_t answer = demo.Read(buffer, sizeof buffer)) {
        if (write(master_, buffer, answer) != static_cast<ssize_t>(answer)) break;
      }
    }
  }

  int master_ = -1;
  int slave_ = -1;
  std::string path_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

// ser2net in the foreground with a raw port and a Telnet port, each on its own
// line: ser2net turns a client away while another port's session still closes
// a shared line.
class Ser2net {
 public:
  Ser2net(const std::string& rawLine, const std::string& telnetLine, const TempDir& dir)
      : config_(dir.File("ser2net.yaml")), log_(dir.File("ser2net.log")) {
    std::ofstream(config_) << "connection: &raw\n"
                              "  accepter: tcp,127.0.0.1,"
                           << rawPort << "\n  connector: serialdev," << rawLine
                           << ",9600n81,local\n"
                              "connection: &telnet\n"
                              "  accepter: telnet(rfc2217),tcp,127.0.0.1,"
                           << telnetPort << "\n  connector: serialdev," << telnetLine << ",9600n81,local\n";
    Start();
  }
  ~Ser2net() {
    Stop();
    // What the server said is what tells a failure here apart.
    if (::testing::Test::HasFailure()) {
      std::ifstream in(log_);
      std::cerr << "ser2net said:\n" << std::string(std::istreambuf_iterator<char>(in), {}) << "\n";
    }
  }

  bool Start() {
    pid_ = fork();
    if (pid_ == 0) {
      const int out = open(log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
      execl(kSer2net, kSer2net, "-n", "-d", "-u", "-c", config_.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int tries = 0; tries < 500; ++tries) {
      if (Listening(rawPort) && Listening(telnetPort)) return true;
      std::this_thread::sleep_for(10ms);
    }
    ADD_FAILURE() << "ser2net does not listen; see " << log_;
    return false;
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  const std::uint16_t rawPort = FreePort();
  const std::uint16_t telnetPort = FreePort();

 private:
  std::string config_, log_;
  pid_t pid_ = -1;
};

// One register reached through an address, with the service over it.
struct Link {
  explicit Link(const std::string& address, RegisterTrace* trace = nullptr) {
    std::string error;
    const auto parsed = transports::Parse(address, &error);
    EXPECT_NE(parsed, nullptr) << error;
    if (!parsed) return;
    transport = parsed->MakeTransport(NetworkTiming());
    transport->SetTrace(trace);
    engine.Start(transport.get());
  }
  ~Link() { engine.Stop(); }

  std::unique_ptr<iCOMDriver> transport;
  cDeviceProtocol engine{NetworkTiming()};
  DeviceProfile profile;
  RegisterTransfers link{[this](std::uint16_t command, const std::string& request, std::string& reply) {
                           return engine.DeviceTransaction(command, request, reply);
                         },
                         profile};
  TransferService service{link};
};

class Ser2netTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(kSer2net, X_OK) != 0) GTEST_SKIP() << kSer2net << " is not installed (package ser2net)";
    server = std::make_unique<Ser2net>(rawLine.Path(), line.Path(), dir);
  }
  std::string Raw() const { return "tcp:127.0.0.1:" + std::to_string(server->rawPort); }
  std::string Telnet() const { return "rfc2217:127.0.0.1:" + std::to_string(server->telnetPort); }

  // Parameters, then a download; the file's bytes, empty when it failed.
  std::vector<char> Download(const std::string& address, bool report,
                             const std::function<void(std::uint64_t)>& atArticle = {}) {
    Link reg(address);
    TransferControl control;
    EXPECT_TRUE(reg.service.ReadParameters(control).Done()) << address;
    if (atArticle) {
      control.SetListener([&](TransferControl& t) {
        const auto now = t.Snapshot();
        if (now.what == "Articles") atArticle(now.done);
      });
    }
    const std::string path = dir.File(address.substr(0, address.find(':')) + (report ? ".report" : ".db"));
    std::filesystem::remove(path);
    DatabaseFile placed;
    const TransferOutcome outcome = reg.service.Download(
        report ? DownloadRequest::Report(path) : DownloadRequest::NewDatabase(path, 'A'), placed, control);
    EXPECT_TRUE(outcome.Done()) << address;
    EXPECT_EQ(outcome.articles, 320u) << address;
    placed.Close();
    return outcome.Done() ? Bytes(path) : std::vector<char>{};
  }

  TempDir dir;
  PtyRegister line;  // behind the Telnet port
  PtyRegister rawLine;
  std::unique_ptr<Ser2net> server;
};

TEST_F(Ser2netTransferTest, DownloadsGiveTheBytesOfTheSerialLine) {
  for (const bool report : {false, true}) {
    SCOPED_TRACE(report ? "report" : "tables");
    // The serial line itself, before ser2net holds it.
    server->Stop();
    const auto direct = Download("serial:" + line.Path() + "@9600", report);
    ASSERT_FALSE(direct.empty());
    ASSERT_TRUE(server->Start());
    EXPECT_EQ(Download(Raw(), report), direct);
    EXPECT_EQ(Download(Telnet(), report), direct);
  }
}

TEST_F(Ser2netTransferTest, TheTelnetPortSetsTheLineToTheBaudRateAsked) {
  std::string error;
  const auto trace = RegisterTrace::Open(dir.File("trace.txt"), &error);
  ASSERT_NE(trace, nullptr) << error;
  for (const auto& [suffix, speed] :
       {std::pair{"@19200", B19200}, std::pair{"", B9600}, std::pair{"@115200", B115200}}) {
    Link reg(Telnet() + suffix, trace.get());
    EXPECT_TRUE(reg.transport->IsConnected()) << reg.transport->Diagnostic();
    EXPECT_EQ(line.Speed(), speed) << suffix;
    std::string reply;
    EXPECT_EQ(reg.engine.DeviceTransaction(0x83, "R1", reply), 0);
  }
  // The trace tells what was negotiated and when the link came and went.
  trace->Flush();
  std::ifstream in(dir.File("trace.txt"));
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  const std::string where = "127.0.0.1:" + std::to_string(server->telnetPort);
  for (const std::string& expected :
       {"connected to " + where, "disconnected from " + where, std::string("telnet: server set the line to 19200 baud"),
        std::string("telnet: server set the line to 115200 baud"),
        std::string("telnet: server offered WILL 1; refused")})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
}

// ser2net goes away after article 100 and comes back: the transport connects
// again, the lost request is sent again, and all 320 articles arrive.
TEST_F(Ser2netTransferTest, ADownloadGoesOnAcrossAServerRestart) {
  server->Stop();
  const auto direct = Download("serial:" + line.Path() + "@9600", false);
  ASSERT_TRUE(server->Start());
  for (const std::string& address : {Raw(), Telnet()}) {
    SCOPED_TRACE(address);
    bool restarted = false;
    const auto bytes = Download(address, false, [&](std::uint64_t done) {
      if (done != 100 || restarted) return;
      restarted = true;
      server->Stop();
      server->Start();
    });
    EXPECT_TRUE(restarted);
    EXPECT_EQ(bytes, direct);
  }
}

TEST_F(Ser2netTransferTest, AStoppedServerIsReportedQuicklyByAddress) {
  server->Stop();
  for (const std::string& address : {Raw(), Telnet()}) {
    SCOPED_TRACE(address);
    const auto before = std::chrono::steady_clock::now();
    Link reg(address);
    TransferControl control;
    EXPECT_TRUE(reg.service.ReadParameters(control).RegisterFailed());
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    const std::string port = address.substr(address.rfind(':') + 1);
    EXPECT_EQ(reg.transport->Diagnostic(), "cannot reach the register at 127.0.0.1:" + port + ": connection refused");
  }
}

}  // namespace
