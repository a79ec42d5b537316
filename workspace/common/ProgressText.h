// The words and numbers a progress display shows: "Articles 1,234 of 49,999",
// the elapsed time, the rate and the time left. Shared by the progress window
// and the console line, so both say the same.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "device/TransferControl.h"

// 49999 -> "49,999".
std::string GroupedCount(std::uint64_t count);
// 65 s -> "1:05", 3723 s -> "1:02:03".
std::string DurationText(std::chrono::seconds duration);

// "Articles 1,234 of 49,999", or "Articles 1,234" when the total is not known.
std::string ProgressCountText(const TransferControl::Progress& progress);
// Items per second in the current part; 0 before there is anything to measure.
double ProgressRate(const TransferControl::Progress& progress, TransferControl::Clock::time_point now);
// What is left of the current part at the rate so far; nullopt while unknown.
std::optional<std::chrono::seconds> TimeLeft(const TransferControl::Progress& progress,
                                             TransferControl::Clock::time_point now);
// "Elapsed 0:12, about 1:05 left" (or "time left unknown").
std::string ProgressTimeText(const TransferControl::Progress& progress, TransferControl::Clock::time_point now);
