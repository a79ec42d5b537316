#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "workspace/common-qt/QtOperator.h"
#include "workspace/common-qt/WindowSettings.h"

namespace {

// Runs check on the next modal window that comes up.
template <class Dialog, class Check>
void OnNextModal(Check check) {
  QTimer::singleShot(0, [check] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    check(dialog);
  });
}

TEST(QtOperatorTest, QuestionShowsItsIconAndButtons) {
  QtOperator op;
  OnNextModal<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->text(), "Overwrite the file?");
    EXPECT_EQ(box->windowTitle(), "Download");
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(op.Ask("Overwrite the file?", "Download", MessageButtons::YesNo, MessageIcon::Question), Answer::No);

  OnNextModal<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(op.Ask("Upload?", "", MessageButtons::OkCancel, MessageIcon::Warning), Answer::Ok);

  OnNextModal<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    box->button(QMessageBox::Ok)->click();
  });
  op.Tell("Unable to open the file!", MessageIcon::Error);
}

TEST(QtOperatorTest, SaveDialogTakesFiltersSuffixAndOverwriteRule) {
  QtOperator op;
  FileChoice choice;
  choice.kind = FileChoice::Kind::Save;
  choice.title = "Save database";
  choice.filters = {{".db", "*.db"}, {"All files", "*"}};
  choice.defaultExtension = "db";
  choice.confirmOverwrite = true;
  OnNextModal<QFileDialog>([](QFileDialog* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Save database");
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->nameFilters(), (QStringList{".db (*.db)", "All files (*)"}));
    EXPECT_EQ(dialog->defaultSuffix(), "db");
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    dialog->reject();
  });
  EXPECT_FALSE(op.ChooseFile(choice));
}

TEST(QtOperatorTest, FileDialogsStartWhereTheOperatorWasLast) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString one = QDir(root.path()).absoluteFilePath("one");
  const QString two = QDir(root.path()).absoluteFilePath("two");
  ASSERT_TRUE(QDir().mkpath(one) && QDir().mkpath(two));
  const QString database = QDir(one).absoluteFilePath("shop.db");
  QFile(database).open(QIODevice::WriteOnly);

  QtOperator op;
  FileChoice open;
  open.title = "Open Database";
  open.filters = {{".db", "*.db"}};
  open.mustExist = true;
  open.remember = "database";
  OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
    dialog->setDirectory(one);
    dialog->selectFile(database);
    static_cast<QDialog*>(dialog)->accept();  // protected in QFileDialog
  });
  EXPECT_EQ(op.ChooseFile(open), database.toStdString());

  // A dialog without a file of its own starts in the last folder, on the name proposed.
  FileChoice save;
  save.kind = FileChoice::Kind::Save;
  save.title = "Export";
  save.filters = {{"Excel workbook", "*.xlsx"}};
  save.proposedName = "shop.xlsx";
  OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->directory().absolutePath(), one);
    EXPECT_EQ(QFileInfo(dialog->selectedFiles().value(0)).fileName(), "shop.xlsx");
    dialog->setDirectory(two);
    dialog->selectFile(QDir(two).absoluteFilePath("out.xlsx"));
    static_cast<QDialog*>(dialog)->accept();  // protected in QFileDialog
  });
  EXPECT_EQ(op.ChooseFile(save), QDir(two).absoluteFilePath("out.xlsx").toStdString());

  // The database dialog comes back on the database chosen last, wherever the operator went since.
  OnNextModal<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->directory().absolutePath(), one);
    EXPECT_EQ(dialog->selectedFiles().value(0), database);
    dialog->reject();
  });
  EXPECT_FALSE(op.ChooseFile(open));
  // Kept for the next run.
  EXPECT_EQ(window_settings::Open()->value("files/database").toString(), database);
  EXPECT_EQ(window_settings::Open()->value("files/lastFolder").toString(), two);
}

TEST(QtOperatorTest, WaitCursorNestsAndIsRestored) {
  QtOperator op;
  {
    WaitCursor outer(op);
    WaitCursor inner(op);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  op.EndWait();  // one too many is harmless
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
