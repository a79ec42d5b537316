// The main articles window: puts ArticlesWindowLogic on screen. The list is a
// model over the logic, every button, option, search box and the list's
// double-click run a command of the logic, and the logic's data exchange reads
// and fills the controls through the ArticlesWindowView side of this class.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <QDialog>

#include "workspace/articles/ArticlesWindowLogic.h"
#include "workspace/articles/WorkbookHooks.h"

namespace Ui {
class ArticlesMain;
}

class ArticleEditorAdapter;
class ArticlesListModel;
class CArticleEditor;
class DepartmentEditorAdapter;
class GuiThreadOperator;
class PresetFileOperator;
class QtOperator;
class QtTaskRunner;
class QButtonGroup;
class QLineEdit;
class QTableView;
class QPushButton;
class QRadioButton;
class RegisterTransfers;
struct GroupNames;

// Stand-ins for the parts the window otherwise makes itself (tests).
struct ArticlesWindowParts {
  Operator* op = nullptr;                            // null: message boxes over the window
  ArticleEditorPort* articleEditor = nullptr;        // null: the window's own article editor
  DepartmentEditorPort* departmentEditor = nullptr;  // null: a department editor window per edit
  int progressShowAfterMs = 300;                     // the progress window shows for longer work only
};

class CARTICLESDlg : public QDialog, private ArticlesWindowView {
  Q_OBJECT

 public:
  // deviceConnected: whether a register was attached as the window was asked
  // for; transfers may be null when there is no register link at all.
  CARTICLESDlg(DeviceProfile& profile, const GroupNames& names, RegisterTransfers* transfers, bool deviceConnected,
               QWidget* parent = nullptr, ArticlesWindowParts parts = {});
  ~CARTICLESDlg() override;

  ArticlesWindowLogic& Logic() { return *logic_; }

  void SetWorkbookHooks(WorkbookHooks hooks);
  // Follows the register's arrival and departure while the window is open.
  void FollowRegister(std::function<bool()> attached, int intervalMs = 500);
  // The database the window opens with, as if chosen in Open Database.
  void SetStartDatabase(std::string path) { startDatabase_ = std::move(path); }

  // Opens the window modally; the opening download question comes once it shows.
  int DoModal();
  // The opening steps without the modal loop.
  void Prepare();

  QTableView* List() const;
  QLineEdit* PluSearchBox() const;
  QLineEdit* FilterBox() const;
  QLineEdit* BarcodeSearchBox() const;
  QLineEdit* StatusLine() const;
  QPushButton* Button(const char* objectName) const;
  QRadioButton* Option(const char* objectName) const;

 public slots:
  // During a transfer: asks, then stops it and closes once it has ended.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // ArticlesWindowView
  void TakeControls(ArticlesWindowControls& controls) override;
  void ShowControls(const ArticlesWindowControls& controls) override;
  void ListChanged() override;
  void EnabledChanged() override;

  void ApplyTexts();
  void Wire();
  void OpenStartDatabase();
  int SelectedRow() const;
  // The header shows the logic's sort; column widths follow the columns shown.
  void ShowSortIndicator();
  void ApplyColumnWidths();
  // Runs a command of the logic; a close asked for during it happens after it.
  void RunCommand(const std::function<void()>& command);

  std::unique_ptr<Ui::ArticlesMain> ui_;
  std::unique_ptr<QtOperator> ownOperator_;
  std::unique_ptr<GuiThreadOperator> guiOperator_;
  std::unique_ptr<PresetFileOperator> operator_;
  std::unique_ptr<QtTaskRunner> runner_;
  bool closeAfterTransfer_ = false;
  CArticleEditor* articleEditor_ = nullptr;  // child of the window
  std::unique_ptr<ArticleEditorAdapter> articleAdapter_;
  std::unique_ptr<DepartmentEditorAdapter> departmentAdapter_;
  std::unique_ptr<ArticlesWindowLogic> logic_;
  ArticlesListModel* model_ = nullptr;  // child of the window
  QButtonGroup* viewGroup_ = nullptr;
  QButtonGroup* sortGroup_ = nullptr;
  WorkbookHooks workbook_;
  std::string startDatabase_;
  QString baseTitle_;  // the title of the layout; a read-only file is added to it
  const bool deviceConnected_;
  // Column widths by column, as the operator left them (kept between runs).
  std::map<int, int> columnWidths_;
  std::vector<ListColumn> widthsAppliedTo_;
  bool applyingWidths_ = false;
};
