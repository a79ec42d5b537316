#include "workspace/cli/ConsoleTaskRunner.h"

#include "data/CFormat.h"
#include "workspace/common/ProgressText.h"

namespace {
constexpr std::uint64_t kPlainLineEvery = 100;
constexpr auto kTerminalRefresh = std::chrono::milliseconds(100);
}  // namespace

void ConsoleTaskRunner::Show(const TransferControl::Progress& progress, bool final) {
  const auto now = TransferControl::Clock::now();
  if (progress.what != what_) {
    if (lineOpen_) std::fputc('\n', out_);
    lineOpen_ = false;
    what_ = progress.what;
  }
  if (progress.done == 0 && !final) return;
  std::string line = ProgressCountText(progress);
  if (terminal_) {
    if (!final && now - lastShown_ < kTerminalRefresh) return;
    lastShown_ = now;
    if (const double rate = ProgressRate(progress, now); rate > 0) line += CFormat(", %.1f/s", rate);
    if (const auto left = TimeLeft(progress, now)) line += ", about " + DurationText(*left) + " left";
    std::fprintf(out_, "\r\033[K%s", line.c_str());
    lineOpen_ = true;
    if (final) {
      std::fputc('\n', out_);
      lineOpen_ = false;
    }
  } else if (final || progress.done % kPlainLineEvery == 0) {
    std::fprintf(out_, "%s\n", line.c_str());
  }
  std::fflush(out_);
}

void ConsoleTaskRunner::Run(const std::string& /*title*/, const Task& task) {
  TransferControl control;
  control.FollowStop(stop_);
  what_.clear();
  lineOpen_ = false;
  control.SetListener([this](TransferControl& reporting) { Show(reporting.Snapshot(), false); });
  task(control);
  const TransferControl::Progress last = control.Snapshot();
  if (last.done > 0 && (terminal_ || last.done % kPlainLineEvery != 0)) Show(last, true);
  if (lineOpen_) std::fputc('\n', out_);
}
