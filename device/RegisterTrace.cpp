#include "device/RegisterTrace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "data/CFormat.h"
#include "data/CodePage.h"
#include "device/RegisterFrame.h"

namespace {

// How long the writer lets events gather before it writes them.
constexpr std::chrono::milliseconds kWriteInterval{50};

void AppendHex(std::string& out, std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0xF];
  }
}

// A frame's text as the technician reads it: code-page characters in UTF-8,
// control bytes escaped.
void AppendText(std::string& out, std::span<const std::uint8_t> text) {
  out += '"';
  for (std::uint8_t byte : text) {
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += CFormat("\\x%02X", byte);
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else {
      const char c = static_cast<char>(byte);
      out += codepage::ToUtf8(std::string_view(&c, 1));
    }
  }
  out += '"';
}

// CMD, SEQ and text of a frame whose text starts at offset 4 and is LEN minus
// lenBase bytes long; what the frame does not hold is left out.
void AppendFields(std::string& out, std::span<const std::uint8_t> frame, std::uint8_t lenBase) {
  if (frame.size() < 4) return;
  out += CFormat("  CMD %02X SEQ %02X", frame[3], frame[2]);
  const std::size_t textLength = frame[1] >= lenBase ? frame[1] - lenBase : 0;
  const std::size_t available = frame.size() - 4;
  out += " text ";
  AppendText(out, frame.subspan(4, std::min(textLength, available)));
  if (lenBase == RegisterFrame::kReplyLenBase && 4 + textLength + 1 + RegisterFrame::kStatusBytes <= frame.size()) {
    out += " status ";
    AppendHex(out, frame.subspan(4 + textLength + 1, RegisterFrame::kStatusBytes));
  }
}

}  // namespace

std::unique_ptr<RegisterTrace> RegisterTrace::Open(const std::string& path, std::string* error) {
  std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "a");
  if (file == nullptr) {
    if (error)
      *error = CFormat("cannot write the trace file \"%s\": %s", path.c_str(),
                       path.empty() ? "no name given" : std::strerror(errno));
    return nullptr;
  }
  return std::unique_ptr<RegisterTrace>(new RegisterTrace(path, file));
}

RegisterTrace::RegisterTrace(std::string path, std::FILE* file) : path_(std::move(path)), file_(file) {
  pending_.reserve(kCapacity);
  writer_ = std::thread(&RegisterTrace::WriterLoop, this);
}

RegisterTrace::~RegisterTrace() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  writer_.join();
  std::fclose(file_);
}

void RegisterTrace::Record(Event event, std::span<const std::uint8_t> bytes, std::string_view note) {
  const auto now = std::chrono::system_clock::now();
  const std::size_t byteCount = std::min(bytes.size(), kMaxBytes);
  const std::size_t noteLength = std::min(note.size(), kMaxNote);
  std::lock_guard lock(mutex_);
  if (pending_.size() >= kCapacity) {
    ++lost_;
    return;
  }
  Entry& entry = pending_.emplace_back();
  entry.when = now;
  entry.event = event;
  entry.byteCount = static_cast<std::uint16_t>(byteCount);
  entry.noteLength = static_cast<std::uint8_t>(noteLength);
  std::copy_n(bytes.begin(), byteCount, entry.bytes.begin());
  std::copy_n(note.begin(), noteLength, entry.note.begin());
  ++recorded_;
}

void RegisterTrace::Flush() {
  std::unique_lock lock(mutex_);
  const std::uint64_t target = recorded_;
  hurry_ = true;
  wake_.notify_all();
  written_.wait(lock, [&] { return done_ >= target || stopping_; });
}

void RegisterTrace::WriterLoop() {
  std::vector<Entry> batch;
  batch.reserve(kCapacity);
  std::unique_lock lock(mutex_);
  for (;;) {
    // Woken early only by Flush and the destructor; otherwise events gather.
    wake_.wait_for(lock, kWriteInterval, [this] { return hurry_ || stopping_; });
    hurry_ = false;
    batch.swap(pending_);
    const std::uint64_t lost = lost_;
    lost_ = 0;
    const std::uint64_t upTo = done_ + batch.size();
    const bool last = stopping_;
    lock.unlock();
    WriteEntries(batch, lost);
    batch.clear();
    lock.lock();
    done_ = upTo;
    written_.notify_all();
    if (last && pending_.empty()) return;
  }
}

void RegisterTrace::WriteEntries(const std::vector<Entry>& entries, std::uint64_t lost) {
  if (entries.empty() && lost == 0) return;
  std::string text;
  for (const Entry& entry : entries) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(entry.when);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(entry.when.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    text += CFormat("%s.%03d ", stamp, static_cast<int>(millis));
    text += Describe(entry.event, std::span(entry.bytes).first(entry.byteCount),
                     std::string_view(entry.note.data(), entry.noteLength));
    text += '\n';
  }
  if (lost > 0)
    text += CFormat("(%llu events lost: they came faster than the file took them)\n",
                    static_cast<unsigned long long>(lost));
  std::fwrite(text.data(), 1, text.size(), file_);
  std::fflush(file_);
}

std::string RegisterTrace::Describe(Event event, std::span<const std::uint8_t> bytes, std::string_view note) {
  std::string line;
  const auto withNote = [&](const char* head) {
    line = head;
    if (!note.empty()) {
      line += ": ";
      line += note;
    }
  };
  switch (event) {
    case Event::Sent:
      line = "TX ";
      AppendHex(line, bytes);
      AppendFields(line, bytes, RegisterFrame::kRequestLenBase);
      break;
    case Event::SendFailed:
      line = "TX failed ";
      AppendHex(line, bytes);
      break;
    case Event::Received:
      line = "RX ";
      AppendHex(line, bytes);
      AppendFields(line, bytes, RegisterFrame::kReplyLenBase);
      break;
    case Event::Nak: line = "RX NAK"; break;
    case Event::Syn: line = "RX SYN"; break;
    case Event::Stray:
      line = "RX dropped ";
      AppendHex(line, bytes);
      break;
    case Event::Silence: withNote("silence"); return line;
    case Event::EmptyReads: withNote("empty reads"); return line;
    case Event::Reset: withNote("transport reset"); return line;
    case Event::Arrived: withNote("register attached"); return line;
    case Event::Departed: withNote("register gone"); return line;
    case Event::Started: withNote("trace started"); return line;
  }
  if (!note.empty()) {
    line += " (";
    line += note;
    line += ')';
  }
  return line;
}
