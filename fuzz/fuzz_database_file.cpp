// Database files: the input becomes a file on disk that is opened, loaded into
// the article table and searched. The first byte picks the layout, so that
// short inputs also reach the department and article areas behind a valid header:
// 0 the rest is the whole file; 1 a valid header, then the rest as departments;
// 2 a valid header, default-free departments, then the rest as articles.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data/ArticleTable.h"
#include "data/DatabaseFile.h"

namespace {

const std::string& TempPath() {
  static const std::string path = [] {
    char name[] = "/tmp/fuzz_database_XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) std::abort();
    ::close(fd);
    return std::string(name);
  }();
  return path;
}

void WriteAll(int fd, std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (written <= 0) std::abort();
    data += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t layout = data[0] % 3;
  ++data;
  --size;

  const std::string& path = TempPath();
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    if (layout == 0) {
      WriteAll(fd, 0, data, size);
    } else {
      unsigned char header[kHeaderSize];
      FillHeader(header);
      WriteAll(fd, 0, header, sizeof header);
      WriteAll(fd, layout == 1 ? kDepartmentAreaOffset : kArticleAreaOffset, data, size);
    }
    ::close(fd);
  }

  static ArticleTable* table = new ArticleTable;
  DatabaseFile file;
  const OpenOutcome outcome = file.OpenDatabase(path, false);
  if (outcome.result == OpenResult::Opened) {
    table->Clear();
    (void)file.LoadTable(*table);
    DepartmentRecord department{};
    for (std::uint32_t slot = 0; slot < kDepartmentSlots; ++slot) (void)file.ReadDepartment(slot, department);
    (void)file.FindFreeSlot();
    ArticleRecord article{};
    for (std::uint32_t slot = 1; slot <= 4; ++slot) (void)file.ReadArticle(slot, article);
    table->SortTable(SortKey::Name);
    table->SortTable(SortKey::PluNumber);
    (void)table->FirstFreePlu();
  }
  file.Close();
  return 0;
}
