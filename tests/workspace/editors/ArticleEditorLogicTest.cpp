#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "ArticleEditorLogic.h"
#include "DatabaseFile.h"
#include "DeviceProfile.h"
#include "FieldExchange.h"
#include "TempDir.h"
#include "UiText.h"
#include "WorkspaceTestConfig.h"

namespace {

ArticleRecord SampleArticle() {
  ArticleRecord r = ZeroArticle();
  r.PLUNO = 1234;
  r.TAX_GROUP = 'C';
  r.SING_PRICE = 1.5;
  r.MAX_PRICE = 2;
  r.AMOUNT = 11;
  r.AMOUNT_DS = 12;
  r.SOLDQTY = 13;
  r.SOLDQTY_DS = 14;
  SetName(r.NAME, "Rye bread");
  r.BARCODE = 4006381333931;
  r.DEPARTMENT = 2;
  r.STOCKQTY = 12.5;
  r.INITQTY = 3;
  r.STOCK_GROUP = 4;
  r.MEASURE_UNIT = 1;
  r.OPT_FRACT_QTY = 1;
  r.OPT_SINGTRANS = 0;
  r.OPT_FREEPRICE = 1;
  r.IN_USE = 1;
  r.PLUNOLINK = 55;
  return r;
}

class ArticleEditorLogicTest : public ::testing::Test {
 protected:
  ArticleEditorLogicTest() { profile.SetForDeviceType(); }

  void Open(const ArticleRecord& record, const DatabaseFile* database = nullptr) {
    editor.Record() = record;
    editor.BeginModal();
    editor.Open(database);
  }
  ArticleEditorControls& C() { return editor.Controls(); }

  WorkspaceTestConfig config;
  DeviceProfile profile;
  ArticleEditorLogic editor{profile, config.Names()};
};

TEST_F(ArticleEditorLogicTest, ConstructionStartsEmptyAndClosed) {
  EXPECT_TRUE(IsAllZero(editor.Record()));
  EXPECT_FALSE(editor.IsOpen());
  EXPECT_EQ(editor.NameText(), "");
  EXPECT_EQ(editor.TaxText(), "");
  EXPECT_EQ(editor.PluLinkValue(), 0);
  EXPECT_FALSE(editor.StockNotControlled());
}

TEST_F(ArticleEditorLogicTest, OpeningShowsEveryFieldOfTheRecord) {
  Open(SampleArticle());
  EXPECT_EQ(C().pluNumber.text, "1234");
  EXPECT_EQ(C().name.text, "Rye bread");
  EXPECT_EQ(C().barcode.text, "4006381333931");
  EXPECT_EQ(C().price1.text, "1.5");
  EXPECT_EQ(C().price2.text, "2");
  EXPECT_EQ(C().stockQty.text, "12.500");
  EXPECT_FALSE(C().stockQty.readOnly);
  EXPECT_EQ(C().initialQty.text, "3.000");
  EXPECT_EQ(C().taxGroup.SelectedText(), "C");
  EXPECT_EQ(C().measureUnit.selected, 1);
  EXPECT_EQ(C().department.selected, 2);
  EXPECT_EQ(C().commodityGroup.selected, 4);
  EXPECT_EQ(C().fractionalQty.selected, 1);
  EXPECT_EQ(C().freePrice.SelectedText(), UiText("DLG_FREE_PRICE_E"));
  EXPECT_EQ(C().singleTransaction.SelectedText(), UiText("DLG_SINGLE_TRANS_D"));
  EXPECT_TRUE(editor.IsOpen());
}

TEST_F(ArticleEditorLogicTest, ListsFollowTheDefaultProfile) {
  Open(SampleArticle());
  EXPECT_EQ(C().taxGroup.items, (std::vector<std::string>{"A", "B", "C", "D", "E", "F", "G", "H"}));
  ASSERT_EQ(C().measureUnit.items.size(), 10u);
  EXPECT_EQ(C().measureUnit.items[0], "pcs");
  EXPECT_EQ(C().measureUnit.items[9], "pack");
  ASSERT_EQ(C().commodityGroup.items.size(), 20u);
  EXPECT_EQ(C().commodityGroup.items[0], "Food");
  EXPECT_EQ(C().commodityGroup.items[19], "Other");
  ASSERT_EQ(C().department.items.size(), 9u);
  EXPECT_EQ(C().department.items[8], "---");
  EXPECT_EQ(C().fractionalQty.items,
            (std::vector<std::string>{UiText("DLG_FRAC_QTY_D"), UiText("DLG_FRAC_QTY_E")}));
  EXPECT_EQ(C().freePrice.items, (std::vector<std::string>{UiText("DLG_FREE_PRICE_D"), UiText("DLG_FREE_PRICE_E")}));
}

TEST_F(ArticleEditorLogicTest, SwitchesOfTheProfileEnableTheirFields) {
  Open(SampleArticle());
  EXPECT_TRUE(C().barcode.enabled);
  EXPECT_TRUE(C().stockGroupEnabled && C().stockQty.enabled && C().stockNotControlled.enabled);
  EXPECT_FALSE(C().initialGroupEnabled || C().initialQty.enabled || C().initialNotControlled.enabled);
  EXPECT_FALSE(C().pluLinkLabelEnabled || C().pluLink.enabled);

  profile.barcodeEnabled = 0;
  profile.stockQtyEnabled = 0;
  profile.initialQtyEnabled = 1;
  profile.pluLinkEnabled = 1;
  Open(SampleArticle());
  EXPECT_FALSE(C().barcode.enabled);
  EXPECT_FALSE(C().stockGroupEnabled || C().stockQty.enabled || C().stockNotControlled.enabled);
  EXPECT_TRUE(C().initialGroupEnabled && C().initialQty.enabled && C().initialNotControlled.enabled);
  EXPECT_TRUE(C().pluLinkLabelEnabled && C().pluLink.enabled);
  EXPECT_EQ(C().pluLink.text, "55");
}

TEST_F(ArticleEditorLogicTest, DepartmentNamesComeFromTheOpenDatabase) {
  TempDir dir;
  DatabaseFile database;
  ASSERT_EQ(database.OpenDatabase(dir.File("shop.db"), false).result, OpenResult::Created);
  // Slots the file does not hold yet read as empty names.
  Open(SampleArticle(), &database);
  ASSERT_EQ(C().department.items.size(), 9u);
  EXPECT_EQ(C().department.items[0], "");

  ASSERT_TRUE(database.WriteNewContents('B'));
  DepartmentRecord bakery{};
  ASSERT_EQ(database.ReadDepartment(0, bakery), ReadStatus::Ok);
  SetName(bakery.NAME, "Bakery \xE9");  // é in the record's code page
  ASSERT_TRUE(database.WriteDepartment(0, bakery));
  DepartmentRecord seventh{};
  ASSERT_EQ(database.ReadDepartment(7, seventh), ReadStatus::Ok);

  Open(SampleArticle(), &database);
  ASSERT_EQ(C().department.items.size(), 9u);
  EXPECT_EQ(C().department.items[0], "Bakery \xC3\xA9");
  EXPECT_NE(NameOf(seventh.NAME), "");
  EXPECT_EQ(C().department.items[7], UiName(NameOf(seventh.NAME)));
  EXPECT_EQ(C().department.items[8], "---");
}

TEST_F(ArticleEditorLogicTest, WithoutADatabaseTheDepartmentNamesAreEmpty) {
  Open(SampleArticle());
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(C().department.items[i], "");
}

TEST_F(ArticleEditorLogicTest, CountsBeyondTheirSourcesAreCutToTheSources) {
  WorkspaceTestConfig twenty("ABCDEFGHIJKLMNOPQRST");
  ArticleEditorLogic wide{profile, twenty.Names()};
  profile.taxGroupCount = 50;
  profile.measureUnitCount = 50;
  profile.commodityGroupCount = 99;
  profile.departmentCount = 5000;
  wide.Record() = SampleArticle();
  wide.BeginModal();
  wide.Open(nullptr);
  EXPECT_EQ(wide.Controls().taxGroup.items.size(), 20u);
  EXPECT_EQ(wide.Controls().measureUnit.items.size(), 12u);
  EXPECT_EQ(wide.Controls().measureUnit.items[11], "m2");
  EXPECT_EQ(wide.Controls().commodityGroup.items.size(), 20u);
  EXPECT_EQ(wide.Controls().department.items.size(), 201u);
  EXPECT_EQ(wide.Controls().department.items[200], "---");
}

TEST_F(ArticleEditorLogicTest, TaxLettersStopAtTheEndOfTheConfiguredLetters) {
  WorkspaceTestConfig three("XYZ");
  ArticleEditorLogic editor3{profile, three.Names()};
  editor3.Record() = SampleArticle();
  editor3.BeginModal();
  editor3.Open(nullptr);
  EXPECT_EQ(editor3.Controls().taxGroup.items, (std::vector<std::string>{"X", "Y", "Z"}));
}

TEST_F(ArticleEditorLogicTest, NotControlledFractionalValueChecksTheBoxAndEmptiesTheField) {
  ArticleRecord r = SampleArticle();
  r.STOCKQTY = 999999.999;
  r.OPT_FRACT_QTY = 1;
  Open(r);
  EXPECT_TRUE(C().stockNotControlled.checked);
  EXPECT_TRUE(C().stockQty.readOnly);
  EXPECT_EQ(C().stockQty.text, "");
  EXPECT_TRUE(editor.StockNotControlled());
}

TEST_F(ArticleEditorLogicTest, FractionalNotControlledValueOnAWholeArticleIsAQuantity) {
  ArticleRecord r = SampleArticle();
  r.STOCKQTY = 999999.999;
  r.OPT_FRACT_QTY = 0;
  Open(r);
  EXPECT_FALSE(C().stockNotControlled.checked);
  EXPECT_FALSE(C().stockQty.readOnly);
  EXPECT_EQ(C().stockQty.text, "999999.999");
}

TEST_F(ArticleEditorLogicTest, WholeNotControlledValueIsRecognisedForInitialQuantity) {
  ArticleRecord r = SampleArticle();
  r.INITQTY = 999999999.0;
  r.OPT_FRACT_QTY = 0;
  profile.initialQtyEnabled = 1;
  Open(r);
  EXPECT_TRUE(C().initialNotControlled.checked);
  EXPECT_TRUE(C().initialQty.readOnly);
  EXPECT_EQ(C().initialQty.text, "");
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().INITQTY, 999999999.0);
}

TEST_F(ArticleEditorLogicTest, SwitchingToWholeQuantitiesStoresTheWholeNotControlledValue) {
  ArticleRecord r = SampleArticle();
  r.STOCKQTY = 999999.999;
  r.OPT_FRACT_QTY = 1;
  Open(r);
  ASSERT_EQ(C().fractionalQty.SelectedText(), UiText("DLG_FRAC_QTY_E"));
  C().fractionalQty.selected = 0;  // DLG_FRAC_QTY_D
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().OPT_FRACT_QTY, 0);
  EXPECT_EQ(editor.Record().STOCKQTY, 999999999.0);
}

TEST_F(ArticleEditorLogicTest, NotControlledWithoutAFractionalSelectionStoresTheWholeValue) {
  ArticleRecord r = SampleArticle();
  r.STOCKQTY = 999999.999;
  Open(r);
  C().fractionalQty.selected = -1;
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().OPT_FRACT_QTY, -1);
  EXPECT_EQ(editor.Record().STOCKQTY, 999999999.0);
}

TEST_F(ArticleEditorLogicTest, CheckingAndClearingTheStockBoxLeavesAWritableZero) {
  Open(SampleArticle());
  C().stockNotControlled.checked = true;
  EXPECT_FALSE(editor.RefusalOnNotControlled(ArticleEditorLogic::Quantity::Stock));
  EXPECT_TRUE(C().stockQty.readOnly);
  EXPECT_EQ(C().stockQty.text, "");
  EXPECT_TRUE(C().stockNotControlled.checked);

  C().stockNotControlled.checked = false;
  EXPECT_FALSE(editor.RefusalOnNotControlled(ArticleEditorLogic::Quantity::Stock));
  EXPECT_FALSE(C().stockQty.readOnly);
  EXPECT_EQ(C().stockQty.text, "0.000");
  EXPECT_EQ(editor.Record().STOCKQTY, 0.0);
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().STOCKQTY, 0.0);
}

TEST_F(ArticleEditorLogicTest, CheckingTheInitialBoxLeavesTheStockFieldAlone) {
  profile.initialQtyEnabled = 1;
  Open(SampleArticle());
  C().stockQty.text = "7.25";
  C().initialNotControlled.checked = true;
  EXPECT_FALSE(editor.RefusalOnNotControlled(ArticleEditorLogic::Quantity::Initial));
  EXPECT_TRUE(C().initialQty.readOnly);
  EXPECT_EQ(C().initialQty.text, "");
  EXPECT_FALSE(C().stockQty.readOnly);
  EXPECT_EQ(C().stockQty.text, "7.25");
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().INITQTY, 999999.999);
  EXPECT_EQ(editor.Record().STOCKQTY, 7.25);
}

TEST_F(ArticleEditorLogicTest, AClickWithARefusedFieldKeepsTheBoxAsLastRead) {
  Open(SampleArticle());
  C().pluNumber.text = "abc";
  C().stockNotControlled.checked = true;
  const auto refusal = editor.RefusalOnNotControlled(ArticleEditorLogic::Quantity::Stock);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, ArticleField::PluNumber);
  EXPECT_EQ(refusal->message, FieldExchange::kMsgPositiveInteger);
  // The reading stopped before the box, so the click is handled as clear.
  EXPECT_FALSE(C().stockNotControlled.checked);
  EXPECT_FALSE(C().stockQty.readOnly);
  EXPECT_EQ(C().stockQty.text, "0.000");
  EXPECT_EQ(C().pluNumber.text, "1234");
}

// Number fields take a value only when the whole text is one that fits.
TEST_F(ArticleEditorLogicTest, NumberFieldsTakeWholeNumbersThatFit) {
  profile.initialQtyEnabled = 1;
  profile.pluLinkEnabled = 1;
  struct Case {
    EditControl ArticleEditorControls::*control;
    const char* text;
    ArticleField refusedField;  // PluNumber with refused false: taken
    bool refused;
    double stored;
  };
  const auto plu = &ArticleEditorControls::pluNumber;
  const auto barcode = &ArticleEditorControls::barcode;
  const auto price = &ArticleEditorControls::price1;
  const auto stock = &ArticleEditorControls::stockQty;
  const auto initial = &ArticleEditorControls::initialQty;
  const auto link = &ArticleEditorControls::pluLink;
  const Case cases[] = {
      {plu, " 42 ", ArticleField::PluNumber, false, 42},
      {plu, "2147483647", ArticleField::PluNumber, false, 2147483647.0},
      {plu, "0", ArticleField::PluNumber, true, 0},
      {plu, "-3", ArticleField::PluNumber, true, 0},
      {plu, "2147483648", ArticleField::PluNumber, true, 0},
      {plu, "12abc", ArticleField::PluNumber, true, 0},
      {plu, "1.5", ArticleField::PluNumber, true, 0},
      {barcode, "0004006381333", ArticleField::Barcode, false, 4006381333.0},
      {barcode, "9999999999999", ArticleField::Barcode, false, 9999999999999.0},
      {barcode, "10000000000000", ArticleField::Barcode, true, 0},
      {barcode, "123456789012345678901234", ArticleField::Barcode, true, 0},
      {barcode, "-1", ArticleField::Barcode, true, 0},
      {price, "12,5", ArticleField::Price1, false, 12.5},
      {price, "12.5", ArticleField::Price1, false, 12.5},
      {price, "-0,50", ArticleField::Price1, false, -0.5},
      {price, "1,234.50", ArticleField::Price1, true, 0},
      {price, "1.234,5", ArticleField::Price1, true, 0},
      {price, "nan", ArticleField::Price1, true, 0},
      {price, "inf", ArticleField::Price1, true, 0},
      {price, "1e999", ArticleField::Price1, true, 0},
      {price, "1000000000", ArticleField::Price1, true, 0},
      {stock, "2,5", ArticleField::StockQty, false, 2.5},
      {stock, "xyz", ArticleField::StockQty, true, 0},
      {stock, "999999.999", ArticleField::StockQty, true, 0},  // the not-controlled value
      {stock, "", ArticleField::StockQty, true, 0},
      {initial, "kg", ArticleField::InitialQty, true, 0},
      {link, "-42", ArticleField::PluLink, false, -42},
      {link, "4294967295", ArticleField::PluLink, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Open(SampleArticle());
    (C().*c.control).text = c.text;
    const auto refusal = editor.RefusalOnOk();
    ASSERT_EQ(refusal.has_value(), c.refused);
    if (refusal) {
      EXPECT_EQ(refusal->field, c.refusedField);
      EXPECT_TRUE(editor.IsOpen());
      continue;
    }
    const ArticleRecord& r = editor.Record();
    const double stored = c.control == plu       ? r.PLUNO
                          : c.control == barcode ? static_cast<double>(r.BARCODE)
                          : c.control == price   ? r.SING_PRICE
                          : c.control == stock   ? r.STOCKQTY
                          : c.control == initial ? r.INITQTY
                                                 : r.PLUNOLINK;
    EXPECT_EQ(stored, c.stored);
  }
}

TEST_F(ArticleEditorLogicTest, EmptyPriceIsRefusedAndTheExchangeStopsThere) {
  Open(SampleArticle());
  C().pluNumber.text = "77";
  C().price1.text = "";
  C().price2.text = "9";
  C().pluLink.text = "also bad";
  const auto refusal = editor.RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, ArticleField::Price1);
  EXPECT_EQ(refusal->message, "Please enter a number.");
  EXPECT_TRUE(editor.IsOpen());
  // Fields before the refused one were taken, those after it were not.
  EXPECT_EQ(editor.Record().PLUNO, 77u);
  EXPECT_EQ(editor.Record().MAX_PRICE, 2.0);
}

TEST_F(ArticleEditorLogicTest, SecondPriceIsRefusedOnItsOwn) {
  Open(SampleArticle());
  C().price2.text = ".";
  const auto refusal = editor.RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, ArticleField::Price2);
  EXPECT_EQ(refusal->message, FieldExchange::kMsgNumber);
}

TEST_F(ArticleEditorLogicTest, DisabledBarcodeStillTakesPartInTheExchange) {
  profile.barcodeEnabled = 0;
  Open(SampleArticle());
  C().barcode.text = "";
  const auto refusal = editor.RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, ArticleField::Barcode);
}

TEST_F(ArticleEditorLogicTest, PluLinkIsZeroAndDisabledWithoutTheSwitch) {
  Open(SampleArticle());  // record holds 55
  EXPECT_EQ(C().pluLink.text, "0");
  EXPECT_FALSE(C().pluLink.enabled);
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().PLUNOLINK, 0);
}

TEST_F(ArticleEditorLogicTest, PluLinkIsTakenWhenEnabled) {
  profile.pluLinkEnabled = 1;
  Open(SampleArticle());
  C().pluLink.text = "-42";
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().PLUNOLINK, -42);

  Open(SampleArticle());
  C().pluLink.text = "link";
  const auto refusal = editor.RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, ArticleField::PluLink);
  EXPECT_EQ(refusal->message, FieldExchange::kMsgInteger);
  EXPECT_EQ(editor.Record().PLUNOLINK, 55);
}

TEST_F(ArticleEditorLogicTest, LastDepartmentEntryIsTheNoDepartmentPosition) {
  Open(SampleArticle());
  C().department.selected = 8;
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().DEPARTMENT, 8);
}

TEST_F(ArticleEditorLogicTest, PositionsTheListsDoNotHoldAreStoredAsMinusOne) {
  ArticleRecord r = SampleArticle();
  r.DEPARTMENT = 9;
  r.MEASURE_UNIT = 10;
  r.STOCK_GROUP = -1;
  r.OPT_SINGTRANS = 2;
  Open(r);
  EXPECT_EQ(C().department.selected, -1);
  EXPECT_EQ(C().measureUnit.selected, -1);
  EXPECT_EQ(C().commodityGroup.selected, -1);
  EXPECT_EQ(C().singleTransaction.selected, -1);
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().DEPARTMENT, -1);
  EXPECT_EQ(editor.Record().MEASURE_UNIT, -1);
  EXPECT_EQ(editor.Record().STOCK_GROUP, -1);
  EXPECT_EQ(editor.Record().OPT_SINGTRANS, -1);
}

TEST_F(ArticleEditorLogicTest, UnknownTaxLetterLeavesTheSecondEntrySelected) {
  ArticleRecord r = SampleArticle();
  r.TAX_GROUP = 'Z';
  Open(r);
  EXPECT_EQ(C().taxGroup.selected, 1);
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().TAX_GROUP, 'B');
}

TEST_F(ArticleEditorLogicTest, NewArticleLetterIsNotAConfiguredLetter) {
  ArticleRecord r = SampleArticle();
  r.TAX_GROUP = static_cast<char>(0xC1);  // what Add New puts in
  Open(r);
  EXPECT_EQ(C().taxGroup.selected, 1);
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().TAX_GROUP, 'B');
}

TEST_F(ArticleEditorLogicTest, TaxLetterMatchIgnoresLetterCase) {
  ArticleRecord r = SampleArticle();
  r.TAX_GROUP = 'e';
  Open(r);
  EXPECT_EQ(C().taxGroup.SelectedText(), "E");
  C().taxGroup.selected = 6;
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().TAX_GROUP, 'G');
}

TEST_F(ArticleEditorLogicTest, NoTaxSelectionStoresZero) {
  Open(SampleArticle());
  C().taxGroup.selected = -1;
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().TAX_GROUP, '\0');
}

TEST_F(ArticleEditorLogicTest, WithOneTaxLetterThereIsNoSecondEntryToFallBackOn) {
  profile.taxGroupCount = 1;
  ArticleRecord r = SampleArticle();
  r.TAX_GROUP = 'Q';
  Open(r);
  EXPECT_EQ(C().taxGroup.items.size(), 1u);
  EXPECT_EQ(C().taxGroup.selected, -1);
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().TAX_GROUP, '\0');
}

TEST_F(ArticleEditorLogicTest, OkWritesTheEditAndLeavesUseAndSalesAlone) {
  Open(SampleArticle());
  C().name.text = "Caf\xC3\xA9 cr\xC3\xA8me";
  C().pluNumber.text = "99";
  C().measureUnit.selected = 3;
  C().commodityGroup.selected = 19;
  C().freePrice.selected = 0;
  C().singleTransaction.selected = 1;
  ASSERT_FALSE(editor.RefusalOnOk());
  const ArticleRecord& r = editor.Record();
  EXPECT_FALSE(editor.IsOpen());
  EXPECT_STREQ(r.NAME, "Caf\xE9 cr\xE8me");
  EXPECT_EQ(r.PLUNO, 99u);
  EXPECT_EQ(r.MEASURE_UNIT, 3);
  EXPECT_EQ(r.STOCK_GROUP, 19);
  EXPECT_EQ(r.OPT_FREEPRICE, 0);
  EXPECT_EQ(r.OPT_SINGTRANS, 1);
  EXPECT_EQ(r.TAX_GROUP, 'C');
  EXPECT_EQ(r.STOCKQTY, 12.5);
  EXPECT_EQ(r.IN_USE, 1u);
  EXPECT_EQ(r.AMOUNT, 11);
  EXPECT_EQ(r.AMOUNT_DS, 12);
  EXPECT_EQ(r.SOLDQTY, 13);
  EXPECT_EQ(r.SOLDQTY_DS, 14);
}

TEST_F(ArticleEditorLogicTest, NameOfFortyNineCharactersIsStoredWhole) {
  Open(SampleArticle());
  const std::string name(49, 'N');
  C().name.text = name;
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(NameOf(editor.Record().NAME), name);
}

TEST_F(ArticleEditorLogicTest, NameLongerThanTheRecordIsRefused) {
  Open(SampleArticle());
  C().name.text = std::string(49, 'N') + "\xC3\xA9";  // 50 bytes in the code page
  const auto refusal = editor.RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, ArticleField::Name);
  EXPECT_NE(refusal->message.find("49"), std::string::npos);
  EXPECT_STREQ(editor.Record().NAME, "Rye bread");
}

TEST_F(ArticleEditorLogicTest, CharactersTheCodePageLacksAreRefusedNotMangled) {
  Open(SampleArticle());
  C().name.text = "Tea \xE2\x98\x95 \xCE\xA9";  // a cup and an omega
  const auto refusal = editor.RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, ArticleField::Name);
  EXPECT_NE(refusal->message.find("\xE2\x98\x95"), std::string::npos);
  EXPECT_NE(refusal->message.find("\xCE\xA9"), std::string::npos);
  EXPECT_TRUE(editor.IsOpen());
  EXPECT_STREQ(editor.Record().NAME, "Rye bread");
}

TEST_F(ArticleEditorLogicTest, UntouchedNameKeepsBytesTheCodePageLeavesUndefined) {
  ArticleRecord r = SampleArticle();
  SetName(r.NAME, "Odd \x81 byte");
  Open(r);
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_STREQ(editor.Record().NAME, "Odd \x81 byte");
}

TEST_F(ArticleEditorLogicTest, CancelClosesWithoutTheOkSteps) {
  Open(SampleArticle());
  C().name.text = "Other";
  editor.Cancel();
  EXPECT_FALSE(editor.IsOpen());
  EXPECT_STREQ(editor.Record().NAME, "Rye bread");
  EXPECT_EQ(editor.Record().PLUNOLINK, 55);
}

TEST_F(ArticleEditorLogicTest, RefusalKeepsTheEditorOpen) {
  Open(SampleArticle());
  C().price1.text = "";
  ASSERT_TRUE(editor.RefusalOnOk());
  EXPECT_TRUE(editor.IsOpen());
  C().price1.text = "3";
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_FALSE(editor.IsOpen());
  EXPECT_EQ(editor.Record().SING_PRICE, 3.0);
}

TEST_F(ArticleEditorLogicTest, RefreshShowsTheReplacedRecord) {
  Open(SampleArticle());
  ArticleRecord other = SampleArticle();
  other.PLUNO = 8;
  other.TAX_GROUP = 'F';
  SetName(other.NAME, "Milk");
  other.DEPARTMENT = 5;
  editor.Record() = other;
  editor.RefreshFromRecord();
  EXPECT_EQ(C().pluNumber.text, "8");
  EXPECT_EQ(C().name.text, "Milk");
  EXPECT_EQ(C().taxGroup.SelectedText(), "F");
  EXPECT_EQ(C().department.selected, 5);
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_STREQ(editor.Record().NAME, "Milk");
  EXPECT_EQ(editor.Record().TAX_GROUP, 'F');
}

TEST_F(ArticleEditorLogicTest, ReopeningStartsFromTheNewRecord) {
  Open(SampleArticle());
  C().stockNotControlled.checked = true;
  editor.RefusalOnNotControlled(ArticleEditorLogic::Quantity::Stock);
  editor.Cancel();
  Open(SampleArticle());
  EXPECT_FALSE(C().stockNotControlled.checked);
  EXPECT_FALSE(C().stockQty.readOnly);
  EXPECT_EQ(C().stockQty.text, "12.500");
}

}  // namespace
