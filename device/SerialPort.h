// The serial port of the communication settings: opened with fixed line settings
// (8N1, raw, no flow control, DTR and RTS raised) and closed again. One port at a time.
#pragma once

#include <cstdint>
#include <string>

inline constexpr std::uint32_t kSerialOk = 0;
inline constexpr std::uint32_t kSerialOpenFailed = 2;
inline constexpr std::uint32_t kSerialSettingsRefused = 3;
inline constexpr std::uint32_t kSerialCloseFailed = 10;

// "COM1" to "COM4" are /dev/ttyS0 to /dev/ttyS3; any other text is a device path.
std::string SerialDevicePath(const std::string& portName);

// 0 success, 2 the port could not be opened or prepared, 3 the line settings
// were refused (also an unsupported baud rate). A port still open is closed first.
std::uint32_t SerialOpen(const std::string& portName, std::uint32_t drainTimeoutMs, std::uint32_t baud);

// Waits up to the drain time-out for queued output, discards both directions,
// restores the settings found at open and closes: 0, or 10 when no port was open
// or closing failed.
std::uint32_t SerialClose();

// Whether a port is open now.
bool SerialIsOpen();
