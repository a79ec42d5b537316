// A technician's record of the register link: one line per event (frames sent
// and received, NAK, SYN, silences, resets, the register coming and going), each
// with a millisecond time stamp. Recording only copies the event into memory; a
// thread of its own formats and writes the lines, so an exchange does not wait
// for the disk.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class RegisterTrace {
 public:
  enum class Event : std::uint8_t {
    Sent,        // a request frame went out
    SendFailed,  // a write of a request frame failed (note: the status)
    Received,    // a complete reply frame (note: what became of it)
    Nak,
    Syn,
    Stray,       // bytes outside any frame, dropped
    Silence,     // no answer within the wait (note: how long)
    EmptyReads,  // too many reads in a row brought nothing
    Reset,       // a transport reset and how it went
    Arrived,     // the register became usable
    Departed,    // the register went away
    Started,     // the trace began (note: the connection and its state)
  };

  static constexpr std::size_t kMaxBytes = 256;
  static constexpr std::size_t kMaxNote = 160;
  // Events held between two writes of the writer thread; beyond that, events
  // are counted as lost rather than slowing the link down.
  static constexpr std::size_t kCapacity = 1024;

  // Opens (creates or appends to) the file and starts the writer; null with the
  // reason in error when the file cannot be opened.
  static std::unique_ptr<RegisterTrace> Open(const std::string& path, std::string* error);
  ~RegisterTrace();
  RegisterTrace(const RegisterTrace&) = delete;
  RegisterTrace& operator=(const RegisterTrace&) = delete;

  // Cheap and safe from any thread: copies at most kMaxBytes bytes and kMaxNote
  // characters of the note.
  void Record(Event event, std::span<const std::uint8_t> bytes = {}, std::string_view note = {});

  // Waits until every event recorded so far is in the file.
  void Flush();

  const std::string& Path() const { return path_; }

  // The line for one event, without its time stamp (the writer's formatting,
  // open to tests).
  static std::string Describe(Event event, std::span<const std::uint8_t> bytes, std::string_view note);

 private:
  struct Entry {
    std::chrono::system_clock::time_point when;
    Event event;
    std::uint16_t byteCount;
    std::uint8_t noteLength;
    std::array<std::uint8_t, kMaxBytes> bytes;
    std::array<char, kMaxNote> note;
  };

  RegisterTrace(std::string path, std::FILE* file);
  void WriterLoop();
  void WriteEntries(const std::vector<Entry>& entries, std::uint64_t lost);

  const std::string path_;
  std::FILE* file_;

  std::mutex mutex_;
  std::condition_variable wake_;     // the writer: work or stop
  std::condition_variable written_;  // Flush: a batch reached the file
  std::vector<Entry> pending_;
  std::uint64_t lost_ = 0;
  std::uint64_t recorded_ = 0;
  std::uint64_t done_ = 0;
  bool hurry_ = false;
  bool stopping_ = false;
  std::thread writer_;
};
