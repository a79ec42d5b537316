// A ZIP container held in memory (.xlsx and .ods are both ZIP packages):
// lists nothing, only hands out the inflated bytes of a named part.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orcus {
class zip_archive;
class zip_archive_stream_blob;
}  // namespace orcus

class ZipPackage {
 public:
  // Reads the container's directory; throws when it is damaged.
  explicit ZipPackage(std::string contents);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  // The bytes of one part; false when it is missing or cannot be inflated.
  bool ReadPart(const std::string& part, std::vector<unsigned char>& buffer) const;

 private:
  std::string contents_;
  std::unique_ptr<orcus::zip_archive_stream_blob> stream_;
  std::unique_ptr<orcus::zip_archive> archive_;
};
