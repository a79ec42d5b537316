#include "converter/OutputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "data/DatabaseFile.h"

IoResult CheckWorkbookTarget(const std::string& workbookPath, const std::string& databasePath) {
  struct stat target;
  if (::stat(workbookPath.c_str(), &target) != 0) {
    if (errno == ENOENT) return IoResult::Ok();  // a new workbook
    return IoResult::Fail(FileError(workbookPath, errno));
  }
  // Devices, FIFOs and folders are never written to: a FIFO would block for ever.
  if (!S_ISREG(target.st_mode)) return IoResult::Fail(workbookPath + ": not a regular file");
  struct stat database;
  if (::stat(databasePath.c_str(), &database) == 0 && database.st_dev == target.st_dev &&
      database.st_ino == target.st_ino) {
    return IoResult::Fail(workbookPath + ": this is the database file being exported");
  }
  const int fd = ::open(workbookPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return IoResult::Fail(FileError(workbookPath, errno));
  IoResult result;
  unsigned char header[kHeaderSize];
  struct stat opened;
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    result = IoResult::Fail(workbookPath + ": not a regular file");
  } else if (::pread(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header) && HeaderIsValid(header)) {
    result = IoResult::Fail(workbookPath + ": holds a database, not a workbook");
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    result = IoResult::Fail(errno == EWOULDBLOCK ? workbookPath + ": in use by another program"
                                                 : FileError(workbookPath, errno));
  }
  ::close(fd);
  return result;
}

std::string DescriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }
