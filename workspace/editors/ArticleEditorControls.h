// Every control of the article editor as its logic sees it, and the fields of
// the exchange in their order.
#pragma once

#include "workspace/common/CheckControl.h"
#include "workspace/common/EditControl.h"
#include "workspace/common/ListControl.h"

enum class ArticleField {
  PluNumber,
  Name,
  Barcode,
  TaxGroup,
  Price1,
  Price2,
  MeasureUnit,
  Department,
  StockNotControlled,
  InitialNotControlled,
  CommodityGroup,
  FractionalQty,
  FreePrice,
  SingleTransaction,
  StockQty,
  InitialQty,
  PluLink,
};

struct ArticleEditorControls {
  EditControl pluNumber;
  EditControl name;
  EditControl barcode;
  ListControl taxGroup;
  EditControl price1;
  EditControl price2;
  ListControl measureUnit;
  ListControl department;
  CheckControl stockNotControlled;
  CheckControl initialNotControlled;
  ListControl commodityGroup;
  ListControl fractionalQty;
  ListControl freePrice;
  ListControl singleTransaction;
  EditControl stockQty;
  EditControl initialQty;
  EditControl pluLink;

  // The frames and the label that follow the profile with their fields.
  bool stockGroupEnabled = true;
  bool initialGroupEnabled = true;
  bool pluLinkLabelEnabled = true;
};
