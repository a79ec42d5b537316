// The two fixed-size records of the register's tables. They are stored byte for
// byte (little-endian) in database, transfer and report files, so the layout is
// binding: every offset is checked at compile time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

static_assert(std::endian::native == std::endian::little, "records are stored byte for byte and must be little-endian");

// Longest name a record can hold; the 50th byte is the terminator.
inline constexpr std::size_t kNameFieldSize = 50;
inline constexpr std::size_t kMaxNameLength = kNameFieldSize - 1;

struct ArticleRecord {
  std::uint32_t PLUNO;
  char TAX_GROUP;
  std::uint8_t padding1[3];
  double SING_PRICE;
  double MAX_PRICE;
  double AMOUNT;
  double AMOUNT_DS;
  double SOLDQTY;
  double SOLDQTY_DS;
  char NAME[kNameFieldSize];
  std::uint8_t padding2[6];
  std::int64_t BARCODE;
  std::int32_t DEPARTMENT;
  std::uint8_t padding3[4];
  double STOCKQTY;
  double INITQTY;
  std::int32_t STOCK_GROUP;
  std::int32_t MEASURE_UNIT;
  std::int32_t OPT_FRACT_QTY;
  std::int32_t OPT_SINGTRANS;
  std::int32_t OPT_FREEPRICE;
  std::uint32_t IN_USE;
  std::int32_t PLUNOLINK;
  std::uint8_t reserved[12];
};

static_assert(sizeof(ArticleRecord) == 184);
static_assert(std::is_trivially_copyable_v<ArticleRecord> && std::is_standard_layout_v<ArticleRecord>);
static_assert(offsetof(ArticleRecord, PLUNO) == 0);
static_assert(offsetof(ArticleRecord, TAX_GROUP) == 4);
static_assert(offsetof(ArticleRecord, SING_PRICE) == 8);
static_assert(offsetof(ArticleRecord, MAX_PRICE) == 16);
static_assert(offsetof(ArticleRecord, AMOUNT) == 24);
static_assert(offsetof(ArticleRecord, AMOUNT_DS) == 32);
static_assert(offsetof(ArticleRecord, SOLDQTY) == 40);
static_assert(offsetof(ArticleRecord, SOLDQTY_DS) == 48);
static_assert(offsetof(ArticleRecord, NAME) == 56);
static_assert(offsetof(ArticleRecord, BARCODE) == 112);
static_assert(offsetof(ArticleRecord, DEPARTMENT) == 120);
static_assert(offsetof(ArticleRecord, STOCKQTY) == 128);
static_assert(offsetof(ArticleRecord, INITQTY) == 136);
static_assert(offsetof(ArticleRecord, STOCK_GROUP) == 144);
static_assert(offsetof(ArticleRecord, MEASURE_UNIT) == 148);
static_assert(offsetof(ArticleRecord, OPT_FRACT_QTY) == 152);
static_assert(offsetof(ArticleRecord, OPT_SINGTRANS) == 156);
static_assert(offsetof(ArticleRecord, OPT_FREEPRICE) == 160);
static_assert(offsetof(ArticleRecord, IN_USE) == 164);
static_assert(offsetof(ArticleRecord, PLUNOLINK) == 168);
static_assert(offsetof(ArticleRecord, reserved) == 172);

struct DepartmentRecord {
  std::uint32_t DEPTNO;
  char NAME[kNameFieldSize];
  std::uint8_t padding1[2];
  std::int32_t STOCK_GROUP;
  std::int32_t MEASURE_UNIT;
  std::int32_t STAND;
  char TAX_GROUP;
  std::uint8_t padding2[3];
  double SING_PRICE;
  double MAX_PRICE;
  double MAX_AMOUNT;
  double SOLDQTY;
  double AMOUNT;
  std::int32_t OPT_FRACT_QTY;
  std::int32_t OPT_SINGTRANS;
  std::int32_t OPT_FREEPRICE;
  // 0 in default departments, 1 in departments written by a download.
  std::int32_t downloaded;
};

static_assert(sizeof(DepartmentRecord) == 128);
static_assert(std::is_trivially_copyable_v<DepartmentRecord> && std::is_standard_layout_v<DepartmentRecord>);
static_assert(offsetof(DepartmentRecord, DEPTNO) == 0);
static_assert(offsetof(DepartmentRecord, NAME) == 4);
static_assert(offsetof(DepartmentRecord, STOCK_GROUP) == 56);
static_assert(offsetof(DepartmentRecord, MEASURE_UNIT) == 60);
static_assert(offsetof(DepartmentRecord, STAND) == 64);
static_assert(offsetof(DepartmentRecord, TAX_GROUP) == 68);
static_assert(offsetof(DepartmentRecord, SING_PRICE) == 72);
static_assert(offsetof(DepartmentRecord, MAX_PRICE) == 80);
static_assert(offsetof(DepartmentRecord, MAX_AMOUNT) == 88);
static_assert(offsetof(DepartmentRecord, SOLDQTY) == 96);
static_assert(offsetof(DepartmentRecord, AMOUNT) == 104);
static_assert(offsetof(DepartmentRecord, OPT_FRACT_QTY) == 112);
static_assert(offsetof(DepartmentRecord, OPT_SINGTRANS) == 116);
static_assert(offsetof(DepartmentRecord, OPT_FREEPRICE) == 120);
static_assert(offsetof(DepartmentRecord, downloaded) == 124);

// Value stored in place of a stock or initial quantity the register does not track.
inline constexpr double kNotControlledFractional = 999999.999;
inline constexpr double kNotControlledWhole = 999999999.0;

inline double NotControlledValue(std::int32_t fractional) {
  return fractional != 0 ? kNotControlledFractional : kNotControlledWhole;
}

// How the article editor recognises the not-controlled value of a quantity.
bool IsNotControlled(double quantity, std::int32_t fractional);

// The name as text: up to the terminator, and never more than 49 bytes even when
// a foreign record has no terminator inside its 50 bytes.
std::string_view NameOf(const char (&name)[kNameFieldSize]);

// Stores text as a record name: cut to 49 bytes, terminated, rest zero-filled.
void SetName(char (&name)[kNameFieldSize], std::string_view text);

// Makes any name terminated within 49 bytes (for records that arrive from outside).
void TerminateName(char (&name)[kNameFieldSize]);

bool IsAllZero(const ArticleRecord& record);

ArticleRecord ZeroArticle();
DepartmentRecord ZeroDepartment();

// The default department n (1-based) of a new database file.
DepartmentRecord DefaultDepartment(std::uint32_t number, char taxLetter);
