#include "data/DatabaseFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "data/ArticleSlots.h"

namespace {

constexpr char kMagic[8] = {'V', 'o', 'r', 'T', 'a', 'b', 'e', 'l'};
constexpr char kVersion[8] = {'B', 'A', 'S', 'E', '1', '.', '2', '0'};

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Opens with the lock that keeps other programs out; -1 and errno on failure
// (EWOULDBLOCK when another program holds the file).
int OpenLocked(const std::string& path, int flags, mode_t mode = 0666) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

bool IsRegularOrMissing(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return true;
  return S_ISREG(st.st_mode);
}

}  // namespace

bool HeaderIsValid(const unsigned char* header) {
  return std::memcmp(header, kMagic, 8) == 0 && header[8] == 0 && std::memcmp(header + 10, kVersion, 8) == 0 &&
         header[18] == 0;
}

void FillHeader(unsigned char* header) {
  std::memset(header, 0, kHeaderSize);
  std::memcpy(header, kMagic, 8);
  std::memcpy(header + 10, kVersion, 8);
}

DatabaseFile::~DatabaseFile() { Close(); }

DatabaseFile& DatabaseFile::operator=(DatabaseFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    readOnly_ = std::exchange(other.readOnly_, false);
    path_ = other.path_;
    replacement_ = std::move(other.replacement_);
  }
  return *this;
}

void DatabaseFile::Close() {
  if (replacement_.Active()) {
    replacement_.Abandon();  // closes fd_ and removes the unfinished file
  } else if (fd_ >= 0) {
    ::close(fd_);  // closing drops the lock
  }
  fd_ = -1;
  readOnly_ = false;
}

IoResult DatabaseFile::Adopt(int fd, const std::string& path) {
  Close();
  fd_ = fd;
  path_ = path;
  return IoResult::Ok();
}

IoResult DatabaseFile::BeginReplacement(const std::string& path, FileReplacement::Options options) {
  Close();
  path_ = path;
  if (IoResult begun = replacement_.Begin(path, options); !begun) return begun;
  fd_ = replacement_.Descriptor();
  return IoResult::Ok();
}

IoResult DatabaseFile::CommitReplacement() {
  if (!replacement_.Active()) return IoResult::Fail("no new file for " + path_);
  if (IoResult committed = replacement_.Commit(); !committed) return committed;
  fd_ = replacement_.ReleaseDescriptor();
  return IoResult::Ok();
}

IoResult DatabaseFile::OpenForReading(const std::string& path) {
  if (!IsRegularOrMissing(path)) return IoResult::Fail(path + ": not a file");
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return IoResult::Fail(FileError(path, errno));
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return IoResult::Fail(path + ": in use by another program");
    return IoResult::Fail(FileError(path, error));
  }
  Adopt(fd, path);
  readOnly_ = true;
  return IoResult::Ok();
}

OpenOutcome DatabaseFile::OpenDatabase(const std::string& path, bool replace) {
  Close();
  path_ = path;
  if (!IsRegularOrMissing(path)) return {OpenResult::CannotOpen, kMsgUnableToOpen};

  int fd = OpenLocked(path, O_RDWR);
  if (fd >= 0) {
    fd_ = fd;
    if (!CheckHeader()) {
      Close();
      return {OpenResult::WrongHeader, kMsgIncorrectFile};
    }
    if (!replace) return {OpenResult::Opened, {}};
    // The caller puts a complete new file in its place later (BeginReplacement);
    // until then it stays as it is. The new file is made in the same folder.
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0) {
      Close();
      return {OpenResult::CannotOpen, kMsgDestinationCannotOpen};
    }
    return {OpenResult::Opened, {}};
  }
  // Held by another program: it cannot be opened at all.
  const std::string held = path + ": in use by another program";
  if (errno == EWOULDBLOCK) return {OpenResult::CannotOpen, kMsgUnableToOpen, held};

  const int probe = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (probe < 0) return {OpenResult::CannotOpen, kMsgUnableToOpen, FileError(path, errno)};
  ::close(probe);
  fd = OpenLocked(path, O_RDWR);
  if (fd < 0) {
    if (errno == EWOULDBLOCK) return {OpenResult::CannotOpen, kMsgUnableToOpen, held};
    // Exists, but only for reading: good for looking at and uploading.
    if (replace || !OpenForReading(path)) return {OpenResult::CannotOpen, {}};
    if (!CheckHeader()) {
      Close();
      return {OpenResult::WrongHeader, kMsgIncorrectFile};
    }
    return {OpenResult::Opened, {}};
  }
  fd_ = fd;
  return {OpenResult::Created, {}};
}

IoResult DatabaseFile::OpenExisting(const std::string& path) {
  if (!IsRegularOrMissing(path)) return IoResult::Fail(path + ": not a file");
  const int fd = OpenLocked(path, O_RDWR);
  if (fd < 0) {
    if (errno == EWOULDBLOCK) return IoResult::Fail(path + ": in use by another program");
    return IoResult::Fail(SystemError(path.c_str()));
  }
  return Adopt(fd, path);
}

IoResult DatabaseFile::CreateEmpty(const std::string& path) {
  if (!IsRegularOrMissing(path)) return IoResult::Fail(path + ": not a file");
  // Lock before emptying, so that a file in use elsewhere is never cut.
  const int fd = OpenLocked(path, O_RDWR | O_CREAT);
  if (fd < 0) {
    if (errno == EWOULDBLOCK) return IoResult::Fail(path + ": in use by another program");
    return IoResult::Fail(SystemError(path.c_str()));
  }
  if (::ftruncate(fd, 0) != 0) {
    IoResult failed = IoResult::Fail(SystemError(path.c_str()));
    ::close(fd);
    return failed;
  }
  return Adopt(fd, path);
}

IoResult DatabaseFile::Reopen() {
  const std::string path = path_;
  const bool readOnly = readOnly_;
  Close();
  if (path.empty()) return IoResult::Fail("no database file");
  return readOnly ? OpenForReading(path) : OpenExisting(path);
}

std::size_t DatabaseFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size, bool* failed) const {
  if (failed) *failed = false;
  if (fd_ < 0) {
    if (failed) *failed = true;
    return 0;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      if (failed) *failed = true;
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

IoResult DatabaseFile::WriteAt(std::uint64_t offset, const void* buffer, std::size_t size) {
  if (fd_ < 0) return IoResult::Fail("no database file is open");
  if (readOnly_) return IoResult::Fail(path_ + ": the file may only be read here");
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return IoResult::Fail("Writing " + FileError(path_, errno));
    }
    done += static_cast<std::size_t>(n);
  }
  return IoResult::Ok();
}

bool DatabaseFile::CheckHeader() const {
  unsigned char header[kHeaderSize];
  if (ReadAt(0, header, sizeof header) != sizeof header) return false;
  return HeaderIsValid(header);
}

IoResult DatabaseFile::WriteHeader() {
  unsigned char header[kHeaderSize];
  FillHeader(header);
  return WriteAt(0, header, sizeof header);
}

IoResult DatabaseFile::WriteZeroHeader() {
  const unsigned char zeros[kHeaderSize] = {};
  return WriteAt(0, zeros, sizeof zeros);
}

IoResult DatabaseFile::WriteNewContents(char taxLetter) {
  std::vector<unsigned char> contents(kArticleAreaOffset);
  FillHeader(contents.data());
  for (std::uint32_t k = 0; k < kDepartmentSlots; ++k) {
    const DepartmentRecord department = DefaultDepartment(k + 1, taxLetter);
    std::memcpy(contents.data() + DepartmentOffset(k), &department, sizeof department);
  }
  return WriteAt(0, contents.data(), contents.size());
}

ReadStatus DatabaseFile::ReadDepartment(std::uint32_t slot, DepartmentRecord& record) const {
  record = ZeroDepartment();
  if (slot >= kDepartmentSlots) return ReadStatus::Short;
  bool failed = false;
  DepartmentRecord read;
  const std::size_t n = ReadAt(DepartmentOffset(slot), &read, sizeof read, &failed);
  if (n == sizeof read) {
    record = read;
    return ReadStatus::Ok;
  }
  return failed ? ReadStatus::Error : ReadStatus::Short;
}

IoResult DatabaseFile::WriteDepartment(std::uint32_t slot, const DepartmentRecord& record) {
  if (slot >= kDepartmentSlots)
    return IoResult::Fail("department slot " + std::to_string(slot + 1) + " does not exist");
  return WriteAt(DepartmentOffset(slot), &record, sizeof record);
}

ReadStatus DatabaseFile::ReadArticle(std::uint32_t slot, ArticleRecord& record) const {
  record = ZeroArticle();
  if (slot == 0) return ReadStatus::Short;
  bool failed = false;
  ArticleRecord read;
  const std::size_t n = ReadAt(ArticleOffset(slot), &read, sizeof read, &failed);
  if (n == sizeof read) {
    record = read;
    return ReadStatus::Ok;
  }
  return failed ? ReadStatus::Error : ReadStatus::Short;
}

IoResult DatabaseFile::WriteArticle(std::uint32_t slot, const ArticleRecord& record) {
  if (slot == 0) return IoResult::Fail("article slot 0 does not exist");
  return WriteAt(ArticleOffset(slot), &record, sizeof record);
}

std::optional<std::uint32_t> DatabaseFile::FindFreeSlot() const {
  // Only an all-zero slot is free: a record without IN_USE may still be someone's data.
  ArticleSlots slots(*this, SlotRule::NotAllZero);
  std::uint32_t expected = 1;
  for (const ArticleSlots::Slot slot : slots) {
    if (slot.number != expected) return expected;  // a slot without an article before this one
    expected = slot.number + 1;
  }
  if (slots.Failed()) return std::nullopt;
  return expected;
}

LoadOutcome DatabaseFile::LoadTable(ArticleTable& table) const {
  LoadOutcome outcome;
  ArticleSlots slots(*this, SlotRule::InUse);
  for (const ArticleSlots::Slot slot : slots) {
    if (outcome.loaded >= ArticleTable::kMaxArticles) {
      outcome.capacityReached = true;
      break;
    }
    table.SetEntry(outcome.loaded++, slot.record, static_cast<std::int32_t>(slot.number));
  }
  if (slots.Failed()) {
    outcome.readError = true;
    outcome.error = slots.Error();
  } else {
    outcome.cut = DescribeCut(path_, Length(), outcome.loaded);
  }
  table.EndAt(outcome.loaded);
  return outcome;
}

std::uint64_t DatabaseFile::Length() const {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

IoResult DatabaseFile::Truncate(std::uint64_t length) {
  if (fd_ < 0) return IoResult::Fail("no database file is open");
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) return IoResult::Fail(SystemError(path_.c_str()));
  return IoResult::Ok();
}

IoResult DatabaseFile::Sync() {
  if (fd_ < 0) return IoResult::Fail("no database file is open");
  if (::fsync(fd_) != 0) return IoResult::Fail(SystemError(path_.c_str()));
  return IoResult::Ok();
}

std::string DescribeCut(const std::string& path, std::uint64_t length, std::size_t articlesRead) {
  if (length < kHeaderSize) return {};
  if (length < kArticleAreaOffset) {
    const std::uint64_t whole = (length - kDepartmentAreaOffset) / sizeof(DepartmentRecord);
    const bool inside = (length - kDepartmentAreaOffset) % sizeof(DepartmentRecord) != 0;
    return path + (inside ? " ends inside department " : " ends before department ") + std::to_string(whole + 1) +
           ": " + std::to_string(whole) + " of " + std::to_string(kDepartmentSlots) + " departments read, no articles";
  }
  const std::uint64_t area = length - kArticleAreaOffset;
  if (area % sizeof(ArticleRecord) == 0) return {};
  return path + " ends inside article " + std::to_string(area / sizeof(ArticleRecord) + 1) + ": " +
         std::to_string(articlesRead) + (articlesRead == 1 ? " article read" : " articles read");
}

IoResult CopyContents(const DatabaseFile& from, DatabaseFile& to) {
  constexpr std::size_t kBlock = 65535;
  std::vector<unsigned char> block(kBlock);
  const std::uint64_t length = from.Length();
  std::uint64_t offset = 0;
  while (offset < length) {
    bool failed = false;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, length - offset));
    const std::size_t got = from.ReadAt(offset, block.data(), want, &failed);
    if (failed) return IoResult::Fail("Reading " + from.Path() + ": " + std::strerror(errno));
    if (got == 0) break;
    if (IoResult written = to.WriteAt(offset, block.data(), got); !written) return written;
    offset += got;
  }
  return IoResult::Ok();
}
