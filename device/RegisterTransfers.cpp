#include "device/RegisterTransfers.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "data/CFormat.h"
#include "data/FieldReader.h"

namespace {

// The register's integers are C ints: kept in range before they are stored.
std::int32_t Int(std::string_view field) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      LeadingIntegerOrZero(field), std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// The register counts groups, units and departments from 1, the records from 0;
// the shift saturates so that the extreme values cannot overflow.
std::int32_t ZeroBased(std::string_view field) {
  const std::int32_t value = Int(field);
  return value == std::numeric_limits<std::int32_t>::min() ? value : value - 1;
}
int OneBased(std::int32_t value) { return value == std::numeric_limits<std::int32_t>::max() ? value : value + 1; }

double Real(std::string_view field) { return LeadingDoubleOrZero(field); }

char FirstChar(std::string_view field) { return field.empty() ? '\0' : field[0]; }

// Reads the fields in order and stops quietly at the first one that is missing.
class Fields {
 public:
  explicit Fields(const std::string& reply) : reader_(MarkEmptyNames(reply)) {}

  template <typename Apply>
  Fields& Then(std::string_view separators, Apply apply) {
    if (!ended_) {
      const auto field = reader_.Next(separators);
      if (field) {
        apply(*field);
      } else {
        ended_ = true;
      }
    }
    return *this;
  }
  Fields& Skip(std::string_view separators) {
    return Then(separators, [](std::string_view) {});
  }
  bool Ended() const { return ended_; }

 private:
  FieldReader reader_;
  bool ended_ = false;
};

constexpr std::string_view kComma = ",";
constexpr std::string_view kNewline = "\n";

}  // namespace

void ParseDepartmentReply(const std::string& reply, DepartmentRecord& d) {
  Fields(reply)
      .Skip(kComma)
      .Then(kComma, [&](auto f) { d.DEPTNO = static_cast<std::uint32_t>(Int(f)); })
      .Then(kNewline, [&](auto f) { SetName(d.NAME, f); })
      .Then(kComma, [&](auto f) { d.TAX_GROUP = FirstChar(f); })
      .Then(kComma, [&](auto f) { d.SING_PRICE = Real(f); })
      .Then(kComma, [&](auto f) { d.SOLDQTY = Real(f); })
      .Then(kComma, [&](auto f) { d.AMOUNT = Real(f); })
      .Then(kComma, [&](auto f) { d.STOCK_GROUP = ZeroBased(f); })
      .Then(kComma, [&](auto f) { d.OPT_SINGTRANS = Int(f); })
      .Then(kComma, [&](auto f) { d.OPT_FRACT_QTY = Int(f); })
      .Then(kComma, [&](auto f) { d.OPT_FREEPRICE = Int(f); })
      .Then(kComma, [&](auto f) { d.MEASURE_UNIT = ZeroBased(f); })
      .Then(kComma, [&](auto f) { d.MAX_PRICE = Real(f); })
      .Then(kComma, [&](auto f) { d.MAX_AMOUNT = Real(f); });
}

char ParseArticleReply(const std::string& reply, ArticleRecord& a, bool initialQtyEnabled) {
  char state = '\0';
  Fields fields(reply);
  fields.Then(kComma, [&](auto f) { state = FirstChar(f); });
  if (fields.Ended()) return '\0';
  fields.Then(kComma, [&](auto f) { a.PLUNO = static_cast<std::uint32_t>(Int(f)); })
      .Skip(kComma)
      .Then(kComma, [&](auto f) { a.TAX_GROUP = FirstChar(f); })
      .Then(kComma, [&](auto f) { a.SING_PRICE = Real(f); })
      .Then(kComma, [&](auto f) { a.MAX_PRICE = Real(f); })
      .Then(kComma, [&](auto f) { a.SOLDQTY = Real(f); })
      .Then(kComma, [&](auto f) { a.SOLDQTY_DS = Real(f); })
      .Then(kComma, [&](auto f) { a.AMOUNT = Real(f); })
      .Then(kComma, [&](auto f) { a.AMOUNT_DS = Real(f); })
      .Then(kNewline, [&](auto f) { SetName(a.NAME, f); })
      .Then(kComma, [&](auto f) { a.BARCODE = TruncateToInt64(Real(f)); })
      .Then(kComma, [&](auto f) { a.DEPARTMENT = ZeroBased(f); })
      .Then(kComma, [&](auto f) { a.OPT_FRACT_QTY = Int(f); })
      .Then(kComma, [&](auto f) { a.STOCKQTY = Real(f); });
  if (initialQtyEnabled) fields.Then(kComma, [&](auto f) { a.INITQTY = Real(f); });
  fields.Then(kComma, [&](auto f) { a.STOCK_GROUP = ZeroBased(f); })
      .Then(kComma, [&](auto f) { a.OPT_SINGTRANS = Int(f); })
      .Then(kComma, [&](auto f) { a.OPT_FREEPRICE = Int(f); })
      .Then(kComma, [&](auto f) { a.MEASURE_UNIT = ZeroBased(f); })
      .Then(kComma, [&](auto f) { a.PLUNOLINK = Int(f); });
  return state;
}

std::string FormatDepartmentRequest(const DepartmentRecord& d) {
  const std::string name(NameOf(d.NAME));
  return CFormat("P%d,%s\n%c%2.2f,%d,%d,%d,%d,%d,%d,%2.2f,%2.2f", static_cast<int>(d.DEPTNO), name.c_str(), d.TAX_GROUP,
                 d.SING_PRICE, OneBased(d.STOCK_GROUP), d.OPT_SINGTRANS, d.OPT_FRACT_QTY, d.OPT_FREEPRICE,
                 OneBased(d.MEASURE_UNIT), OneBased(d.STAND), d.MAX_PRICE, d.MAX_AMOUNT);
}

std::string FormatArticleRequest(const ArticleRecord& a, const DeviceProfile& profile) {
  const int department =
      static_cast<std::uint32_t>(a.DEPARTMENT) == profile.departmentCount ? 0 : OneBased(a.DEPARTMENT);
  const bool fractional = a.OPT_FRACT_QTY != 0;
  const double stock = profile.stockQtyEnabled ? a.STOCKQTY : NotControlledValue(fractional ? 1 : 0);
  const std::string name(NameOf(a.NAME));
  const auto plu = static_cast<int>(a.PLUNO);
  const auto barcode = static_cast<long long>(a.BARCODE);
  const int group = OneBased(a.STOCK_GROUP);
  const int unit = OneBased(a.MEASURE_UNIT);

  if (profile.initialQtyEnabled) {
    return fractional ? CFormat("P%c%d,%2.2f,%2.2f,%s\n%.13lld,%d,%d,%1.3f,%2.3f,%d,%d,%d,%d", a.TAX_GROUP, plu,
                                a.SING_PRICE, a.MAX_PRICE, name.c_str(), barcode, department, a.OPT_FRACT_QTY, stock,
                                a.INITQTY, group, a.OPT_SINGTRANS, a.OPT_FREEPRICE, unit)
                      : CFormat("P%c%d,%2.2f,%2.2f,%s\n%.13lld,%d,%d,%1.0f,%2.0f,%d,%d,%d,%d", a.TAX_GROUP, plu,
                                a.SING_PRICE, a.MAX_PRICE, name.c_str(), barcode, department, a.OPT_FRACT_QTY, stock,
                                a.INITQTY, group, a.OPT_SINGTRANS, a.OPT_FREEPRICE, unit);
  }
  if (profile.pluLinkEnabled) {
    return fractional ? CFormat("P%c%d,%2.2f,%2.2f,%s\n%.13lld,%d,%d,%1.3f,%d,%d,%d,%d,%d", a.TAX_GROUP, plu,
                                a.SING_PRICE, a.MAX_PRICE, name.c_str(), barcode, department, a.OPT_FRACT_QTY, stock,
                                group, a.OPT_SINGTRANS, a.OPT_FREEPRICE, unit, a.PLUNOLINK)
                      : CFormat("P%c%d,%2.2f,%2.2f,%s\n%.13lld,%d,%d,%1.0f,%d,%d,%d,%d,%d", a.TAX_GROUP, plu,
                                a.SING_PRICE, a.MAX_PRICE, name.c_str(), barcode, department, a.OPT_FRACT_QTY, stock,
                                group, a.OPT_SINGTRANS, a.OPT_FREEPRICE, unit, a.PLUNOLINK);
  }
  return fractional ? CFormat("P%c%d,%2.2f,%2.2f,%s\n%.13lld,%d,%d,%1.3f,%d,%d,%d,%d", a.TAX_GROUP, plu, a.SING_PRICE,
                              a.MAX_PRICE, name.c_str(), barcode, department, a.OPT_FRACT_QTY, stock, group,
                              a.OPT_SINGTRANS, a.OPT_FREEPRICE, unit)
                    : CFormat("P%c%d,%2.2f,%2.2f,%s\n%.13lld,%d,%d,%1.0f,%d,%d,%d,%d", a.TAX_GROUP, plu, a.SING_PRICE,
                              a.MAX_PRICE, name.c_str(), barcode, department, a.OPT_FRACT_QTY, stock, group,
                              a.OPT_SINGTRANS, a.OPT_FREEPRICE, unit);
}

int RegisterTransfers::Transact(std::uint16_t command, const std::string& request, std::string& reply) {
  if (!transaction_) return 1;
  // A zero byte ends the request text, as it would in the frame.
  const std::string text = request.substr(0, request.find('\0'));
  return transaction_(command, text, reply);
}

bool RegisterTransfers::ReadDeviceParameters() {
  std::string reply;
  const bool ok = Transact(kCmdParameters, "", reply) == 0;
  profile_.ApplyParameterReply(ok, reply);
  return ok;
}

bool RegisterTransfers::DownloadDepartment(DepartmentRecord& department, std::uint32_t position) {
  std::string reply;
  if (Transact(kCmdDepartment, CFormat("R%u", position + 1), reply) != 0) return false;
  ParseDepartmentReply(reply, department);
  return true;
}

bool RegisterTransfers::RequestArticle(ArticleRecord& article, char request, char& stateLetter) {
  std::string reply;
  if (Transact(kCmdArticle, std::string(1, request), reply) != 0) return false;
  ArticleRecord filled = article;
  const char state = ParseArticleReply(reply, filled, profile_.initialQtyEnabled != 0);
  if (state == '\0') return false;  // an empty reply answers nothing
  article = filled;
  stateLetter = state;
  return true;
}

bool RegisterTransfers::DownloadArticle(ArticleRecord& article, char request, char& stateLetter) {
  if (!RequestArticle(article, request, stateLetter)) return false;
  article.IN_USE = 1;
  return true;
}

bool RegisterTransfers::ReadReportArticle(ArticleRecord& article, char request, char& stateLetter) {
  if (!RequestArticle(article, request, stateLetter)) return false;
  if (!profile_.initialQtyEnabled) article.INITQTY = 0;
  return true;
}

bool RegisterTransfers::UploadDepartment(const DepartmentRecord& department) {
  std::string reply;
  return Transact(kCmdDepartment, FormatDepartmentRequest(department), reply) == 0;
}

bool RegisterTransfers::UploadArticle(const ArticleRecord& article) {
  std::string reply;
  return Transact(kCmdArticle, FormatArticleRequest(article, profile_), reply) == 0;
}
