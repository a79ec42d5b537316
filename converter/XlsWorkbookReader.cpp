#include "converter/XlsWorkbookReader.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <span>
#include <strings.h>

#include "data/CFormat.h"
#include "data/CodePage.h"
#include "converter/LibraryLog.h"
#include "converter/NumberFormat.h"
#include "converter/WorkbookFormat.h"

namespace {

using Damage = XlsWorkbookReader::Damage;
using Bytes = std::span<const unsigned char>;

// Record types of the Excel binary file format (BIFF8, and BIFF5 where they
// are the same; BIFF5 has no shared strings).
enum : std::uint16_t {
  kFormula = 0x0006,
  kEof = 0x000A,
  kFilePass = 0x002F,
  kContinue = 0x003C,
  kCodePage = 0x0042,
  kBoundSheet = 0x0085,
  kMulRk = 0x00BD,
  kRString = 0x00D6,
  kSst = 0x00FC,
  kLabelSst = 0x00FD,
  kXf = 0x00E0,
  kNumber = 0x0203,
  kLabel = 0x0204,
  kBoolErr = 0x0205,
  kString = 0x0207,
  kRk = 0x027E,
  kFormat = 0x041E,
  kBof = 0x0809,
};
constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kBiff5 = 0x0500;        // Excel 5.0 and Excel 95 (BIFF7) alike
constexpr std::uint16_t kWindowsLatin1 = 1252;  // a BIFF5 workbook without a CODEPAGE record

// The name the system's converter knows a CODEPAGE record's value by; empty
// for UTF-16, which only BIFF8 uses.
std::string CodePageName(std::uint16_t id) {
  switch (id) {
    case 367: return "ASCII";
    case 1200: return "";
    case 10000:
    case 32768: return "MACINTOSH";
    case 32769: return "CP1252";
    default: return "CP" + std::to_string(id);
  }
}

std::uint16_t U16(Bytes b, std::size_t at) {
  if (b.size() < 2 || at > b.size() - 2) throw Damage{"a record is shorter than its contents"};
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t U32(Bytes b, std::size_t at) { return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16; }
double F64(Bytes b, std::size_t at) {
  const std::uint64_t bits = U32(b, at) | static_cast<std::uint64_t>(U32(b, at + 4)) << 32;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A number in the compressed RK form: a 30-bit integer or the top of a double,
// either possibly divided by 100.
double FromRk(std::uint32_t rk) {
  double value;
  if (rk & 2) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return rk & 1 ? value / 100 : value;
}

struct Record {
  std::uint16_t type = 0;
  Bytes data;
};

// Walks the records of the stream from a position.
class Records {
 public:
  Records(const std::vector<unsigned char>& stream, std::size_t at) : stream_(stream), at_(at) {}
  bool Next(Record& record) {
    if (at_ >= stream_.size()) return false;
    if (stream_.size() - at_ < 4) throw Damage{"the last record is cut short"};
    record.type = static_cast<std::uint16_t>(stream_[at_] | stream_[at_ + 1] << 8);
    const std::size_t size = static_cast<std::size_t>(stream_[at_ + 2] | stream_[at_ + 3] << 8);
    if (stream_.size() - at_ - 4 < size) throw Damage{"the last record is cut short"};
    record.data = Bytes(stream_.data() + at_ + 4, size);
    at_ += 4 + size;
    return true;
  }
  // The CONTINUE records right after the current one.
  std::vector<Bytes> Continuations() {
    std::vector<Bytes> pieces;
    Record next;
    std::size_t before = at_;
    while (Next(next) && next.type == kContinue) {
      pieces.push_back(next.data);
      before = at_;
    }
    at_ = before;
    return pieces;
  }

 private:
  const std::vector<unsigned char>& stream_;
  std::size_t at_;
};

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | cp >> 6);
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | cp >> 12);
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | cp >> 18);
    out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Utf8Of(const std::vector<std::uint16_t>& units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
  }
  return out;
}

// A record's data and its CONTINUE records read as one, where the characters
// of a string that go on in the next piece are preceded by a new flags byte.
class Pieces {
 public:
  explicit Pieces(std::vector<Bytes> pieces) : pieces_(std::move(pieces)) {}

  bool AtEnd() {
    while (piece_ < pieces_.size() && at_ >= pieces_[piece_].size()) NextPiece();
    return piece_ >= pieces_.size();
  }
  std::uint8_t Byte() {
    if (AtEnd()) throw Damage{"a text runs past its record"};
    return pieces_[piece_][at_++];
  }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
  std::uint32_t Long() { return Word() | static_cast<std::uint32_t>(Word()) << 16; }
  void Skip(std::uint64_t count) {
    while (count > 0) {
      if (AtEnd()) throw Damage{"a text runs past its record"};
      const std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(count, pieces_[piece_].size() - at_));
      at_ += step;
      count -= step;
    }
  }

  // A string with a character count of 8 or 16 bits, its flags, and in shared
  // strings its formatting runs and phonetic part, which are skipped.
  std::string UnicodeString(bool wideCount) {
    const std::size_t count = wideCount ? Word() : Byte();
    const std::uint8_t flags = Byte();
    const std::size_t runs = flags & 0x08 ? Word() : 0;
    const std::uint32_t phonetic = flags & 0x04 ? Long() : 0;
    bool wide = flags & 0x01;
    std::vector<std::uint16_t> units;
    units.reserve(count);
    while (units.size() < count) {
      if (at_ >= Current().size()) {
        NextPiece();
        if (piece_ >= pieces_.size()) throw Damage{"a text runs past its record"};
        wide = pieces_[piece_][at_++] & 0x01;  // the characters go on with flags of their own
        continue;
      }
      if (wide) {
        if (Current().size() - at_ < 2) throw Damage{"a character is cut in two"};
        units.push_back(static_cast<std::uint16_t>(Current()[at_] | Current()[at_ + 1] << 8));
        at_ += 2;
      } else {
        units.push_back(Current()[at_++]);
      }
    }
    Skip(std::uint64_t{4} * runs + phonetic);
    return Utf8Of(units);
  }

  // A BIFF5 string: a character count of 8 or 16 bits and as many bytes of
  // the code page.
  std::string ByteString(bool wideCount, const std::array<std::string, 256>& codePage) {
    const std::size_t count = wideCount ? Word() : Byte();
    std::string text;
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i) text += codePage[Byte()];
    return text;
  }

 private:
  Bytes Current() const { return pieces_[piece_]; }
  void NextPiece() {
    ++piece_;
    at_ = 0;
  }

  std::vector<Bytes> pieces_;
  std::size_t piece_ = 0, at_ = 0;
};

std::string ErrorText(std::uint8_t code) {
  switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    default: return "#error";
  }
}

struct Unref {
  void operator()(void* object) const {
    if (object) g_object_unref(object);
  }
};
template <class T>
using GsfPtr = std::unique_ptr<T, Unref>;

// The compound file's stream of that name, in any letter case; nullptr if none.
GsfPtr<GsfInput> Child(GsfInfile* file, const char* name) {
  const int count = gsf_infile_num_children(file);
  for (int i = 0; i < count; ++i) {
    const char* found = gsf_infile_name_by_index(file, i);
    if (found && ::strcasecmp(found, name) == 0) return GsfPtr<GsfInput>(gsf_infile_child_by_index(file, i));
  }
  return nullptr;
}

// Whether the compound file's root directory entry names siblings, which it
// never may. libgsf reads them all the same, with no parent to hold them, and
// loses each one (an entry and its name, converted from a stack buffer it
// fills only in part, so of a length that differs from run to run).
bool RootEntryHasSiblings(const std::string& contents) {
  constexpr std::size_t kHeader = 512, kSectorShift = 0x1E, kFirstDirectorySector = 0x30;
  constexpr std::size_t kEntry = 128, kLeftSibling = 0x44, kRightSibling = 0x48;
  constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
  if (contents.size() < kHeader) return false;
  const Bytes bytes(reinterpret_cast<const unsigned char*>(contents.data()), contents.size());
  const unsigned shift = U16(bytes, kSectorShift);
  if (shift < 6 || shift > 30) return false;  // the library refuses such a file itself
  // Where the library looks for the first entry: behind the 512-byte header.
  const std::uint64_t at = kHeader + (std::uint64_t{U32(bytes, kFirstDirectorySector)} << shift);
  if (at > contents.size() || contents.size() - at < kEntry) return false;
  for (const std::size_t sibling : {kLeftSibling, kRightSibling}) {
    const std::uint32_t entry = U32(bytes, static_cast<std::size_t>(at) + sibling);
    if (entry != kNoStream && entry != 0) return true;  // itself: the library skips that
  }
  return false;
}

}  // namespace

std::unique_ptr<XlsWorkbookReader> XlsWorkbookReader::Load(const std::string& contents, std::string& error) {
  static const bool initialised = [] {
    // The library's own complaints about a damaged file are no messages of ours.
    library_log::Capture();
    gsf_init();
    return true;
  }();
  (void)initialised;
  auto reader = std::make_unique<XlsWorkbookReader>();
  if (RootEntryHasSiblings(contents)) {
    error = "damaged Excel workbook: the root entry of its directory has siblings";
    return nullptr;
  }
  GsfPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(contents.data()),
                                              static_cast<gsf_off_t>(contents.size()), FALSE));
  GError* gerror = nullptr;
  GsfPtr<GsfInfile> file(input ? gsf_infile_msole_new(input.get(), &gerror) : nullptr);
  if (!file) {
    error = std::string("damaged Excel 97-2003 workbook: ") + (gerror ? gerror->message : "no compound file");
    if (gerror) g_error_free(gerror);
    return nullptr;
  }
  // Excel 5.0 and 95 name the stream Book; some programs write their BIFF5 as Workbook.
  GsfPtr<GsfInput> stream = Child(file.get(), "Workbook");
  if (!stream) stream = Child(file.get(), "Book");
  if (!stream) {
    // An .xlsx saved with a password is an encrypted package inside a compound file.
    if (Child(file.get(), "EncryptedPackage") || Child(file.get(), "EncryptionInfo"))
      error = kPasswordProtected;
    else
      error = "damaged Excel workbook: it has no Workbook or Book stream";
    return nullptr;
  }
  const gsf_off_t size = gsf_input_size(stream.get());
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxStreamSize) {
    error = "the Excel 97-2003 workbook is larger than " + std::to_string(kMaxStreamSize >> 20) + " MiB";
    return nullptr;
  }
  reader->stream_.resize(static_cast<std::size_t>(size));
  for (std::size_t at = 0; at < reader->stream_.size();) {
    const std::size_t chunk = std::min<std::size_t>(reader->stream_.size() - at, 1 << 20);
    if (!gsf_input_read(stream.get(), chunk, reader->stream_.data() + at)) {
      error = "damaged Excel 97-2003 workbook: its Workbook stream cannot be read";
      return nullptr;
    }
    at += chunk;
  }
  try {
    reader->ReadGlobals();
  } catch (const PasswordProtected& e) {
    error = e.what();
    return nullptr;
  } catch (const Damage& d) {
    error = std::string("damaged ") + reader->Kind() + ": " + d.what;
    return nullptr;
  }
  return reader;
}

const char* XlsWorkbookReader::Kind() const {
  return byteStrings_ ? "Excel 5.0/95 workbook" : "Excel 97-2003 workbook";
}

void XlsWorkbookReader::ReadGlobals() {
  Records records(stream_, 0);
  Record record;
  if (!records.Next(record) || record.type != kBof) throw Damage{"it does not begin with a BOF record"};
  const std::uint16_t version = U16(record.data, 0);
  byteStrings_ = version == kBiff5;
  if (version != kBiff8 && version != kBiff5)
    throw Damage{"it is in no Excel format from 5.0 to 2003 (version " + CFormat("0x%04X", version) + ")"};
  std::uint16_t codePage = kWindowsLatin1;
  std::vector<std::uint16_t> xfFormats;
  std::map<std::uint16_t, bool> customDate;
  std::map<std::uint16_t, Bytes> byteFormats;  // BIFF5: decoded once the code page is known
  std::vector<Bytes> byteNames;
  bool ended = false;
  while (!ended && records.Next(record)) {
    switch (record.type) {
      case kFilePass: throw PasswordProtected();
      case kCodePage: codePage = U16(record.data, 0); break;
      case kSst: {
        std::vector<Bytes> pieces{record.data};
        for (Bytes more : records.Continuations()) pieces.push_back(more);
        Pieces sst(std::move(pieces));
        sst.Long();  // total references
        const std::uint32_t unique = sst.Long();
        strings_.reserve(std::min<std::size_t>(unique, record.data.size()));
        while (strings_.size() < unique && !sst.AtEnd()) strings_.Add(sst.UnicodeString(true));
        break;
      }
      case kXf: xfFormats.push_back(U16(record.data, 2)); break;
      case kFormat: {
        const std::uint16_t id = U16(record.data, 0);
        if (byteStrings_) {
          byteFormats[id] = record.data.subspan(2);
        } else {
          Pieces code({record.data.subspan(2)});
          customDate[id] = numfmt::IsDateCode(code.UnicodeString(true));
        }
        break;
      }
      case kBoundSheet: {
        const std::uint32_t offset = U32(record.data, 0);
        if (record.data.size() < 6) throw Damage{"a sheet record is cut short"};
        if (byteStrings_) {
          byteNames.push_back(record.data.subspan(6));
          sheets_.push_back({std::string(), offset});
        } else {
          Pieces name({record.data.subspan(6)});
          sheets_.push_back({name.UnicodeString(false), offset});
        }
        break;
      }
      case kEof: ended = true; break;
      default: break;
    }
  }
  if (byteStrings_) {
    const std::string name = CodePageName(codePage);
    auto table = name.empty() ? std::nullopt : codepage::TableOf(name);
    if (!table) throw Damage{"its texts are in code page " + std::to_string(codePage) + ", which cannot be read here"};
    codePage_ = std::move(*table);
    for (std::size_t i = 0; i < byteNames.size(); ++i)
      sheets_[i].name = Pieces({byteNames[i]}).ByteString(false, codePage_);
    for (const auto& [id, code] : byteFormats)
      customDate[id] = numfmt::IsDateCode(Pieces({code}).ByteString(false, codePage_));
  }
  for (const std::uint16_t id : xfFormats) {
    const auto custom = customDate.find(id);
    dateFormats_.push_back(custom != customDate.end() ? custom->second : numfmt::IsBuiltInDate(id));
  }
}

std::vector<std::string> XlsWorkbookReader::SheetNames() const {
  std::vector<std::string> names;
  for (const Sheet& s : sheets_) names.push_back(s.name);
  return names;
}

void XlsWorkbookReader::WalkCells(std::size_t offset, std::size_t columns, const CellSink& sink) const {
  Records records(stream_, offset);
  Record record;
  if (!records.Next(record) || record.type != kBof) throw Damage{"it does not begin with a BOF record"};
  int depth = 1;  // charts inside a sheet are substreams of their own
  // A formula whose text comes in the STRING record after it waits here.
  bool pending = false;
  std::uint16_t pendingRow = 0, pendingColumn = 0;
  // A cell's text: Unicode in BIFF8, bytes of the code page in BIFF5.
  auto Text = [&](Pieces pieces) {
    return byteStrings_ ? pieces.ByteString(true, codePage_) : pieces.UnicodeString(true);
  };
  auto place = [&](Bytes data, Cell cell) {
    const std::uint16_t column = U16(data, 2);
    if (column < columns) sink(U16(data, 0), column, std::move(cell));
  };
  auto number = [&](Bytes data, double value) {
    const std::uint16_t xf = U16(data, 4);
    if (xf < dateFormats_.size() && dateFormats_[xf]) return Cell::Date(CFormat("%.15g", value));
    return Cell::Number(value);
  };
  while (depth > 0 && records.Next(record)) {
    const Bytes d = record.data;
    if (record.type == kBof) ++depth;
    if (record.type == kEof) --depth;
    if (depth != 1) continue;
    switch (record.type) {
      case kNumber: place(d, number(d, F64(d, 6))); break;
      case kRk: place(d, number(d, FromRk(U32(d, 6)))); break;
      case kMulRk: {
        if (d.size() < 6) throw Damage{"a MULRK record is cut short"};
        const std::size_t count = (d.size() - 6) / 6;
        for (std::size_t i = 0; i < count; ++i) {
          const std::size_t column = U16(d, 2) + i;
          const std::uint16_t xf = U16(d, 4 + 6 * i);
          const double value = FromRk(U32(d, 6 + 6 * i));
          if (column >= columns) break;
          sink(
              U16(d, 0), static_cast<std::uint16_t>(column),
              xf < dateFormats_.size() && dateFormats_[xf] ? Cell::Date(CFormat("%.15g", value)) : Cell::Number(value));
        }
        break;
      }
      case kLabelSst: {
        const std::uint32_t index = U32(d, 6);
        if (index >= strings_.size()) throw Damage{"a cell refers to a text that is not there"};
        place(d, Cell::Text(std::string(strings_[index])));
        break;
      }
      case kLabel:
      case kRString: {  // RSTRING: a text with formatting runs after it, which are left out
        if (d.size() < 6) throw Damage{"a LABEL record is cut short"};
        std::vector<Bytes> pieces{d.subspan(6)};
        for (Bytes more : records.Continuations()) pieces.push_back(more);
        place(d, Cell::Text(Text(Pieces(std::move(pieces)))));
        break;
      }
      case kBoolErr: {
        if (d.size() < 8) throw Damage{"a BOOLERR record is cut short"};
        place(d, d[7] ? Cell::Text(ErrorText(d[6])) : Cell::Number(d[6] ? 1 : 0));
        break;
      }
      case kFormula: {
        if (pending) throw Damage{"a formula's text result is missing"};
        if (d.size() < 14) throw Damage{"a FORMULA record is cut short"};
        if (U16(d, 12) != 0xFFFF) {
          place(d, number(d, F64(d, 6)));
          break;
        }
        switch (d[6]) {
          case 0:  // text, in the STRING record that follows
            pending = true;
            pendingRow = U16(d, 0);
            pendingColumn = U16(d, 2);
            break;
          case 1: place(d, Cell::Number(d[8] ? 1 : 0)); break;
          case 2: place(d, Cell::Text(ErrorText(d[8]))); break;
          case 3: place(d, Cell::Text(std::string())); break;
          default: throw Damage{"a formula has a result of unknown kind"};
        }
        break;
      }
      case kString: {
        if (!pending) break;  // a STRING record that no formula waits for
        std::vector<Bytes> pieces{d};
        for (Bytes more : records.Continuations()) pieces.push_back(more);
        std::string text = Text(Pieces(std::move(pieces)));
        if (pendingColumn < columns) sink(pendingRow, pendingColumn, Cell::Text(std::move(text)));
        pending = false;
        break;
      }
      default: break;
    }
  }
  if (pending) throw Damage{"a formula's text result is missing"};
}

bool XlsWorkbookReader::VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) {
  if (sheet < 0 || static_cast<std::size_t>(sheet) >= sheets_.size()) {
    error = "no sheet " + std::to_string(sheet + 1) + " in the workbook";
    return false;
  }
  const Sheet& wanted = sheets_[static_cast<std::size_t>(sheet)];
  struct StopWalk {};
  try {
    // Programs write the cells row by row; then each row is handed on as it
    // ends and no sheet is held. Cells out of that order are sorted first.
    bool ordered = true;
    std::uint32_t last = 0;
    WalkCells(wanted.offset, columns, [&](std::uint16_t row, std::uint16_t, Cell) {
      ordered = ordered && row >= last;
      last = row;
    });
    std::vector<Cell> cells(columns);
    if (ordered) {
      bool open = false;
      std::uint16_t current = 0;
      WalkCells(wanted.offset, columns, [&](std::uint16_t row, std::uint16_t column, Cell cell) {
        if (open && row != current) {
          if (!visit(current, cells)) throw StopWalk{};
          std::fill(cells.begin(), cells.end(), Cell::Empty());
        }
        open = true;
        current = row;
        cells[column] = std::move(cell);
      });
      if (open) visit(current, cells);
      return true;
    }
    struct Placed {
      std::uint16_t row, column;
      Cell cell;
    };
    std::vector<Placed> placed;
    WalkCells(wanted.offset, columns, [&](std::uint16_t row, std::uint16_t column, Cell cell) {
      placed.push_back({row, column, std::move(cell)});
    });
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
      return a.row < b.row || (a.row == b.row && a.column < b.column);
    });
    for (std::size_t i = 0; i < placed.size();) {
      const std::uint16_t row = placed[i].row;
      std::fill(cells.begin(), cells.end(), Cell::Empty());
      for (; i < placed.size() && placed[i].row == row; ++i) cells[placed[i].column] = std::move(placed[i].cell);
      if (!visit(row, cells)) break;
    }
  } catch (const StopWalk&) {
  } catch (const Damage& d) {
    error = "damaged sheet " + wanted.name + ": " + d.what;
    return false;
  }
  return true;
}
