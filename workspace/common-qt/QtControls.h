// Copies control states between the window logic's plain structs and the Qt
// widgets, and puts the focus on a field with its text selected.
#pragma once

#include "workspace/common/CheckControl.h"
#include "workspace/common/EditControl.h"
#include "workspace/common/ListControl.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QWidget;

class QtControls {
 public:
  static void Show(QLineEdit* edit, const EditControl& control);
  static void Read(const QLineEdit* edit, EditControl& control);
  static void Show(QComboBox* box, const ListControl& control);
  static void Read(const QComboBox* box, ListControl& control);
  static void Show(QAbstractButton* box, const CheckControl& control);
  static void Read(const QAbstractButton* box, CheckControl& control);

  // The field gets the focus; an edit field also has its whole text selected.
  static void FocusAndSelect(QWidget* field);
};
