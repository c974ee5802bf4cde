// The main window's controls by the part of the window they belong to. Each part holds the
// controls it is made of under their designed names (the objectName of each); the window owns one
// of each, builds them and wires their events to its handlers. The controls themselves are
// children of the window's widgets, which own and delete them.
#pragma once

#include <QList>

#include "core/base/units.h"

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QListView;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;

namespace qv {

class LabelListModel;
class PictureView;
class TNumberEdit;
struct CentreTexts;
struct ConventionTerms;
struct StiffnessTexts;

/// The left part: the picture on its white ground, and the report box that can take its place.
struct PicturePanel {
  QFrame* Panel1 = nullptr;
  QLabel* BkgrndPanel = nullptr;
  PictureView* Image1 = nullptr;
  QPlainTextEdit* OutputMemo = nullptr;
};

/// The middle part: the found colours and the material list, the waiting panel that covers the
/// latter during work, and the picture's size and pixel counts below them.
struct ListsPanel {
  QFrame* Panel2 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Panel5 = nullptr;  ///< the selected colour
  QListView* ListBox1 = nullptr;
  LabelListModel* FoundModel = nullptr;
  QLabel* Label6 = nullptr;
  QListView* ListBox2 = nullptr;
  LabelListModel* MaterialModel = nullptr;
  QFrame* WaitPanel = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel* Label1 = nullptr;  ///< picture width
  QLabel* Label3 = nullptr;
  QLabel* Label2 = nullptr;  ///< picture height
  QLabel* ShapeAlertLabel = nullptr;
  QLabel* Label4 = nullptr;   ///< nr of pixels
  QLabel* Label44 = nullptr;  ///< relevant pixels
};

/// "Sectional Boundaries:": the section in pixels and the two size fields.
struct SizesBox {
  QGroupBox* GroupBox3 = nullptr;
  QLabel* Label34 = nullptr;
  QLabel* Label36 = nullptr;
  TNumberEdit* NumberEdit1 = nullptr;
  TNumberEdit* NumberEdit2 = nullptr;
};

/// "Selected Properties:" of the colour selected in a list.
struct PropertiesBox {
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label13 = nullptr;  ///< name
  QLabel* Label14 = nullptr;  ///< E
  QLabel* Label15 = nullptr;  ///< rho
};

/// "Cross Sectional Data:": the values of the last analysis under the convention's captions.
class ResultsBox {
 public:
  /// The texts of an analysis, with the hints that give the values in full.
  void Show(const CentreTexts& centre, const StiffnessTexts& stiffness) const;
  /// Every value back to "0", as before any analysis.
  void Clear() const;
  /// The captions under `terms`; the two bending rows swap places where the convention lists
  /// EIzz first.
  void ApplyTerms(const ConventionTerms& terms) const;
  /// The unit captions beside the values, in the units their texts were written in.
  void ShowUnits(UnitSystem units) const;

  QGroupBox* GroupBox2 = nullptr;
  QLabel* Label23 = nullptr;  // EA
  QLabel* Label24 = nullptr;  // NC hor
  QLabel* Label25 = nullptr;  // NC ver
  QLabel* Label47 = nullptr;  // mass
  QLabel* Label12 = nullptr;  // MC hor
  QLabel* Label45 = nullptr;  // MC ver
  QLabel* Label26 = nullptr;  // EIyy
  QLabel* Label27 = nullptr;  // EIzz
  QLabel* Label40 = nullptr;  // EIyz
  QLabel* Label56 = nullptr;  // angle
  QLabel* Label50 = nullptr;  // EI1
  QLabel* Label53 = nullptr;  // EI2
  QLabel* EIyyCaption = nullptr;
  QLabel* EIzzCaption = nullptr;
  QLabel* EIyzCaption = nullptr;
  QLabel* AlphaCaption = nullptr;
  QLabel* EAUnit = nullptr;
  QLabel* NCUnit = nullptr;
  QLabel* MCUnit = nullptr;
  QLabel* EIyyUnit = nullptr;
  QLabel* EIzzUnit = nullptr;
  QLabel* EIyzUnit = nullptr;
  QLabel* EI1Unit = nullptr;
  QLabel* EI2Unit = nullptr;
};

/// The row of buttons under the boxes and the sample of the graphics font.
struct CommandRow {
  QPushButton* Button1 = nullptr;  ///< "analyse"
  QToolButton* SpeedButton2 = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QLabel* FontLabel = nullptr;
};

/// The menu bar's menus, the material list's popup menu and their entries.
struct WindowMenus {
  QMenu* File1 = nullptr;
  QMenu* Info1 = nullptr;
  QAction* OpenPicture1 = nullptr;
  QAction* Close1 = nullptr;
  QMenu* Recent1 = nullptr;        ///< "Recent pictures", newest first
  QAction* SaveReport1 = nullptr;  ///< "Save report as..."
  QAction* ExportPdf1 = nullptr;   ///< "Export report (PDF) ..."
  QAction* Help1 = nullptr;
  QAction* Definitions1 = nullptr;
  QAction* About1 = nullptr;
  QAction* Definedproperties1 = nullptr;
  QAction* Testdata1 = nullptr;
  QMenu* Section1 = nullptr;        ///< "Section", beside the designed menus
  QAction* Torsion1 = nullptr;      ///< "Torsion and section moduli ..."
  QAction* Stresses1 = nullptr;     ///< "Stresses ..."
  QAction* StressMap1 = nullptr;    ///< "Stress map", checkable
  QAction* Resistance1 = nullptr;   ///< "Resistance ..."
  QMenu* View1 = nullptr;           ///< "View", after "Section"
  QAction* SectionView1 = nullptr;  ///< "Section view ..."
  QAction* PixelSize1 = nullptr;    ///< "Pixel size ..."
  QMenu* PopupMenu1 = nullptr;
  QAction* Delete1 = nullptr;
  QAction* Editproperties1 = nullptr;
  QAction* Properties1 = nullptr;
};

}  // namespace qv
