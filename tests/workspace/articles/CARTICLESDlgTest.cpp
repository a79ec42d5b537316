#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include <QAbstractItemModel>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QHeaderView>
#include <QTableView>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>

#include "workspace/articles/ArticlesListModel.h"
#include "workspace/articles/CARTICLESDlg.h"
#include "workspace/editors/CArticleEditor.h"
#include "workspace/editors/CDepartmentEditor.h"
#include "data/DeviceProfile.h"
#include "tests/device/FastTiming.h"
#include "device/RegisterTransfers.h"
#include "workspace/common-qt/TransferProgressDialog.h"
#include "device/transport/DemoRegister.h"
#include "device/cDeviceProtocol.h"
#include "tests/workspace/support/ScriptedOperator.h"
#include "tests/data/TempDir.h"
#include "workspace/common/UiText.h"
#include "workspace/common-qt/WindowSettings.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

QT_BEGIN_NAMESPACE
// Readable failures: the rows as text.
inline void PrintTo(const QStringList& rows, std::ostream* out) { *out << rows.join(" | ").toStdString(); }
QT_END_NAMESPACE

namespace {

class ScriptedArticleEditor : public ArticleEditorPort {
 public:
  ArticleRecord record = ZeroArticle();
  std::deque<std::function<bool(ArticleRecord&)>> edits;

  ArticleRecord& Record() override { return record; }
  bool IsOpen() const override { return false; }
  bool DoModal() override {
    if (edits.empty()) return false;
    auto edit = std::move(edits.front());
    edits.pop_front();
    return edit(record);
  }
  void RefreshFromRecord() override {}
};

class ScriptedDepartmentEditor : public DepartmentEditorPort {
 public:
  std::function<bool(DepartmentRecord&)> edit;
  bool Edit(DepartmentRecord& record) override { return edit ? edit(record) : false; }
};

std::function<bool(ArticleRecord&)> Set(std::uint32_t plu, const char* name, std::int64_t barcode) {
  return [=](ArticleRecord& r) {
    r.PLUNO = plu;
    SetName(r.NAME, name);
    r.BARCODE = barcode;
    return true;
  };
}

class CARTICLESDlgTest : public ::testing::Test {
 protected:
  CARTICLESDlgTest() { profile.SetForDeviceType(); }

  QStringList Rows() const {
    QStringList rows;
    const QAbstractItemModel* model = window.List()->model();
    for (int i = 0; i < model->rowCount(); ++i) rows << model->index(i, 0).data(ArticlesListModel::LineRole).toString();
    return rows;
  }
  int Selected() const {
    const auto selected = window.List()->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
  }
  void Click(const char* name) {
    QPushButton* button = window.Button(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
  }
  void ClickOption(const char* name) {
    QRadioButton* option = window.Option(name);
    ASSERT_NE(option, nullptr) << name;
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
  }
  void ClickRow(int row) {
    QTableView* list = window.List();
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  }
  QString Status() const { return window.StatusLine()->text(); }

  WorkspaceTestConfig config;
  TempDir dir;
  ScriptedOperator op;
  DeviceProfile profile;
  ScriptedArticleEditor editor;
  ScriptedDepartmentEditor departments;
  CARTICLESDlg window{profile, config.Names(), nullptr, false, nullptr, {&op, &editor, &departments}};
};

TEST_F(CARTICLESDlgTest, OpensWithItsTextsAndStates) {
  window.Prepare();
  window.show();
  EXPECT_EQ(window.windowTitle(), "ARTICLES");
  EXPECT_FALSE(window.windowIcon().isNull());
  EXPECT_EQ(window.Button("buttonOpenDatabase")->text(),
            QString::fromStdString(UiText("DLG_ARTICLEMAIN_OPENDATABASE")));
  EXPECT_EQ(window.Option("radioSortChronologic")->text(),
            QString::fromStdString(UiText("DLG_ARTICLEMAIN_SORTCHRONOLOGIC")));
  EXPECT_TRUE(window.Option("radioSortChronologic")->isChecked());
  EXPECT_TRUE(window.Option("radioArticles")->isChecked());
  // No register attached: no transfers; no workbook exchange plugged in yet.
  EXPECT_FALSE(window.Button("buttonUpload")->isEnabled());
  EXPECT_FALSE(window.Button("buttonDownload")->isEnabled());
  EXPECT_FALSE(window.Button("buttonExportXls")->isEnabled());
  EXPECT_FALSE(window.Button("buttonImportXls")->isEnabled());
  EXPECT_TRUE(window.Button("buttonAddNew")->isEnabled());
  EXPECT_FALSE(window.Button("buttonConfiguration")->isVisible());
  EXPECT_TRUE(window.PluSearchBox()->isReadOnly());
  EXPECT_TRUE(window.BarcodeSearchBox()->isReadOnly());
  EXPECT_EQ(window.List()->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
  EXPECT_TRUE(op.Asked().empty());
}

TEST_F(CARTICLESDlgTest, ButtonsOptionsAndSearchWorkOnARealDatabase) {
  window.Prepare();
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  // Edit before any database: the window asks for one.
  Click("buttonEdit");
  EXPECT_EQ(op.Asked().back().text, kMsgOpenDatabasePlease);

  const std::string path = dir.File("shop.db");
  op.QueueFile(path);
  Click("buttonOpenDatabase");
  EXPECT_EQ(Status(), QString::fromStdString("Active database file :" + path));
  EXPECT_TRUE(Rows().isEmpty());

  editor.edits.push_back(Set(12, "Tea", 4000000000012));
  Click("buttonAddNew");
  editor.edits.push_back(Set(3, "Apples", 0));
  Click("buttonAddNew");
  editor.edits.push_back(Set(7, "Bread", 4000000000007));
  Click("buttonAddNew");
  editor.edits.push_back(Set(5, "Coffee", 4000000000005));
  Click("buttonAddNew");
  EXPECT_EQ(Rows(), (QStringList{"00012 : 4000000000012 : Tea", "00003 : 0000000000000 : Apples",
                                 "00007 : 4000000000007 : Bread", "00005 : 4000000000005 : Coffee"}));
  EXPECT_EQ(Selected(), 3);  // the article just added
  // Written at once: a copy of the file (the window holds it locked) has all four.
  {
    std::filesystem::copy_file(path, dir.File("copy.db"));
    DatabaseFile file;
    ArticleTable table;
    ASSERT_TRUE(file.OpenExisting(dir.File("copy.db")));
    EXPECT_EQ(file.LoadTable(table).loaded, 4u);
  }

  ClickOption("radioSortName");
  EXPECT_TRUE(window.Option("radioSortName")->isChecked());
  EXPECT_EQ(Rows(), (QStringList{"00003 : 0000000000000 : Apples", "00007 : 4000000000007 : Bread",
                                 "00005 : 4000000000005 : Coffee", "00012 : 4000000000012 : Tea"}));

  // Delete the second line after saying Yes: the third moves up and is selected.
  ClickRow(1);
  EXPECT_EQ(Selected(), 1);
  op.QueueAnswer(Answer::Yes);
  Click("buttonDelete");
  EXPECT_EQ(op.Asked().back().text, std::string(kMsgDeleteQuestion) + "\n\n00007 : 4000000000007 : Bread");
  EXPECT_EQ(op.Asked().back().buttons, MessageButtons::YesNo);
  EXPECT_EQ(Rows(), (QStringList{"00003 : 0000000000000 : Apples", "00005 : 4000000000005 : Coffee",
                                 "00012 : 4000000000012 : Tea"}));
  EXPECT_EQ(Selected(), 1);

  // The PLU search box becomes writable with the focus and searches as it is typed into.
  QLineEdit* search = window.PluSearchBox();
  QTest::mouseClick(search, Qt::LeftButton);
  ASSERT_TRUE(search->hasFocus());
  EXPECT_FALSE(search->isReadOnly());
  EXPECT_TRUE(window.BarcodeSearchBox()->isReadOnly());
  QTest::keyClicks(search, "1");
  EXPECT_EQ(Status(), "Element with Plu number: 1 is not found");
  QTest::keyClicks(search, "2");
  EXPECT_EQ(search->text(), "12");
  EXPECT_EQ(Status(), "Element with Plu number: 12 is found");
  EXPECT_EQ(Selected(), 2);
  // Leaving the box empties it and keeps the article found.
  window.List()->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(search->text().isEmpty());
  EXPECT_TRUE(search->isReadOnly());
  EXPECT_EQ(Selected(), 2);

  // Double-click edits the line; the edit is sorted in by name.
  editor.edits.push_back([](ArticleRecord& r) {
    SetName(r.NAME, "Black tea");
    return true;
  });
  const QRect rect = window.List()->visualRect(window.List()->model()->index(2, 0));
  // The view emits doubleClicked only for the line pressed last; QTest's double-click has no press of its own.
  QTest::mousePress(window.List()->viewport(), Qt::LeftButton, {}, rect.center());
  QTest::mouseDClick(window.List()->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_TRUE(editor.edits.empty());
  EXPECT_EQ(Rows(), (QStringList{"00003 : 0000000000000 : Apples", "00012 : 4000000000012 : Black tea",
                                 "00005 : 4000000000005 : Coffee"}));

  // The departments view: eight departments, article commands off.
  ClickOption("radioDepartments");
  EXPECT_EQ(Rows().size(), 8);
  EXPECT_TRUE(Rows().front().startsWith("0001 : "));
  EXPECT_FALSE(window.Button("buttonAddNew")->isEnabled());
  EXPECT_FALSE(window.Button("buttonDelete")->isEnabled());
  EXPECT_FALSE(window.Option("radioSortPlu")->isEnabled());
  EXPECT_TRUE(window.Button("buttonOpenDatabase")->isEnabled());
  departments.edit = [](DepartmentRecord& d) {
    SetName(d.NAME, "Deli");
    return true;
  };
  ClickRow(2);
  Click("buttonEdit");
  EXPECT_TRUE(Rows()[2].endsWith(" : Deli")) << Rows()[2].toStdString();

  ClickOption("radioArticles");
  EXPECT_TRUE(window.Button("buttonAddNew")->isEnabled());
  EXPECT_TRUE(window.Option("radioSortPlu")->isEnabled());
  EXPECT_EQ(Rows().size(), 3);

  Click("buttonClose");
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.Logic().Database().IsOpen());
}

TEST_F(CARTICLESDlgTest, WorkbookButtonsFollowTheirHooks) {
  int exports = 0;
  window.SetWorkbookHooks({[&](ArticlesWindowLogic&) { ++exports; }, {}});
  window.Prepare();
  window.show();
  EXPECT_TRUE(window.Button("buttonExportXls")->isEnabled());
  EXPECT_FALSE(window.Button("buttonImportXls")->isEnabled());
  Click("buttonExportXls");
  EXPECT_EQ(exports, 1);
  op.QueueFile(dir.File("shop.db"));
  ClickOption("radioDepartments");
  EXPECT_FALSE(window.Button("buttonExportXls")->isEnabled());
}

TEST_F(CARTICLESDlgTest, EscapeClosesTheDatabase) {
  window.SetStartDatabase(dir.File("start.db"));
  window.Prepare();
  window.show();
  EXPECT_TRUE(window.Logic().Database().IsOpen());
  EXPECT_EQ(Status(), QString::fromStdString("Active database file :" + dir.File("start.db")));
  EXPECT_TRUE(op.FileChoices().empty());
  QTest::keyClick(&window, Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.Logic().Database().IsOpen());
}

// The window with its own editors: the article editor opens over it modally.
TEST(CARTICLESDlgOwnEditorsTest, TheRealEditorsOpenOverTheWindow) {
  WorkspaceTestConfig config;
  TempDir dir;
  DeviceProfile profile;
  profile.SetForDeviceType();
  ScriptedOperator op;
  CARTICLESDlg window(profile, config.Names(), nullptr, false, nullptr, {&op});
  window.SetStartDatabase(dir.File("own.db"));
  window.Prepare();
  window.show();
  ASSERT_TRUE(window.Logic().Database().IsOpen());

  bool editorSeen = false;
  QTimer::singleShot(0, [&] {
    auto* editor = qobject_cast<CArticleEditor*>(QApplication::activeModalWidget());
    ASSERT_NE(editor, nullptr);
    editorSeen = true;
    auto* name = qobject_cast<QLineEdit*>(editor->FieldWidget(ArticleField::Name));
    ASSERT_NE(name, nullptr);
    name->setText("Oat milk");
    editor->accept();
  });
  window.Button("buttonAddNew")->click();
  EXPECT_TRUE(editorSeen);
  ASSERT_EQ(window.List()->model()->rowCount(), 1);
  EXPECT_TRUE(window.List()->model()->index(0, 0).data(ArticlesListModel::LineRole).toString().endsWith(" : Oat milk"));
  EXPECT_TRUE(window.List()->model()->index(0, 0).data(ArticlesListModel::LineRole).toString().startsWith("00001 : "));

  // The department editor is a fresh window per edit; Cancel changes nothing.
  window.Option("radioDepartments")->click();
  const QString third = window.List()->model()->index(2, 0).data(ArticlesListModel::LineRole).toString();
  window.List()->setCurrentIndex(window.List()->model()->index(2, 0));
  QTimer::singleShot(0, [] {
    auto* editor = qobject_cast<CDepartmentEditor*>(QApplication::activeModalWidget());
    ASSERT_NE(editor, nullptr);
    editor->reject();
  });
  window.Button("buttonEdit")->click();
  EXPECT_EQ(window.List()->model()->index(2, 0).data(ArticlesListModel::LineRole).toString(), third);
  window.reject();
}

}  // namespace

TEST_F(CARTICLESDlgTest, KeysActOnTheListAndTheRegisterIsFollowedLive) {
  bool attached = false;
  window.FollowRegister([&attached] { return attached; }, 5);
  window.Prepare();
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  EXPECT_EQ(window.Button("buttonUpload")->toolTip(), QString::fromUtf8(kMsgNoRegister));
  attached = true;
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.Button("buttonUpload")->isEnabled(); }, 2000));
  EXPECT_TRUE(window.Button("buttonDownload")->isEnabled());
  attached = false;
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window.Button("buttonDownload")->isEnabled(); }, 2000));
  EXPECT_EQ(Status(), QString::fromUtf8(kMsgNoRegister));

  op.QueueFile(dir.File("keys.db"));
  Click("buttonOpenDatabase");
  editor.edits.push_back(Set(4, "Milk", 0));
  Click("buttonAddNew");
  ClickRow(0);
  editor.edits.push_back(Set(4, "Whole milk", 0));
  QTest::keyClick(window.List(), Qt::Key_Return);
  EXPECT_EQ(window.Logic().ListLine(0), "00004 : 0000000000000 : Whole milk");
  op.QueueAnswer(Answer::Yes);
  QTest::keyClick(window.List(), Qt::Key_Delete);
  EXPECT_EQ(window.Logic().ListCount(), 0u);

  QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(window.PluSearchBox()->hasFocus());
}

namespace {

// A download from the demo register that takes a while, so that the window can
// be looked at and closed while it runs.
class SlowRegister {
 public:
  SlowRegister() {
    DemoRegister::Options options;
    options.timing = FastTiming();
    demo = std::make_unique<DemoRegister>(options);
    engine.Start(demo.get());
    profile.SetForDeviceType();
  }
  ~SlowRegister() { engine.Stop(); }

  DeviceProfile profile;
  std::unique_ptr<DemoRegister> demo;
  cDeviceProtocol engine{FastTiming()};
  RegisterTransfers transfers{[this](std::uint16_t command, const std::string& request, std::string& reply) {
                                QThread::msleep(3);
                                return engine.DeviceTransaction(command, request, reply);
                              },
                              profile};
};

std::vector<char> Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(CARTICLESDlgTransferTest, TheWindowRepaintsShowsProgressAndClosesOnlyAfterTheWorkerStopped) {
  WorkspaceTestConfig config;
  TempDir dir;
  SlowRegister link;
  ScriptedOperator op;
  ArticlesWindowParts parts{&op, nullptr, nullptr, 0};
  CARTICLESDlg window(link.profile, config.Names(), &link.transfers, true, nullptr, parts);
  window.show();
  const std::string path = dir.File("shop.db");
  {
    DatabaseFile file;
    ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Created);
    ASSERT_TRUE(file.WriteNewContents('B'));
  }
  const std::vector<char> before = Bytes(path);

  QString shown;
  int heartbeats = 0;
  QTimer heartbeat;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] { ++heartbeats; });
  heartbeat.start(10);
  // Once the progress window counts articles, the operator closes the articles window.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* progress = window.findChild<TransferProgressDialog*>();
    if (!progress || !progress->isVisible() || !progress->CountText().startsWith("Articles")) return;
    if (progress->CountText() == "Articles 0" || !shown.isEmpty()) return;
    shown = progress->CountText();
    op.QueueAnswer(Answer::Yes);
    window.reject();
    EXPECT_TRUE(window.isVisible()) << "the window waits for the worker";
  });
  watch.start(20);

  op.QueueFile(path);
  op.QueueAnswer(Answer::Ok);
  window.Button("buttonDownload")->click();

  EXPECT_FALSE(shown.isEmpty());
  EXPECT_GT(heartbeats, 5) << "the GUI thread kept running its timers";
  EXPECT_EQ(op.AskedTexts().back(), kMsgStopTransferQuestion);
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.Logic().TransferStopped());
  EXPECT_EQ(Bytes(path), before);
  EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
}

TEST_F(CARTICLESDlgTest, EscapeClearsTheFilterAndThenClosesTheWindow) {
  window.Prepare();
  window.show();
  op.QueueFile(dir.File("escape.db"));
  Click("buttonOpenDatabase");
  editor.edits.push_back(Set(1, "Milk", 0));
  Click("buttonAddNew");
  editor.edits.push_back(Set(2, "Bread", 0));
  Click("buttonAddNew");
  window.FilterBox()->setFocus();
  QTest::keyClicks(window.FilterBox(), "mi");
  EXPECT_EQ(window.Logic().ListCount(), 1u);
  QTest::keyClick(window.FilterBox(), Qt::Key_Escape);
  EXPECT_TRUE(window.FilterBox()->text().isEmpty());
  EXPECT_EQ(window.Logic().ListCount(), 2u);
  EXPECT_TRUE(window.isVisible());
  // In the empty filter Escape does what it does everywhere in the window.
  QTest::keyClick(window.FilterBox(), Qt::Key_Escape);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.result(), QDialog::Rejected);
  EXPECT_FALSE(window.Logic().Database().IsOpen());
}

TEST_F(CARTICLESDlgTest, AFileThatMayOnlyBeReadSaysSoAndGreysTheEdits) {
  const std::string path = dir.File("ro.db");
  {
    DatabaseFile file;
    ASSERT_EQ(file.OpenDatabase(path, false).result, OpenResult::Created);
    ASSERT_TRUE(file.WriteNewContents('B'));
  }
  if (!MakeUnwritable(path)) GTEST_SKIP() << "cannot protect a file here";
  window.SetStartDatabase(path);
  window.Prepare();
  window.show();
  SetImmutable(path, false);
  EXPECT_EQ(window.windowTitle(), "ARTICLES (read-only)");
  EXPECT_TRUE(Status().endsWith(" (read-only)")) << Status().toStdString();
  EXPECT_FALSE(window.Button("buttonEdit")->isEnabled());
  EXPECT_FALSE(window.Button("buttonAddNew")->isEnabled());
  EXPECT_FALSE(window.Button("buttonDelete")->isEnabled());
  EXPECT_FALSE(window.Button("buttonEdit")->toolTip().isEmpty());
  ClickOption("radioDepartments");
  EXPECT_FALSE(window.Button("buttonEdit")->isEnabled());

  op.QueueFile(dir.File("writable.db"));
  Click("buttonOpenDatabase");
  EXPECT_EQ(window.windowTitle(), "ARTICLES");
  EXPECT_TRUE(window.Button("buttonEdit")->isEnabled());
}

TEST_F(CARTICLESDlgTest, SizeAndColumnWidthsAreKeptBetweenRuns) {
  // A settings file of this test only: the other tests' windows keep theirs.
  const QString shared = window_settings::Open()->fileName();
  window_settings::UseFile(QString::fromStdString(dir.File("settings.ini")));
  {
    CARTICLESDlg first(profile, config.Names(), nullptr, false, nullptr, {&op, &editor, &departments});
    first.Prepare();
    first.show();
    first.resize(913, 677);
    ASSERT_EQ(first.List()->model()->headerData(2, Qt::Horizontal).toString().toStdString(),
              ArticlesWindowLogic::ColumnTitle(ListColumn::Name));
    first.List()->setColumnWidth(2, 321);
  }
  CARTICLESDlg second(profile, config.Names(), nullptr, false, nullptr, {&op, &editor, &departments});
  second.Prepare();
  second.show();
  EXPECT_EQ(second.size(), QSize(913, 677));
  EXPECT_EQ(second.List()->columnWidth(2), 321);
  window_settings::UseFile(shared);
}
