#include <gtest/gtest.h>

#include "workspace/editors/DepartmentEditorLogic.h"
#include "data/DeviceProfile.h"
#include "workspace/common/FieldExchange.h"
#include "workspace/common/UiText.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

namespace {

DepartmentRecord SampleDepartment() {
  DepartmentRecord d = ZeroDepartment();
  d.DEPTNO = 7;
  SetName(d.NAME, "Bakery");
  d.STOCK_GROUP = 3;
  d.MEASURE_UNIT = 1;
  d.STAND = 0;
  d.TAX_GROUP = 'D';
  d.SING_PRICE = 0.5;
  d.MAX_PRICE = 100;
  d.MAX_AMOUNT = 2500.75;
  d.SOLDQTY = 9;
  d.AMOUNT = 10;
  d.OPT_FRACT_QTY = 0;
  d.OPT_SINGTRANS = 1;
  d.OPT_FREEPRICE = 0;
  d.downloaded = 1;
  return d;
}

class DepartmentEditorLogicTest : public ::testing::Test {
 protected:
  DepartmentEditorLogicTest() { profile.SetForDeviceType(); }

  DepartmentEditorLogic& Open(const DepartmentRecord& record) {
    editor = std::make_unique<DepartmentEditorLogic>(profile, config.Names());
    editor->Record() = record;
    editor->Open();
    return *editor;
  }
  DepartmentEditorControls& C() { return editor->Controls(); }

  WorkspaceTestConfig config;
  DeviceProfile profile;
  std::unique_ptr<DepartmentEditorLogic> editor;
};

TEST_F(DepartmentEditorLogicTest, OpeningShowsTheRecord) {
  Open(SampleDepartment());
  EXPECT_EQ(C().name.text, "Bakery");
  EXPECT_EQ(C().departmentNumber.text, "7");
  EXPECT_TRUE(C().departmentNumber.readOnly);
  EXPECT_EQ(C().taxGroup.SelectedText(), "D");
  EXPECT_EQ(C().price.text, "0.5");
  EXPECT_EQ(C().maxPrice.text, "100");
  EXPECT_EQ(C().maxAmount.text, "2500.75");
  EXPECT_EQ(C().commodityGroup.selected, 3);
  EXPECT_EQ(C().measureUnit.selected, 1);
  EXPECT_EQ(C().fractionalQty.selected, 0);
  EXPECT_EQ(C().singleTransaction.SelectedText(), UiText("DLG_SINGLE_TRANS_E"));
  EXPECT_EQ(C().measureUnit.items.size(), 10u);
  EXPECT_EQ(C().commodityGroup.items.size(), 20u);
  EXPECT_EQ(C().taxGroup.items.size(), 8u);
}

TEST_F(DepartmentEditorLogicTest, FreePriceListIsReversed) {
  Open(SampleDepartment());
  EXPECT_EQ(C().freePrice.items, (std::vector<std::string>{UiText("DLG_FREE_PRICE_E"), UiText("DLG_FREE_PRICE_D")}));
  EXPECT_EQ(C().freePrice.SelectedText(), UiText("DLG_FREE_PRICE_E"));
  EXPECT_EQ(C().fractionalQty.items, (std::vector<std::string>{UiText("DLG_FRAC_QTY_D"), UiText("DLG_FRAC_QTY_E")}));

  DepartmentRecord d = SampleDepartment();
  d.OPT_FREEPRICE = 1;
  Open(d);
  EXPECT_EQ(C().freePrice.SelectedText(), UiText("DLG_FREE_PRICE_D"));
  C().freePrice.selected = 0;
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(editor->Record().OPT_FREEPRICE, 0);
}

TEST_F(DepartmentEditorLogicTest, WithoutStandsTheStandListIsEmptyDisabledAndStoresMinusOne) {
  Open(SampleDepartment());
  EXPECT_TRUE(C().stand.items.empty());
  EXPECT_FALSE(C().stand.enabled);
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(editor->Record().STAND, -1);
}

TEST_F(DepartmentEditorLogicTest, StandsAreOfferedWhenTheRegisterHasThem) {
  profile.standCount = 3;
  DepartmentRecord d = SampleDepartment();
  d.STAND = 2;
  Open(d);
  EXPECT_TRUE(C().stand.enabled);
  EXPECT_EQ(C().stand.items, (std::vector<std::string>{"Counter", "Bakery", "Deli"}));
  EXPECT_EQ(C().stand.selected, 2);
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(editor->Record().STAND, 2);
}

TEST_F(DepartmentEditorLogicTest, ListsWithACountOfZeroAreDisabled) {
  profile.measureUnitCount = 0;
  profile.commodityGroupCount = 0;
  Open(SampleDepartment());
  EXPECT_FALSE(C().measureUnit.enabled);
  EXPECT_FALSE(C().commodityGroup.enabled);
  EXPECT_TRUE(C().taxGroup.enabled);
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(editor->Record().MEASURE_UNIT, -1);
  EXPECT_EQ(editor->Record().STOCK_GROUP, -1);
}

TEST_F(DepartmentEditorLogicTest, CountsBeyondTheirSourcesAreCutToTheSources) {
  profile.standCount = 11;
  profile.measureUnitCount = 13;
  profile.commodityGroupCount = 21;
  profile.taxGroupCount = 21;
  Open(SampleDepartment());
  EXPECT_EQ(C().stand.items.size(), 10u);
  EXPECT_EQ(C().stand.items[9], "Stand 10");
  EXPECT_EQ(C().measureUnit.items.size(), 12u);
  EXPECT_EQ(C().commodityGroup.items.size(), 20u);
  EXPECT_EQ(C().taxGroup.items.size(), 8u);  // ABCDEFGH: the letters end first
}

TEST_F(DepartmentEditorLogicTest, DepartmentNumberIsStoredBackUnchanged) {
  DepartmentRecord d = SampleDepartment();
  d.DEPTNO = 4000000000u;
  Open(d);
  EXPECT_EQ(C().departmentNumber.text, "4000000000");
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(editor->Record().DEPTNO, 4000000000u);
}

TEST_F(DepartmentEditorLogicTest, EmptyMaximumAmountIsRefused) {
  Open(SampleDepartment());
  C().price.text = "1.25";
  C().maxAmount.text = "";
  const auto refusal = editor->RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, DepartmentField::MaxAmount);
  EXPECT_EQ(refusal->message, "Please enter a number.");
  EXPECT_EQ(editor->Record().SING_PRICE, 1.25);  // taken before the refusal
  EXPECT_EQ(editor->Record().MAX_AMOUNT, 2500.75);
}

TEST_F(DepartmentEditorLogicTest, ExchangeStopsAtTheFirstRefusedFieldInOrder) {
  Open(SampleDepartment());
  C().price.text = "x";
  C().maxPrice.text = "y";
  auto refusal = editor->RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, DepartmentField::Price);

  C().price.text = "1";
  refusal = editor->RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, DepartmentField::MaxPrice);
  EXPECT_EQ(refusal->message, FieldExchange::kMsgNumber);

  C().name.text = "Caf\xE2\x98\x95";
  refusal = editor->RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, DepartmentField::Name);
}

TEST_F(DepartmentEditorLogicTest, TheZeroNumberOfAnUnusedSlotIsStoredBackUnchanged) {
  // Short files and workbooks with fewer department rows leave slots numbered 0.
  DepartmentRecord unused = SampleDepartment();
  unused.DEPTNO = 0;
  Open(unused);
  EXPECT_EQ(C().departmentNumber.text, "0");
  C().name.text = "Spare";
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(editor->Record().DEPTNO, 0u);
  EXPECT_EQ(NameOf(editor->Record().NAME), "Spare");

  // The field is never typed into: whatever it holds, the number stays.
  Open(SampleDepartment());
  C().departmentNumber.text = "";
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(editor->Record().DEPTNO, 7u);
}

TEST_F(DepartmentEditorLogicTest, NumberFieldsTakeWholeNumbersThatFit) {
  struct Case {
    EditControl DepartmentEditorControls::*control;
    const char* text;
    DepartmentField field;
    bool refused;
  };
  const Case cases[] = {
      {&DepartmentEditorControls::price, "3,75", DepartmentField::Price, false},
      {&DepartmentEditorControls::price, "-2", DepartmentField::Price, false},
      {&DepartmentEditorControls::price, "12,5x", DepartmentField::Price, true},
      {&DepartmentEditorControls::price, "inf", DepartmentField::Price, true},
      {&DepartmentEditorControls::maxPrice, "1e3", DepartmentField::MaxPrice, true},
      {&DepartmentEditorControls::maxPrice, "1,000.00", DepartmentField::MaxPrice, true},
      {&DepartmentEditorControls::maxAmount, "99999999999", DepartmentField::MaxAmount, true},
      {&DepartmentEditorControls::maxAmount, "nan", DepartmentField::MaxAmount, true},
      {&DepartmentEditorControls::maxAmount, "2500,5", DepartmentField::MaxAmount, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Open(SampleDepartment());
    (C().*c.control).text = c.text;
    const auto refusal = editor->RefusalOnOk();
    ASSERT_EQ(refusal.has_value(), c.refused);
    if (refusal) {
      EXPECT_EQ(refusal->field, c.field);
    }
  }
  Open(SampleDepartment());
  C().price.text = "3,75";
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(editor->Record().SING_PRICE, 3.75);
}

TEST_F(DepartmentEditorLogicTest, LeavingAPriceFieldShowsTheValueAsItWillBeStored) {
  Open(SampleDepartment());
  C().price.text = "3,75";
  C().maxPrice.text = " 100,0 ";
  C().maxAmount.text = "12,5x";
  for (DepartmentField field : {DepartmentField::Price, DepartmentField::MaxPrice, DepartmentField::MaxAmount})
    editor->ReformatField(field);
  EXPECT_EQ(C().price.text, "3.75");
  EXPECT_EQ(C().maxPrice.text, "100");
  EXPECT_EQ(C().maxAmount.text, "12,5x");  // refused at OK, kept for correcting
}

TEST_F(DepartmentEditorLogicTest, OkWritesNameTaxAndNumbers) {
  Open(SampleDepartment());
  C().name.text = "Boulangerie \xC3\xA0 c\xC3\xB4t\xC3\xA9";
  C().taxGroup.selected = 0;
  C().price.text = "2,5";
  C().maxPrice.text = " 700";
  C().maxAmount.text = "-1";
  C().fractionalQty.selected = 1;
  ASSERT_FALSE(editor->RefusalOnOk());
  const DepartmentRecord& d = editor->Record();
  EXPECT_STREQ(d.NAME, "Boulangerie \xE0 c\xF4t\xE9");
  EXPECT_EQ(d.TAX_GROUP, 'A');
  EXPECT_EQ(d.SING_PRICE, 2.5);
  EXPECT_EQ(d.MAX_PRICE, 700.0);
  EXPECT_EQ(d.MAX_AMOUNT, -1.0);
  EXPECT_EQ(d.OPT_FRACT_QTY, 1);
  EXPECT_EQ(d.SOLDQTY, 9);
  EXPECT_EQ(d.AMOUNT, 10);
  EXPECT_EQ(d.downloaded, 1);
}

TEST_F(DepartmentEditorLogicTest, UnknownTaxLetterStoresTheSecondLetter) {
  DepartmentRecord d = SampleDepartment();
  d.TAX_GROUP = '?';
  Open(d);
  EXPECT_EQ(C().taxGroup.selected, 1);
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(editor->Record().TAX_GROUP, 'B');
}

TEST_F(DepartmentEditorLogicTest, FractionalOptionOfTheRecordWinsOverTheDefaultEntry) {
  DepartmentRecord d = SampleDepartment();
  d.OPT_FRACT_QTY = 0;
  Open(d);
  EXPECT_EQ(C().fractionalQty.selected, 0);
  d.OPT_FRACT_QTY = 5;
  Open(d);
  EXPECT_EQ(C().fractionalQty.selected, -1);
}

TEST_F(DepartmentEditorLogicTest, LongNameIsRefused) {
  Open(SampleDepartment());
  C().name.text = std::string(50, 'x');
  const auto refusal = editor->RefusalOnOk();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, DepartmentField::Name);
  C().name.text = std::string(49, 'x');
  ASSERT_FALSE(editor->RefusalOnOk());
  EXPECT_EQ(NameOf(editor->Record().NAME), std::string(49, 'x'));
}

}  // namespace
