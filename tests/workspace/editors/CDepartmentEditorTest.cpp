#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "workspace/editors/CDepartmentEditor.h"
#include "tests/workspace/editors/EditorWindowTest.h"
#include "workspace/common/UiText.h"

namespace {

class CDepartmentEditorTest : public EditorWindowTest<CDepartmentEditor> {
 protected:
  CDepartmentEditorTest() {
    DepartmentRecord d = ZeroDepartment();
    d.DEPTNO = 3;
    SetName(d.NAME, "Deli");
    d.TAX_GROUP = 'A';
    d.SING_PRICE = 4;
    d.MAX_AMOUNT = 500;
    editor.Record() = d;
  }
};

TEST_F(CDepartmentEditorTest, OpensWithItsTextsAndTheNameSelected) {
  editor.Prepare();
  editor.show();
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  EXPECT_EQ(editor.windowTitle(), "Department Editor");
  EXPECT_EQ(Find<QGroupBox>("groupRelations")->title(), "Relations");
  EXPECT_EQ(Find<QLabel>("labelMaxAmount")->text(), "Max Amount in Receipt");
  EXPECT_EQ(Find<QLabel>("labelMaxPrice")->text(), QString::fromStdString(UiText("DLG_ARTICLEEDITOR_PRICE2")));
  EXPECT_FALSE(Find<QComboBox>("comboStand")->isEnabled());
  EXPECT_EQ(Find<QComboBox>("comboStand")->count(), 0);
  EXPECT_TRUE(Find<QLineEdit>("editDepartmentNumber")->isReadOnly());
  EXPECT_EQ(Find<QLineEdit>("editDepartmentNumber")->text(), "3");
  EXPECT_EQ(Find<QComboBox>("comboFreePrice")->itemText(0), QString::fromStdString(UiText("DLG_FREE_PRICE_E")));
  auto* name = Find<QLineEdit>("editName");
  EXPECT_TRUE(name->hasFocus());
  EXPECT_EQ(name->selectedText(), "Deli");
}

TEST_F(CDepartmentEditorTest, EmptyMaximumAmountIsRefusedThenOkReturnsTheRecord) {
  editor.Prepare();
  editor.show();
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  auto* amount = Find<QLineEdit>("editMaxAmount");
  amount->clear();
  QTest::mouseClick(Find<QPushButton>("buttonOk"), Qt::LeftButton);
  EXPECT_EQ(op.AskedTexts(), (std::vector<std::string>{"Please enter a number."}));
  EXPECT_TRUE(editor.isVisible());
  EXPECT_TRUE(amount->hasFocus());

  amount->setText("750");
  QTest::keyClicks(Find<QLineEdit>("editName"), "");
  Find<QLineEdit>("editName")->setText("Deli counter");
  QTest::keyClick(Find<QLineEdit>("editName"), Qt::Key_Return);
  EXPECT_FALSE(editor.isVisible());
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  EXPECT_EQ(editor.Record().MAX_AMOUNT, 750.0);
  EXPECT_STREQ(editor.Record().NAME, "Deli counter");
  EXPECT_EQ(editor.Record().DEPTNO, 3u);
  EXPECT_EQ(editor.Record().STAND, -1);
  EXPECT_EQ(editor.Record().TAX_GROUP, 'A');
}

TEST_F(CDepartmentEditorTest, APriceShowsAsItWillBeStoredWhenItsFieldIsLeft) {
  editor.Prepare();
  editor.show();
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  auto* price = Find<QLineEdit>("editPrice");
  price->setFocus();
  price->selectAll();
  QTest::keyClicks(price, "4,50");
  Find<QLineEdit>("editName")->setFocus();
  EXPECT_EQ(price->text(), "4.5");
}

TEST_F(CDepartmentEditorTest, CancelLeavesTheWindowWithoutOk) {
  editor.Prepare();
  editor.show();
  QTest::mouseClick(Find<QPushButton>("buttonCancel"), Qt::LeftButton);
  EXPECT_EQ(editor.result(), QDialog::Rejected);
  EXPECT_TRUE(op.Asked().empty());
}

}  // namespace
