// The list of the articles window: its rows, columns and cells, the sort
// orders, the searches and the name filter.
#include "workspace/articles/ArticlesWindowLogic.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "data/CFormat.h"
#include "data/Config.h"
#include "workspace/common/ProgressText.h"
#include "workspace/common/UiText.h"

SortKey SortKeyOf(SortMode mode) {
  switch (mode) {
    case SortMode::PluNumber: return SortKey::PluNumber;
    case SortMode::Name: return SortKey::Name;
    case SortMode::Barcode: return SortKey::Barcode;
    case SortMode::Chronological:
    case SortMode::Column: break;
  }
  return SortKey::Chronological;
}

namespace {

// The Sort By option of a column, and the column of an option.
SortMode SortModeOf(const ListSort& sort) {
  if (!sort.column) return SortMode::Chronological;
  switch (*sort.column) {
    case ListColumn::Plu: return SortMode::PluNumber;
    case ListColumn::Name: return SortMode::Name;
    case ListColumn::Barcode: return SortMode::Barcode;
    default: return SortMode::Column;
  }
}

std::optional<ListColumn> ColumnOf(SortMode mode) {
  switch (mode) {
    case SortMode::PluNumber: return ListColumn::Plu;
    case SortMode::Name: return ListColumn::Name;
    case SortMode::Barcode: return ListColumn::Barcode;
    case SortMode::Chronological:
    case SortMode::Column: break;
  }
  return std::nullopt;
}

// A column's order of entries; ties keep their order (the sort is stable).
bool EntryLess(ListColumn column, const ArticleTableEntry& a, const ArticleTableEntry& b) {
  switch (column) {
    case ListColumn::Plu: return a.PLUNO < b.PLUNO;
    case ListColumn::Barcode: return a.BARCODE < b.BARCODE;
    case ListColumn::Name: return NameOf(a.NAME) < NameOf(b.NAME);
    case ListColumn::Price: return a.SING_PRICE < b.SING_PRICE;
    case ListColumn::SecondPrice: return a.MAX_PRICE < b.MAX_PRICE;
    case ListColumn::Department: return a.DEPARTMENT < b.DEPARTMENT;
    case ListColumn::Stock: {
      // Not controlled sorts after every counted stock.
      const bool freeA = IsNotControlled(a.STOCKQTY, a.OPT_FRACT_QTY);
      const bool freeB = IsNotControlled(b.STOCKQTY, b.OPT_FRACT_QTY);
      if (freeA != freeB) return freeB;
      return !freeA && a.STOCKQTY < b.STOCKQTY;
    }
    default: return false;
  }
}

// A configured label as a column title: "PLU No:" heads the column "PLU No".
std::string Title(const char* key) {
  std::string text = UiText(key);
  while (!text.empty() && (text.back() == ':' || text.back() == ' ')) text.pop_back();
  const std::size_t start = text.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

std::size_t ArticlesWindowLogic::ListCount() const {
  if (listKind_ == ListKind::Departments) return departmentRows_.size();
  if (!filter_.Active()) return articleLines_;
  CatchUpRows();
  return shownRows_.size();
}

std::optional<std::size_t> ArticlesWindowLogic::TableIndexOfRow(std::size_t row) const {
  if (listKind_ != ListKind::Articles || row >= ListCount()) return std::nullopt;
  return filter_.Active() ? shownRows_[row] : row;
}

std::optional<int> ArticlesWindowLogic::RowOfTableIndex(std::size_t index) const {
  if (listKind_ != ListKind::Articles || index >= articleLines_) return std::nullopt;
  if (!filter_.Active()) return static_cast<int>(index);
  CatchUpRows();
  const auto found = std::find(shownRows_.begin(), shownRows_.end(), static_cast<std::uint32_t>(index));
  if (found == shownRows_.end()) return std::nullopt;
  return static_cast<int>(found - shownRows_.begin());
}

std::string ArticlesWindowLogic::ListLine(std::size_t row) const {
  if (row >= ListCount()) return {};
  if (listKind_ == ListKind::Departments) return DepartmentListLine(departmentRows_[row]);
  return table_.ListLine(*TableIndexOfRow(row));
}

void ArticlesWindowLogic::InvalidateRows() {
  shownRows_.clear();
  filteredUpTo_ = 0;
}

void ArticlesWindowLogic::CatchUpRows() const {
  if (filteredUpTo_ > articleLines_) {
    shownRows_.clear();
    filteredUpTo_ = 0;
  }
  for (std::size_t i = filteredUpTo_; i < articleLines_; ++i) {
    if (filter_.Matches(NameOf(table_.Entry(i).NAME))) shownRows_.push_back(static_cast<std::uint32_t>(i));
  }
  filteredUpTo_ = articleLines_;
}

std::vector<ListColumn> ArticlesWindowLogic::Columns() const {
  if (listKind_ == ListKind::Departments) {
    return {ListColumn::DepartmentNumber, ListColumn::DepartmentName, ListColumn::PriceLimit, ListColumn::TaxGroup};
  }
  std::vector<ListColumn> columns{ListColumn::Plu, ListColumn::Barcode, ListColumn::Name, ListColumn::Price};
  if (profile_.secondPriceInReports != 0) columns.push_back(ListColumn::SecondPrice);
  columns.push_back(ListColumn::Department);
  columns.push_back(ListColumn::Stock);
  return columns;
}

std::string ArticlesWindowLogic::ColumnTitle(ListColumn column) {
  switch (column) {
    case ListColumn::Plu: return Title("DLG_ARTICLEEDITOR_PLUNO");
    case ListColumn::Barcode: return Title("DLG_ARTICLEEDITOR_BARCODE");
    case ListColumn::Name: return Title("DLG_ARTICLEEDITOR_NAME");
    case ListColumn::Price: return Title("DLG_ARTICLEEDITOR_PRICE");
    case ListColumn::SecondPrice: return Title("DLG_ARTICLEEDITOR_PRICE2");
    case ListColumn::Department: return Title("DLG_ARTICLEEDITOR_DEPARTMENT");
    case ListColumn::Stock: return Title("DLG_ARTICLEEDITOR_STOCKQTY");
    case ListColumn::DepartmentNumber: return Title("DLG_DEPARTMENTEDIT_DEPTNO");
    case ListColumn::DepartmentName: return Title("DLG_DEPARTMENTEDIT_NAME");
    case ListColumn::PriceLimit: return "Price limit";
    case ListColumn::TaxGroup: return Title("DLG_DEPARTMENTEDIT_TAXGROUP");
  }
  return {};
}

bool ArticlesWindowLogic::IsNumeric(ListColumn column) {
  switch (column) {
    case ListColumn::Name:
    case ListColumn::Department:
    case ListColumn::DepartmentName:
    case ListColumn::TaxGroup: return false;
    default: return true;
  }
}

std::string ArticlesWindowLogic::Cell(std::size_t row, ListColumn column) const {
  if (row >= ListCount()) return {};
  if (listKind_ == ListKind::Departments) {
    const DepartmentRecord& d = departmentRows_[row];
    switch (column) {
      case ListColumn::DepartmentNumber: return CFormat("%.4d", static_cast<int>(d.DEPTNO));
      case ListColumn::DepartmentName: return UiName(NameOf(d.NAME));
      case ListColumn::PriceLimit: return CFormat("%.2f", d.MAX_PRICE);
      case ListColumn::TaxGroup: return d.TAX_GROUP == '\0' ? std::string() : UiName(std::string(1, d.TAX_GROUP));
      default: return {};
    }
  }
  const ArticleTableEntry& e = table_.Entry(*TableIndexOfRow(row));
  switch (column) {
    case ListColumn::Plu: return CFormat("%.5d", static_cast<int>(e.PLUNO));
    case ListColumn::Barcode: return CFormat("%.13lld", static_cast<long long>(e.BARCODE));
    case ListColumn::Name: return UiName(NameOf(e.NAME));
    case ListColumn::Price: return CFormat("%.2f", e.SING_PRICE);
    case ListColumn::SecondPrice: return CFormat("%.2f", e.MAX_PRICE);
    case ListColumn::Department: {
      // The department field holds the position; the register counts from 1.
      const auto position = static_cast<std::size_t>(e.DEPARTMENT);
      if (e.DEPARTMENT >= 0 && position < departmentNames_.size() && !departmentNames_[position].empty()) {
        return UiName(departmentNames_[position]);
      }
      return std::to_string(static_cast<long long>(e.DEPARTMENT) + 1);
    }
    case ListColumn::Stock: return IsNotControlled(e.STOCKQTY, e.OPT_FRACT_QTY) ? "---" : CFormat("%.3f", e.STOCKQTY);
    default: return {};
  }
}

void ArticlesWindowLogic::RefreshDepartmentNames() {
  departmentNames_.clear();
  if (!database_.IsOpen()) return;
  // One read of the whole department area: cheap enough for every refresh, so
  // a download or an edit of the departments shows in the article rows at once.
  std::vector<DepartmentRecord> departments(DeviceProfile::kMaxDepartments);
  const std::size_t got =
      database_.ReadAt(DepartmentOffset(0), departments.data(), departments.size() * sizeof(DepartmentRecord));
  departments.resize(got / sizeof(DepartmentRecord));
  departmentNames_.reserve(departments.size());
  for (const DepartmentRecord& d : departments) departmentNames_.emplace_back(NameOf(d.NAME));
}

void ArticlesWindowLogic::EmptyList() {
  listKind_ = ListKind::Articles;
  listSorted_ = false;
  articleLines_ = 0;
  departmentRows_.clear();
  InvalidateRows();
  if (view_) view_->ListChanged();
}

void ArticlesWindowLogic::SortAndRefill() {
  if (controls_.sortMode != SortMode::Column) sort_ = {ColumnOf(controls_.sortMode), sort_.descending};
  if (!sort_.column) sort_.descending = false;
  const SortMode mode = SortModeOf(sort_);
  if (mode != SortMode::Column && !sort_.descending) {
    // The options keep their own sort of the table.
    table_.SortTable(SortKeyOf(mode));
  } else if (sort_.descending) {
    table_.SortWith([column = *sort_.column](const auto& a, const auto& b) { return EntryLess(column, b, a); });
  } else {
    table_.SortWith([column = *sort_.column](const auto& a, const auto& b) { return EntryLess(column, a, b); });
  }
  listKind_ = ListKind::Articles;
  departmentRows_.clear();
  articleLines_ = table_.Count();
  listSorted_ = true;
  InvalidateRows();
  if (view_) view_->ListChanged();
}

void ArticlesWindowLogic::OnSortOption() {
  UpdateData(true);
  // An option sorts upwards, as it always did.
  sort_.descending = false;
  SortAndRefill();
  controls_.selectedIndex = -1;
  UpdateData(false);
}

void ArticlesWindowLogic::OnPluSearchFocus() {
  UpdateData(true);
  if (controls_.viewMode == ViewMode::Departments) return;
  enabled_.barcodeSearchWritable = false;
  enabled_.pluSearchWritable = true;
  if (view_) view_->EnabledChanged();
}

void ArticlesWindowLogic::OnBarcodeSearchFocus() {
  UpdateData(true);
  if (controls_.viewMode == ViewMode::Departments) return;
  enabled_.pluSearchWritable = false;
  enabled_.barcodeSearchWritable = true;
  if (view_) view_->EnabledChanged();
}

void ArticlesWindowLogic::OnSearchFocusLost() {
  enabled_.pluSearchWritable = enabled_.barcodeSearchWritable = false;
  controls_.pluSearchText.clear();
  controls_.barcodeSearchText.clear();
  if (view_) view_->EnabledChanged();
  UpdateData(false);
}

void ArticlesWindowLogic::OnPluSearch() {
  UpdateData(true);
  // Searching selects article lines: in the departments list it would point at
  // an unrelated department.
  if (controls_.viewMode == ViewMode::Departments || listKind_ != ListKind::Articles) return;
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (controls_.pluSearchText.empty()) return;
  const auto number = static_cast<std::int32_t>(LeadingIntegerOrZero(controls_.pluSearchText));
  if (const auto found = FindShown(
          [plu = static_cast<std::uint32_t>(number)](const ArticleTableEntry& e) { return e.PLUNO == plu; })) {
    controls_.selectedIndex = *found;
    controls_.statusText = CFormat("Element with Plu number: %d is found", number);
  } else {
    controls_.statusText = CFormat("Element with Plu number: %d is not found", number);
  }
  UpdateData(false);
}

void ArticlesWindowLogic::OnBarcodeSearch() {
  UpdateData(true);
  if (controls_.viewMode == ViewMode::Departments || listKind_ != ListKind::Articles) return;
  if (!database_.IsOpen()) {
    Tell(kMsgOpenDatabasePlease, MessageIcon::Warning);
    return;
  }
  if (controls_.barcodeSearchText.empty()) return;
  const std::int64_t number = TruncateToInt64(LeadingDoubleOrZero(controls_.barcodeSearchText));
  if (const auto found = FindShown([number](const ArticleTableEntry& e) { return e.BARCODE == number; })) {
    controls_.selectedIndex = *found;
    controls_.statusText = CFormat("Element with BarCode number: %.13lld found", static_cast<long long>(number));
  } else {
    controls_.statusText = CFormat("Element with Barcode number: %.13lld is not found", static_cast<long long>(number));
  }
  UpdateData(false);
}

std::optional<int> ArticlesWindowLogic::FindShown(const std::function<bool(const ArticleTableEntry&)>& wanted) const {
  const std::size_t rows = ListCount();
  for (std::size_t row = 0; row < rows; ++row) {
    if (wanted(table_.Entry(*TableIndexOfRow(row)))) return static_cast<int>(row);
  }
  return std::nullopt;
}

void ArticlesWindowLogic::ApplyFilter(std::string text) {
  // The highlighted article stays highlighted when the filter still shows it.
  std::optional<std::size_t> selected;
  if (controls_.selectedIndex >= 0) selected = TableIndexOfRow(static_cast<std::size_t>(controls_.selectedIndex));
  controls_.filterText = std::move(text);
  filter_ = NameFilter(controls_.filterText);
  InvalidateRows();
  if (view_) view_->ListChanged();
  controls_.selectedIndex = selected ? RowOfTableIndex(*selected).value_or(-1) : -1;
  if (listKind_ == ListKind::Articles && database_.IsOpen()) {
    controls_.statusText = CFormat("%zu of %zu articles shown", ListCount(), articleLines_);
  }
  UpdateData(false);
}

void ArticlesWindowLogic::OnFilterChanged() {
  UpdateData(true);
  ApplyFilter(controls_.filterText);
}

void ArticlesWindowLogic::OnFilterCleared() {
  UpdateData(true);
  ApplyFilter({});
}

void ArticlesWindowLogic::OnHeaderClicked(ListColumn column) {
  UpdateData(true);
  if (listKind_ != ListKind::Articles) return;
  const auto columns = Columns();
  if (std::find(columns.begin(), columns.end(), column) == columns.end()) return;
  std::optional<std::size_t> selected;
  if (controls_.selectedIndex >= 0) selected = TableIndexOfRow(static_cast<std::size_t>(controls_.selectedIndex));
  const std::uint32_t plu = selected ? table_.Entry(*selected).PLUNO : 0;
  sort_.descending = sort_.column == column && !sort_.descending;
  sort_.column = column;
  controls_.sortMode = SortModeOf(sort_);
  SortAndRefill();
  controls_.selectedIndex = -1;
  if (selected) SelectPlu(plu);
  UpdateData(false);
}
