// Registers whose interface was busy as they arrived: the handle that holds it
// may be on its way out (a reset, another program ending), so the claim is
// tried again until the retry time has passed, and then reported once.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

template <typename Device>
class ClaimRetries {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Claim { Taken, Busy, Left };

  explicit ClaimRetries(std::chrono::milliseconds retryFor) : retryFor_(retryFor) {}

  bool Empty() const { return listed_.empty(); }
  // A device whose claim was refused as busy at now.
  void Add(Device device, Clock::time_point now) { listed_.push_back({device, now + retryFor_}); }
  // The device went away: it is let go (release) if it was listed.
  template <typename Release>
  void Remove(Device device, Release release) {
    std::erase_if(listed_, [&](const Listed& listed) {
      if (listed.device != device) return false;
      release(listed.device);
      return true;
    });
  }
  // Tries each listed device again with claim. One still busy stays listed
  // until its time is up; then gaveUp hears of it. Every device that leaves
  // the list is let go with release.
  template <typename TryClaim, typename GaveUp, typename Release>
  void Retry(Clock::time_point now, TryClaim claim, GaveUp gaveUp, Release release) {
    std::vector<Listed> still;
    for (const Listed& listed : listed_) {
      const Claim outcome = claim(listed.device);
      if (outcome == Claim::Busy && now < listed.until) {
        still.push_back(listed);
        continue;
      }
      if (outcome == Claim::Busy) gaveUp(listed.device);
      release(listed.device);
    }
    listed_.swap(still);
  }
  template <typename Release>
  void Clear(Release release) {
    for (const Listed& listed : listed_) release(listed.device);
    listed_.clear();
  }

 private:
  struct Listed {
    Device device;
    Clock::time_point until;
  };
  const std::chrono::milliseconds retryFor_;
  std::vector<Listed> listed_;
};
