// Every control of the department editor as its logic sees it, and the fields
// of the exchange in their order.
#pragma once

#include "workspace/common/EditControl.h"
#include "workspace/common/ListControl.h"

enum class DepartmentField {
  Name,
  DepartmentNumber,
  MeasureUnit,
  CommodityGroup,
  FractionalQty,
  FreePrice,
  SingleTransaction,
  Stand,
  TaxGroup,
  Price,
  MaxPrice,
  MaxAmount,
};

struct DepartmentEditorControls {
  EditControl name;
  EditControl departmentNumber{{}, true, true};  // shown, never typed into
  ListControl measureUnit;
  ListControl commodityGroup;
  ListControl fractionalQty;
  ListControl freePrice;
  ListControl singleTransaction;
  ListControl stand;
  ListControl taxGroup;
  EditControl price;
  EditControl maxPrice;
  EditControl maxAmount;
};
