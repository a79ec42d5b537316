#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "workspace/articles/ArticlesWindowLogic.h"
#include "data/Config.h"
#include "tests/device/FastTiming.h"
#include "device/RegisterConnection.h"
#include "device/RegisterTransfers.h"
#include "workspace/common/UiText.h"
#include "tests/workspace/support/ScriptedOperator.h"
#include "tests/data/TempDir.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

#include <deque>

namespace {

// An article editor that "edits" with a function and answers OK or Cancel.
// Like the real one it stays open on a duplicate: the next edit goes on from
// what was typed, and without one the operator cancels.
class ScriptedArticleEditor : public ArticleEditorPort {
 public:
  ArticleRecord record = ZeroArticle();
  std::deque<std::function<bool(ArticleRecord&)>> edits;  // returns OK or Cancel
  std::vector<ArticleRecord> shown;
  std::vector<DuplicateField> refused;
  bool open = false;
  int refreshes = 0;

  ArticleRecord& Record() override { return record; }
  bool IsOpen() const override { return open; }
  bool DoModal() override {
    shown.push_back(record);
    while (!edits.empty()) {
      auto edit = edits.front();
      edits.pop_front();
      if (!edit(record)) return false;
      const DuplicateField duplicate = check ? check(record) : DuplicateField::None;
      if (duplicate == DuplicateField::None) return true;
      refused.push_back(duplicate);
    }
    return false;
  }
  void RefreshFromRecord() override { ++refreshes; }
  void SetDuplicateCheck(DuplicateCheck duplicateCheck) override { check = std::move(duplicateCheck); }
  DuplicateCheck check;
};

class ScriptedDepartmentEditor : public DepartmentEditorPort {
 public:
  std::function<bool(DepartmentRecord&)> edit;
  bool Edit(DepartmentRecord& record) override { return edit ? edit(record) : false; }
};

std::string LastMessage(const ScriptedOperator& op) {
  return op.Asked().empty() ? std::string() : op.Asked().back().text;
}

std::function<bool(ArticleRecord&)> Set(std::uint32_t plu, const char* name, std::int64_t barcode = 0) {
  return [=](ArticleRecord& r) {
    r.PLUNO = plu;
    SetName(r.NAME, name);
    r.BARCODE = barcode;
    return true;
  };
}

class ArticlesWindow : public ::testing::Test {
 protected:
  void SetUp() override { profile.SetForDeviceType(); }

  // Opens (creating) a database through the window, with articles added by Add New.
  void OpenWith(const std::vector<std::tuple<std::uint32_t, const char*, std::int64_t>>& articles,
                const std::string& name = "shop.db") {
    op.QueueFile(dir.File(name));
    window.OnOpenDatabase();
    ASSERT_TRUE(window.Database().IsOpen());
    for (const auto& [plu, text, barcode] : articles) {
      editor.edits.push_back(Set(plu, text, barcode));
      window.OnAddNew();
    }
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < window.ListCount(); ++i) lines.push_back(window.ListLine(i));
    return lines;
  }

  WorkspaceTestConfig config;
  TempDir dir;
  ScriptedOperator op;
  DeviceProfile profile;
  ScriptedArticleEditor editor;
  ScriptedDepartmentEditor departmentEditor;
  ArticlesWindowLogic window{op, profile, &editor, &departmentEditor, nullptr};
};

}  // namespace

TEST_F(ArticlesWindow, OpeningANewFileCreatesAnEmptyDatabase) {
  op.QueueFile(dir.File("new.db"));
  window.OnOpenDatabase();
  EXPECT_TRUE(window.Database().IsOpen());
  EXPECT_EQ(std::filesystem::file_size(dir.File("new.db")), 25620u);
  EXPECT_EQ(window.ListCount(), 0u);
  EXPECT_EQ(window.Controls().statusText, "Active database file :" + dir.File("new.db"));
  ASSERT_EQ(op.FileChoices().size(), 1u);
  EXPECT_EQ(op.FileChoices()[0].kind, FileChoice::Kind::Open);
  EXPECT_EQ(op.FileChoices()[0].defaultExtension, "db");
  EXPECT_TRUE(op.Asked().empty());
}

TEST_F(ArticlesWindow, CancelledOrFailedOpensKeepWhatWasThere) {
  OpenWith({{1, "Milk", 0}});
  op.QueueFile(std::nullopt);
  window.OnOpenDatabase();
  EXPECT_EQ(window.FileChosen(), 0);
  EXPECT_TRUE(window.Database().IsOpen());
  EXPECT_EQ(window.ListCount(), 1u);

  // A wrong header: the message, no database, but the list keeps its lines.
  WriteBytes(dir.File("bad.db"), std::vector<unsigned char>(30000, 'x'));
  op.QueueFile(dir.File("bad.db"));
  window.OnOpenDatabase();
  EXPECT_EQ(LastMessage(op), "Incorrect File!");
  EXPECT_FALSE(window.Database().IsOpen());
  EXPECT_EQ(window.ListCount(), 1u);
  window.Controls().selectedIndex = 0;
  window.OnEdit();
  EXPECT_EQ(LastMessage(op), "Open a DataBase File Please!");

  // A folder cannot be opened: the message, then the dialog again.
  op.QueueFile(dir.Path().string());
  op.QueueFile(std::nullopt);
  window.OnOpenDatabase();
  EXPECT_EQ(LastMessage(op), "Unable to open the file!");
  EXPECT_EQ(op.FileChoices().size(), 5u);
}

TEST_F(ArticlesWindow, AddNewProposesTheFirstFreePluAndKeepsTheSortOrder) {
  OpenWith({});
  editor.edits.push_back([](ArticleRecord& r) { return (r.PLUNO == 1) && Set(1, "Milk")(r); });
  window.OnAddNew();
  EXPECT_EQ(editor.shown.back().PLUNO, 1u);
  EXPECT_EQ(static_cast<unsigned char>(editor.shown.back().TAX_GROUP), 0xC1);
  EXPECT_EQ(editor.shown.back().OPT_FRACT_QTY, 1);

  editor.edits.push_back(Set(2, "Bread"));
  window.OnAddNew();
  editor.edits.push_back(Set(4, "Apples"));
  window.OnAddNew();
  editor.edits.push_back([](ArticleRecord&) { return false; });  // cancelled
  window.OnAddNew();
  EXPECT_EQ(editor.shown.back().PLUNO, 3u);
  EXPECT_EQ(window.Controls().selectedIndex, -1);

  // Chronological order (the default sort) after every addition, even the cancelled one.
  EXPECT_EQ(Lines(), (std::vector<std::string>{"00001 : 0000000000000 : Milk", "00002 : 0000000000000 : Bread",
                                               "00004 : 0000000000000 : Apples"}));
  window.Controls().sortMode = SortMode::Name;
  window.OnSortOption();
  EXPECT_EQ(window.ListLine(0), "00004 : 0000000000000 : Apples");
  EXPECT_EQ(std::filesystem::file_size(dir.File("shop.db")), 25620u + 3 * 184);
}

TEST_F(ArticlesWindow, AddNewStartsFromTheArticleShownWithoutItsOwnFigures) {
  OpenWith({});
  // An article with every field set, as a download brings it.
  ArticleRecord cola = ZeroArticle();
  cola.PLUNO = 7;
  SetName(cola.NAME, "Cola 0.5l");
  cola.TAX_GROUP = 'A';
  cola.SING_PRICE = 1.5;
  cola.MAX_PRICE = 1.4;
  cola.AMOUNT = 150;
  cola.AMOUNT_DS = 7;
  cola.SOLDQTY = 100;
  cola.SOLDQTY_DS = 5;
  cola.BARCODE = 5449000000996;
  cola.DEPARTMENT = 3;
  cola.STOCKQTY = 12;
  cola.INITQTY = 30;
  cola.STOCK_GROUP = 2;
  cola.MEASURE_UNIT = 1;
  cola.OPT_FRACT_QTY = 0;
  cola.OPT_SINGTRANS = 1;
  cola.OPT_FREEPRICE = 1;
  cola.PLUNOLINK = 9;
  cola.IN_USE = 1;
  ASSERT_TRUE(window.Database().WriteArticle(1, cola));
  window.ShowArticles();
  window.Controls().selectedIndex = 0;
  editor.edits.push_back([](ArticleRecord&) { return false; });  // looked at, cancelled
  window.OnEdit();

  const auto expectModel = [](const ArticleRecord& shown, const ArticleRecord& model, std::uint32_t plu) {
    EXPECT_EQ(shown.PLUNO, plu);
    EXPECT_EQ(NameOf(shown.NAME), NameOf(model.NAME));
    EXPECT_EQ(shown.TAX_GROUP, model.TAX_GROUP);
    EXPECT_EQ(shown.SING_PRICE, model.SING_PRICE);
    EXPECT_EQ(shown.MAX_PRICE, model.MAX_PRICE);
    EXPECT_EQ(shown.DEPARTMENT, model.DEPARTMENT);
    EXPECT_EQ(shown.STOCK_GROUP, model.STOCK_GROUP);
    EXPECT_EQ(shown.MEASURE_UNIT, model.MEASURE_UNIT);
    EXPECT_EQ(shown.OPT_FRACT_QTY, model.OPT_FRACT_QTY);
    EXPECT_EQ(shown.OPT_SINGTRANS, model.OPT_SINGTRANS);
    EXPECT_EQ(shown.OPT_FREEPRICE, model.OPT_FREEPRICE);
    EXPECT_EQ(shown.PLUNOLINK, model.PLUNOLINK);
    // What belongs to the shown article alone does not carry over.
    EXPECT_EQ(shown.BARCODE, 0);
    EXPECT_EQ(shown.AMOUNT, 0.0);
    EXPECT_EQ(shown.AMOUNT_DS, 0.0);
    EXPECT_EQ(shown.SOLDQTY, 0.0);
    EXPECT_EQ(shown.SOLDQTY_DS, 0.0);
    EXPECT_EQ(shown.STOCKQTY, 0.0);
    EXPECT_EQ(shown.INITQTY, 0.0);
    EXPECT_EQ(shown.IN_USE, 0u);
  };

  // A refused article (its PLU number is taken) is given up and is never the model.
  editor.edits.push_back(Set(7, "Refused", 0));
  window.OnAddNew();
  ASSERT_EQ(editor.shown.size(), 2u);
  expectModel(editor.shown.back(), cola, 1);
  window.OnAddNew();  // nothing scripted: cancelled
  expectModel(editor.shown.back(), cola, 1);

  // An article added becomes the next model.
  editor.edits.push_back([](ArticleRecord& r) {
    SetName(r.NAME, "Cola 1l");
    r.SING_PRICE = 2.5;
    r.STOCKQTY = 4;
    return true;
  });
  window.OnAddNew();
  ASSERT_EQ(window.ListCount(), 2u);
  ArticleRecord big = cola;
  SetName(big.NAME, "Cola 1l");
  big.SING_PRICE = 2.5;
  window.OnAddNew();
  expectModel(editor.shown.back(), big, 2);

  // Another database file starts afresh.
  op.QueueFile(dir.File("other.db"));
  window.OnOpenDatabase();
  window.OnAddNew();
  EXPECT_EQ(editor.shown.back().NAME[0], '\0');
  EXPECT_EQ(static_cast<unsigned char>(editor.shown.back().TAX_GROUP), 0xC1);
  EXPECT_EQ(editor.shown.back().OPT_FRACT_QTY, 1);
  EXPECT_EQ(editor.shown.back().DEPARTMENT, 0);
}

TEST_F(ArticlesWindow, AFileThatMayOnlyBeReadGreysTheEditsAndSaysSo) {
  OpenWith({{1, "Milk", 0}, {2, "Bread", 0}}, "ro.db");
  EXPECT_TRUE(window.Enabled().edit);
  EXPECT_TRUE(window.Enabled().addNew);
  op.QueueFile(dir.File("other.db"));
  window.OnOpenDatabase();
  const std::string path = dir.File("ro.db");
  const auto before = ReadBytes(path);
  if (!MakeUnwritable(path)) GTEST_SKIP() << "cannot protect a file here";
  op.QueueFile(path);
  window.OnOpenDatabase();
  EXPECT_TRUE(window.ReadOnly());
  EXPECT_EQ(window.Controls().statusText, "Active database file :" + path + " (read-only)");
  EXPECT_FALSE(window.Enabled().edit);
  EXPECT_FALSE(window.Enabled().addNew);
  EXPECT_FALSE(window.Enabled().remove);
  EXPECT_TRUE(window.Enabled().exportXls);  // looking at it is fine

  // A command that gets through anyway is refused before any editor or question.
  const std::size_t asked = op.Asked().size();
  window.Controls().selectedIndex = 0;
  window.OnEdit();
  window.OnAddNew();
  window.OnDelete();
  EXPECT_EQ(editor.shown.size(), 2u);  // the two additions before
  EXPECT_EQ(op.Asked().size(), asked + 3);
  EXPECT_NE(op.Asked().back().text.find("may only be read"), std::string::npos) << op.Asked().back().text;
  window.ShowArticles();
  EXPECT_EQ(window.Controls().statusText, "Active database file :" + path + " (read-only)");
  SetImmutable(path, false);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(window.ListCount(), 2u);

  // Departments too: Edit is greyed in their list.
  window.OnSelectDepartments();
  EXPECT_FALSE(window.Enabled().edit);
}

TEST_F(ArticlesWindow, DuplicatesAreRefusedAndNothingIsWritten) {
  OpenWith({{1, "Milk", 5901234123457}, {2, "Bread", 0}, {3, "Tea", 0}});
  const auto before = ReadBytes(dir.File("shop.db"));

  // Refused while the editor is open; the operator gives up.
  editor.edits.push_back(Set(5, "Other milk", 5901234123457));
  window.OnAddNew();
  EXPECT_EQ(editor.refused, (std::vector<DuplicateField>{DuplicateField::Barcode}));
  EXPECT_EQ(ReadBytes(dir.File("shop.db")), before);
  EXPECT_TRUE(IsAllZero(window.WorkRecord()));

  // The next Add New starts from the last article stored, not the refused one;
  // a duplicate PLU number is corrected in place.
  editor.edits.push_back(Set(2, "Bread again", 0));
  editor.edits.push_back([](ArticleRecord& r) {
    r.PLUNO = 8;
    return true;
  });
  window.OnAddNew();
  EXPECT_EQ(editor.shown.back().BARCODE, 0);
  EXPECT_EQ(NameOf(editor.shown.back().NAME), "Tea");
  EXPECT_EQ(editor.refused.back(), DuplicateField::PluNumber);
  ASSERT_EQ(window.ListCount(), 4u);
  EXPECT_EQ(window.ListLine(3), "00008 : 0000000000000 : Bread again");

  // Barcode 0 is never a duplicate.
  editor.edits.push_back(Set(9, "No barcode", 0));
  window.OnAddNew();
  EXPECT_EQ(window.ListCount(), 5u);
}

TEST_F(ArticlesWindow, EditChecksDuplicatesOnlyForChangedValues) {
  OpenWith({{1, "Milk", 123}, {2, "Bread", 0}});
  // Two articles sharing a barcode, as a file from elsewhere may hold them.
  ArticleRecord shared = ZeroArticle();
  window.Database().ReadArticle(2, shared);
  shared.BARCODE = 123;
  window.Database().WriteArticle(2, shared);
  window.Controls().viewMode = ViewMode::Articles;
  window.ShowArticles();

  // Bread keeps its barcode: accepted although Milk has it too.
  window.Controls().selectedIndex = 1;
  editor.edits.push_back([](ArticleRecord& r) {
    SetName(r.NAME, "Rye bread");
    return true;
  });
  window.OnEdit();
  EXPECT_TRUE(op.Asked().empty());
  EXPECT_EQ(window.ListLine(1), "00002 : 0000000000123 : Rye bread");

  // Changing Bread's PLU number to Milk's is refused; file and list stay.
  const auto before = ReadBytes(dir.File("shop.db"));
  window.Controls().selectedIndex = 1;
  editor.edits.push_back([](ArticleRecord& r) {
    r.PLUNO = 1;
    return true;
  });
  window.OnEdit();
  EXPECT_EQ(editor.refused.back(), DuplicateField::PluNumber);
  EXPECT_EQ(ReadBytes(dir.File("shop.db")), before);
  EXPECT_EQ(window.ListLine(1), "00002 : 0000000000123 : Rye bread");
}

TEST_F(ArticlesWindow, EditAndDeleteNeedADatabaseAndASelection) {
  window.OnEdit();
  EXPECT_EQ(LastMessage(op), "Open a DataBase File Please!");
  window.OnDelete();
  EXPECT_EQ(LastMessage(op), "Open a DataBase File Please!");
  OpenWith({{1, "Milk", 0}});
  window.Controls().selectedIndex = -1;
  window.OnEdit();
  EXPECT_EQ(LastMessage(op), "Select an item from the list please!");
  window.OnDelete();
  EXPECT_EQ(LastMessage(op), "Select an item from the list please!");
}

TEST_F(ArticlesWindow, DeleteFreesTheSlotForTheNextArticle) {
  OpenWith({{1, "a", 0}, {2, "b", 0}, {3, "c", 0}, {4, "d", 0}, {5, "e", 0}});
  const auto length = std::filesystem::file_size(dir.File("shop.db"));

  window.Controls().selectedIndex = 1;
  op.QueueAnswer(Answer::No);
  window.OnDelete();
  EXPECT_EQ(window.ListCount(), 5u);

  op.QueueAnswer(Answer::Yes);
  window.OnDelete();
  EXPECT_EQ(op.Asked().back().buttons, MessageButtons::YesNo);
  EXPECT_EQ(window.ListCount(), 4u);
  EXPECT_EQ(window.Controls().selectedIndex, 1);
  EXPECT_EQ(window.ListLine(1), "00003 : 0000000000000 : c");
  EXPECT_EQ(std::filesystem::file_size(dir.File("shop.db")), length);

  // Deleting the last line leaves no selection.
  window.Controls().selectedIndex = 3;
  op.QueueAnswer(Answer::Yes);
  window.OnDelete();
  EXPECT_EQ(window.Controls().selectedIndex, -1);

  // The new article goes into the first freed slot and sorts chronologically there.
  editor.edits.push_back(Set(9, "new", 0));
  window.OnAddNew();
  EXPECT_EQ(window.ListLine(1), "00009 : 0000000000000 : new");
}

TEST_F(ArticlesWindow, SearchesSelectTheFoundArticle) {
  OpenWith({{1, "a", 0}, {12, "b", 4006381333931}, {3, "c", 0}});
  window.Controls().pluSearchText = "1";
  window.OnPluSearch();
  EXPECT_EQ(window.Controls().selectedIndex, 0);
  EXPECT_EQ(window.Controls().statusText, "Element with Plu number: 1 is found");
  window.Controls().pluSearchText = "12";
  window.OnPluSearch();
  EXPECT_EQ(window.Controls().selectedIndex, 1);
  window.Controls().pluSearchText = "77x";
  window.OnPluSearch();
  EXPECT_EQ(window.Controls().statusText, "Element with Plu number: 77 is not found");
  EXPECT_EQ(window.Controls().selectedIndex, 1);

  window.Controls().barcodeSearchText = "4006381333931";
  window.Controls().selectedIndex = -1;
  window.OnBarcodeSearch();
  EXPECT_EQ(window.Controls().selectedIndex, 1);
  EXPECT_EQ(window.Controls().statusText, "Element with BarCode number: 4006381333931 found");
  window.Controls().barcodeSearchText = "123";
  window.OnBarcodeSearch();
  EXPECT_EQ(window.Controls().statusText, "Element with Barcode number: 0000000000123 is not found");

  window.OnSearchFocusLost();
  EXPECT_TRUE(window.Controls().pluSearchText.empty());
  EXPECT_EQ(window.Controls().selectedIndex, 1);

  // In the departments view a search would select an unrelated department.
  window.Controls().viewMode = ViewMode::Departments;
  window.ShowDepartments();
  window.Controls().selectedIndex = 4;
  window.Controls().pluSearchText = "3";
  window.OnPluSearch();
  EXPECT_EQ(window.Controls().selectedIndex, 4);
}

TEST_F(ArticlesWindow, DepartmentsViewEditsTheSelectedSlot) {
  OpenWith({{1, "a", 0}});
  window.Controls().viewMode = ViewMode::Departments;
  window.ShowDepartments();
  EXPECT_EQ(window.Kind(), ArticlesWindowLogic::ListKind::Departments);
  EXPECT_EQ(window.ListCount(), 8u);
  EXPECT_EQ(window.ListLine(2), "0003 : Department 3");
  EXPECT_FALSE(window.Enabled().addNew);
  EXPECT_FALSE(window.Enabled().sortOptions);
  EXPECT_TRUE(window.Enabled().openDatabase);

  departmentEditor.edit = [](DepartmentRecord& d) {
    SetName(d.NAME, "Bakery");
    d.STAND = 3;
    return true;
  };
  window.Controls().selectedIndex = 2;
  window.OnEdit();
  EXPECT_EQ(window.ListLine(2), "0003 : Bakery");
  DepartmentRecord stored;
  window.Database().ReadDepartment(2, stored);
  EXPECT_EQ(NameOf(stored.NAME), "Bakery");
  EXPECT_EQ(stored.STAND, 0);  // the register type has no stands

  window.Controls().viewMode = ViewMode::Articles;
  window.ShowArticles();
  EXPECT_EQ(window.Kind(), ArticlesWindowLogic::ListKind::Articles);
  EXPECT_EQ(window.ListCount(), 1u);
  EXPECT_TRUE(window.Enabled().addNew);
}

TEST_F(ArticlesWindow, AddNewIsRefusedWhenTheTableIsFull) {
  OpenWith({});
  std::vector<ArticleRecord> many(ArticleTable::kMaxArticles);
  for (std::size_t i = 0; i < many.size(); ++i) {
    many[i] = ZeroArticle();
    many[i].PLUNO = static_cast<std::uint32_t>(i + 1);
    many[i].IN_USE = 1;
  }
  ASSERT_TRUE(window.Database().WriteAt(kArticleAreaOffset, many.data(), many.size() * sizeof(ArticleRecord)));
  window.ShowArticles();
  ASSERT_EQ(window.ListCount(), ArticleTable::kMaxArticles);
  editor.edits.push_back(Set(60000, "one too many"));
  window.OnAddNew();
  EXPECT_NE(LastMessage(op).find("49999"), std::string::npos) << LastMessage(op);
  EXPECT_EQ(editor.shown.size(), 0u);
  EXPECT_EQ(window.ListCount(), ArticleTable::kMaxArticles);
}

TEST_F(ArticlesWindow, WithoutARegisterUploadAndDownloadAreDisabled) {
  window.OnInitDialog(false);
  EXPECT_FALSE(window.Enabled().upload);
  EXPECT_FALSE(window.Enabled().download);
  EXPECT_TRUE(op.Asked().empty());
}

TEST_F(ArticlesWindow, SelectOptionsDriveTheViewTheCommandsAndTheEnabledStates) {
  // Departments with no database: the file is asked for, and view and list agree.
  op.QueueFile(dir.File("shop.db"));
  window.OnSelectDepartments();
  EXPECT_EQ(window.Controls().viewMode, ViewMode::Departments);
  EXPECT_EQ(window.Kind(), ArticlesWindowLogic::ListKind::Departments);
  EXPECT_FALSE(window.Enabled().addNew);
  EXPECT_FALSE(window.Enabled().sortOptions);
  int edited = 0;
  departmentEditor.edit = [&](DepartmentRecord&) { return ++edited, false; };
  window.Controls().selectedIndex = 0;
  window.OnEdit();
  EXPECT_EQ(edited, 1);

  // Another file opened in the departments list shows its departments.
  op.QueueFile(dir.File("other.db"));
  window.OnOpenDatabase();
  EXPECT_EQ(window.Kind(), ArticlesWindowLogic::ListKind::Departments);
  EXPECT_FALSE(window.Enabled().importXls);
  window.OnSelectArticles();
  EXPECT_EQ(window.Controls().viewMode, ViewMode::Articles);
  EXPECT_TRUE(window.Enabled().addNew);
  EXPECT_TRUE(window.Enabled().exportXls);
  EXPECT_TRUE(window.Enabled().sortOptions);

  // Departments declined for want of a file: the articles option stays chosen.
  window.OnClose();
  ArticlesWindowLogic fresh{op, profile, &editor, &departmentEditor, nullptr};
  op.QueueFile(std::nullopt);
  fresh.OnSelectDepartments();
  EXPECT_EQ(fresh.Controls().viewMode, ViewMode::Articles);
  EXPECT_EQ(fresh.Kind(), ArticlesWindowLogic::ListKind::Articles);
}

TEST_F(ArticlesWindow, TheHighlightFollowsTheArticleAndDeleteNamesIt) {
  OpenWith({{1, "Salami", 0}, {2, "Rye bread small", 0}, {3, "Apples", 0}});
  window.Controls().sortMode = SortMode::Name;
  window.OnSortOption();
  window.Controls().selectedIndex = 1;  // Rye bread small
  editor.edits.push_back([](ArticleRecord& r) {
    SetName(r.NAME, "Zwieback");
    return true;
  });
  window.OnEdit();
  ASSERT_EQ(window.Controls().selectedIndex, 2);
  EXPECT_EQ(window.ListLine(2), "00002 : 0000000000000 : Zwieback");

  editor.edits.push_back(Set(9, "Bananas", 0));
  window.OnAddNew();
  EXPECT_EQ(window.ListLine(static_cast<std::size_t>(window.Controls().selectedIndex)),
            "00009 : 0000000000000 : Bananas");

  op.QueueAnswer(Answer::No);
  window.OnDelete();
  EXPECT_NE(op.Asked().back().text.find("00009 : 0000000000000 : Bananas"), std::string::npos);
  EXPECT_EQ(window.ListCount(), 4u);
}

TEST_F(ArticlesWindow, TheRegisterComingAndGoingEnablesTheTransfers) {
  window.OnInitDialog(false);
  EXPECT_FALSE(window.Enabled().upload);
  EXPECT_EQ(window.Controls().statusText, kMsgNoRegister);
  window.OnRegisterChanged(true);
  EXPECT_TRUE(window.Enabled().upload);
  EXPECT_TRUE(window.Enabled().download);
  EXPECT_EQ(window.Controls().statusText, "Register attached: " + UiText("DV_1"));
  window.OnRegisterChanged(false);
  EXPECT_FALSE(window.Enabled().download);
  EXPECT_EQ(window.Controls().statusText, kMsgNoRegister);
}

namespace {

std::function<bool(ArticleRecord&)> SetFigures(std::uint32_t plu, const char* name, double price,
                                               std::int32_t department, double stock) {
  return [=](ArticleRecord& r) {
    Set(plu, name, 1000 + plu)(r);
    r.SING_PRICE = price;
    r.MAX_PRICE = price * 2;
    r.DEPARTMENT = department;
    r.OPT_FRACT_QTY = 1;
    r.STOCKQTY = stock;
    return true;
  };
}

std::vector<std::string> ColumnCells(const ArticlesWindowLogic& window, ListColumn column) {
  std::vector<std::string> cells;
  for (std::size_t row = 0; row < window.ListCount(); ++row) cells.push_back(window.Cell(row, column));
  return cells;
}

}  // namespace

TEST_F(ArticlesWindow, TheTableShowsEachArticlesFiguresInColumns) {
  OpenWith({});
  for (auto edit : {SetFigures(42, "Milk", 1.5, 0, 12.5), SetFigures(7, "Bread", 2.25, 1, kNotControlledFractional)}) {
    editor.edits.push_back(edit);
    window.OnAddNew();
  }
  EXPECT_EQ(window.Columns(), (std::vector<ListColumn>{ListColumn::Plu, ListColumn::Barcode, ListColumn::Name,
                                                       ListColumn::Price, ListColumn::Department, ListColumn::Stock}));
  DepartmentRecord second;
  window.Database().ReadDepartment(1, second);
  EXPECT_EQ(window.ListLine(0), "00042 : 0000000001042 : Milk");
  EXPECT_EQ(ColumnCells(window, ListColumn::Plu), (std::vector<std::string>{"00042", "00007"}));
  EXPECT_EQ(ColumnCells(window, ListColumn::Barcode), (std::vector<std::string>{"0000000001042", "0000000001007"}));
  EXPECT_EQ(ColumnCells(window, ListColumn::Price), (std::vector<std::string>{"1.50", "2.25"}));
  EXPECT_EQ(window.Cell(1, ListColumn::Department), UiName(NameOf(second.NAME)));
  EXPECT_EQ(ColumnCells(window, ListColumn::Stock), (std::vector<std::string>{"12.500", "---"}));

  // The second price only where the register keeps it.
  profile.secondPriceInReports = 1;
  EXPECT_EQ(window.Columns()[4], ListColumn::SecondPrice);
  EXPECT_EQ(window.Cell(1, ListColumn::SecondPrice), "4.50");

  window.OnSelectDepartments();
  EXPECT_EQ(window.Columns(), (std::vector<ListColumn>{ListColumn::DepartmentNumber, ListColumn::DepartmentName,
                                                       ListColumn::PriceLimit, ListColumn::TaxGroup}));
  EXPECT_EQ(window.Cell(1, ListColumn::DepartmentNumber), "0002");
  EXPECT_EQ(window.Cell(1, ListColumn::DepartmentName), UiName(NameOf(second.NAME)));
  EXPECT_EQ(window.Cell(1, ListColumn::TaxGroup), UiName(std::string(1, second.TAX_GROUP)));
}

TEST_F(ArticlesWindow, HeaderClicksSortLikeTheOptionsAndMoveThem) {
  OpenWith({{3, "Tea", 20}, {1, "milk", 30}, {2, "Bread", 10}, {5, "Apples", 40}, {4, "Bread", 5}});
  const std::pair<ListColumn, SortMode> matching[] = {{ListColumn::Plu, SortMode::PluNumber},
                                                      {ListColumn::Name, SortMode::Name},
                                                      {ListColumn::Barcode, SortMode::Barcode}};
  for (const auto& [column, mode] : matching) {
    window.Controls().sortMode = SortMode::Chronological;
    window.OnSortOption();
    window.OnHeaderClicked(column);
    EXPECT_EQ(window.Controls().sortMode, mode);
    ArticleTable table;
    window.Database().LoadTable(table);
    table.SortTable(SortKeyOf(mode));
    for (std::size_t i = 0; i < window.ListCount(); ++i) EXPECT_EQ(window.ListLine(i), table.ListLine(i));
    EXPECT_FALSE(window.Sort().descending);
    window.OnHeaderClicked(column);  // the other way round
    EXPECT_TRUE(window.Sort().descending);
    EXPECT_EQ(window.ListLine(0), table.ListLine(4));
  }
  // A column without an option unchecks them; an option takes its own column back.
  window.OnHeaderClicked(ListColumn::Price);
  EXPECT_EQ(window.Controls().sortMode, SortMode::Column);
  EXPECT_EQ(window.Sort().column, ListColumn::Price);
  window.Controls().sortMode = SortMode::Chronological;
  window.OnSortOption();
  EXPECT_FALSE(window.Sort().column.has_value());
  EXPECT_EQ(window.ListLine(0), "00003 : 0000000000020 : Tea");
}

TEST_F(ArticlesWindow, TheNameFilterIgnoresCaseInTheCodePage) {
  // Record names are Windows-1252 bytes; the filter is typed as UTF-8.
  OpenWith({{1,
             "Cr\xE8me br\xFBl\xE9"
             "e",
             0},
            {2,
             "CR\xC8ME fra\xEE"
             "che",
             0},
            {3, "Milk", 0}});
  const struct {
    const char* text;
    std::size_t shown;
  } cases[] = {{"cr\xC3\xA8me", 2},
               {"CR\xC3\x88ME", 2},
               {"r\xC3\xA8me F", 1},
               {"I", 1},
               {"xyz", 0},
               {"\xE6\x97\xA5", 0},
               {"", 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    window.Controls().filterText = c.text;
    window.OnFilterChanged();
    EXPECT_EQ(window.ListCount(), c.shown);
    if (*c.text) {
      EXPECT_EQ(window.Controls().statusText, std::to_string(c.shown) + " of 3 articles shown");
    }
  }
  window.Controls().filterText = "milk";
  window.OnFilterChanged();
  window.OnFilterCleared();
  EXPECT_EQ(window.ListCount(), 3u);
  EXPECT_TRUE(window.Controls().filterText.empty());
}

TEST_F(ArticlesWindow, EditDeleteAndSearchesActOnTheRowsShown) {
  OpenWith({{1, "Bread", 11}, {2, "Milk", 22}, {3, "Oat milk", 33}, {4, "Tea", 44}});
  window.Controls().filterText = "MILK";
  window.OnFilterChanged();
  ASSERT_EQ(window.ListCount(), 2u);

  // Searches find only what is shown, and select its row.
  window.Controls().pluSearchText = "1";
  window.OnPluSearch();
  EXPECT_EQ(window.Controls().statusText, "Element with Plu number: 1 is not found");
  window.Controls().barcodeSearchText = "33";
  window.OnBarcodeSearch();
  EXPECT_EQ(window.Controls().selectedIndex, 1);

  window.Controls().selectedIndex = 1;
  editor.edits.push_back([](ArticleRecord& r) { return r.PLUNO == 3 && Set(3, "Oat milk light", 33)(r); });
  window.OnEdit();
  EXPECT_EQ(editor.shown.back().PLUNO, 3u);
  EXPECT_EQ(window.ListLine(window.Controls().selectedIndex), "00003 : 0000000000033 : Oat milk light");

  // Delete names and removes the article of the row shown; the filter stays.
  window.Controls().selectedIndex = 0;
  op.QueueAnswer(Answer::Yes);
  window.OnDelete();
  EXPECT_NE(LastMessage(op).find("00002 : 0000000000022 : Milk"), std::string::npos);
  EXPECT_EQ(window.ListCount(), 1u);
  EXPECT_EQ(window.ListLine(0), "00003 : 0000000000033 : Oat milk light");
  EXPECT_EQ(window.Controls().selectedIndex, 0);
  EXPECT_EQ(window.Table().Count(), 3u);
  EXPECT_FALSE(window.Table().FindByPlu(2).has_value());
}

namespace {

// Runs each task on a thread of its own, as the window's runner does, and
// notes what ran where.
class WorkerRunner : public TaskRunner {
 public:
  std::vector<std::string> titles;
  bool ranOnCaller = false;
  void Run(const std::string& title, const Task& task) override {
    titles.push_back(title);
    const auto caller = std::this_thread::get_id();
    std::thread worker([&] {
      ranOnCaller = ranOnCaller || std::this_thread::get_id() == caller;
      TransferControl control;
      task(control);
    });
    worker.join();
  }
};

}  // namespace

// A serial line is there as soon as its device is, but nothing may answer on
// it: that is no register, so the opening download is not offered, and the
// status line names the line that stayed silent.
TEST_F(ArticlesWindow, ASilentSerialLineIsOfferedNoDownload) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string path = ptsname(master);
  std::string error;
  const auto choice = RegisterChoice::Parse("serial:" + path, &error);
  ASSERT_TRUE(choice) << error;
  DeviceTiming timing = FastTiming();
  timing.replyWaitMs = 20;
  {
    RegisterConnection connection(*choice, timing);
    connection.Start();
    ASSERT_TRUE(connection.IsConnected());
    RegisterTransfers transfers(connection.Transaction(), profile);
    transfers.SetAddress(choice->Address());
    ArticlesWindowLogic opened(op, profile, &editor, &departmentEditor, &transfers);
    WorkerRunner runner;
    opened.SetTaskRunner(&runner);

    opened.OnInitDialog(connection.IsConnected());
    EXPECT_TRUE(op.Asked().empty()) << LastMessage(op);
    EXPECT_EQ(opened.Controls().statusText, "no register answers on serial:" + path);
    EXPECT_EQ(runner.titles, std::vector<std::string>{"Register"});
    EXPECT_FALSE(runner.ranOnCaller);
  }
  close(master);
}
