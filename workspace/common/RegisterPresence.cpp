#include "workspace/common/RegisterPresence.h"

#include "workspace/common/Operator.h"
#include "device/RegisterTransfers.h"
#include "transfer/TransferService.h"

void RegisterPresence::Take(bool attached) {
  attached_ = attached;
  // A register plugged in now may be another type than the one read before.
  stale_ = attached;
}

bool RegisterPresence::Change(bool attached) {
  if (busy_) {
    meanwhile_ = attached;
    return false;
  }
  if (attached == attached_) return false;
  Take(attached);
  return true;
}

void RegisterPresence::EndTask() {
  busy_ = false;
  if (!meanwhile_) return;
  if (*meanwhile_ != attached_) Take(*meanwhile_);
  meanwhile_.reset();
}

bool RegisterPresence::EnsureParameters(const std::function<bool()>& read) {
  if (!stale_) return true;
  if (!read()) return false;
  stale_ = false;
  return true;
}

TaskRunner::Task ReadParametersTask(RegisterTransfers& transfers, Operator& op, bool& answered) {
  return [&transfers, &op, &answered](TransferControl& control) {
    WaitCursor wait(op);
    answered = TransferService(transfers).ReadParameters(control).Done();
  };
}
