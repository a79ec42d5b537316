// How a transfer ended, as the callers decide on it: done, cancelled, the
// register failed (at which record) or a file failed (which one, why), with the
// counts and the time it took. Display texts are the callers' business.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

enum class TransferResult { Done, Cancelled, RegisterFailed, FileFailed };

// Where a file failed: it could not be started, written, read or put in place.
enum class FileStep { Begin, Write, Read, Commit };

struct TransferOutcome {
  TransferResult result = TransferResult::Done;

  // The register did not answer or refused. An upload names the article by its
  // PLU number; a download by the slot it was to fill. Departments by position
  // (0-based). A report download can fail in both phases and still keep a file.
  std::optional<std::uint32_t> articleFailedAt;
  std::optional<std::uint32_t> departmentFailedAt;

  // FileFailed: the file, the step and the system's reason.
  std::string file;
  FileStep fileStep = FileStep::Write;
  std::string why;

  std::uint64_t articles = 0;     // sent or received
  std::uint64_t departments = 0;  // sent or received
  bool placed = false;            // a download's new file took the place of the target
  std::chrono::milliseconds elapsed{0};

  bool Done() const { return result == TransferResult::Done; }
  bool Cancelled() const { return result == TransferResult::Cancelled; }
  bool RegisterFailed() const { return result == TransferResult::RegisterFailed; }
  bool FileFailed() const { return result == TransferResult::FileFailed; }
};
