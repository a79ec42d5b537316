// Owns one libusb context; shared by the backend and every opened device, so the
// library is shut down only after the last device handle is closed.
#pragma once

#include <libusb-1.0/libusb.h>

class LibusbContext {
 public:
  LibusbContext() {
    if (libusb_init(&context_) != 0) context_ = nullptr;
  }
  ~LibusbContext() {
    if (context_ != nullptr) libusb_exit(context_);
  }
  LibusbContext(const LibusbContext&) = delete;
  LibusbContext& operator=(const LibusbContext&) = delete;

  // Null when the library could not be started.
  libusb_context* get() const { return context_; }

 private:
  libusb_context* context_ = nullptr;
};
