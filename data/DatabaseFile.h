// A database file: 20-byte header, 200 department slots, then article slots.
// The same layout serves database, transfer and report files. While open, the
// file is locked so that no second program can open it meanwhile.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "data/ArticleTable.h"
#include "data/FileReplacement.h"
#include "data/IoResult.h"
#include "data/Records.h"

inline constexpr std::uint64_t kHeaderSize = 20;
inline constexpr std::uint32_t kDepartmentSlots = 200;
inline constexpr std::uint64_t kDepartmentAreaOffset = kHeaderSize;
inline constexpr std::uint64_t kArticleAreaOffset = kHeaderSize + kDepartmentSlots * sizeof(DepartmentRecord);
static_assert(kArticleAreaOffset == 25620);

inline constexpr std::uint64_t DepartmentOffset(std::uint32_t slot) {
  return kDepartmentAreaOffset + std::uint64_t{slot} * sizeof(DepartmentRecord);
}
// Article slots count from 1.
inline constexpr std::uint64_t ArticleOffset(std::uint32_t slot) {
  return kArticleAreaOffset + std::uint64_t{slot - 1} * sizeof(ArticleRecord);
}

enum class ReadStatus {
  Ok,     // the whole record was read
  Short,  // the file ends before the record does: the record reads as zeros
  Error,  // the system could not read: the record reads as zeros
};

enum class OpenResult { Opened, Created, WrongHeader, CannotOpen };

struct OpenOutcome {
  OpenResult result;
  std::string message;      // what the operator is told; empty when nothing
  std::string detail = {};  // why, when the system said more ("in use by another program")
};

struct LoadOutcome {
  std::size_t loaded = 0;        // articles put into the table
  bool capacityReached = false;  // the file holds more articles than the table can
  bool readError = false;        // a read failed before the end of the file
  std::string error;
  std::string cut;  // what a file cut short lacks (see DescribeCut); empty when whole
};

inline constexpr const char* kMsgUnableToOpen = "Unable to open the file!";
inline constexpr const char* kMsgIncorrectFile = "Incorrect File!";
inline constexpr const char* kMsgDestinationCannotOpen = "Destination file can not be opened!";

class DatabaseFile {
 public:
  DatabaseFile() = default;
  ~DatabaseFile();
  DatabaseFile(const DatabaseFile&) = delete;
  DatabaseFile& operator=(const DatabaseFile&) = delete;
  // Takes over the other's open file, lock and replacement; the one held before is closed.
  DatabaseFile(DatabaseFile&& other) noexcept { *this = std::move(other); }
  DatabaseFile& operator=(DatabaseFile&& other) noexcept;

  // Opens or creates the database at path. With replace a valid file is opened
  // for a caller that will put a new file in its place whole; it is refused
  // when its folder cannot take one. A file that may only be read is opened
  // for reading. Any database open before is closed first.
  OpenOutcome OpenDatabase(const std::string& path, bool replace);

  // An existing file for reading and writing.
  IoResult OpenExisting(const std::string& path);
  // Creates the file, emptying one that exists, for reading and writing.
  IoResult CreateEmpty(const std::string& path);
  // An existing file for reading only; another program may read it meanwhile,
  // none may write it.
  IoResult OpenForReading(const std::string& path);
  // Closes the file and opens the same path again for reading and writing.
  IoResult Reopen();
  // Closes the file; a replacement not yet committed is dropped, its target untouched.
  void Close();

  // Starts a new file that takes the place of path whole (see FileReplacement):
  // every write goes to it, and the file at path stays as it was until
  // CommitReplacement. Any database open before is closed first; pass
  // lockTarget = false only when the caller holds path open itself.
  IoResult BeginReplacement(const std::string& path, FileReplacement::Options options);
  // Puts the new file in place; it stays open (and held) as this database.
  IoResult CommitReplacement();
  bool Replacing() const { return replacement_.Active(); }

  bool IsOpen() const { return fd_ >= 0; }
  bool IsReadOnly() const { return readOnly_; }
  const std::string& Path() const { return path_; }
  int Descriptor() const { return fd_; }

  bool CheckHeader() const;
  IoResult WriteHeader();
  // 20 zero bytes: the file fails the header check until WriteHeader.
  IoResult WriteZeroHeader();
  // The header and the 200 default departments.
  IoResult WriteNewContents(char taxLetter);

  ReadStatus ReadDepartment(std::uint32_t slot, DepartmentRecord& record) const;
  IoResult WriteDepartment(std::uint32_t slot, const DepartmentRecord& record);
  ReadStatus ReadArticle(std::uint32_t slot, ArticleRecord& record) const;
  IoResult WriteArticle(std::uint32_t slot, const ArticleRecord& record);

  // The lowest all-zero slot, cut short or past the end.
  std::optional<std::uint32_t> FindFreeSlot() const;

  // Rebuilds the table from the articles in use (IN_USE set), in slot order.
  LoadOutcome LoadTable(ArticleTable& table) const;

  std::uint64_t Length() const;
  IoResult Truncate(std::uint64_t length);
  IoResult Sync();

  // Reads or writes raw bytes at an offset (file copies, headers).
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size, bool* failed = nullptr) const;
  IoResult WriteAt(std::uint64_t offset, const void* buffer, std::size_t size);

 private:
  IoResult Adopt(int fd, const std::string& path);

  int fd_ = -1;
  bool readOnly_ = false;
  std::string path_;
  FileReplacement replacement_;  // owns fd_ while a replacement is being written
};

// Copies every byte of from, from its start, over to from its start, in blocks
// of at most 65535 bytes. The target is not shortened.
IoResult CopyContents(const DatabaseFile& from, DatabaseFile& to);

// What a database file of length bytes lacks when it ends inside its
// department or article area, naming path ("shop.db ends inside article 24:
// 23 articles read"); empty when it ends where a record does. Such a file
// opens all the same, so the operator must hear of it.
std::string DescribeCut(const std::string& path, std::uint64_t length, std::size_t articlesRead);

bool HeaderIsValid(const unsigned char* header20);
void FillHeader(unsigned char* header20);
