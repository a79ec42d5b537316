#include "converter/WorkbookReader.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

#include "converter/OdsWorkbookReader.h"
#include "converter/WorkbookFormat.h"
#include "converter/XlsWorkbookReader.h"
#include "converter/XlsxWorkbookReader.h"

namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x != y && !(x < 0x80 && y < 0x80 && std::tolower(x) == std::tolower(y))) return false;
  }
  return true;
}

}  // namespace

int WorkbookReader::FindSheet(std::string_view wanted) const {
  const std::vector<std::string> names = SheetNames();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == wanted) return static_cast<int>(i);
  for (std::size_t i = 0; i < names.size(); ++i)
    if (EqualIgnoringCase(names[i], wanted)) return static_cast<int>(i);
  return -1;
}

std::unique_ptr<WorkbookReader> WorkbookReader::Open(const std::string& path, std::string& error) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    error = "cannot open the workbook " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    error = path + " is not a file";
    return nullptr;
  }
  // Real workbooks are a few megabytes; the whole file is held while it is read.
  constexpr std::uintmax_t kMaxFileSize = std::uintmax_t{256} << 20;
  if (static_cast<std::uintmax_t>(st.st_size) > kMaxFileSize) {
    error = path + " is larger than " + std::to_string(kMaxFileSize >> 20) + " MiB, too large for a workbook";
    return nullptr;
  }
  std::string contents(static_cast<std::size_t>(st.st_size), '\0');
  std::ifstream in(path, std::ios::binary);
  if (!in.read(contents.data(), static_cast<std::streamsize>(contents.size())) ||
      in.gcount() != static_cast<std::streamsize>(contents.size())) {
    error = "cannot read the workbook " + path;
    return nullptr;
  }
  if (contents.empty()) {
    error = path + " is empty, not a workbook";
    return nullptr;
  }
  const WorkbookKind kind = WorkbookFormat::Detect(contents);
  switch (kind) {
    case WorkbookKind::OfficeOpenXml: return XlsxWorkbookReader::Load(std::move(contents), error);
    case WorkbookKind::OpenDocument: return OdsWorkbookReader::Load(std::move(contents), error);
    case WorkbookKind::Excel97: return XlsWorkbookReader::Load(contents, error);
    case WorkbookKind::Unknown: break;
  }
  error = path + " is not a workbook (neither .xlsx, .ods nor .xls)";
  return nullptr;
}
