#include "data/FileReplacement.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <random>
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

std::string UserName(uid_t uid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->pw_name;
  return "user " + std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->gr_name;
  return "group " + std::to_string(gid);
}

bool InGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Whether the file's group may do more with it than everyone else may.
bool GroupMatters(mode_t mode) { return (((mode >> 3) & 07) & ~(mode & 07)) != 0; }

// Why a file made by this user cannot take over the owner and group of old
// (the file at path); empty when it can. A group that cannot be kept is no
// loss when it gives no more access than everyone has.
std::string OwnerProblem(const std::string& path, const struct stat& old) {
  const uid_t self = ::geteuid();
  if (self == 0) return {};
  if (old.st_uid != self) {
    return path + " belongs to " + UserName(old.st_uid) + ", not to " + UserName(self) +
           ": a new file in its place would change hands, so it was left as it is. Run this as " +
           UserName(old.st_uid) + " or as root.";
  }
  if (!InGroup(old.st_gid) && GroupMatters(old.st_mode)) {
    return path + " belongs to group " + GroupName(old.st_gid) + ", which " + UserName(self) +
           " is not in: a new file in its place would take that group's access away, so it was left as it is. Run "
           "this as root or as a member of " +
           GroupName(old.st_gid) + ".";
  }
  return {};
}

// Gives the new file fd the owner and group of old (the file at path), as far
// as OwnerProblem allows.
IoResult GiveOwner(int fd, const std::string& path, const struct stat& old) {
  struct stat now;
  if (::fstat(fd, &now) != 0) return IoResult::Fail(FileError(path, errno));
  if (now.st_uid == old.st_uid && now.st_gid == old.st_gid) return IoResult::Ok();
  if (std::string problem = OwnerProblem(path, old); !problem.empty()) return IoResult::Fail(problem);
  const bool root = ::geteuid() == 0;
  // A group that gives no more than everyone has is no loss (see OwnerProblem).
  if (!root && !InGroup(old.st_gid)) return IoResult::Ok();
  if (::fchown(fd, root ? old.st_uid : static_cast<uid_t>(-1), old.st_gid) != 0) {
    return IoResult::Fail(path + ": the new file cannot be given its owner and group (" + std::strerror(errno) +
                          "), so it was left as it is");
  }
  return IoResult::Ok();
}

// The hidden name of a replacement's new file: "." name ".new-" and six
// letters or digits, unlike any name a user would give a file of theirs.
std::string TemporaryStem(const std::string& target) { return "." + NameOf(target) + ".new-"; }
std::string TemporaryPrefix(const std::string& target) { return FolderOf(target) + "/" + TemporaryStem(target); }

bool IsTemporaryName(const std::string& entry, const std::string& prefix) {
  if (entry.size() != prefix.size() + 6 || entry.compare(0, prefix.size(), prefix) != 0) return false;
  return std::all_of(entry.begin() + static_cast<std::ptrdiff_t>(prefix.size()), entry.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Removes the hidden files that killed replacements of target left behind:
// this user's, with no other name, and held by no one (a live replacement
// holds its file locked from the moment it made it).
void RemoveStaleTemporaries(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string prefix = TemporaryStem(target);
  std::vector<std::string> candidates;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      if (IsTemporaryName(entry->d_name, prefix)) candidates.push_back(folder + "/" + entry->d_name);
    }
    ::closedir(dir);
  }
  for (const std::string& path : candidates) {
    struct stat named;
    if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode) || named.st_uid != ::geteuid() ||
        named.st_nlink != 1) {
      continue;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held, still;
    if (::fstat(fd, &held) == 0 && SameFile(held, named) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(path.c_str(), &still) == 0 && SameFile(still, held)) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
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
    options_ = std::move(other.options_);
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

  if (replacesFile && !options.privateFile) {
    if (st.st_nlink > 1) {
      // A new file takes only this name: the others would go on showing the old one.
      return IoResult::Fail(target_ + " has " + std::to_string(st.st_nlink - 1) +
                            " other name(s) (hard links), which a new file in its place would part from it, so it "
                            "was left as it is");
    }
    if (std::string problem = OwnerProblem(target_, st); !problem.empty()) return IoResult::Fail(problem);
  }
  if (!options.ownerFrom.empty()) {
    struct stat owner;
    if (::stat(options.ownerFrom.c_str(), &owner) == 0) {
      if (std::string problem = OwnerProblem(options.ownerFrom, owner); !problem.empty()) {
        return IoResult::Fail(problem);
      }
    }
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

  RemoveStaleTemporaries(target_);
  if (IoResult created = CreateTemporary(); !created) {
    CloseFd(targetLock_);
    return created;
  }
  committed_ = false;
  return IoResult::Ok();
}

IoResult FileReplacement::CreateTemporary() {
  const std::string folder = FolderOf(target_);
  if (options_.unnamedTemporary) {
    // Without a name, a killed run leaves nothing behind.
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
      ::flock(fd_, LOCK_EX | LOCK_NB);  // held from the first byte, like every open database file
      return IoResult::Ok();
    }
    // Only a file system (or kernel) without unnamed files sends us to a named one.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return IoResult::Fail(FileError(folder, errno));
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    // mkostemp creates exclusively with mode 0600: never through a planted link.
    std::string pattern = TemporaryPrefix(target_) + "XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return IoResult::Fail(FileError(folder, errno));
    // Locked at once, so that another replacement of the same target does not
    // take it for a killed run's. If that one got there first, the file is its
    // to remove: make another.
    struct stat held, named;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && ::lstat(pattern.c_str(), &named) == 0 &&
        SameFile(held, named)) {
      fd_ = fd;
      temporary_ = pattern;
      return IoResult::Ok();
    }
    ::close(fd);
  }
  return IoResult::Fail(folder + ": no new file could be made beside " + NameOf(target_));
}

IoResult FileReplacement::NameTemporary() {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  const std::string byProc = "/proc/self/fd/" + std::to_string(fd_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryPrefix(target_);
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    // linkat never replaces an existing name, a link included. Through /proc
    // for any user; by the descriptor itself (a privilege) where /proc is missing.
    int linked = ::linkat(AT_FDCWD, byProc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
    if (linked != 0 && errno == ENOENT) linked = ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
    if (linked == 0) {
      temporary_ = name;
      return IoResult::Ok();
    }
    if (errno != EEXIST) return IoResult::Fail(FileError(FolderOf(target_), errno));
  }
  return IoResult::Fail(FolderOf(target_) + ": no free name for the new " + NameOf(target_));
}

IoResult FileReplacement::Commit() {
  if (!Active()) return IoResult::Fail("nothing to put in place of " + target_);
  if (::fsync(fd_) != 0) return IoResult::Fail(FileError(target_, errno));

  struct stat st;
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  // The owner first: a change of owner clears the set-id bits the mode then gives.
  if (!options_.ownerFrom.empty()) {
    struct stat owner;
    if (::stat(options_.ownerFrom.c_str(), &owner) == 0) {
      if (IoResult given = GiveOwner(fd_, options_.ownerFrom, owner); !given) return given;
    }
  } else if (exists && !options_.privateFile) {
    if (IoResult given = GiveOwner(fd_, target_, st); !given) return given;
  }
  if (!options_.privateFile) {
    const mode_t mode = exists ? (st.st_mode & 07777) : NewFileMode();
    if (::fchmod(fd_, mode) != 0) return IoResult::Fail(FileError(target_, errno));
  }
  if (options_.keepBackup && exists) {
    if (IoResult kept = KeepBackup(target_); !kept) return kept;
  }
  if (temporary_.empty()) {
    if (IoResult named = NameTemporary(); !named) return named;
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
  if (result &&
      !WriteAll(replacement.Descriptor(), reinterpret_cast<const unsigned char*>(contents.data()), contents.size())) {
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
  // The backup belongs to whoever the file belongs to, whoever made it.
  IoResult result = replacement.Begin(backup, {.privateFile = true, .lockTarget = false, .ownerFrom = real});
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
