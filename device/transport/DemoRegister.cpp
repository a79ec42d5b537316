#include "device/transport/DemoRegister.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>

#include "data/CFormat.h"
#include "device/RegisterFrame.h"

namespace {

constexpr std::array<std::uint8_t, RegisterFrame::kStatusBytes> kStatusOk{0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
// Money and quantities beyond these cannot be shown by the register.
constexpr double kMaxMoney = 99999999.0;
constexpr double kMaxQuantity = 999999999.0;

// Fields separated by commas; an empty field stays in its place.
std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

// The whole field must be the number.
// Numbers arrive padded to a width ("%2.0f" gives " 3"), so leading blanks are
// part of the layout, not an error.
std::string_view TrimLeft(std::string_view field) {
  while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
  return field;
}

std::optional<std::int64_t> Integer(std::string_view field) {
  field = TrimLeft(field);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (field.empty() || error != std::errc() || end != field.data() + field.size()) return std::nullopt;
  return value;
}

std::optional<double> Number(std::string_view field, double limit) {
  field = TrimLeft(field);
  double value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (field.empty() || error != std::errc() || end != field.data() + field.size() || !std::isfinite(value) ||
      std::fabs(value) > limit)
    return std::nullopt;
  return value;
}

std::optional<std::int32_t> InRange(std::string_view field, std::int64_t low, std::int64_t high) {
  const auto value = Integer(field);
  if (!value || *value < low || *value > high) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

// Names travel inside frames: control bytes would break them.
bool PrintableName(std::string_view name) {
  return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

DemoRegister::DemoRegister() : DemoRegister(Options{}) {}

DemoRegister::DemoRegister(const Options& options)
    : readPiece_(std::max<std::size_t>(options.readPiece, 1)), timing_(options.timing), profile_(options.profile) {
  profile_.departmentCount = std::min<std::uint32_t>(profile_.departmentCount, 200);
  for (std::uint32_t n = 1; n <= 200; ++n) departments_[n - 1] = DefaultDepartment(n, 'B');
  if (options.contents == Contents::Sample) FillSample();
}

bool DemoRegister::Open(std::uint32_t) {
  std::lock_guard lock(mutex_);
  closed_ = false;
  return connected_;
}

void DemoRegister::Close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  outputReady_.notify_all();
}

bool DemoRegister::IsConnected() {
  std::lock_guard lock(mutex_);
  return connected_ && !closed_;
}

std::uint32_t DemoRegister::GetLastStatus() {
  std::lock_guard lock(mutex_);
  return lastStatus_;
}

std::uint32_t DemoRegister::Write(const std::uint8_t* data, std::uint32_t length) {
  {
    std::lock_guard lock(mutex_);
    if (!connected_ || closed_ || data == nullptr) {
      lastStatus_ = closed_ ? kStatusClosed : kStatusDetached;
      return 0;
    }
    lastStatus_ = 0;
    input_.insert(input_.end(), data, data + length);
    TakeInput();
  }
  outputReady_.notify_all();
  return length;
}

std::uint32_t DemoRegister::Read(std::uint8_t* buffer, std::uint32_t capacity) {
  std::unique_lock lock(mutex_);
  if (buffer == nullptr || capacity == 0) return 0;
  outputReady_.wait_for(lock, std::chrono::milliseconds(timing_.lineReadTimeoutMs),
                        [this] { return closed_ || !connected_ || !output_.empty(); });
  // A closed register hands out nothing, like a transport that let go of its line.
  if (!connected_ || closed_ || output_.empty()) return 0;
  auto& piece = output_.front();
  const std::size_t count = std::min<std::size_t>(capacity, piece.size());
  std::copy_n(piece.begin(), count, buffer);
  piece.erase(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(count));
  if (piece.empty()) output_.pop_front();
  return static_cast<std::uint32_t>(count);
}

void DemoRegister::Reset() {
  {
    std::lock_guard lock(mutex_);
    if (!connected_) return;  // nothing there to reset
    ++counters_.resets;
    input_.clear();
    output_.clear();
  }
  if (RegisterTrace* trace = trace_.load())
    trace->Record(RegisterTrace::Event::Reset, {}, "demo register: pending bytes dropped");
}

void DemoRegister::InjectFault(Fault fault, unsigned times) {
  std::lock_guard lock(mutex_);
  for (unsigned i = 0; i < times; ++i) faults_.push_back(fault);
}

void DemoRegister::InjectSynBurst(unsigned syns) {
  std::lock_guard lock(mutex_);
  synBurst_ += syns;
}

void DemoRegister::Detach() {
  {
    std::lock_guard lock(mutex_);
    connected_ = false;
    input_.clear();
    output_.clear();
  }
  outputReady_.notify_all();
}

void DemoRegister::Attach() {
  std::lock_guard lock(mutex_);
  connected_ = true;
}

DemoRegister::Profile DemoRegister::GetProfile() const {
  std::lock_guard lock(mutex_);
  return profile_;
}

void DemoRegister::SetProfile(const Profile& profile) {
  std::lock_guard lock(mutex_);
  profile_ = profile;
  profile_.departmentCount = std::min<std::uint32_t>(profile_.departmentCount, 200);
}

DemoRegister::Counters DemoRegister::GetCounters() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

std::size_t DemoRegister::ArticleCount() const {
  std::lock_guard lock(mutex_);
  return articles_.size();
}

std::optional<ArticleRecord> DemoRegister::Article(std::uint32_t plu) const {
  std::lock_guard lock(mutex_);
  const auto found = articles_.find(plu);
  if (found == articles_.end()) return std::nullopt;
  return found->second;
}

std::optional<DepartmentRecord> DemoRegister::Department(std::uint32_t number) const {
  std::lock_guard lock(mutex_);
  if (number == 0 || number > profile_.departmentCount) return std::nullopt;
  return departments_[number - 1];
}

void DemoRegister::PutArticle(const ArticleRecord& article) {
  std::lock_guard lock(mutex_);
  ArticleRecord stored = article;
  TerminateName(stored.NAME);
  stored.IN_USE = 1;
  articles_[stored.PLUNO] = stored;
}

void DemoRegister::RemoveAllArticles() {
  std::lock_guard lock(mutex_);
  articles_.clear();
  cursor_.reset();
}

bool DemoRegister::ValidTaxLetter(char letter) const {
  const std::size_t position = kTaxLetters.find(letter);
  return position != std::string_view::npos && position < profile_.taxGroupCount;
}

// Takes every complete request frame from the input; called with the lock held.
void DemoRegister::TakeInput() {
  for (;;) {
    const auto soh = std::find(input_.begin(), input_.end(), RegisterFrame::kSOH);
    input_.erase(input_.begin(), soh);  // line noise before a frame
    if (input_.size() < 2) return;
    const std::uint8_t len = input_[1];
    if (len < RegisterFrame::kRequestLenBase) {
      ++counters_.badFrames;
      input_.erase(input_.begin());
      QueueByte(RegisterFrame::kNAK);
      continue;
    }
    const std::size_t textLength = len - RegisterFrame::kRequestLenBase;
    const std::size_t frameLength = textLength + RegisterFrame::kRequestOverhead;
    if (input_.size() < frameLength) return;
    const std::span<const std::uint8_t> frame(input_.data(), frameLength);
    const auto check = RegisterFrame::CheckCharacters(frame.subspan(1, textLength + 4));
    const bool intact =
        frame[4 + textLength] == RegisterFrame::kPostamble && frame[frameLength - 1] == RegisterFrame::kETX &&
        std::equal(check.begin(), check.end(), frame.begin() + 5 + static_cast<std::ptrdiff_t>(textLength));
    if (!intact) {
      ++counters_.badFrames;
      input_.erase(input_.begin());
      QueueByte(RegisterFrame::kNAK);
      continue;
    }
    const std::uint8_t sequence = frame[2];
    const std::uint8_t command = frame[3];
    const std::string text(frame.begin() + 4, frame.begin() + 4 + static_cast<std::ptrdiff_t>(textLength));
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(frameLength));
    ++counters_.framesReceived;
    Respond(sequence, command, text);
  }
}

void DemoRegister::Respond(std::uint8_t sequence, std::uint8_t command, std::string_view text) {
  std::optional<Fault> fault;
  if (!faults_.empty()) {
    fault = faults_.front();
    faults_.pop_front();
  }
  if (fault == Fault::Nak) {
    QueueByte(RegisterFrame::kNAK);
    return;
  }
  if (fault == Fault::Silence) return;
  if (fault == Fault::Vanish) {
    connected_ = false;
    input_.clear();
    output_.clear();
    return;
  }

  const Answer answer = Carry(command, text);
  ++(answer.refused ? counters_.refused : counters_.commandsCarriedOut);
  auto status = kStatusOk;
  if (answer.refused) status[0] |= RegisterFrame::kStatusFailed;
  auto frame = RegisterFrame::BuildReply(sequence, command, answer.text, status);
  if (frame.empty()) {
    // Cannot happen with the limits the register keeps; refuse rather than send garbage.
    status[0] |= RegisterFrame::kStatusFailed;
    frame = RegisterFrame::BuildReply(sequence, command, "", status);
  }

  for (; synBurst_ > 0; --synBurst_) QueueByte(RegisterFrame::kSYN);
  if (fault == Fault::StaleSequence) {
    const std::uint8_t stale =
        previousSequence_.value_or(static_cast<std::uint8_t>(sequence == 0x20 ? 0x80 : sequence - 1));
    QueueFrame(RegisterFrame::BuildReply(stale, command, answer.text, status));
  }
  if (fault == Fault::CorruptCheck) {
    std::uint8_t& last = frame[frame.size() - 2];
    last = static_cast<std::uint8_t>(0x30 + ((last - 0x30 + 1) & 0xF));
  }
  QueueFrame(frame);
  previousSequence_ = sequence;
}

void DemoRegister::QueueByte(std::uint8_t byte) { output_.push_back({byte}); }

void DemoRegister::QueueFrame(const std::vector<std::uint8_t>& frame) {
  const std::size_t piece = std::max<std::size_t>(1, std::min(readPiece_, (frame.size() + 1) / 2));
  for (std::size_t at = 0; at < frame.size(); at += piece) {
    const std::size_t end = std::min(frame.size(), at + piece);
    output_.emplace_back(frame.begin() + static_cast<std::ptrdiff_t>(at),
                         frame.begin() + static_cast<std::ptrdiff_t>(end));
  }
}

DemoRegister::Answer DemoRegister::Carry(std::uint8_t command, std::string_view text) {
  switch (command) {
    case kCommandParameters: return Parameters();
    case kCommandDepartment:
      if (!text.empty() && text[0] == 'R') return ReadDepartment(text.substr(1));
      if (!text.empty() && text[0] == 'P') return ProgramDepartment(text.substr(1));
      return {"", true};
    case kCommandArticle:
      if (text == "F") return NextArticle(true);
      if (text == "N") return NextArticle(false);
      if (!text.empty() && text[0] == 'P') return ProgramArticle(text.substr(1));
      return {"", true};
    default: return {"", true};
  }
}

DemoRegister::Answer DemoRegister::Parameters() const {
  // Positions counted from 1; those the programs read are marked.
  const std::uint32_t values[] = {
      1,                       // 1 register model
      205,                     // 2 firmware version
      kMaxPlu,                 // 3 PLU capacity
      profile_.taxGroupCount,  // 4 * tax groups
      2,                       // 5 decimal places of money
      3,                       // 6 decimal places of quantities
      1,                       // 7 operators
      30,                      // 8 receipt line width
      0,                       // 9 fiscalised
      1,                       // 10 country code
      0,
      0,
      0,
      0,                             // 11-14 reserved
      1,                             // 15 cash drawers
      profile_.departmentCount,      // 16 * departments
      0,                             // 17 stands
      profile_.stockQtyEnabled,      // 18 * stock quantities
      profile_.barcodeEnabled,       // 19 * barcodes
      profile_.commodityGroupCount,  // 20 * commodity groups
      4,                             // 21 payment types
      0,                             // 22 reserved
      profile_.measureUnitCount,     // 23 * measure units
      0,
      0,
      0,                           // 24-26 reserved
      profile_.initialQtyEnabled,  // 27 * initial quantities
      profile_.pluLinkEnabled,     // 28 * linked PLUs
  };
  std::string text;
  for (std::uint32_t value : values) {
    if (!text.empty()) text += ',';
    text += std::to_string(value);
  }
  return {text, false};
}

DemoRegister::Answer DemoRegister::ReadDepartment(std::string_view text) const {
  const auto number = InRange(text, 1, profile_.departmentCount);
  if (!number) return {"", true};
  const DepartmentRecord& d = departments_[static_cast<std::size_t>(*number - 1)];
  const char tax = d.TAX_GROUP != 0 ? d.TAX_GROUP : 'A';
  return {CFormat("R,%u,%s\n%c,%.2f,%.3f,%.2f,%d,%d,%d,%d,%d,%.2f,%.2f", d.DEPTNO, std::string(NameOf(d.NAME)).c_str(),
                  tax, d.SING_PRICE, d.SOLDQTY, d.AMOUNT, d.STOCK_GROUP + 1, d.OPT_SINGTRANS, d.OPT_FRACT_QTY,
                  d.OPT_FREEPRICE, d.MEASURE_UNIT + 1, d.MAX_PRICE, d.MAX_AMOUNT),
          false};
}

// "%d,%s\n%c%2.2f,%d,%d,%d,%d,%d,%d,%2.2f,%2.2f" after the P.
DemoRegister::Answer DemoRegister::ProgramDepartment(std::string_view text) {
  const Answer refused{"", true};
  const std::size_t comma = text.find(',');
  const std::size_t newline = text.find('\n');
  if (comma == std::string_view::npos || newline == std::string_view::npos || newline < comma) return refused;
  const auto number = InRange(text.substr(0, comma), 1, profile_.departmentCount);
  const std::string_view name = text.substr(comma + 1, newline - comma - 1);
  const std::string_view rest = text.substr(newline + 1);
  if (!number || !PrintableName(name) || rest.empty() || !ValidTaxLetter(rest[0])) return refused;
  const auto fields = Split(rest.substr(1));
  if (fields.size() != 9) return refused;
  const auto price = Number(fields[0], kMaxMoney);
  const auto group = InRange(fields[1], 1, profile_.commodityGroupCount);
  const auto single = InRange(fields[2], 0, 1);
  const auto fractional = InRange(fields[3], 0, 1);
  const auto freePrice = InRange(fields[4], 0, 1);
  const auto unit = InRange(fields[5], 1, profile_.measureUnitCount);
  const auto stand = InRange(fields[6], 1, 10);
  const auto maxPrice = Number(fields[7], kMaxMoney);
  const auto maxAmount = Number(fields[8], kMaxMoney);
  if (!price || !group || !single || !fractional || !freePrice || !unit || !stand || !maxPrice || !maxAmount)
    return refused;
  if (*price < 0 || *maxPrice < 0 || *maxAmount < 0) return refused;

  DepartmentRecord& d = departments_[static_cast<std::size_t>(*number - 1)];
  d.DEPTNO = static_cast<std::uint32_t>(*number);
  SetName(d.NAME, name);
  d.TAX_GROUP = rest[0];
  d.SING_PRICE = *price;
  d.STOCK_GROUP = *group - 1;
  d.OPT_SINGTRANS = *single;
  d.OPT_FRACT_QTY = *fractional;
  d.OPT_FREEPRICE = *freePrice;
  d.MEASURE_UNIT = *unit - 1;
  d.STAND = *stand - 1;
  d.MAX_PRICE = *maxPrice;
  d.MAX_AMOUNT = *maxAmount;
  return {"", false};
}

std::string DemoRegister::ArticleReply(const ArticleRecord& a) const {
  const char* quantity = a.OPT_FRACT_QTY != 0 ? "%.3f" : "%.0f";
  std::string text =
      CFormat("A,%u,0,%c,%.2f,%.2f,%.3f,%.3f,%.2f,%.2f,%s\n%.13lld,%d,%d,", a.PLUNO, a.TAX_GROUP, a.SING_PRICE,
              a.MAX_PRICE, a.SOLDQTY, a.SOLDQTY_DS, a.AMOUNT, a.AMOUNT_DS, std::string(NameOf(a.NAME)).c_str(),
              static_cast<long long>(a.BARCODE), a.DEPARTMENT, a.OPT_FRACT_QTY);
  text += CFormat(quantity, a.STOCKQTY);
  if (profile_.initialQtyEnabled != 0) text += "," + CFormat(quantity, a.INITQTY);
  text +=
      CFormat(",%d,%d,%d,%d,%d", a.STOCK_GROUP + 1, a.OPT_SINGTRANS, a.OPT_FREEPRICE, a.MEASURE_UNIT + 1, a.PLUNOLINK);
  return text;
}

DemoRegister::Answer DemoRegister::NextArticle(bool first) {
  auto next = articles_.end();
  if (first || !cursor_) {
    next = first ? articles_.begin() : articles_.end();
  } else {
    next = articles_.upper_bound(*cursor_);
  }
  if (next == articles_.end()) {
    if (first) cursor_.reset();
    return {"F", false};
  }
  cursor_ = next->first;
  return {ArticleReply(next->second), false};
}

// "%c%d,%2.2f,%2.2f,%s\n%.13lld,%d,%d,<stock>[,<initial>],%d,%d,%d,%d[,%d]" after
// the P. Which of the six layouts comes is the register's own setting, as the
// programs learn it from the parameter reply.
DemoRegister::Answer DemoRegister::ProgramArticle(std::string_view text) {
  const Answer refused{"", true};
  const std::size_t newline = text.find('\n');
  if (text.size() < 2 || newline == std::string_view::npos || !ValidTaxLetter(text[0])) return refused;
  const std::string_view head = text.substr(1, newline - 1);
  // PLU, two prices, then the name, which may itself hold commas.
  std::size_t at = 0;
  std::string_view headFields[3];
  for (auto& field : headFields) {
    const std::size_t comma = head.find(',', at);
    if (comma == std::string_view::npos) return refused;
    field = head.substr(at, comma - at);
    at = comma + 1;
  }
  const std::string_view name = head.substr(at);
  const auto plu = InRange(headFields[0], 1, kMaxPlu);
  const auto price = Number(headFields[1], kMaxMoney);
  const auto maxPrice = Number(headFields[2], kMaxMoney);
  if (!plu || !price || !maxPrice || *price < 0 || *maxPrice < 0 || !PrintableName(name)) return refused;

  const bool withInitial = profile_.initialQtyEnabled != 0;
  const bool withLink = !withInitial && profile_.pluLinkEnabled != 0;
  const auto fields = Split(text.substr(newline + 1));
  if (fields.size() != (withInitial || withLink ? 9u : 8u)) return refused;
  std::size_t f = 0;
  const auto barcodeField = fields[f++];
  const bool digitsOnly =
      !barcodeField.empty() && barcodeField.size() <= 18 &&
      std::all_of(barcodeField.begin(), barcodeField.end(), [](char c) { return c >= '0' && c <= '9'; });
  const auto barcode = digitsOnly ? Integer(barcodeField) : std::nullopt;
  const auto department = InRange(fields[f++], 0, profile_.departmentCount);
  const auto fractional = InRange(fields[f++], 0, 1);
  const auto stock = Number(fields[f++], kMaxQuantity);
  std::optional<double> initial = 0.0;
  if (withInitial) initial = Number(fields[f++], kMaxQuantity);
  const auto group = InRange(fields[f++], 1, profile_.commodityGroupCount);
  const auto single = InRange(fields[f++], 0, 1);
  const auto freePrice = InRange(fields[f++], 0, 1);
  const auto unit = InRange(fields[f++], 1, profile_.measureUnitCount);
  std::optional<std::int32_t> link = 0;
  if (withLink) link = InRange(fields[f++], 0, kMaxPlu);
  if (!barcode || !department || !fractional || !stock || !initial || !group || !single || !freePrice || !unit || !link)
    return refused;
  // A link must name another article the register holds.
  if (*link != 0 && (*link == *plu || articles_.count(static_cast<std::uint32_t>(*link)) == 0)) return refused;

  const auto key = static_cast<std::uint32_t>(*plu);
  const auto existing = articles_.find(key);
  // Programming keeps the sales figures of an article already there.
  ArticleRecord a = existing != articles_.end() ? existing->second : ZeroArticle();
  a.PLUNO = key;
  a.TAX_GROUP = text[0];
  a.SING_PRICE = *price;
  a.MAX_PRICE = *maxPrice;
  SetName(a.NAME, name);
  a.BARCODE = *barcode;
  a.DEPARTMENT = *department;
  a.OPT_FRACT_QTY = *fractional;
  a.STOCKQTY = *stock;
  if (withInitial) a.INITQTY = *initial;
  a.STOCK_GROUP = *group - 1;
  a.OPT_SINGTRANS = *single;
  a.OPT_FREEPRICE = *freePrice;
  a.MEASURE_UNIT = *unit - 1;
  if (withLink) a.PLUNOLINK = *link;
  a.IN_USE = 1;
  articles_[key] = a;
  return {"", false};
}

namespace {

class DemoAddress : public TransportAddress {
 public:
  std::string_view Scheme() const override { return "demo"; }
  std::string Text() const override { return "demo"; }
  std::string Describe() const override { return "the built-in demo register"; }
  std::unique_ptr<iCOMDriver> MakeTransport(const DeviceTiming& timing) const override {
    DemoRegister::Options options;
    options.timing = timing;
    return std::make_unique<DemoRegister>(options);
  }
};

std::shared_ptr<const TransportAddress> ParseDemo(std::string_view, std::string*) {
  return std::make_shared<DemoAddress>();
}

}  // namespace

const TransportScheme DemoRegister::kScheme = {"demo", "demo", false, ParseDemo};
