#include "device/transport/LibusbBackend.h"

#include <sys/time.h>

#include "data/CFormat.h"
#include "device/transport/LibusbDeviceLink.h"

namespace {
constexpr std::uint8_t kOutEndpoint = 0x03;
constexpr std::uint8_t kInEndpoint = 0x81;

// Bytes one transaction of the endpoint carries: wMaxPacketSize's low eleven
// bits, times the extra transactions per microframe that a high-speed
// interrupt endpoint may announce in bits 11 and 12.
std::uint32_t PacketBytes(const libusb_endpoint_descriptor& endpoint) {
  const std::uint32_t size = endpoint.wMaxPacketSize & 0x7FFu;
  const bool interrupt = (endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_INTERRUPT;
  return interrupt ? size * (1u + ((endpoint.wMaxPacketSize >> 11) & 0x3u)) : size;
}
}  // namespace

LibusbBackend::LibusbBackend(std::optional<VendorProduct> only, std::chrono::milliseconds claimRetryFor)
    : only_(only), context_(std::make_shared<LibusbContext>()), retries_(claimRetryFor) {}

LibusbBackend::~LibusbBackend() { Stop(); }

bool LibusbBackend::Start(Notices notices) {
  Stop();
  notices_ = std::move(notices);
  if (context_->get() == nullptr) {
    if (notices_.problem) notices_.problem("The USB library could not be started; no register can be reached.");
    return false;
  }
  if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) == 0) {
    if (notices_.problem) notices_.problem("The USB library cannot report attached devices on this system.");
    return false;
  }
  const int vendor = only_ ? only_->vendor : LIBUSB_HOTPLUG_MATCH_ANY;
  const int product = only_ ? only_->product : LIBUSB_HOTPLUG_MATCH_ANY;
  // Present devices are announced from inside the registration, on this thread;
  // the callback only queues them for the event thread.
  const int result = libusb_hotplug_register_callback(
      context_->get(),
      static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
      LIBUSB_HOTPLUG_ENUMERATE, vendor, product, LIBUSB_HOTPLUG_MATCH_ANY, &LibusbBackend::OnHotplug, this, &callback_);
  if (result != LIBUSB_SUCCESS) {
    if (notices_.problem)
      notices_.problem(CFormat("USB attach notices are not available: %s", libusb_error_name(result)));
    return false;
  }
  registered_ = true;
  running_ = true;
  events_ = std::thread(&LibusbBackend::EventLoop, this);
  return true;
}

void LibusbBackend::Stop() {
  if (registered_) {
    libusb_hotplug_deregister_callback(context_->get(), callback_);
    registered_ = false;
  }
  if (events_.joinable()) {
    running_ = false;
    libusb_interrupt_event_handler(context_->get());
    events_.join();
  }
  ReleasePending();
  retries_.Clear(libusb_unref_device);
  if (current_ != nullptr) libusb_unref_device(current_);
  current_ = nullptr;
  currentLink_ = nullptr;
}

int LIBUSB_CALL LibusbBackend::OnHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event,
                                         void* self) {
  auto& backend = *static_cast<LibusbBackend*>(self);
  {
    std::lock_guard lock(backend.pendingMutex_);
    backend.pending_.push_back({event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, libusb_ref_device(device)});
  }
  return 0;  // stay registered
}

void LibusbBackend::EventLoop() {
  while (running_) {
    TakePending();
    RetryClaims();
    timeval timeout{0, 100000};
    libusb_handle_events_timeout_completed(context_->get(), &timeout, nullptr);
  }
}

void LibusbBackend::ReleasePending() {
  std::vector<Pending> pending;
  {
    std::lock_guard lock(pendingMutex_);
    pending.swap(pending_);
  }
  for (const Pending& item : pending) libusb_unref_device(item.device);
}

void LibusbBackend::TakePending() {
  std::vector<Pending> pending;
  {
    std::lock_guard lock(pendingMutex_);
    pending.swap(pending_);
  }
  for (const Pending& item : pending) {
    if (item.arrived) {
      if (current_ == nullptr && Arrived(item.device) == Arrival::Busy)
        retries_.Add(libusb_ref_device(item.device), std::chrono::steady_clock::now());
    } else if (item.device != current_) {
      retries_.Remove(item.device, libusb_unref_device);
    } else {
      libusb_unref_device(current_);
      current_ = nullptr;
      if (notices_.detached) notices_.detached(currentLink_);
      currentLink_ = nullptr;
    }
    libusb_unref_device(item.device);
  }
}

void LibusbBackend::RetryClaims() {
  retries_.Retry(
      std::chrono::steady_clock::now(),
      [this](libusb_device* device) { return current_ == nullptr ? Arrived(device) : Arrival::Left; },
      [this](libusb_device* device) {
        if (notices_.problem)
          notices_.problem(CFormat("USB register found at bus %d device %d but its interface is in use: %s",
                                   libusb_get_bus_number(device), libusb_get_device_address(device),
                                   libusb_error_name(LIBUSB_ERROR_BUSY)));
      },
      libusb_unref_device);
}

std::optional<LibusbBackend::RegisterEndpoints> LibusbBackend::RegisterInterface(
    const libusb_config_descriptor& config) {
  const auto usable = [](const libusb_endpoint_descriptor& endpoint) {
    const int type = endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
    return type == LIBUSB_TRANSFER_TYPE_BULK || type == LIBUSB_TRANSFER_TYPE_INTERRUPT;
  };
  for (int i = 0; i < config.bNumInterfaces; ++i) {
    const libusb_interface& interface = config.interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) {
      const libusb_interface_descriptor& setting = interface.altsetting[a];
      std::optional<std::uint8_t> out;
      std::optional<std::uint8_t> in;
      std::uint32_t inPacketSize = 0;
      for (int e = 0; e < setting.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
        if (!usable(endpoint)) continue;
        const auto type = static_cast<std::uint8_t>(endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK);
        if (endpoint.bEndpointAddress == kOutEndpoint) out = type;
        if (endpoint.bEndpointAddress == kInEndpoint) {
          in = type;
          inPacketSize = PacketBytes(endpoint);
        }
      }
      if (out && in)
        return RegisterEndpoints{setting.bInterfaceNumber, setting.bAlternateSetting, *out, *in, inPacketSize};
    }
  }
  return std::nullopt;
}

LibusbBackend::Admission LibusbBackend::Admit(bool namedByIds, bool kernelDriverBound) {
  if (!kernelDriverBound) return Admission::Take;
  return namedByIds ? Admission::TakeDetachingDriver : Admission::Leave;
}

std::optional<LibusbBackend::RegisterEndpoints> LibusbBackend::RegisterInterface(libusb_device* device) const {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0 &&
      libusb_get_config_descriptor(device, 0, &config) != 0)
    return std::nullopt;
  const auto found = RegisterInterface(*config);
  libusb_free_config_descriptor(config);
  return found;
}

LibusbBackend::Arrival LibusbBackend::Arrived(libusb_device* device) {
  const auto endpoints = RegisterInterface(device);
  if (!endpoints) return Arrival::Left;
  const int bus = libusb_get_bus_number(device);
  const int address = libusb_get_device_address(device);
  libusb_device_descriptor descriptor{};
  libusb_get_device_descriptor(device, &descriptor);
  const auto problem = [&](const std::string& text) {
    if (notices_.problem) notices_.problem(text);
    return Arrival::Left;
  };

  libusb_device_handle* handle = nullptr;
  const int opened = libusb_open(device, &handle);
  if (opened != 0) {
    return problem(
        opened == LIBUSB_ERROR_ACCESS
            ? CFormat("USB register found at bus %d device %d but access was denied; see the udev rule.", bus, address)
            : CFormat("USB register found at bus %d device %d but could not be opened: %s", bus, address,
                      libusb_error_name(opened)));
  }
  const bool driverBound = libusb_kernel_driver_active(handle, endpoints->interfaceNumber) == 1;
  switch (Admit(only_.has_value(), driverBound)) {
    case Admission::Leave:
      libusb_close(handle);
      return problem(
          CFormat("USB device %04x:%04x at bus %d device %d has a register's endpoints but a kernel driver "
                  "serves it, so it is left alone; to use it, name it with --register usb:%04x:%04x",
                  descriptor.idVendor, descriptor.idProduct, bus, address, descriptor.idVendor, descriptor.idProduct));
    case Admission::TakeDetachingDriver: libusb_set_auto_detach_kernel_driver(handle, 1); break;
    case Admission::Take: break;
  }
  const int claimed = libusb_claim_interface(handle, endpoints->interfaceNumber);
  if (claimed == LIBUSB_ERROR_BUSY) {
    libusb_close(handle);
    return Arrival::Busy;
  }
  if (claimed == 0 && endpoints->altSetting != 0 &&
      libusb_set_interface_alt_setting(handle, endpoints->interfaceNumber, endpoints->altSetting) != 0) {
    libusb_release_interface(handle, endpoints->interfaceNumber);
    libusb_close(handle);
    return problem(CFormat("USB register found at bus %d device %d but its interface setting %d cannot be chosen", bus,
                           address, endpoints->altSetting));
  }
  if (claimed != 0) {
    libusb_close(handle);
    return problem(CFormat("USB register found at bus %d device %d but its interface is in use: %s", bus, address,
                           libusb_error_name(claimed)));
  }
  const auto typeName = [](std::uint8_t type) { return type == LIBUSB_TRANSFER_TYPE_INTERRUPT ? "interrupt" : "bulk"; };
  auto link = std::make_shared<LibusbDeviceLink>(
      context_, handle, endpoints->interfaceNumber, endpoints->outType, endpoints->inType, endpoints->inPacketSize,
      CFormat("USB %04x:%04x at bus %d device %d, interface %d, OUT 0x03 %s, IN 0x81 %s of %u-byte packets",
              descriptor.idVendor, descriptor.idProduct, bus, address, endpoints->interfaceNumber,
              typeName(endpoints->outType), typeName(endpoints->inType), endpoints->inPacketSize));
  current_ = libusb_ref_device(device);
  currentLink_ = link.get();
  if (notices_.attached) notices_.attached(std::move(link));
  return Arrival::Taken;
}
