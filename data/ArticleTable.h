// The program-wide article table: what the article list shows (PLU number, name,
// barcode, and the figures of its other columns) and where each article's record
// lives in the database file. Entry i is line i of the list; the first entry
// whose recordNo is 0 ends the table.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/Records.h"

struct ArticleTableEntry {
  std::uint32_t PLUNO;
  char NAME[kNameFieldSize];
  std::int64_t BARCODE;
  std::uint32_t recordNo;  // 1-based article slot; 0 ends the table
  // Copied from the record as well, so that sorting and drawing the list's
  // columns never goes back to the file.
  double SING_PRICE;
  double MAX_PRICE;
  double STOCKQTY;
  std::int32_t DEPARTMENT;
  std::int32_t OPT_FRACT_QTY;
};

enum class SortKey { PluNumber = 1, Name = 2, Barcode = 3, Chronological = 4 };

class ArticleTable {
 public:
  static constexpr std::size_t kCapacity = 50000;
  // One entry must remain for the end marker.
  static constexpr std::size_t kMaxArticles = kCapacity - 1;

  ArticleTable();

  // All entries zero: an empty table.
  void Clear();

  // Copies PLUNO, NAME and BARCODE from the record into entry index; a record
  // number of 0 or more becomes recordNo, -1 keeps it; a record not in use makes
  // the entry the end marker. False when index is outside the table.
  bool SetEntry(std::size_t index, const ArticleRecord& record, std::int32_t recordNo);

  // Makes entry index the end marker.
  void EndAt(std::size_t index);

  ArticleTableEntry GetEntry(std::size_t index) const;
  const ArticleTableEntry& Entry(std::size_t index) const { return entries_[index]; }

  // Closes the gap at index: the entries behind it move one place forward.
  void RemoveEntry(std::size_t index);

  // Stable ascending sort of the entries in use by the key.
  void SortTable(SortKey key);
  // Stable sort of the entries in use by any order of entries.
  template <class Less>
  void SortWith(Less less) {
    std::stable_sort(entries_.get(), entries_.get() + Count(), less);
  }

  std::optional<std::size_t> FindByPlu(std::uint32_t plu) const;
  std::optional<std::size_t> FindByBarcode(std::int64_t barcode) const;

  // The first free PLU number; the table must be sorted by PLU number.
  std::uint32_t FirstFreePlu() const;

  // Entries in use (those before the end marker).
  std::size_t Count() const;
  bool IsFull() const { return Count() >= kMaxArticles; }

  // "%.5d : %.13I64d : %s" of entry index, in the record code page.
  std::string ListLine(std::size_t index) const;

 private:
  std::unique_ptr<ArticleTableEntry[]> entries_;
};

std::string ArticleListLine(std::uint32_t plu, std::int64_t barcode, std::string_view name);
std::string DepartmentListLine(const DepartmentRecord& department);
