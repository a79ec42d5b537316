// A register opened through libusb, with its interface claimed; closed when the
// last user lets go of it. Transfers are submitted asynchronously and waited
// for here, so that Interrupt can end one in progress: a handle is closed only
// after no transfer uses it, and the interface is free for the next handle.
#pragma once

#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/transport/LibusbContext.h"
#include "device/transport/UsbDeviceLink.h"

class LibusbDeviceLink : public UsbDeviceLink {
 public:
  // outType and inType: LIBUSB_TRANSFER_TYPE_BULK or _INTERRUPT, as the endpoints are.
  LibusbDeviceLink(std::shared_ptr<LibusbContext> context, libusb_device_handle* handle, int interfaceNumber,
                   std::uint8_t outType, std::uint8_t inType, std::uint32_t inPacketSize, std::string description)
      : context_(std::move(context)),
        handle_(handle),
        interfaceNumber_(interfaceNumber),
        outType_(outType),
        inType_(inType),
        inPacketSize_(inPacketSize),
        description_(std::move(description)) {}
  ~LibusbDeviceLink() override {
    libusb_release_interface(handle_, interfaceNumber_);
    libusb_close(handle_);
  }
  LibusbDeviceLink(const LibusbDeviceLink&) = delete;
  LibusbDeviceLink& operator=(const LibusbDeviceLink&) = delete;

  int Transfer(std::uint8_t endpoint, std::uint8_t* data, int length, int& transferred, unsigned timeoutMs) override {
    transferred = 0;
    if (interrupted_) return LIBUSB_ERROR_INTERRUPTED;
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    if (transfer == nullptr) return LIBUSB_ERROR_NO_MEM;
    int completed = 0;
    const bool in = (endpoint & LIBUSB_ENDPOINT_IN) != 0;
    if ((in ? inType_ : outType_) == LIBUSB_TRANSFER_TYPE_INTERRUPT) {
      libusb_fill_interrupt_transfer(transfer, handle_, endpoint, data, length, &Done, &completed, timeoutMs);
    } else {
      libusb_fill_bulk_transfer(transfer, handle_, endpoint, data, length, &Done, &completed, timeoutMs);
    }
    {
      std::lock_guard lock(mutex_);
      if (const int submitted = interrupted_ ? LIBUSB_ERROR_INTERRUPTED : libusb_submit_transfer(transfer);
          submitted != 0) {
        libusb_free_transfer(transfer);
        return submitted;
      }
      inFlight_.push_back(transfer);
    }
    // As libusb's own synchronous transfers wait: handle events until this one
    // is done; an error of the event handling cancels it.
    while (completed == 0) {
      timeval slice{0, 100000};
      const int handled = libusb_handle_events_timeout_completed(context_->get(), &slice, &completed);
      if (handled < 0 && handled != LIBUSB_ERROR_INTERRUPTED) libusb_cancel_transfer(transfer);
    }
    {
      std::lock_guard lock(mutex_);
      inFlight_.erase(std::find(inFlight_.begin(), inFlight_.end(), transfer));
    }
    transferred = transfer->actual_length;
    const libusb_transfer_status status = transfer->status;
    libusb_free_transfer(transfer);
    switch (status) {
      case LIBUSB_TRANSFER_COMPLETED: return 0;
      case LIBUSB_TRANSFER_TIMED_OUT: return LIBUSB_ERROR_TIMEOUT;
      case LIBUSB_TRANSFER_CANCELLED: return interrupted_ ? LIBUSB_ERROR_INTERRUPTED : LIBUSB_ERROR_IO;
      case LIBUSB_TRANSFER_STALL: return LIBUSB_ERROR_PIPE;
      case LIBUSB_TRANSFER_NO_DEVICE: return LIBUSB_ERROR_NO_DEVICE;
      case LIBUSB_TRANSFER_OVERFLOW: return LIBUSB_ERROR_OVERFLOW;
      default: return LIBUSB_ERROR_IO;
    }
  }
  int ClearHalt(std::uint8_t endpoint) override {
    return interrupted_ ? LIBUSB_ERROR_INTERRUPTED : libusb_clear_halt(handle_, endpoint);
  }
  int ResetDevice() override { return libusb_reset_device(handle_); }
  void Interrupt() override {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    for (libusb_transfer* transfer : inFlight_) libusb_cancel_transfer(transfer);
    libusb_interrupt_event_handler(context_->get());
  }
  std::uint32_t InPacketSize() const override { return inPacketSize_; }
  std::string Describe() const override { return description_; }

 private:
  static void LIBUSB_CALL Done(libusb_transfer* transfer) { *static_cast<int*>(transfer->user_data) = 1; }

  std::shared_ptr<LibusbContext> context_;
  libusb_device_handle* handle_;
  const int interfaceNumber_;
  const std::uint8_t outType_;
  const std::uint8_t inType_;
  const std::uint32_t inPacketSize_;
  const std::string description_;
  std::mutex mutex_;
  std::vector<libusb_transfer*> inFlight_;
  std::atomic<bool> interrupted_{false};
};
