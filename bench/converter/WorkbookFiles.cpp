#include "bench/converter/WorkbookFiles.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

#include "data/CFormat.h"

namespace benchfiles {
namespace {

using namespace std::string_literals;

std::string U16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
std::string U32(std::uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }

// A ZIP file written part by part; each part is produced in pieces by a
// callback so that a gigabyte part never sits in memory.
class ZipWriter {
 public:
  explicit ZipWriter(const std::filesystem::path& path) : out_(path, std::ios::binary) {
    if (!out_) throw std::runtime_error("cannot write " + path.string());
  }
  using Producer = std::function<void(const std::function<void(const std::string&)>& put)>;

  void Add(const std::string& name, const Producer& produce, bool deflate) {
    Entry e{name, 0, 0, 0, static_cast<std::uint32_t>(out_.tellp()), static_cast<std::uint16_t>(deflate ? 8 : 0)};
    out_ << LocalHeader(e);
    z_stream z{};
    if (deflate && deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw std::runtime_error("deflateInit2");
    std::string buffer(1 << 16, '\0');
    auto pump = [&](const std::string& piece, int flush) {
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
      z.avail_in = static_cast<uInt>(piece.size());
      do {
        z.next_out = reinterpret_cast<Bytef*>(buffer.data());
        z.avail_out = static_cast<uInt>(buffer.size());
        deflate_(z, flush);
        const std::size_t made = buffer.size() - z.avail_out;
        out_.write(buffer.data(), static_cast<std::streamsize>(made));
        e.compressed += static_cast<std::uint32_t>(made);
      } while (z.avail_out == 0);
    };
    produce([&](const std::string& piece) {
      e.crc = static_cast<std::uint32_t>(
          crc32(e.crc, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size())));
      e.size += static_cast<std::uint32_t>(piece.size());
      if (deflate) {
        pump(piece, Z_NO_FLUSH);
      } else {
        out_ << piece;
        e.compressed += static_cast<std::uint32_t>(piece.size());
      }
    });
    if (deflate) {
      pump(std::string(), Z_FINISH);
      deflateEnd(&z);
    }
    const auto end = out_.tellp();
    out_.seekp(e.offset);
    out_ << LocalHeader(e);
    out_.seekp(end);
    entries_.push_back(e);
  }

  void Close() {
    const auto start = static_cast<std::uint32_t>(out_.tellp());
    std::string directory;
    for (const Entry& e : entries_)
      directory += "PK\x01\x02"s + U16(20) + U16(20) + U16(0) + U16(e.method) + U32(0) + U32(e.crc) +
                   U32(e.compressed) + U32(e.size) + U16(static_cast<unsigned>(e.name.size())) + U16(0) + U16(0) +
                   U16(0) + U16(0) + U32(0) + U32(e.offset) + e.name;
    out_ << directory << "PK\x05\x06"s << U16(0) << U16(0) << U16(static_cast<unsigned>(entries_.size()))
         << U16(static_cast<unsigned>(entries_.size())) << U32(static_cast<std::uint32_t>(directory.size()))
         << U32(start) << U16(0);
    out_.close();
  }

 private:
  struct Entry {
    std::string name;
    std::uint32_t crc, compressed, size, offset;
    std::uint16_t method;
  };
  static void deflate_(z_stream& z, int flush) {
    if (::deflate(&z, flush) == Z_STREAM_ERROR) throw std::runtime_error("deflate");
  }
  std::string LocalHeader(const Entry& e) {
    return "PK\x03\x04"s + U16(20) + U16(0) + U16(e.method) + U32(0) + U32(e.crc) + U32(e.compressed) + U32(e.size) +
           U16(static_cast<unsigned>(e.name.size())) + U16(0) + e.name;
  }

  std::ofstream out_;
  std::vector<Entry> entries_;
};

std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

ZipWriter::Producer Whole(std::string text) {
  return [text = std::move(text)](const auto& put) { put(text); };
}

// UTF-8 (of the Basic Multilingual Plane) to UTF-16LE bytes.
std::string Utf16(const std::string& utf8, unsigned& count) {
  std::string out;
  count = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    unsigned cp = c, extra = 0;
    if (c >= 0xE0)
      cp = c & 0x0F, extra = 2;
    else if (c >= 0xC0)
      cp = c & 0x1F, extra = 1;
    for (unsigned k = 1; k <= extra && i + k < utf8.size(); ++k) cp = cp << 6 | (utf8[i + k] & 0x3F);
    i += 1 + extra;
    out += U16(cp);
    ++count;
  }
  return out;
}

std::string Record(unsigned type, const std::string& data) {
  return U16(type) + U16(static_cast<unsigned>(data.size())) + data;
}

}  // namespace

void WriteOds(const std::filesystem::path& path, const std::vector<SheetRows>& sheets) {
  ZipWriter zip(path);
  zip.Add("mimetype", Whole("application/vnd.oasis.opendocument.spreadsheet"), false);
  zip.Add("META-INF/manifest.xml",
          Whole("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest:manifest "
                "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\">"
                "<manifest:file-entry manifest:full-path=\"/\" "
                "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>"
                "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
                "</manifest:manifest>"),
          true);
  zip.Add(
      "content.xml",
      [&](const auto& put) {
        put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
            "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>");
        for (const SheetRows& sheet : sheets) {
          put(std::string("<table:table table:name=\"") + sheet.name + "\">");
          for (const Row& row : sheet.rows) {
            std::string xml = "<table:table-row>";
            for (const Cell& c : row) {
              if (c.IsNumber())
                xml += "<table:table-cell office:value-type=\"float\" office:value=\"" + CFormat("%.17g", c.number) +
                       "\"/>";
              else if (c.IsText())
                xml += "<table:table-cell office:value-type=\"string\"><text:p>" + Escaped(c.text) +
                       "</text:p></table:table-cell>";
              else
                xml += "<table:table-cell/>";
            }
            put(xml + "</table:table-row>");
          }
          put("</table:table>");
        }
        put("</office:spreadsheet></office:body></office:document-content>");
      },
      true);
  zip.Close();
}

void WriteXls(const std::filesystem::path& path, const std::vector<SheetRows>& sheets) {
  const std::string bof = U16(0x0600) + U16(0x0005) + std::string(12, '\0');
  std::string head = Record(0x0809, bof);
  for (int xf = 0; xf < 16; ++xf) head += Record(0x00E0, U16(0) + U16(0) + std::string(16, '\0'));
  std::vector<std::string> bodies;
  for (const SheetRows& sheet : sheets) {
    std::string body = Record(0x0809, U16(0x0600) + U16(0x0010) + std::string(12, '\0'));
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
      for (std::size_t c = 0; c < sheet.rows[r].size(); ++c) {
        const Cell& cell = sheet.rows[r][c];
        const std::string place = U16(static_cast<unsigned>(r)) + U16(static_cast<unsigned>(c)) + U16(15);
        if (cell.IsNumber()) {
          std::string bytes(8, '\0');
          std::memcpy(bytes.data(), &cell.number, 8);
          body += Record(0x0203, place + bytes);
        } else if (cell.IsText()) {
          unsigned count = 0;
          const std::string units = Utf16(cell.text, count);
          body += Record(0x0204, place + U16(count) + '\x01' + units);
        }
      }
    }
    bodies.push_back(body + Record(0x000A, ""));
  }
  std::size_t offset = head.size() + Record(0x000A, "").size();
  for (const SheetRows& sheet : sheets) offset += 4 + 8 + std::strlen(sheet.name);
  for (std::size_t s = 0; s < sheets.size(); ++s) {
    const std::string name = sheets[s].name;
    head +=
        Record(0x0085, U32(static_cast<std::uint32_t>(offset)) + U16(0) + static_cast<char>(name.size()) + '\0' + name);
    offset += bodies[s].size();
  }
  head += Record(0x000A, "");
  for (const std::string& body : bodies) head += body;

  gsf_init();
  GsfOutput* sink = gsf_output_stdio_new(path.c_str(), nullptr);
  if (!sink) throw std::runtime_error("cannot write " + path.string());
  GsfOutfile* ole = gsf_outfile_msole_new(sink);
  GsfOutput* stream = gsf_outfile_new_child(ole, "Workbook", FALSE);
  gsf_output_write(stream, head.size(), reinterpret_cast<const guint8*>(head.data()));
  gsf_output_close(stream);
  g_object_unref(stream);
  gsf_output_close(GSF_OUTPUT(ole));
  g_object_unref(ole);
  gsf_output_close(sink);
  g_object_unref(sink);
}

void WriteXlsxBomb(const std::filesystem::path& path, std::uint64_t inflatedBytes) {
  const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  ZipWriter zip(path);
  zip.Add("[Content_Types].xml",
          Whole("<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"), true);
  zip.Add("xl/workbook.xml",
          Whole("<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
                "\"><sheets>"
                "<sheet name=\"DEPARTMENTS\" sheetId=\"1\" r:id=\"rId1\"/>"
                "<sheet name=\"ARTICLES\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>"),
          true);
  zip.Add("xl/_rels/workbook.xml.rels",
          Whole("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                "<Relationship Id=\"rId1\" Type=\"" +
                rel +
                "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                "<Relationship Id=\"rId2\" Type=\"" +
                rel +
                "/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
                "</Relationships>"),
          true);
  const std::string empty = "<worksheet xmlns=\"" + main + "\"><sheetData></sheetData></worksheet>";
  zip.Add("xl/worksheets/sheet2.xml", Whole(empty), true);
  zip.Add(
      "xl/worksheets/sheet1.xml",
      [&](const auto& put) {
        put("<worksheet xmlns=\"" + main + "\"><sheetData>");
        const std::string blanks(1 << 20, ' ');
        for (std::uint64_t left = inflatedBytes; left > 0; left -= std::min<std::uint64_t>(left, blanks.size()))
          put(blanks.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(left, blanks.size()))));
        put("</sheetData></worksheet>");
      },
      true);
  zip.Close();
}

}  // namespace benchfiles
