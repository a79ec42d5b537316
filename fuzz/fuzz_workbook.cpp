// Workbooks: the input written to a file and opened by whichever reader its
// content selects (.xlsx, .ods or .xls), then every row of both sheets read.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "converter/Cell.h"
#include "converter/WorkbookReader.h"
#include "converter/WorkbookSchema.h"

namespace {

const std::string& TempPath() {
  static const std::string path = [] {
    char name[] = "/tmp/fuzz_workbook_XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) std::abort();
    ::close(fd);
    return std::string(name);
  }();
  return path;
}

}  // namespace

// See asan.supp: reports from inside libraries that are not ours to fix.
extern "C" const char* __asan_default_options() { return "suppressions=" ARTICLES_FUZZ_DIR "/asan.supp"; }
// libgsf loses the directory entries (80 bytes and a name each) that a
// compound file's root entry names as its siblings; the .xls reader now
// refuses such files before libgsf reads them. The report of that leak showed
// only glib frames (g_malloc0, g_utf16_to_utf8) under the reader, as libgsf
// and glib are built without frame pointers and the unwinder skips them, and
// the name's length came from a stack buffer libgsf fills only in part, so it
// did not reproduce on its input alone. Whatever else libgsf keeps of its own
// stays suppressed by its module; every object it hands out is released.
extern "C" const char* __lsan_default_suppressions() { return "leak:libgsf-1.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = TempPath();
  {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
    std::fclose(out);
  }

  std::string error;
  auto workbook = WorkbookReader::Open(path, error);
  if (!workbook) return 0;
  (void)workbook->SheetNames();
  // Touches every byte handed over, so that a cell pointing at freed or foreign
  // memory shows up.
  const auto visit = [](std::size_t, std::span<const Cell> cells) {
    unsigned sum = 0;
    for (const Cell& cell : cells) {
      for (const char c : cell.text) sum += static_cast<unsigned char>(c);
      sum += cell.number != cell.number ? 1u : 0u;
    }
    return sum != 0xFFFFFFFFu;
  };
  const int articles = workbook->FindSheet(schema::kArticlesSheet);
  const int departments = workbook->FindSheet(schema::kDepartmentsSheet);
  if (articles >= 0) (void)workbook->VisitRows(articles, schema::kArticleColumns.size(), visit, error);
  if (departments >= 0) (void)workbook->VisitRows(departments, schema::kDepartmentColumns.size(), visit, error);
  return 0;
}
