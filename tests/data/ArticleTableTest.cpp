#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

#include "data/ArticleTable.h"

namespace {

ArticleRecord Article(std::uint32_t plu, const char* name, std::int64_t barcode = 0) {
  ArticleRecord record = ZeroArticle();
  record.PLUNO = plu;
  SetName(record.NAME, name);
  record.BARCODE = barcode;
  record.IN_USE = 1;
  return record;
}

// Fills the table the way a load does: entries 0..n-1 with slots 1..n, then the end marker.
void Fill(ArticleTable& table, const std::vector<ArticleRecord>& records) {
  for (std::size_t i = 0; i < records.size(); ++i) table.SetEntry(i, records[i], static_cast<std::int32_t>(i + 1));
  table.EndAt(records.size());
}

std::vector<std::uint32_t> Plus(const ArticleTable& table) {
  std::vector<std::uint32_t> plus;
  for (std::size_t i = 0; i < table.Count(); ++i) plus.push_back(table.Entry(i).PLUNO);
  return plus;
}

}  // namespace

TEST(ArticleTable, SetEntryKeepsOrReplacesRecordNumberAndEndsOnFreeRecords) {
  ArticleTable table;
  ASSERT_TRUE(table.SetEntry(0, Article(5, "Milk", 123), 7));
  EXPECT_EQ(table.Entry(0).recordNo, 7u);

  // -1 keeps the slot and updates the shown fields.
  ASSERT_TRUE(table.SetEntry(0, Article(6, "Bread", 456), -1));
  EXPECT_EQ(table.Entry(0).recordNo, 7u);
  EXPECT_EQ(table.Entry(0).PLUNO, 6u);
  EXPECT_EQ(NameOf(table.Entry(0).NAME), "Bread");
  EXPECT_EQ(table.Entry(0).BARCODE, 456);

  // A record not in use makes an end marker even with a record number given.
  ArticleRecord free = Article(9, "Gone");
  free.IN_USE = 0;
  table.SetEntry(0, free, 3);
  EXPECT_EQ(table.Entry(0).recordNo, 0u);
  EXPECT_EQ(table.Count(), 0u);

  EXPECT_FALSE(table.SetEntry(ArticleTable::kCapacity, Article(1, "x"), 1));
}

TEST(ArticleTable, UnterminatedNameIsCutTo49Bytes) {
  ArticleRecord record = Article(1, "");
  std::memset(record.NAME, 'x', sizeof record.NAME);
  ArticleTable table;
  table.SetEntry(0, record, 1);
  EXPECT_EQ(NameOf(table.Entry(0).NAME).size(), 49u);
  EXPECT_EQ(table.Entry(0).NAME[49], '\0');
}

TEST(ArticleTable, RemoveEntryClosesTheGap) {
  ArticleTable table;
  Fill(table, {Article(1, "a"), Article(2, "b"), Article(3, "c")});
  table.RemoveEntry(1);
  EXPECT_EQ(Plus(table), (std::vector<std::uint32_t>{1, 3}));
  EXPECT_EQ(table.Entry(1).recordNo, 3u);

  ArticleTable single;
  Fill(single, {Article(1, "a")});
  single.RemoveEntry(0);
  EXPECT_EQ(single.Count(), 0u);
  EXPECT_EQ(single.Entry(0).recordNo, 0u);

  single.RemoveEntry(5);  // past the end marker: nothing happens
  EXPECT_EQ(single.Count(), 0u);
}

TEST(ArticleTable, RemoveFromAFullTableStaysInside) {
  ArticleTable table;
  for (std::size_t i = 0; i < ArticleTable::kCapacity; ++i)
    table.SetEntry(i, Article(static_cast<uint32_t>(i + 1), "x"), static_cast<int32_t>(i + 1));
  ASSERT_EQ(table.Count(), ArticleTable::kCapacity);
  table.RemoveEntry(0);
  EXPECT_EQ(table.Count(), ArticleTable::kCapacity - 1);
  EXPECT_EQ(table.Entry(0).PLUNO, 2u);
}

TEST(ArticleTable, SortsAreStableAndUseTheRightComparison) {
  ArticleTable table;
  Fill(table, {Article(3, "apple", 5), Article(1, "Zebra", -1), Article(2, "apple", 0),
               Article(4, "Banana", static_cast<std::int64_t>(0x8000000000000000ull))});

  table.SortTable(SortKey::PluNumber);
  EXPECT_EQ(Plus(table), (std::vector<std::uint32_t>{1, 2, 3, 4}));

  // Byte order: upper case before lower case; equal names keep PLU order.
  table.SortTable(SortKey::Name);
  EXPECT_EQ(Plus(table), (std::vector<std::uint32_t>{4, 1, 2, 3}));

  // Signed barcodes: the top bit set sorts first, -1 before 0.
  table.SortTable(SortKey::Barcode);
  EXPECT_EQ(Plus(table), (std::vector<std::uint32_t>{4, 1, 2, 3}));

  table.SortTable(SortKey::Chronological);
  EXPECT_EQ(Plus(table), (std::vector<std::uint32_t>{3, 1, 2, 4}));
  EXPECT_EQ(table.Entry(4).recordNo, 0u);  // the end marker did not move
}

TEST(ArticleTable, NameSortComparesBytesUnsigned) {
  ArticleTable table;
  Fill(table, {Article(1, "\xE9t\xE9"), Article(2, "ete"), Article(3, "et")});
  table.SortTable(SortKey::Name);
  EXPECT_EQ(Plus(table), (std::vector<std::uint32_t>{3, 2, 1}));
}

TEST(ArticleTable, SortingEmptyOrSingleTablesChangesNothing) {
  ArticleTable table;
  table.SortTable(SortKey::Name);
  EXPECT_EQ(table.Count(), 0u);
  Fill(table, {Article(7, "only")});
  table.SortTable(SortKey::PluNumber);
  EXPECT_EQ(Plus(table), (std::vector<std::uint32_t>{7}));
}

TEST(ArticleTable, EntriesBehindTheEndMarkerAreIgnored) {
  ArticleTable table;
  Fill(table, {Article(1, "a"), Article(2, "b")});
  table.SetEntry(3, Article(42, "stale", 99), 9);  // behind the marker at 2
  EXPECT_EQ(table.Count(), 2u);
  EXPECT_FALSE(table.FindByPlu(42));
  EXPECT_FALSE(table.FindByBarcode(99));
}

TEST(ArticleTable, FindsReturnTheFirstMatch) {
  ArticleTable table;
  Fill(table, {Article(5, "a", 0), Article(6, "b", 77), Article(5, "c", 77)});
  EXPECT_EQ(table.FindByPlu(5), 0u);
  EXPECT_EQ(table.FindByBarcode(77), 1u);
  EXPECT_FALSE(table.FindByPlu(8));
}

TEST(ArticleTable, FirstFreePlu) {
  const auto proposal = [](std::vector<std::uint32_t> plus) {
    ArticleTable table;
    std::vector<ArticleRecord> records;
    for (auto plu : plus) records.push_back(Article(plu, "x"));
    Fill(table, records);
    table.SortTable(SortKey::PluNumber);
    return table.FirstFreePlu();
  };
  EXPECT_EQ(proposal({}), 1u);
  EXPECT_EQ(proposal({1, 2, 3, 7}), 4u);
  EXPECT_EQ(proposal({1, 2, 3}), 4u);
  EXPECT_EQ(proposal({2, 3}), 1u);
  EXPECT_EQ(proposal({4, 1, 2}), 3u);
}

TEST(ArticleTable, ListLines) {
  ArticleTable table;
  Fill(table, {Article(42, "Milk", 0), Article(7, "X", 123)});
  EXPECT_EQ(table.ListLine(0), "00042 : 0000000000000 : Milk");
  EXPECT_EQ(table.ListLine(1), "00007 : 0000000000123 : X");
  EXPECT_EQ(ArticleListLine(123456, 1234567890123, "Cheese"), "123456 : 1234567890123 : Cheese");

  DepartmentRecord department = DefaultDepartment(3, 'B');
  EXPECT_EQ(DepartmentListLine(department), "0003 : Department 3");
}

namespace {

// The in-place bubble sort that the list order was first defined by: one pass
// per entry, carrying the larger of each pair forward, exchanging only when the
// front element is strictly greater.
template <typename Greater>
void BubbleSort(std::vector<ArticleTableEntry>& entries, Greater greater) {
  for (std::size_t pass = 0; pass < entries.size(); ++pass) {
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
      if (greater(entries[i], entries[i + 1])) std::swap(entries[i], entries[i + 1]);
    }
  }
}

}  // namespace

TEST(ArticleTable, SortOrderMatchesTheBubbleSortOnRandomTables) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    ArticleTable table;
    std::vector<ArticleRecord> records;
    const int size = 1 + static_cast<int>(random() % 300);
    for (int i = 0; i < size; ++i) {
      // Few distinct values, so that equal keys are common.
      const std::string name = std::string(1, "aAbB\xE9"[random() % 5]) + std::string(random() % 3, 'x');
      const std::int64_t barcode = static_cast<std::int64_t>(random() % 5) - 2;
      records.push_back(Article(static_cast<uint32_t>(1 + random() % 10), name.c_str(), barcode));
    }
    Fill(table, records);
    // A shuffled starting order with slot numbers not in table order.
    for (int k = 1; k <= 4; ++k) {
      const auto key = static_cast<SortKey>(1 + random() % 4);
      std::vector<ArticleTableEntry> expected;
      for (std::size_t i = 0; i < table.Count(); ++i) expected.push_back(table.Entry(i));
      switch (key) {
        case SortKey::PluNumber: BubbleSort(expected, [](auto& a, auto& b) { return a.PLUNO > b.PLUNO; }); break;
        case SortKey::Name:
          BubbleSort(expected, [](auto& a, auto& b) {
            return std::strcmp(a.NAME, b.NAME) > 0;  // glibc compares as unsigned bytes
          });
          break;
        case SortKey::Barcode: BubbleSort(expected, [](auto& a, auto& b) { return a.BARCODE > b.BARCODE; }); break;
        case SortKey::Chronological:
          BubbleSort(expected, [](auto& a, auto& b) { return a.recordNo > b.recordNo; });
          break;
      }
      table.SortTable(key);
      ASSERT_EQ(table.Count(), expected.size());
      for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(std::memcmp(&table.Entry(i), &expected[i], sizeof expected[i]), 0)
            << "round " << round << " key " << static_cast<int>(key) << " entry " << i;
      }
    }
  }
}
