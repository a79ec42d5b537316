#include "device/transport/SerialLineTransport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "device/transport/BaudRate.h"
#include "data/CFormat.h"

SerialLineTransport::SerialLineTransport(std::string devicePath, std::uint32_t baud, const DeviceTiming& timing)
    : path_(std::move(devicePath)), baud_(baud), timing_(timing) {}

SerialLineTransport::~SerialLineTransport() { Close(); }

std::shared_ptr<FileDescriptor> SerialLineTransport::CurrentLine() const {
  std::lock_guard lock(lineMutex_);
  return line_;
}

std::string SerialLineTransport::Diagnostic() const {
  std::lock_guard lock(lineMutex_);
  return diagnostic_;
}

bool SerialLineTransport::OpenLine() {
  const auto problem = [this](const char* what) {
    const std::string text = CFormat("%s: %s (%s)", path_.c_str(), what, std::strerror(errno));
    std::lock_guard lock(lineMutex_);
    line_.reset();
    diagnostic_ = text;
    connected_ = false;
    return false;
  };
  auto line = std::make_shared<FileDescriptor>(open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  const int fd = line->get();
  if (fd < 0) return problem(errno == EACCES ? "access denied; see the udev rule" : "cannot open");
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return problem("not a serial line");
  cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS | PARENB);
  settings.c_cflag |= CLOCAL | CREAD | CS8;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  const auto speed = BaudRate::ToSpeed(baud_);
  if (!speed) {
    errno = EINVAL;
    return problem("unsupported baud rate");
  }
  if (cfsetispeed(&settings, *speed) != 0 || cfsetospeed(&settings, *speed) != 0 ||
      tcsetattr(fd, TCSANOW, &settings) != 0)
    return problem("line settings refused");
  ioctl(fd, TIOCEXCL);
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &lines);  // not there on every line; nothing to raise then
  tcflush(fd, TCIOFLUSH);
  {
    std::lock_guard lock(lineMutex_);
    line_ = std::move(line);
    diagnostic_.clear();
  }
  connected_ = true;
  if (RegisterTrace* trace = trace_.load())
    trace->Record(RegisterTrace::Event::Arrived, {}, CFormat("%s at %u baud", path_.c_str(), baud_));
  return true;
}

void SerialLineTransport::DropLine(const std::shared_ptr<FileDescriptor>& line) {
  std::lock_guard lock(lineMutex_);
  if (line_ != line) return;
  line_.reset();
  diagnostic_ = CFormat("%s: the line went away", path_.c_str());
  connected_ = false;
  if (RegisterTrace* trace = trace_.load()) trace->Record(RegisterTrace::Event::Departed, {}, diagnostic_);
}

bool SerialLineTransport::Open(std::uint32_t /*portIndex*/) {
  wanted_ = true;
  return OpenLine();
}

void SerialLineTransport::Close() {
  wanted_ = false;
  std::lock_guard lock(lineMutex_);
  line_.reset();
  connected_ = false;
}

bool SerialLineTransport::IsConnected() {
  std::unique_lock check(checkMutex_, std::try_to_lock);
  if (check.owns_lock() && wanted_) {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastCheck_ >= kLineCheckInterval) {
      lastCheck_ = now;
      struct stat node {};
      const bool present = stat(path_.c_str(), &node) == 0;
      if (connected_ && !present) {
        DropLine(CurrentLine());
      } else if (!connected_ && present) {
        OpenLine();
      }
    }
  }
  return connected_;
}

std::uint32_t SerialLineTransport::GetLastStatus() { return status_.Last(); }

std::uint32_t SerialLineTransport::Write(const std::uint8_t* data, std::uint32_t length) {
  const auto line = CurrentLine();
  if (!line) {
    status_.RecordWrite(kStatusNotOpen);
    return 0;
  }
  std::uint32_t sent = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timing_.usbTransferTimeoutMs);
  while (sent < length) {
    const ssize_t written = write(line->get(), data + sent, length - sent);
    if (written > 0) {
      sent += static_cast<std::uint32_t>(written);
      continue;
    }
    if (written < 0 && errno != EAGAIN && errno != EINTR) {
      status_.RecordWrite(static_cast<std::uint32_t>(errno));
      if (errno == EIO || errno == ENXIO || errno == ENODEV) DropLine(line);
      return sent;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      status_.RecordWrite(kStatusWriteTimeout);
      return sent;
    }
    pollfd wait{line->get(), POLLOUT, 0};
    poll(&wait, 1, static_cast<int>(left.count()));
  }
  status_.RecordWrite(0);
  return sent;
}

std::uint32_t SerialLineTransport::Read(std::uint8_t* buffer, std::uint32_t capacity) {
  const auto line = CurrentLine();
  if (!line || buffer == nullptr || capacity == 0) return 0;
  pollfd wait{line->get(), POLLIN, 0};
  const int ready = poll(&wait, 1, static_cast<int>(timing_.lineReadTimeoutMs));
  if (ready <= 0) {
    status_.RecordRead(0);
    return 0;
  }
  const ssize_t got = read(line->get(), buffer, capacity);
  if (got > 0) {
    status_.RecordRead(0);
    return static_cast<std::uint32_t>(std::min<ssize_t>(got, capacity));
  }
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  // End of file or an error after the line signalled: the device is gone.
  status_.RecordRead(kStatusLineLost);
  DropLine(line);
  return 0;
}

void SerialLineTransport::Reset() {
  if (!wanted_) return;
  // The line stays open: closing it under a Read in progress would keep the
  // exclusive descriptor alive and make the reopen fail. Discarding both
  // directions is what a reset of a serial line amounts to.
  const auto line = CurrentLine();
  RegisterTrace* trace = trace_.load();
  if (line) {
    tcflush(line->get(), TCIOFLUSH);
    if (trace) trace->Record(RegisterTrace::Event::Reset, {}, "line flushed in both directions");
    return;
  }
  if (trace) trace->Record(RegisterTrace::Event::Reset, {}, "opening the line again");
  OpenLine();
}

namespace {

class SerialAddress : public TransportAddress {
 public:
  SerialAddress(std::string device, std::uint32_t baud) : device_(std::move(device)), baud_(baud) {}

  std::string_view Scheme() const override { return "serial"; }
  std::string Text() const override {
    return "serial:" + device_ +
           (baud_ == SerialLineTransport::kDefaultBaud ? std::string() : "@" + std::to_string(baud_));
  }
  std::string Describe() const override {
    return "the register on " + device_ + " at " + std::to_string(baud_) + " baud";
  }
  std::unique_ptr<iCOMDriver> MakeTransport(const DeviceTiming& timing) const override {
    return std::make_unique<SerialLineTransport>(device_, baud_, timing);
  }

 private:
  std::string device_;
  std::uint32_t baud_;
};

std::shared_ptr<const TransportAddress> ParseSerial(std::string_view text, std::string* error) {
  const auto fail = [&](const char* why) -> std::shared_ptr<const TransportAddress> {
    if (error) *error = why;
    return nullptr;
  };
  std::string_view rest = text.substr(text.find(':') + 1);
  std::uint32_t baud = SerialLineTransport::kDefaultBaud;
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
    const std::string_view digits = rest.substr(at + 1);
    std::uint32_t value = 0;
    const auto [end, err] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (err != std::errc() || end != digits.data() + digits.size() || value == 0) {
      return fail("the baud rate after @ must be a number, as in serial:/dev/ttyACM0@115200");
    }
    baud = value;
    rest = rest.substr(0, at);
  }
  if (rest.empty()) return fail("name the serial device, as in serial:/dev/ttyACM0");
  return std::make_shared<SerialAddress>(std::string(rest), baud);
}

}  // namespace

const TransportScheme SerialLineTransport::kScheme = {"serial", "serial:DEVICE[@BAUD]", true, ParseSerial};
