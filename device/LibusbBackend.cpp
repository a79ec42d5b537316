#include "LibusbBackend.h"

#include <sys/time.h>

#include "CFormat.h"
#include "LibusbDeviceLink.h"

namespace {
constexpr std::uint8_t kOutEndpoint = 0x03;
constexpr std::uint8_t kInEndpoint = 0x81;
}  // namespace

LibusbBackend::LibusbBackend(std::optional<VendorProduct> only)
    : only_(only), context_(std::make_shared<LibusbContext>()) {}

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
      LIBUSB_HOTPLUG_ENUMERATE, vendor, product, LIBUSB_HOTPLUG_MATCH_ANY, &LibusbBackend::OnHotplug, this,
      &callback_);
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
      if (current_ == nullptr) Arrived(item.device);
    } else if (item.device == current_) {
      libusb_unref_device(current_);
      current_ = nullptr;
      if (notices_.detached) notices_.detached(currentLink_);
      currentLink_ = nullptr;
    }
    libusb_unref_device(item.device);
  }
}

std::optional<int> LibusbBackend::RegisterInterface(const libusb_config_descriptor& config) {
  for (int i = 0; i < config.bNumInterfaces; ++i) {
    const libusb_interface& interface = config.interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) {
      const libusb_interface_descriptor& setting = interface.altsetting[a];
      bool out = false;
      bool in = false;
      for (int e = 0; e < setting.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
        const bool bulk = (endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK;
        out = out || (bulk && endpoint.bEndpointAddress == kOutEndpoint);
        in = in || (bulk && endpoint.bEndpointAddress == kInEndpoint);
      }
      if (out && in) return setting.bInterfaceNumber;
    }
  }
  return std::nullopt;
}

std::optional<int> LibusbBackend::RegisterInterface(libusb_device* device) const {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0 &&
      libusb_get_config_descriptor(device, 0, &config) != 0)
    return std::nullopt;
  const auto found = RegisterInterface(*config);
  libusb_free_config_descriptor(config);
  return found;
}

void LibusbBackend::Arrived(libusb_device* device) {
  const auto interfaceNumber = RegisterInterface(device);
  if (!interfaceNumber) return;
  const int bus = libusb_get_bus_number(device);
  const int address = libusb_get_device_address(device);

  libusb_device_handle* handle = nullptr;
  const int opened = libusb_open(device, &handle);
  if (opened != 0) {
    if (notices_.problem)
      notices_.problem(opened == LIBUSB_ERROR_ACCESS
                           ? CFormat("USB register found at bus %d device %d but access was denied; see the udev rule.",
                                     bus, address)
                           : CFormat("USB register found at bus %d device %d but could not be opened: %s", bus,
                                     address, libusb_error_name(opened)));
    return;
  }
  libusb_set_auto_detach_kernel_driver(handle, 1);
  const int claimed = libusb_claim_interface(handle, *interfaceNumber);
  if (claimed != 0) {
    libusb_close(handle);
    if (notices_.problem)
      notices_.problem(CFormat("USB register found at bus %d device %d but its interface is in use: %s", bus,
                               address, libusb_error_name(claimed)));
    return;
  }
  auto link = std::make_shared<LibusbDeviceLink>(context_, handle, *interfaceNumber);
  current_ = libusb_ref_device(device);
  currentLink_ = link.get();
  if (notices_.attached) notices_.attached(std::move(link));
}
