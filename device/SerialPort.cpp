#include "device/SerialPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "device/transport/BaudRate.h"

namespace {

// The one serial port of the program.
struct SerialState {
  std::mutex mutex;
  int fd = -1;
  termios saved{};    // settings found at open, restored at close
  termios applied{};  // settings last applied
  std::uint32_t serialDrainTimeoutMs = 300;
};

SerialState& State() {
  static SerialState state;
  return state;
}

std::uint32_t CloseLocked(SerialState& state) {
  if (state.fd < 0) return kSerialCloseFailed;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    int queued = 0;
    if (ioctl(state.fd, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
    if (std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(state.serialDrainTimeoutMs)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  tcflush(state.fd, TCOFLUSH);
  tcflush(state.fd, TCIFLUSH);
  tcsetattr(state.fd, TCSANOW, &state.saved);
  ioctl(state.fd, TIOCNXCL);
  const int closed = close(state.fd);
  state.fd = -1;
  return closed == 0 ? kSerialOk : kSerialCloseFailed;
}

}  // namespace

std::string SerialDevicePath(const std::string& portName) {
  if (portName.size() == 4 && portName.compare(0, 3, "COM") == 0 && portName[3] >= '1' && portName[3] <= '4')
    return "/dev/ttyS" + std::string(1, static_cast<char>(portName[3] - 1));
  return portName;
}

std::uint32_t SerialOpen(const std::string& portName, std::uint32_t drainTimeoutMs, std::uint32_t baud) {
  SerialState& state = State();
  std::lock_guard lock(state.mutex);
  if (state.fd >= 0) CloseLocked(state);
  state.serialDrainTimeoutMs = drainTimeoutMs;

  // Opened without blocking on the carrier line and without becoming our
  // controlling terminal; made blocking again once open.
  const std::string path = SerialDevicePath(portName);
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kSerialOpenFailed;
  const auto fail = [fd](std::uint32_t status) {
    close(fd);
    return status;
  };
  if (!isatty(fd)) return fail(kSerialOpenFailed);
  // Not shared: no second open of the device (TIOCEXCL) and none by a program
  // that honours the advisory lock.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) return fail(kSerialOpenFailed);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(kSerialOpenFailed);
  // The driver's queue sizes are fixed on Linux; there is nothing to set for the
  // 512-byte queues.
  termios saved{};
  if (tcgetattr(fd, &saved) != 0) return fail(kSerialOpenFailed);

  termios line = saved;
  cfmakeraw(&line);  // binary: no echo, no line editing, no character translation
  line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  line.c_cflag |= CS8 | CLOCAL | CREAD;
  line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  // No time-outs: a read waits for at least one byte.
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  const auto speed = BaudRate::ToSpeed(baud);
  if (!speed || cfsetispeed(&line, *speed) != 0 || cfsetospeed(&line, *speed) != 0 ||
      tcsetattr(fd, TCSANOW, &line) != 0)
    return fail(kSerialSettingsRefused);

  // DTR and RTS raised; a line without modem signals (a pseudo-terminal) has
  // nothing to raise.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &lines);

  tcflush(fd, TCOFLUSH);
  tcflush(fd, TCIFLUSH);
  state.fd = fd;
  state.saved = saved;
  state.applied = line;
  return kSerialOk;
}

std::uint32_t SerialClose() {
  SerialState& state = State();
  std::lock_guard lock(state.mutex);
  return CloseLocked(state);
}

bool SerialIsOpen() {
  SerialState& state = State();
  std::lock_guard lock(state.mutex);
  return state.fd >= 0;
}
