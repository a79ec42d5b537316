#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "workspace/editors/CArticleEditor.h"
#include "tests/workspace/editors/EditorWindowTest.h"

namespace {

// Types any characters, also those without a key of their own.
void Type(QWidget* field, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(field, &release);
  }
}

ArticleRecord Article() {
  ArticleRecord r = ZeroArticle();
  r.PLUNO = 31;
  r.TAX_GROUP = 'B';
  SetName(r.NAME, "Apple juice");
  r.SING_PRICE = 1.99;
  r.STOCKQTY = 24;
  r.OPT_FRACT_QTY = 0;
  r.IN_USE = 1;
  return r;
}

class CArticleEditorTest : public EditorWindowTest<CArticleEditor> {};

TEST_F(CArticleEditorTest, OpensWithTitleTextsAndTheNameSelected) {
  editor.Record() = Article();
  editor.Prepare();
  editor.show();
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  EXPECT_EQ(editor.windowTitle(), "Article Editor");
  EXPECT_EQ(Find<QLabel>("labelPluNumber")->text(), "PLU No:");
  EXPECT_EQ(Find<QGroupBox>("groupStock")->title(), "Stock quantity");
  EXPECT_EQ(Find<QGroupBox>("groupInitial")->title(), "Initial quantity");
  EXPECT_FALSE(Find<QGroupBox>("groupInitial")->isEnabled());
  EXPECT_FALSE(Find<QLineEdit>("editPluLink")->isEnabled());
  auto* name = Find<QLineEdit>("editName");
  EXPECT_EQ(name->text(), "Apple juice");
  EXPECT_TRUE(name->hasFocus());
  EXPECT_EQ(name->selectedText(), "Apple juice");
  EXPECT_EQ(Find<QComboBox>("comboTaxGroup")->currentText(), "B");
  EXPECT_EQ(Find<QComboBox>("comboDepartment")->count(), 9);
  EXPECT_EQ(Find<QLineEdit>("editStockQty")->text(), "24.000");
  EXPECT_TRUE(editor.IsOpen());
  editor.reject();
  EXPECT_FALSE(editor.IsOpen());
}

TEST_F(CArticleEditorTest, BadFieldKeepsTheWindowOpenWithTheFieldSelected) {
  editor.Record() = Article();
  editor.Prepare();
  editor.show();
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  auto* price = Find<QLineEdit>("editPrice1");
  price->setText("abc");
  QTest::mouseClick(Find<QPushButton>("buttonOk"), Qt::LeftButton);
  EXPECT_EQ(op.AskedTexts(), (std::vector<std::string>{"Please enter a number."}));
  EXPECT_EQ(op.Asked()[0].icon, MessageIcon::Warning);
  EXPECT_TRUE(editor.isVisible());
  EXPECT_TRUE(editor.IsOpen());
  EXPECT_TRUE(price->hasFocus());
  EXPECT_EQ(price->selectedText(), "abc");

  price->setText("2.49");
  Find<QLineEdit>("editName")->setText("Pear juice");
  Find<QComboBox>("comboTaxGroup")->setCurrentIndex(3);
  QTest::mouseClick(Find<QPushButton>("buttonOk"), Qt::LeftButton);
  EXPECT_FALSE(editor.isVisible());
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  EXPECT_FALSE(editor.IsOpen());
  EXPECT_EQ(editor.Record().SING_PRICE, 2.49);
  EXPECT_STREQ(editor.Record().NAME, "Pear juice");
  EXPECT_EQ(editor.Record().TAX_GROUP, 'D');
  EXPECT_EQ(op.Asked().size(), 1u);
}

TEST_F(CArticleEditorTest, ARecordCheckRefusesWithEverythingTypedKept) {
  editor.Record() = Article();
  editor.Logic().SetRecordCheck([](const ArticleRecord& r) -> std::optional<ArticleEditorLogic::Refusal> {
    if (r.PLUNO == 7) return ArticleEditorLogic::Refusal{ArticleField::PluNumber, "Duplicate Plu Number!"};
    return std::nullopt;
  });
  editor.Prepare();
  editor.show();
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  auto* plu = Find<QLineEdit>("editPluNumber");
  plu->setText("7");
  Find<QLineEdit>("editName")->setText("Typed name");
  QTest::mouseClick(Find<QPushButton>("buttonOk"), Qt::LeftButton);
  EXPECT_EQ(op.AskedTexts(), (std::vector<std::string>{"Duplicate Plu Number!"}));
  EXPECT_TRUE(editor.isVisible());
  EXPECT_TRUE(plu->hasFocus());
  EXPECT_EQ(Find<QLineEdit>("editName")->text(), "Typed name");

  plu->setText("8");
  QTest::mouseClick(Find<QPushButton>("buttonOk"), Qt::LeftButton);
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  EXPECT_EQ(editor.Record().PLUNO, 8u);
  EXPECT_STREQ(editor.Record().NAME, "Typed name");
}

TEST_F(CArticleEditorTest, EnterInAFieldActsAsOkInTheModalLoop) {
  editor.Record() = Article();
  bool wasOpen = false;
  QTimer::singleShot(0, &editor, [&] {
    wasOpen = editor.IsOpen();
    auto* name = editor.findChild<QLineEdit*>("editName");
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "Orange");
    auto* barcode = editor.findChild<QLineEdit*>("editBarcode");
    barcode->setFocus();
    QTest::keyClick(barcode, Qt::Key_Return);
  });
  EXPECT_EQ(editor.DoModal(), QDialog::Accepted);
  EXPECT_TRUE(wasOpen);
  EXPECT_FALSE(editor.IsOpen());
  EXPECT_STREQ(editor.Record().NAME, "Orange");
}

TEST_F(CArticleEditorTest, NameFieldStopsAtFortyNineCharacters) {
  editor.Record() = Article();
  editor.Prepare();
  auto* name = Find<QLineEdit>("editName");
  name->clear();
  QTest::keyClicks(name, QString(60, QChar('w')));
  EXPECT_EQ(name->text(), QString(49, QChar('w')));
  name->clear();
  Type(name, QString(48, QChar('w')) + QString::fromUtf8("\xC3\xA9\xC3\xA9"));
  EXPECT_EQ(name->text(), QString(48, QChar('w')) + QString::fromUtf8("\xC3\xA9"));
}

TEST_F(CArticleEditorTest, UnstorableNameIsRefusedThroughTheOperator) {
  editor.Record() = Article();
  editor.Prepare();
  editor.show();
  auto* name = Find<QLineEdit>("editName");
  name->setText(QString::fromUtf8("Tea \xE2\x98\x95"));
  editor.accept();
  ASSERT_EQ(op.Asked().size(), 1u);
  EXPECT_NE(op.Asked()[0].text.find("\xE2\x98\x95"), std::string::npos);
  EXPECT_TRUE(editor.isVisible());
  EXPECT_STREQ(editor.Record().NAME, "Apple juice");
  editor.reject();
}

TEST_F(CArticleEditorTest, NotControlledBoxEmptiesAndLocksTheStockField) {
  editor.Record() = Article();
  editor.Prepare();
  editor.show();
  auto* box = Find<QCheckBox>("checkStockNotControlled");
  auto* stock = Find<QLineEdit>("editStockQty");
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(stock->isReadOnly());
  EXPECT_EQ(stock->text(), "");
  editor.accept();
  EXPECT_EQ(editor.Record().STOCKQTY, 999999999.0);
}

TEST_F(CArticleEditorTest, ANumberShowsAsItWillBeStoredWhenItsFieldIsLeft) {
  editor.Record() = Article();
  editor.Prepare();
  editor.show();
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  auto* price = Find<QLineEdit>("editPrice1");
  auto* stock = Find<QLineEdit>("editStockQty");
  price->setFocus();
  price->selectAll();
  QTest::keyClicks(price, "1,234");
  stock->setFocus();
  EXPECT_EQ(price->text(), "1.234");
  stock->selectAll();
  QTest::keyClicks(stock, "2,5");
  price->setFocus();
  EXPECT_EQ(stock->text(), "2.500");
  editor.accept();
  EXPECT_EQ(editor.Record().SING_PRICE, 1.234);
  EXPECT_EQ(editor.Record().STOCKQTY, 2.5);
}

TEST_F(CArticleEditorTest, RefreshShowsAReplacedRecordWhileOpen) {
  editor.Record() = Article();
  editor.Prepare();
  ArticleRecord other = Article();
  SetName(other.NAME, "Lemonade");
  other.PLUNO = 77;
  editor.Record() = other;
  editor.RefreshFromRecord();
  EXPECT_EQ(Find<QLineEdit>("editName")->text(), "Lemonade");
  EXPECT_EQ(Find<QLineEdit>("editPluNumber")->text(), "77");
}

}  // namespace
