#include "data/ArticleTable.h"

#include <algorithm>
#include <cstring>

#include "data/CFormat.h"

ArticleTable::ArticleTable() : entries_(new ArticleTableEntry[kCapacity]) { Clear(); }

void ArticleTable::Clear() { std::memset(entries_.get(), 0, sizeof(ArticleTableEntry) * kCapacity); }

bool ArticleTable::SetEntry(std::size_t index, const ArticleRecord& record, std::int32_t recordNo) {
  if (index >= kCapacity) return false;
  ArticleTableEntry& entry = entries_[index];
  entry.PLUNO = record.PLUNO;
  std::memcpy(entry.NAME, record.NAME, kNameFieldSize);
  TerminateName(entry.NAME);
  entry.BARCODE = record.BARCODE;
  entry.SING_PRICE = record.SING_PRICE;
  entry.MAX_PRICE = record.MAX_PRICE;
  entry.STOCKQTY = record.STOCKQTY;
  entry.DEPARTMENT = record.DEPARTMENT;
  entry.OPT_FRACT_QTY = record.OPT_FRACT_QTY;
  if (recordNo >= 0) entry.recordNo = static_cast<std::uint32_t>(recordNo);
  if (record.IN_USE == 0) entry.recordNo = 0;
  return true;
}

void ArticleTable::EndAt(std::size_t index) {
  if (index < kCapacity) SetEntry(index, ZeroArticle(), -1);
}

ArticleTableEntry ArticleTable::GetEntry(std::size_t index) const {
  if (index >= kCapacity) {
    ArticleTableEntry empty;
    std::memset(&empty, 0, sizeof empty);
    return empty;
  }
  return entries_[index];
}

void ArticleTable::RemoveEntry(std::size_t index) {
  const std::size_t count = Count();
  if (index >= count) return;
  // Moves the end marker forward with the rest; a table filled to the last entry
  // gets an end marker in that entry.
  const std::size_t moved = std::min(count, kCapacity - 1) - index;
  std::memmove(&entries_[index], &entries_[index + 1], sizeof(ArticleTableEntry) * moved);
  if (count == kCapacity) EndAt(kCapacity - 1);
}

namespace {

int CompareNames(const char* a, const char* b) {
  for (std::size_t i = 0; i < kNameFieldSize; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

}  // namespace

void ArticleTable::SortTable(SortKey key) {
  ArticleTableEntry* begin = entries_.get();
  ArticleTableEntry* end = begin + Count();
  switch (key) {
    case SortKey::PluNumber:
      std::stable_sort(begin, end, [](const auto& a, const auto& b) { return a.PLUNO < b.PLUNO; });
      break;
    case SortKey::Name:
      std::stable_sort(begin, end, [](const auto& a, const auto& b) { return CompareNames(a.NAME, b.NAME) < 0; });
      break;
    case SortKey::Barcode:
      std::stable_sort(begin, end, [](const auto& a, const auto& b) { return a.BARCODE < b.BARCODE; });
      break;
    case SortKey::Chronological:
      std::stable_sort(begin, end, [](const auto& a, const auto& b) { return a.recordNo < b.recordNo; });
      break;
  }
}

std::optional<std::size_t> ArticleTable::FindByPlu(std::uint32_t plu) const {
  for (std::size_t i = 0; i < kCapacity && entries_[i].recordNo != 0; ++i) {
    if (entries_[i].PLUNO == plu) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> ArticleTable::FindByBarcode(std::int64_t barcode) const {
  for (std::size_t i = 0; i < kCapacity && entries_[i].recordNo != 0; ++i) {
    if (entries_[i].BARCODE == barcode) return i;
  }
  return std::nullopt;
}

std::uint32_t ArticleTable::FirstFreePlu() const {
  if (entries_[0].recordNo == 0 || entries_[0].PLUNO != 1) return 1;
  std::uint32_t k = 1;
  while (k - 1 < kCapacity && entries_[k - 1].recordNo != 0 && entries_[k - 1].PLUNO == k) ++k;
  return k;
}

std::size_t ArticleTable::Count() const {
  std::size_t n = 0;
  while (n < kCapacity && entries_[n].recordNo != 0) ++n;
  return n;
}

std::string ArticleTable::ListLine(std::size_t index) const {
  if (index >= kCapacity) return {};
  const ArticleTableEntry& entry = entries_[index];
  return ArticleListLine(entry.PLUNO, entry.BARCODE, NameOf(entry.NAME));
}

std::string ArticleListLine(std::uint32_t plu, std::int64_t barcode, std::string_view name) {
  return CFormat("%.5d : %.13lld : %.*s", static_cast<int>(plu), static_cast<long long>(barcode),
                 static_cast<int>(name.size()), name.data());
}

std::string DepartmentListLine(const DepartmentRecord& department) {
  const std::string_view name = NameOf(department.NAME);
  return CFormat("%.4d : %.*s", static_cast<int>(department.DEPTNO), static_cast<int>(name.size()), name.data());
}
