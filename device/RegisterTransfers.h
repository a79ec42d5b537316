// The register's text commands turned into records and back: reading the
// parameters, one department or one article, and programming one department or
// one article. Every exchange goes through one transaction function.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "data/DeviceProfile.h"
#include "data/Records.h"

// One request/reply exchange with the register: 0 when it answered and carried
// the command out, 1 otherwise (the reply text may still have been delivered).
using TransactionFunction = std::function<int(std::uint16_t command, const std::string& request, std::string& reply)>;

inline constexpr std::uint16_t kCmdParameters = 0x80;
inline constexpr std::uint16_t kCmdDepartment = 0x83;
inline constexpr std::uint16_t kCmdArticle = 0x6B;

// Fills the department from a reply to "R%d"; fields missing at the end keep
// their values.
void ParseDepartmentReply(const std::string& reply, DepartmentRecord& department);

// Fills the article from a reply to "F" or "N" and returns the state letter of
// the first field ("F" when there is no further article); 0 for an empty reply,
// which fills nothing. The initial quantity field is there only when the
// register carries initial quantities.
char ParseArticleReply(const std::string& reply, ArticleRecord& article, bool initialQtyEnabled);

std::string FormatDepartmentRequest(const DepartmentRecord& department);

// The programming text of an article, with the department and stock values
// adjusted for sending as the profile requires.
std::string FormatArticleRequest(const ArticleRecord& article, const DeviceProfile& profile);

class RegisterTransfers {
 public:
  RegisterTransfers(TransactionFunction transaction, DeviceProfile& profile)
      : transaction_(std::move(transaction)), profile_(profile) {}

  // Reads the parameters into the profile; true when the register answered.
  bool ReadDeviceParameters();

  // Department at position (0-based); the record is left as it was on failure.
  bool DownloadDepartment(DepartmentRecord& department, std::uint32_t position);

  // The first ("F") or next ("N") article. On success stateLetter holds the
  // reply's state letter and the record is in use. An empty reply fails.
  bool DownloadArticle(ArticleRecord& article, char request, char& stateLetter);

  // The report form of an article request: the record's in-use flag is left
  // alone and, without initial quantities, the initial quantity becomes 0.
  bool ReadReportArticle(ArticleRecord& article, char request, char& stateLetter);

  bool UploadDepartment(const DepartmentRecord& department);
  bool UploadArticle(const ArticleRecord& article);

  DeviceProfile& Profile() { return profile_; }
  // The register asked for, as --register names it ("serial:/dev/ttyUSB0"):
  // messages say which register does not answer.
  void SetAddress(std::string address) { address_ = std::move(address); }
  const std::string& Address() const { return address_; }

 private:
  int Transact(std::uint16_t command, const std::string& request, std::string& reply);
  bool RequestArticle(ArticleRecord& article, char request, char& stateLetter);

  TransactionFunction transaction_;
  DeviceProfile& profile_;
  std::string address_;
};
