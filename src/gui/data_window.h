// The diagnostic data window "DataForm": both material containers side by side.
#pragma once

#include <QDialog>

#include "core/library/dd_props.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;

namespace qv {

/// The eight values of one record in a details box.
struct RecordLabels {
  QLabel* color = nullptr;
  QLabel* name = nullptr;
  QLabel* E = nullptr;
  QLabel* rho = nullptr;
  QLabel* xmin = nullptr;
  QLabel* xmax = nullptr;
  QLabel* ymin = nullptr;
  QLabel* ymax = nullptr;
};

/// Read-only view of the found colours ("GLOBData", ListBox1) and the library ("PROPData",
/// ListBox2), both listed oldest first on construction. A click shows the clicked entry in that
/// half's details box (GroupBox1, GroupBox2), which stays hidden until then.
class TDataForm : public QDialog {
  Q_OBJECT
 public:
  TDataForm(const TPROPClass& foundColours, const TPROPClass& library, QWidget* parent = nullptr);

  QListWidget* ListBox1 = nullptr;  ///< labels of the found colours
  QListWidget* ListBox2 = nullptr;  ///< labels of the library
  QGroupBox* GroupBox1 = nullptr;   ///< details of the found colour
  QGroupBox* GroupBox2 = nullptr;   ///< details of the library entry
  QCheckBox* CheckBox1 = nullptr;   ///< "in use" of the library entry; never read back
  RecordLabels GlobValues;          ///< objectNames "Glob" + value name, e.g. "GlobXmin"
  RecordLabels PropValues;          ///< objectNames "Prop" + value name, e.g. "PropE"

  void ListBox1Click();
  void ListBox2Click();

 private:
  const TPROPClass& mFoundColours;
  const TPROPClass& mLibrary;
};

}  // namespace qv
