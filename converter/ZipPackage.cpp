#include "converter/ZipPackage.h"

#include <stdexcept>
#include <zlib.h>

#include "data/CFormat.h"

namespace {

std::uint32_t Little(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

[[noreturn]] void Damaged(const std::string& what) { throw std::runtime_error(what); }

std::string MiB(std::size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

ZipPackage::ZipPackage(std::string contents, std::size_t maxPartSize)
    : contents_(std::move(contents)), maxPartSize_(maxPartSize) {
  const std::string_view zip = contents_;
  constexpr std::size_t kEndRecord = 22;
  if (zip.size() < kEndRecord) Damaged("no ZIP directory");
  // The end record sits in the last 64 KiB + 22 bytes (its comment comes after it).
  std::size_t end = zip.size() - kEndRecord + 1;
  const std::size_t stop = zip.size() > kEndRecord + 0xFFFF ? zip.size() - kEndRecord - 0xFFFF : 0;
  bool found = false;
  while (end-- > stop) {
    if (zip.compare(end, 4, "PK\x05\x06") == 0) {
      found = true;
      break;
    }
  }
  if (!found) Damaged("no ZIP directory");
  // Every entry header from the directory's start is read, whatever count the
  // end record gives: the entries end where the headers do.
  std::size_t at = Little(zip, end + 16, 4);
  constexpr std::size_t kEntryHeader = 46;
  while (at <= zip.size() && zip.size() - at >= kEntryHeader && zip.compare(at, 4, "PK\x01\x02") == 0) {
    const std::size_t nameLength = Little(zip, at + 28, 2);
    const std::size_t extraLength = Little(zip, at + 30, 2);
    const std::size_t commentLength = Little(zip, at + 32, 2);
    if (zip.size() - at - kEntryHeader < nameLength) Damaged("ZIP directory cut short");
    Entry entry;
    entry.name = std::string(zip.substr(at + kEntryHeader, nameLength));
    entry.method = static_cast<std::uint16_t>(Little(zip, at + 10, 2));
    entry.compressed = Little(zip, at + 20, 4);
    entry.uncompressed = Little(zip, at + 24, 4);
    entry.crc = Little(zip, at + 16, 4);
    entry.localHeader = Little(zip, at + 42, 4);
    entries_.push_back(std::move(entry));
    at += kEntryHeader + nameLength + extraLength + commentLength;
  }
  if (entries_.empty()) Damaged("empty ZIP directory");
}

bool ZipPackage::HasPart(std::string_view part) const {
  for (const Entry& e : entries_)
    if (e.name == part) return true;
  return false;
}

bool ZipPackage::ReadPart(std::string_view part, std::vector<unsigned char>& buffer) const {
  buffer.clear();
  const Entry* entry = nullptr;
  for (const Entry& e : entries_)
    if (e.name == part) entry = &e;
  if (!entry) return false;
  const std::string_view zip = contents_;
  const std::string name(part);

  constexpr std::size_t kLocalHeader = 30;
  const std::uint64_t local = entry->localHeader;
  if (local > zip.size() || zip.size() - local < kLocalHeader || zip.compare(local, 4, "PK\x03\x04") != 0)
    Damaged("part " + name + " is missing from the archive");
  const std::uint64_t data = local + kLocalHeader + Little(zip, local + 26, 2) + Little(zip, local + 28, 2);
  // The directory's sizes can lie: the data is taken as far as the file goes.
  if (data > zip.size()) Damaged("part " + name + " is cut short");
  const std::size_t available = zip.size() - data;
  const std::size_t compressed = entry->compressed < available ? entry->compressed : available;
  const std::string_view input = zip.substr(data, compressed);
  // Deflate makes at most 1032 bytes of one; a claim beyond that, or a stored
  // part claiming more than the file holds, is a lie rather than a large part.
  constexpr std::uint64_t kMostInflated = 1032;
  if ((entry->method == 0 && entry->uncompressed != input.size()) ||
      (entry->method == 8 && entry->uncompressed > kMostInflated * input.size() + 64))
    Damaged("part " + name + " claims " + std::to_string(entry->uncompressed) + " bytes, more than its " +
            std::to_string(input.size()) + " packed bytes can hold");
  if (entry->uncompressed > maxPartSize_)
    throw TooLarge("part " + name + " is larger than " + MiB(maxPartSize_) +
                   " when unpacked: the workbook is too large to be imported");

  // What was unpacked must be what the directory promised, to the byte.
  const std::string notAsSaid = "part " + name + " is not what the archive's directory says it is";
  const auto size = static_cast<std::size_t>(entry->uncompressed);
  auto check = [&](std::size_t produced) {
    if (produced != size || crc32(0, buffer.data(), static_cast<uInt>(produced)) != entry->crc) Damaged(notAsSaid);
  };
  if (entry->method == 0) {
    buffer.reserve(input.size() + 2);
    buffer.assign(input.begin(), input.end());
    check(buffer.size());
    return true;
  }
  if (entry->method != 8)
    Damaged("part " + name + " is packed in an unknown way (" + std::to_string(entry->method) + ")");

  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) Damaged("cannot unpack part " + name);
  struct End {
    z_stream& z;
    ~End() { inflateEnd(&z); }
  } end{z};
  // Room for the declared size and one byte more, which only a part that
  // unpacks to more than it says reaches; the two bytes behind stay free.
  buffer.resize(size + 3);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  std::size_t left = input.size();
  std::size_t produced = 0;
  for (;;) {
    if (z.avail_in == 0 && left > 0) {
      const std::size_t chunk = std::min<std::size_t>(left, 1u << 30);
      z.avail_in = static_cast<uInt>(chunk);
      left -= chunk;
    }
    const std::size_t room = size + 1 - produced;
    z.next_out = buffer.data() + produced;
    z.avail_out = static_cast<uInt>(room);
    const int rc = inflate(&z, Z_NO_FLUSH);
    produced += room - z.avail_out;
    if (produced > size) Damaged(notAsSaid);
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && left == 0) Damaged("part " + name + " is cut short");
    if (rc != Z_OK && rc != Z_BUF_ERROR) Damaged("part " + name + " cannot be unpacked");
  }
  buffer.resize(produced);
  check(produced);
  return true;
}
