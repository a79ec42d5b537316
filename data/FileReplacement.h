// Replaces a file whole, so that a kill, a full disk or a failed register at
// any moment leaves the old file or the complete new one, never half of each.
// The new contents go into a private file created beside the target, without a
// name where the file system allows it (so a killed run leaves nothing
// behind); Commit flushes it, gives it the target's owner, group and mode,
// names it, renames it over the target and flushes the folder. Dropping a
// replacement before Commit removes that file and leaves the target byte for
// byte as it was.
#pragma once

#include <string>
#include <string_view>

#include "data/IoResult.h"

class FileReplacement {
 public:
  struct Options {
    // A file the programs name themselves (backup, transfer file): mode 0600,
    // and a link at the target's name is replaced, never followed.
    bool privateFile = false;
    // Refuse a target that another program holds open, and keep it held
    // until the end. Off when the caller holds the target open itself.
    bool lockTarget = true;
    // Before the rename, keep the target's complete contents as target.bak.
    bool keepBackup = false;
    // The new file has no name until Commit where the file system allows it;
    // off, it is written under a hidden name as on file systems that do not.
    bool unnamedTemporary = true;
    // The file whose owner and group the new file takes; empty: the target's
    // (none for a private file).
    std::string ownerFrom = {};
  };

  FileReplacement() = default;
  ~FileReplacement();
  FileReplacement(FileReplacement&& other) noexcept;
  FileReplacement& operator=(FileReplacement&& other) noexcept;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Creates the new file beside target. A link the user made to their file
  // is resolved first: the real file is the one replaced. Refused when the new
  // file could not keep the target's owner and group, or when the target has
  // other names (hard links) that would go on showing the old file. Hidden
  // files left by earlier replacements of target that were killed are removed.
  IoResult Begin(const std::string& target, Options options);
  IoResult Begin(const std::string& target) { return Begin(target, Options{}); }

  bool Active() const { return fd_ >= 0 && !committed_; }
  // The new file, open for reading and writing; after Commit it is the target.
  int Descriptor() const { return fd_; }
  // The file that is replaced (links resolved).
  const std::string& Target() const { return target_; }
  // The new file's hidden name; empty while it has none.
  const std::string& TemporaryPath() const { return temporary_; }

  // Puts the new file in the target's place. On failure the target is as it was.
  IoResult Commit();
  // Removes the new file; the target stays as it was.
  void Abandon();
  // After Commit: hands the descriptor (and the lock on it) to the caller.
  int ReleaseDescriptor();

 private:
  void CloseAll();
  IoResult CreateTemporary();
  IoResult NameTemporary();

  int fd_ = -1;
  int targetLock_ = -1;  // the old target, held so that no one opens it meanwhile
  bool committed_ = false;
  Options options_;
  std::string target_;
  std::string temporary_;
};

// Puts contents whole in the place of the file at path (made when missing):
// the old file or the complete new one, never half of each.
IoResult ReplaceFileWith(const std::string& path, std::string_view contents);

// Keeps the complete contents of the file at path as path + ".bak", private to
// the user, written through a FileReplacement. A missing or empty file needs
// no backup.
IoResult KeepBackup(const std::string& path);

// The user's private folder for the programs' passing files: $XDG_RUNTIME_DIR
// or else the user's cache folder, plus name; made with mode 0700 when missing
// and refused when it is a link or belongs to someone else.
IoResult PrivateFolder(const std::string& name, std::string& folder);

// A new, empty private file (mode 0600, created exclusively) in folder, named
// prefix plus a unique ending; its path in path. The caller removes it.
IoResult CreatePrivateFile(const std::string& folder, const std::string& prefix, std::string& path);

// What went wrong with path, in the system's words ("No space left on device").
std::string FileError(const std::string& path, int error);
