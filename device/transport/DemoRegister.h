// A simulated register behind the transport interface, for demos, training and
// end-to-end tests: it keeps parameters, departments and a PLU table with sales,
// parses request frames and answers in reply frames, and can misbehave on demand.
#pragma once

#include <atomic>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/DeviceTiming.h"
#include "data/Records.h"
#include "device/RegisterTrace.h"
#include "device/transport/TransportRegistry.h"
#include "device/transport/iCOMDriver.h"

class DemoRegister : public iCOMDriver {
 public:
  // The register's own limits and switches, as its parameter reply reports them.
  struct Profile {
    std::uint32_t taxGroupCount = 8;
    std::uint32_t departmentCount = 8;
    std::uint32_t commodityGroupCount = 20;
    std::uint32_t measureUnitCount = 10;
    std::uint32_t stockQtyEnabled = 1;
    std::uint32_t barcodeEnabled = 1;
    std::uint32_t initialQtyEnabled = 0;
    std::uint32_t pluLinkEnabled = 0;
  };

  enum class Contents { Sample, Empty };

  struct Options {
    Contents contents = Contents::Sample;
    Profile profile;
    // Largest piece of a reply handed out by one Read; a reply always takes at
    // least two reads.
    std::size_t readPiece = 24;
    // lineReadTimeoutMs: how long a Read waits for an answer.
    DeviceTiming timing;
  };

  // Faults, each taking effect on the next request frame that arrives intact.
  enum class Fault {
    Nak,            // answer NAK, do nothing
    Silence,        // swallow the request, answer nothing
    CorruptCheck,   // carry it out but spoil a check character of the reply
    StaleSequence,  // send a good reply with the previous request's sequence byte first
    Vanish,         // swallow the request and detach (Attach brings it back)
  };

  struct Counters {
    std::uint32_t framesReceived = 0;  // intact request frames
    std::uint32_t badFrames = 0;       // answered with NAK for bad check characters or layout
    std::uint32_t commandsCarriedOut = 0;
    std::uint32_t refused = 0;  // answered with status bit 5
    std::uint32_t resets = 0;
  };

  static constexpr std::uint32_t kMaxPlu = 99999;
  static constexpr std::uint32_t kStatusDetached = 1;
  static constexpr std::uint32_t kStatusClosed = 2;
  static constexpr std::uint8_t kCommandParameters = 0x80;
  static constexpr std::uint8_t kCommandDepartment = 0x83;
  static constexpr std::uint8_t kCommandArticle = 0x6B;
  // --register demo
  static const TransportScheme kScheme;

  // Sample contents and the default profile.
  DemoRegister();
  explicit DemoRegister(const Options& options);

  bool Open(std::uint32_t portIndex) override;
  void Close() override;
  std::uint32_t Write(const std::uint8_t* data, std::uint32_t length) override;
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t capacity) override;
  std::uint32_t GetLastStatus() override;
  void Reset() override;
  void SetTrace(RegisterTrace* trace) override { trace_ = trace; }
  bool IsConnected() override;

  void InjectFault(Fault fault, unsigned times = 1);
  // The next reply is preceded by this many SYN bytes, each its own read.
  void InjectSynBurst(unsigned syns);
  void Detach();
  void Attach();

  Profile GetProfile() const;
  void SetProfile(const Profile& profile);
  Counters GetCounters() const;
  std::size_t ArticleCount() const;
  std::optional<ArticleRecord> Article(std::uint32_t plu) const;
  // Department by its number, counted from 1; nullopt beyond the count.
  std::optional<DepartmentRecord> Department(std::uint32_t number) const;
  // Puts an article as the register's own keyboard would (sales figures included).
  // Its DEPARTMENT is the register's department number (0: none); groups and
  // units are 0-based as in the files.
  void PutArticle(const ArticleRecord& article);
  void RemoveAllArticles();
  // The tax letters the register knows; the first taxGroupCount of them are valid.
  static constexpr std::string_view kTaxLetters = "ABCDEFGHIJKLMNOPQRST";

 private:
  std::atomic<RegisterTrace*> trace_{nullptr};
  struct Answer {
    std::string text;
    bool refused = false;
  };

  void FillSample();
  void TakeInput();
  void Respond(std::uint8_t sequence, std::uint8_t command, std::string_view text);
  Answer Carry(std::uint8_t command, std::string_view text);
  Answer Parameters() const;
  Answer ReadDepartment(std::string_view text) const;
  Answer ProgramDepartment(std::string_view text);
  Answer NextArticle(bool first);
  Answer ProgramArticle(std::string_view text);
  std::string ArticleReply(const ArticleRecord& article) const;
  void QueueFrame(const std::vector<std::uint8_t>& frame);
  void QueueByte(std::uint8_t byte);
  bool ValidTaxLetter(char letter) const;

  const std::size_t readPiece_;
  const DeviceTiming timing_;

  mutable std::mutex mutex_;
  std::condition_variable outputReady_;
  bool connected_ = true;
  bool closed_ = false;
  std::uint32_t lastStatus_ = 0;
  Profile profile_;
  std::array<DepartmentRecord, 200> departments_{};
  std::map<std::uint32_t, ArticleRecord> articles_;
  std::optional<std::uint32_t> cursor_;  // PLU handed out last by F/N
  bool cursorAtEnd_ = false;
  std::vector<std::uint8_t> input_;
  std::deque<std::vector<std::uint8_t>> output_;  // one element per read
  std::deque<Fault> faults_;
  unsigned synBurst_ = 0;
  std::optional<std::uint8_t> previousSequence_;
  Counters counters_;
};
