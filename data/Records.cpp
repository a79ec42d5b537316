#include "data/Records.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

bool IsNotControlled(double quantity, std::int32_t fractional) {
  if (!std::isfinite(quantity)) return false;
  if (fractional == 1) return std::trunc(quantity * 1000.0) == 999999999.0;
  if (fractional == 0) return std::trunc(quantity) == 999999999.0;
  return false;
}

std::string_view NameOf(const char (&name)[kNameFieldSize]) {
  const char* end = static_cast<const char*>(std::memchr(name, 0, kMaxNameLength));
  return {name, end ? static_cast<std::size_t>(end - name) : kMaxNameLength};
}

void SetName(char (&name)[kNameFieldSize], std::string_view text) {
  std::memset(name, 0, kNameFieldSize);
  // A zero byte inside the text ends the name, as it would in the record.
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  std::memcpy(name, text.data(), std::min(text.size(), kMaxNameLength));
}

void TerminateName(char (&name)[kNameFieldSize]) { name[kMaxNameLength] = '\0'; }

bool IsAllZero(const ArticleRecord& record) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  return std::all_of(bytes, bytes + sizeof record, [](unsigned char b) { return b == 0; });
}

ArticleRecord ZeroArticle() {
  ArticleRecord record;
  std::memset(&record, 0, sizeof record);
  return record;
}

DepartmentRecord ZeroDepartment() {
  DepartmentRecord record;
  std::memset(&record, 0, sizeof record);
  return record;
}

DepartmentRecord DefaultDepartment(std::uint32_t number, char taxLetter) {
  DepartmentRecord record = ZeroDepartment();
  record.DEPTNO = number;
  char text[kNameFieldSize];
  std::snprintf(text, sizeof text, "Department %u", number);
  SetName(record.NAME, text);
  record.TAX_GROUP = taxLetter;
  record.OPT_FRACT_QTY = 1;
  return record;
}
