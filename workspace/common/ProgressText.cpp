#include "workspace/common/ProgressText.h"

#include <algorithm>
#include <cmath>

#include "data/CFormat.h"

using Clock = TransferControl::Clock;

std::string GroupedCount(std::uint64_t count) {
  std::string digits = std::to_string(count);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string DurationText(std::chrono::seconds duration) {
  const long long total = std::max<long long>(duration.count(), 0);
  const long long hours = total / 3600, minutes = total / 60 % 60, seconds = total % 60;
  return hours > 0 ? CFormat("%lld:%02lld:%02lld", hours, minutes, seconds) : CFormat("%lld:%02lld", minutes, seconds);
}

std::string ProgressCountText(const TransferControl::Progress& progress) {
  std::string text = progress.what + " " + GroupedCount(progress.done);
  if (progress.total > 0) text += " of " + GroupedCount(progress.total);
  return text;
}

double ProgressRate(const TransferControl::Progress& progress, Clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - progress.phaseStarted).count();
  if (progress.done == 0 || seconds <= 0.0) return 0.0;
  return static_cast<double>(progress.done) / seconds;
}

std::optional<std::chrono::seconds> TimeLeft(const TransferControl::Progress& progress, Clock::time_point now) {
  const double rate = ProgressRate(progress, now);
  if (progress.total == 0 || rate <= 0.0) return std::nullopt;
  const std::uint64_t left = progress.total > progress.done ? progress.total - progress.done : 0;
  return std::chrono::seconds(static_cast<long long>(std::ceil(static_cast<double>(left) / rate)));
}

std::string ProgressTimeText(const TransferControl::Progress& progress, Clock::time_point now) {
  const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - progress.started);
  const auto left = TimeLeft(progress, now);
  return "Elapsed " + DurationText(elapsed) + ", " +
         (left ? "about " + DurationText(*left) + " left" : std::string("time left unknown"));
}
