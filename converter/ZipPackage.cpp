#include "ZipPackage.h"

#include <cstdint>
#include <exception>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

ZipPackage::ZipPackage(std::string contents)
    : contents_(std::move(contents)),
      stream_(std::make_unique<orcus::zip_archive_stream_blob>(reinterpret_cast<const uint8_t*>(contents_.data()),
                                                               contents_.size())),
      archive_(std::make_unique<orcus::zip_archive>(stream_.get())) {
  archive_->load();
}

ZipPackage::~ZipPackage() = default;

bool ZipPackage::ReadPart(const std::string& part, std::vector<unsigned char>& buffer) const {
  buffer.clear();
  try {
    return archive_->read_file_entry(part, buffer);
  } catch (const std::exception&) {
    return false;  // a part that cannot be inflated is as good as missing
  }
}
