#include "FreexlWorkbookReader.h"

#include <freexl.h>
#include <cerrno>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// AddressSanitizer reserves terabytes of address space up front, so under it a
// cap on the address space would fail every probe; there the cap is left off.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCapAddressSpace = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCapAddressSpace = false;
#else
constexpr bool kCapAddressSpace = true;
#endif
#else
constexpr bool kCapAddressSpace = true;
#endif

// The library can crash or run away on a damaged file before any of our checks
// run. So the whole workbook is read once in a child process first: only a file
// that the child reads to its end is read here.
bool ReadsSafely(const std::string& path) {
  const pid_t child = fork();
  if (child < 0) return true;  // no probe possible: read as before
  if (child == 0) {
    if (kCapAddressSpace) {
      rlimit memory{1024ul * 1024 * 1024, 1024ul * 1024 * 1024};
      setrlimit(RLIMIT_AS, &memory);
    }
    alarm(60);
    const void* handle = nullptr;
    if (freexl_open(path.c_str(), &handle) != FREEXL_OK || !handle) _exit(0);  // refused cleanly: not a crash
    unsigned int sheets = 0;
    freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
    for (unsigned int sheet = 0; sheet < sheets && sheet <= 0xFFFF; ++sheet) {
      if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(sheet)) != FREEXL_OK) continue;
      unsigned int rows = 0;
      unsigned short columns = 0;
      if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) continue;
      for (unsigned int row = 0; row < rows && row < 65536; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
          FreeXL_CellValue value;
          freexl_get_cell_value(handle, row, column, &value);
        }
      }
    }
    freexl_close(handle);
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return true;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

void FreexlWorkbookReader::HandleCloser::operator()(const void* handle) const {
  if (handle) freexl_close(handle);
}

FreexlWorkbookReader::FreexlWorkbookReader(Handle handle, std::vector<std::string> names)
    : handle_(std::move(handle)), names_(std::move(names)) {}

std::unique_ptr<FreexlWorkbookReader> FreexlWorkbookReader::Load(const std::string& path, std::string& error) {
  if (!ReadsSafely(path)) {
    error = "damaged Excel 97-2003 workbook: it cannot be read";
    return nullptr;
  }
  const void* raw = nullptr;
  const int rc = freexl_open(path.c_str(), &raw);
  Handle handle(raw);  // closed on every path, failure included
  if (rc != FREEXL_OK || !raw) {
    error = "damaged Excel 97-2003 workbook (freexl error " + std::to_string(rc) + ")";
    return nullptr;
  }
  unsigned int count = 0;
  if (freexl_get_info(raw, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) {
    error = "damaged Excel 97-2003 workbook: no sheet list";
    return nullptr;
  }
  std::vector<std::string> names;
  for (unsigned int i = 0; i < count && i <= 0xFFFF; ++i) {
    const char* name = nullptr;
    if (freexl_get_worksheet_name(raw, static_cast<unsigned short>(i), &name) != FREEXL_OK) name = nullptr;
    names.emplace_back(name ? name : "");
  }
  return std::make_unique<FreexlWorkbookReader>(std::move(handle), std::move(names));
}

std::vector<std::string> FreexlWorkbookReader::SheetNames() const { return names_; }

bool FreexlWorkbookReader::VisitRows(int sheet, std::size_t columns, const RowVisitor& visit, std::string& error) {
  if (sheet < 0 || static_cast<std::size_t>(sheet) >= names_.size() ||
      freexl_select_active_worksheet(handle_.get(), static_cast<unsigned short>(sheet)) != FREEXL_OK) {
    error = "cannot select sheet " + std::to_string(sheet + 1) + " of the workbook";
    return false;
  }
  unsigned int rows = 0;
  unsigned short sheetColumns = 0;
  if (freexl_worksheet_dimensions(handle_.get(), &rows, &sheetColumns) != FREEXL_OK) {
    error = "cannot read the size of sheet " + names_[static_cast<std::size_t>(sheet)];
    return false;
  }
  // A damaged DIMENSION record can claim billions of rows, each of which would
  // be visited; no Excel 97-2003 sheet holds more than 65536.
  constexpr unsigned int kMaxRows = 65536;
  if (rows > kMaxRows) {
    error = "damaged sheet " + names_[static_cast<std::size_t>(sheet)] + ": it claims " + std::to_string(rows) +
            " rows, more than the 65536 an Excel 97-2003 sheet holds";
    return false;
  }
  std::vector<Cell> cells(columns);
  for (unsigned int row = 0; row < rows; ++row) {
    for (std::size_t c = 0; c < columns; ++c)
      cells[c] = c < sheetColumns ? CellAt(row, static_cast<unsigned short>(c)) : Cell::Empty();
    if (!visit(row, cells)) break;
  }
  return true;
}

Cell FreexlWorkbookReader::CellAt(unsigned int row, unsigned short column) const {
  FreeXL_CellValue value;
  if (freexl_get_cell_value(handle_.get(), row, column, &value) != FREEXL_OK) return Cell::Empty();
  switch (value.type) {
    case FREEXL_CELL_INT: return Cell::Number(value.value.int_value);
    case FREEXL_CELL_DOUBLE: return Cell::Number(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME: return Cell::Text(value.value.text_value ? value.value.text_value : "");
    default: return Cell::Empty();
  }
}
