#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include "QtOperator.h"

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
