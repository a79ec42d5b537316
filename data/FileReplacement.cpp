#include "FileReplacement.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The mode a file the user names gets when created: what the umask leaves of 0666.
mode_t NewFileMode() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0) return 0666 & ~static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 0644;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Writes all of size bytes; false with errno set when the system refused.
bool WriteAll(int fd, const unsigned char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string FileError(const std::string& path, int error) { return path + ": " + std::strerror(error); }

FileReplacement::~FileReplacement() { Abandon(); }

FileReplacement::FileReplacement(FileReplacement&& other) noexcept { *this = std::move(other); }

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
  if (this != &other) {
    Abandon();
    fd_ = std::exchange(other.fd_, -1);
    targetLock_ = std::exchange(other.targetLock_, -1);
    committed_ = std::exchange(other.committed_, false);
    options_ = other.options_;
    target_ = std::move(other.target_);
    temporary_ = std::move(other.temporary_);
    other.temporary_.clear();
  }
  return *this;
}

void FileReplacement::CloseAll() {
  CloseFd(fd_);
  CloseFd(targetLock_);
}

void FileReplacement::Abandon() {
  // Only the file made by Begin is ever removed, and only before it took the target's place.
  if (fd_ >= 0 && !committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
  CloseAll();
  committed_ = false;
  temporary_.clear();
}

IoResult FileReplacement::Begin(const std::string& target, Options options) {
  Abandon();
  options_ = options;
  if (target.empty()) return IoResult::Fail("no file name given");
  target_ = target;

  struct stat st;
  const bool exists = ::lstat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return IoResult::Fail(FileError(target, errno));
  if (exists && S_ISLNK(st.st_mode) && !options.privateFile) {
    // The user's own link to their file: the real file is replaced, the link stays.
    char real[PATH_MAX];
    if (!::realpath(target.c_str(), real)) return IoResult::Fail(FileError(target, errno));
    target_ = real;
    if (::lstat(target_.c_str(), &st) != 0) return IoResult::Fail(FileError(target_, errno));
  }
  const bool replacesFile = exists && !S_ISLNK(st.st_mode);
  if (replacesFile && !S_ISREG(st.st_mode)) return IoResult::Fail(target_ + ": not a regular file");
  if (replacesFile && !options.privateFile && ::access(target_.c_str(), W_OK) != 0) {
    // Renaming would get round the file's own protection.
    return IoResult::Fail(FileError(target_, errno));
  }

  if (replacesFile && options.lockTarget) {
    targetLock_ = ::open(target_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (targetLock_ < 0) return IoResult::Fail(FileError(target_, errno));
    if (::flock(targetLock_, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      CloseFd(targetLock_);
      if (error == EWOULDBLOCK) return IoResult::Fail(target_ + ": in use by another program");
      return IoResult::Fail(FileError(target_, error));
    }
  }

  // mkostemp creates exclusively with mode 0600: never through a planted link.
  std::string pattern = FolderOf(target_) + "/." + NameOf(target_) + ".XXXXXX";
  fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) {
    const int error = errno;
    CloseFd(targetLock_);
    return IoResult::Fail(FileError(FolderOf(target_), error));
  }
  temporary_ = pattern;
  // Held like every open database file, so that it is ours from the first byte.
  ::flock(fd_, LOCK_EX | LOCK_NB);
  committed_ = false;
  return IoResult::Ok();
}

IoResult FileReplacement::Commit() {
  if (!Active()) return IoResult::Fail("nothing to put in place of " + target_);
  if (::fsync(fd_) != 0) return IoResult::Fail(FileError(target_, errno));

  struct stat st;
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  if (!options_.privateFile) {
    const mode_t mode = exists ? (st.st_mode & 07777) : NewFileMode();
    if (::fchmod(fd_, mode) != 0) return IoResult::Fail(FileError(target_, errno));
  }
  if (options_.keepBackup && exists) {
    if (IoResult kept = KeepBackup(target_); !kept) return kept;
  }
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return IoResult::Fail(FileError(target_, errno));
  committed_ = true;
  temporary_.clear();
  CloseFd(targetLock_);
  // The rename itself must reach the disk, or a power cut could undo it.
  const int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return IoResult::Ok();
}

int FileReplacement::ReleaseDescriptor() {
  if (!committed_) return -1;
  return std::exchange(fd_, -1);
}

IoResult ReplaceFileWith(const std::string& path, std::string_view contents) {
  FileReplacement replacement;
  IoResult result = replacement.Begin(path);
  if (result && !WriteAll(replacement.Descriptor(), reinterpret_cast<const unsigned char*>(contents.data()),
                          contents.size())) {
    result = IoResult::Fail(FileError(path, errno));
  }
  if (result) result = replacement.Commit();
  return result;
}

IoResult KeepBackup(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return IoResult::Ok();
  char real[PATH_MAX];
  if (!::realpath(path.c_str(), real)) return IoResult::Fail(FileError(path, errno));
  const std::string backup = std::string(real) + ".bak";

  const int source = ::open(real, O_RDONLY | O_CLOEXEC);
  if (source < 0) return IoResult::Fail(FileError(real, errno));
  FileReplacement replacement;
  IoResult result = replacement.Begin(backup, {.privateFile = true, .lockTarget = false});
  std::vector<unsigned char> block(1 << 16);
  while (result) {
    const ssize_t n = ::read(source, block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = IoResult::Fail(FileError(real, errno));
    } else if (n == 0) {
      break;
    } else if (!WriteAll(replacement.Descriptor(), block.data(), static_cast<std::size_t>(n))) {
      result = IoResult::Fail(FileError(backup, errno));
    }
  }
  ::close(source);
  if (result) result = replacement.Commit();
  return result;
}

IoResult PrivateFolder(const std::string& name, std::string& folder) {
  std::string base;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    struct stat st;
    if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) base = runtime;
  }
  if (base.empty()) {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/') {
      base = cache;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
      base = std::string(home) + "/.cache";
    } else {
      return IoResult::Fail("no private folder: neither XDG_RUNTIME_DIR nor HOME is set");
    }
    if (::mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) return IoResult::Fail(FileError(base, errno));
  }
  folder = base + "/" + name;
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return IoResult::Fail(FileError(folder, errno));
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) return IoResult::Fail(FileError(folder, errno));
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    return IoResult::Fail(folder + ": not a folder of this user; it is not used");
  }
  if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return IoResult::Fail(FileError(folder, errno));
  return IoResult::Ok();
}

IoResult CreatePrivateFile(const std::string& folder, const std::string& prefix, std::string& path) {
  std::string pattern = folder + "/" + prefix + ".XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return IoResult::Fail(FileError(folder, errno));
  ::close(fd);
  path = pattern;
  return IoResult::Ok();
}
