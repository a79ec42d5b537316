// The status a transport reports through GetLastStatus. Reads run on the
// receiver thread while writes run on the caller's: the thread that wrote last
// must see its write's status, not that of a read that ended meanwhile.
#pragma once

#include <cstdint>
#include <mutex>
#include <thread>

class TransferStatus {
 public:
  void RecordWrite(std::uint32_t status) {
    std::lock_guard lock(mutex_);
    write_ = status;
    writer_ = std::this_thread::get_id();
    last_ = status;
  }
  void RecordRead(std::uint32_t status) {
    std::lock_guard lock(mutex_);
    last_ = status;
  }
  std::uint32_t Last() const {
    std::lock_guard lock(mutex_);
    return writer_ == std::this_thread::get_id() ? write_ : last_;
  }

 private:
  mutable std::mutex mutex_;
  std::uint32_t write_ = 0;
  std::uint32_t last_ = 0;
  std::thread::id writer_;
};
