#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "workspace/editors/ArticleEditorLogic.h"
#include "data/DatabaseFile.h"
#include "data/DeviceProfile.h"
#include "workspace/common/FieldExchange.h"
#include "tests/data/TempDir.h"
#include "tests/data/TypedNumberCases.h"
#include "workspace/common/UiText.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

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
  EXPECT_EQ(C().fractionalQty.items, (std::vector<std::string>{UiText("DLG_FRAC_QTY_D"), UiText("DLG_FRAC_QTY_E")}));
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
TEST_F(ArticleEditorLogicTest, TypedNumbersAreTakenOrRefusedAsTheConverterTakesThem) {
  profile.initialQtyEnabled = 1;
  profile.pluLinkEnabled = 1;
  struct Target {
    EditControl ArticleEditorControls::*control;
    ArticleField field;
  };
  const auto target = [](NumberField field) -> Target {
    switch (field) {
      case NumberField::PluNumber: return {&ArticleEditorControls::pluNumber, ArticleField::PluNumber};
      case NumberField::Barcode: return {&ArticleEditorControls::barcode, ArticleField::Barcode};
      case NumberField::Price: return {&ArticleEditorControls::price1, ArticleField::Price1};
      case NumberField::SecondPrice: return {&ArticleEditorControls::price2, ArticleField::Price2};
      case NumberField::PluLink: return {&ArticleEditorControls::pluLink, ArticleField::PluLink};
      case NumberField::Quantity: return {&ArticleEditorControls::stockQty, ArticleField::StockQty};
    }
    return {};
  };
  std::vector<TypedNumberCase> cases(std::begin(kTypedNumberCases), std::end(kTypedNumberCases));
  // What only a field can hold: an empty text (an empty cell is a matter of its column).
  cases.push_back({NumberField::Price, "", std::nullopt});
  cases.push_back({NumberField::Quantity, "", std::nullopt});
  cases.push_back({NumberField::Barcode, "", std::nullopt});
  for (const TypedNumberCase& c : cases) {
    SCOPED_TRACE(c.text);
    const Target t = target(c.field);
    Open(SampleArticle());  // fractional quantities
    (C().*t.control).text = c.text;
    const auto refusal = editor.RefusalOnOk();
    ASSERT_EQ(refusal.has_value(), !c.value.has_value());
    if (refusal) {
      EXPECT_EQ(refusal->field, t.field);
      EXPECT_TRUE(editor.IsOpen());
      continue;
    }
    const ArticleRecord& r = editor.Record();
    const double stored = c.field == NumberField::PluNumber     ? r.PLUNO
                          : c.field == NumberField::Barcode     ? static_cast<double>(r.BARCODE)
                          : c.field == NumberField::Price       ? r.SING_PRICE
                          : c.field == NumberField::SecondPrice ? r.MAX_PRICE
                          : c.field == NumberField::Quantity    ? r.STOCKQTY
                                                                : r.PLUNOLINK;
    EXPECT_EQ(stored, *c.value);
  }
}

TEST_F(ArticleEditorLogicTest, WholeUnitQuantitiesStopShortOfTheirOwnNotControlledValue) {
  profile.initialQtyEnabled = 1;
  ArticleRecord whole = SampleArticle();
  whole.OPT_FRACT_QTY = 0;
  Open(whole);
  C().initialQty.text = "999999,999";
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().INITQTY, 999999.999);
  Open(whole);
  C().initialQty.text = "999999999";
  const auto refusal = editor.RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, ArticleField::InitialQty);
}

TEST_F(ArticleEditorLogicTest, FieldsTheOperatorCannotChangeAreStoredBackUnchecked) {
  // An imported article can hold values no one could type: greyed-out fields
  // keep them, and the rest of the article can still be edited and saved.
  ArticleRecord imported = SampleArticle();  // fractional quantities
  imported.INITQTY = 5000000;
  imported.STOCKQTY = -7000000;
  imported.BARCODE = 123456789012345678;
  profile.initialQtyEnabled = 0;
  profile.stockQtyEnabled = 0;
  profile.barcodeEnabled = 0;
  Open(imported);
  C().price1.text = "3,20";
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().SING_PRICE, 3.2);
  EXPECT_EQ(editor.Record().INITQTY, 5000000);
  EXPECT_EQ(editor.Record().STOCKQTY, -7000000);
  EXPECT_EQ(editor.Record().BARCODE, 123456789012345678);

  // Whatever a greyed-out field shows, it is not read.
  Open(imported);
  C().barcode.text = "";
  C().initialQty.text = "kg";
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().BARCODE, 123456789012345678);
  EXPECT_EQ(editor.Record().INITQTY, 5000000);

  // A greyed-out quantity that is not controlled stays so under the option chosen.
  imported.INITQTY = kNotControlledFractional;
  Open(imported);
  C().fractionalQty.selected = 0;
  ASSERT_FALSE(editor.RefusalOnOk());
  EXPECT_EQ(editor.Record().INITQTY, kNotControlledWhole);

  // Once the register keeps the field, the operator must correct it.
  profile.initialQtyEnabled = 1;
  imported.INITQTY = 5000000;
  Open(imported);
  EXPECT_EQ(C().initialQty.text, "5000000.000");
  const auto refusal = editor.RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, ArticleField::InitialQty);
}

TEST_F(ArticleEditorLogicTest, LeavingANumberFieldShowsTheValueAsItWillBeStored) {
  profile.pluLinkEnabled = 1;
  struct Case {
    EditControl ArticleEditorControls::*control;
    ArticleField field;
    const char* typed;
    const char* shown;
  };
  const Case cases[] = {
      {&ArticleEditorControls::price1, ArticleField::Price1, "1,234", "1.234"},
      {&ArticleEditorControls::price2, ArticleField::Price2, " 12,50 ", "12.5"},
      {&ArticleEditorControls::pluNumber, ArticleField::PluNumber, " +007", "7"},
      {&ArticleEditorControls::barcode, ArticleField::Barcode, "0004006381333931", "4006381333931"},
      {&ArticleEditorControls::stockQty, ArticleField::StockQty, "2,5", "2.500"},
      {&ArticleEditorControls::pluLink, ArticleField::PluLink, "-0", "0"},
      // Text OK refuses stays as typed, for the operator to correct.
      {&ArticleEditorControls::price1, ArticleField::Price1, "12,5x", "12,5x"},
      {&ArticleEditorControls::price1, ArticleField::Price1, "1e3", "1e3"},
      {&ArticleEditorControls::pluNumber, ArticleField::PluNumber, "99999999999", "99999999999"},
      {&ArticleEditorControls::stockQty, ArticleField::StockQty, "999999.999", "999999.999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Open(SampleArticle());
    (C().*c.control).text = c.typed;
    editor.ReformatField(c.field);
    EXPECT_EQ((C().*c.control).text, c.shown);
  }
  // A not-controlled quantity stays empty.
  ArticleRecord notControlled = SampleArticle();
  notControlled.STOCKQTY = kNotControlledFractional;
  Open(notControlled);
  editor.ReformatField(ArticleField::StockQty);
  EXPECT_EQ(C().stockQty.text, "");
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
