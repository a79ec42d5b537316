// A fresh directory for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Makes a file or folder unchangeable even for root (where the file system
// allows it); false when it cannot.
bool SetImmutable(const std::string& path, bool immutable);

// Takes write access away from path: by permissions for ordinary users, by the
// immutable flag for root. False when neither works here.
bool MakeUnwritable(const std::string& path);

std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
