#include "workspace/common-qt/RegisterWatch.h"

RegisterWatch::RegisterWatch(std::function<bool()> attached, std::function<void(bool)> changed, bool now,
                             int intervalMs, QObject* parent)
    : QObject(parent), attached_(std::move(attached)), changed_(std::move(changed)), last_(now) {
  connect(&timer_, &QTimer::timeout, this, [this] {
    const bool attachedNow = attached_();
    if (attachedNow == last_) return;
    last_ = attachedNow;
    changed_(attachedNow);
  });
  timer_.start(intervalMs);
}
