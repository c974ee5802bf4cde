// TMainForm: the program's only permanent window. It owns the section session and adds the
// questions, widgets, drawing and clipboard around its flows.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPainterPath>
#include <QPixmap>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "core/elastic/stress_map.h"
#include "core/section/overlay.h"
#include "core/session/session.h"
#include "gui/event_pump.h"
#include "gui/main_window_panels.h"
#include "gui/update_check.h"
#include "imaging/overlay_layer.h"

class QAction;
class QLabel;
class QMenu;

namespace qv {

class SectionViewWindow;

class TMainForm : public QMainWindow, private InventoryView {
  Q_OBJECT
 public:
  /// `programPath` names the program file: the settings file, the help document and the
  /// default picture and library live beside it. `userFolder` takes the settings and the
  /// library when the program's folder cannot be written, and always when `home` says the
  /// program is installed.
  TMainForm(const QString& programPath, const QString& userFolder,
            SettingsHome home = SettingsHome::BesideProgram, QWidget* parent = nullptr);
  ~TMainForm() override;

  /// The session, to read and to drive through its commands (tests, the extended dialogs).
  SectionSession& Session() { return mSession; }
  const SectionSession& Session() const { return mSession; }
  /// The picture as the view shows it, drawings included, at full size (for checks).
  PixelGrid ShownPicture() const;

  // Designed handlers, public so tests can run them as the events would.
  void UpdateTimerTimer();   ///< the deferred start-up, once
  void Timer1Timer();        ///< the automatic picture load, once
  void Timer2Timer();        ///< the "analyse" button rule
  void OpenPicture1Click();  ///< menu "Open Picture" and the right button on the view
  void Help1Click();
  void SpeedButton1Click();  ///< show the picture folder
  /// Files dropped on the window (after the deferred start-up switched dropping on).
  void DropFiles(const QStringList& paths);
  /// Accepts the picture at `path`: remembers it, loads it and runs the inventory.
  void AcceptPicture(const QString& path);
  /// Opens `picture` at the deferred start-up, after the update check, as if chosen in the open
  /// dialog and in place of the remembered picture: the program's command line ("Open with").
  /// A relative path counts from the current folder.
  void OpenAtStartUp(const QString& picture);
  /// The picture OpenAtStartUp named (absolute) until the deferred start-up opened it.
  const QString& StartUpPicture() const { return mStartPicture; }
  /// (Re)loads PictureFile into the view; `warnSmall` shows the size warning.
  bool LoadPicture(bool warnSmall);
  /// The session's reload of a picture drawn on, shown as LoadPicture(false) shows one.
  SectionSession::PictureReload ReloadPictureIfDrawnOn();
  void ColourInventory();
  void SetBusy(bool busy) override;
  bool Busy() const { return mBusy; }
  void ResetResults();
  /// Function keys F1, F2, F3 of either list; `materialList` tells which.
  void ListKey(int key, bool materialList);
  /// Mouse readout for the view position (x, y).
  void ImageMouseMove(int x, int y);
  /// Writes the settings file and the library (every close runs it).
  void SaveSettings();
  bool DropsAccepted() const { return mDropsAccepted; }
  /// Graphics font as applied by the deferred start-up.
  QFont GraphicsFont() const;

  // Colour and material lists.
  void ListBox1Click();
  void ListBox1DblClick();
  void ListBox1RightButton();
  /// A drop on the material list; acts only when it comes from the found-colours list.
  void ListBox2Drop(QObject* source);
  void ListBox2Click();
  void ListBox2RightButton();
  void ListBox2DblClick();
  void Delete1Click();
  void Editproperties1Click();
  void Properties1Click();
  void AddColourToMaterialList(bool ask);
  void ShowMaterialDetails();
  void RemoveFromMaterialList();
  void EditMaterial();
  /// Screen point where the material list's popup menu opens.
  QPoint MaterialPopupPoint() const;
  /// Runs a popup menu at a screen point and returns the chosen action (tests replace it).
  std::function<QAction*(QMenu& menu, const QPoint& at)> RunPopup;

  // Analysis and drawing.
  void Button1Click();  ///< "analyse"
  void DrawSectionFrame();
  void DrawResultOverlay();
  /// Redraws the result overlay when results are on show (after a change of settings).
  void RefreshOverlay();
  void ApplySignConvention();
  void Definitions1Click();
  void About1Click();
  void Definedproperties1Click();
  void Testdata1Click();
  void SpeedButton2Click();  ///< "Select graphics font"

  // The menu "File" beyond its designed entries (main_window_file.cpp).
  /// Opens a picture of the "Recent pictures" list, or says it is gone and takes it off.
  void RecentPictureClick(const QString& path);
  /// "Save report as...": the report as on the clipboard (CR LF), followed by every block the
  /// dialogs computed for it since (FullReportText), into a text file the user chooses, never
  /// over the picture itself.
  void SaveReport1Click();
  void ExportPdf1Click();
  /// The file a report goes into: asked with `ask` from the name "<picture>-report.<extension>"
  /// beside the picture, refused over the picture, a pipe or a device (Error). Nothing while
  /// busy, without a report (told so) or when cancelled.
  std::optional<std::string> ReportFileToWrite(
      const QString& extension, const std::function<std::optional<QString>(const QString&)>& ask);

  // The extended values (main_window_section.cpp).
  /// Menu "Section" > "Torsion and section moduli ...": the dialog over the last analysis, or
  /// a note that there is none yet.
  void Torsion1Click();
  /// Wipes the drawings and draws the result overlay again, with the shear centre's marker
  /// while the session holds one.
  void RedrawResultOverlay();
  /// Menu "Section" > "Stresses ...": the dialog of the stresses under given actions over the
  /// last analysis, or a note that there is none yet.
  void Stresses1Click();
  /// Menu "Section" > "Resistance ...": the dialog of the ultimate resistance over the last
  /// analysis, or a note that there is none yet.
  void Resistance1Click();
  /// Shows the stress map in the picture view in place of the picture and its drawings, or the
  /// picture again; the map only while the session holds stresses (menu "Section" > "Stress
  /// map", checked while it shows).
  void ShowStressMap(bool show);
  /// The stress map is on show in the view.
  bool StressMapShown() const { return mStressMapShown && mSession.Stresses().has_value(); }
  /// Shows a note of ours in the status bar for kNoteMs, or until the pointer moves over the
  /// picture, whose position the panels beneath it show.
  void ShowNote(const QString& text);
  static constexpr int kNoteMs = 20000;

  // The section view (main_window_view.cpp).
  /// Menu "View" > "Section view ..." and a double click on the picture: opens the section view,
  /// or raises it when it is open already.
  void SectionView1Click();
  /// Menu "View" > "Pixel size ...": asks for the mm per pixel of the section's box, which then
  /// gives both sizes with their fractions; the fields show them to the nearest whole mm until
  /// one is typed into, which drops the pixel size.
  void PixelSize1Click();
  /// The fields to the nearest whole mm of the sizes the pixel size gives (none without one).
  void ShowPixelSizeInFields();
  /// A drawing has its own size: the fields show its section's, to the nearest whole mm (at
  /// least 1), and take no typing while it is loaded.
  void ShowDrawingSizeInFields();
  /// Lays the drawing on cells of `mm` anew and lists its colours again, keeping the material
  /// list (the menu "View" > "Pixel size ..." for a drawing).
  void ChangeDrawingCells(double mm);
  /// The drawing's outlines in the picture's pixels (its cells), empty for a picture.
  const QPainterPath& DrawingOutlines();
  /// The width and height the pixel size gives the section's box ("8.25 x 6.75 mm").
  QString PixelSizeBox() const;
  /// The exact width and height of a drawing's section, from its outlines ("150 x 300 mm").
  QString DrawingSizeBox() const;
  /// The section view once opened (hidden when closed), else nullptr.
  SectionViewWindow* SectionView() const { return mSectionView; }
  /// The result overlay is drawn over the picture (since the last analysis or settings change,
  /// until a reload or a reset wipes it).
  bool ResultOverlayShown() const { return mResultOverlayShown; }

  QTimer UpdateTimer;
  QTimer Timer1;
  QTimer Timer2;
  /// The update check's record, run once by the deferred start-up.
  WWWUpdateRec WWWUpdate;
  /// Where the update check makes its private download folder: the user's cache folder.
  QString UpdateDownloadParent;
  /// The key a downloaded updater's signature must verify with (the build's own).
  QByteArray UpdatePublicKey = BuiltInUpdateKey();

 signals:
  /// The picture, the section, the results or the settings the view draws with may have
  /// changed; sent at the end of the handlers that change them.
  void SectionStateChanged();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // InventoryView
  void InventoryStarted() override;
  void ResultsReset() override;
  void Progress(std::int64_t done, std::int64_t total) override;
  void InventoryFinished() override;

  void BuildControls();
  /// The captions, values and units of the panel and the boxes, from one table.
  void BuildLabels();
  void BuildMenus();
  void BuildStatusBar();
  void BuildSectionMenu();
  /// The stress map at the view's size, with its colour bar.
  QImage StressMapImage() const;
  /// Where the view shows the map and its colour bar (while the session holds stresses).
  StressViewLayout StressMapLayout() const;
  /// The menu entry of the map follows the session: enabled with stresses, checked while shown.
  void SyncStressMap();
  /// Ctrl+O, "Recent pictures" and "Save report as..." in the menu "File" (main_window_file.cpp).
  void BuildFileExtras();
  void FillRecentMenu();
  void BuildViewMenu();
  void ApplyGraphicsFont();
  void ShowPicture();
  /// The picture's size labels, shape alert and (optionally) the small-picture warning.
  void ShowLoadedPicture(bool warnSmall);
  void ShowResultTexts();
  /// The result values' labels to "0" and the report box emptied.
  void ClearResultTexts();
  /// Takes the results off the window once the session no longer has them (or they no longer
  /// describe the section): after every change of the section, its materials or the settings.
  void SyncResults();
  void ShowSectionSize();
  void SetGraphicsFontHint(const QFont& font);
  /// Makes `font` the graphics font and stores its name, size and style in the settings.
  void TakeGraphicsFont(const QFont& font);
  /// The sizes as the two fields hold and show them.
  SectionSize TypedSize() const;
  /// The scale the typed sizes give the section ("4.95 x 3.234 mm/px"), empty until they give one.
  QString ScaleText() const;
  /// A size field holds a size typed for the previous picture that was not taken for this one.
  bool SizesCarried() const;
  /// The scale as the section view's legend says it, with a word on sizes of the previous
  /// picture; empty without a scale.
  QString ScaleNote() const;
  /// Status panel 6: the scale, in italics while it comes from the previous picture's sizes,
  /// else the program's notice. True when what it shows changed.
  bool ShowScale();
  /// Marks size field 0 (width) or 1 (height) as holding the previous picture's size (italic,
  /// grey, a word in its hint), or takes the mark off.
  void MarkCarriedSize(std::size_t field, bool carried);
  /// Both size fields are valid and show the values they hold.
  bool SizeFieldsStand() const;
  OverlayInput CurrentOverlayInput() const;
  void Render(const OverlayOps& ops);
  QString SelectedLabel(bool materialList) const;
  QString ProgramFolder() const;
  void OpenStartUpPicture();

  /// Menu "View" > "Pixel size ..." for a drawing: the size of its cells.
  void DrawingCellSizeClick();
  /// The one-value dialog of View > "Pixel size ...": `describe` tells, as the value is typed,
  /// whether it is taken (OK enabled) and what it gives. The value accepted, or nothing.
  std::optional<double> AskPixelSize(
      const QString& prompt, std::optional<double> value,
      const std::function<std::pair<bool, QString>(std::optional<double>)>& describe);

  SectionSession mSession;
  QString mProgramPath;
  QString mUserFolder;
  SettingsHome mSettingsHome;
  OverlayLayer mLayer;  // the frame and the result overlay, over the picture
  bool mBusy = false;
  bool mDropsAccepted = false;
  bool mSaved = false;
  EventPump mPump;               // the inventory and the analysis keep the window alive
  QStringList mPendingMessages;  // settings conversion failures, shown after start-up
  QString mStartPicture;         // the command line's picture, opened by the deferred start-up
  SectionViewWindow* mSectionView = nullptr;  // a child window, made on first use
  bool mResultOverlayShown = false;
  bool mStressMapShown = false;
  QStringList mSmoothingNoted;          // the pictures whose smoothed edges a note has named
  std::array<QString, 2> mSizeHints;    // the size fields' own hints
  std::array<bool, 2> mSizesCarried{};  // a size field holds the previous picture's size
  QString mNotice;                      // status panel 6 without a scale
  double mDrawingCellMm = 0;            // the cell size drawings are read at (0: the default)
  bool mSizesOfDrawing = false;         // the size fields show a drawing's own size
  QPainterPath mOutlines;               // DrawingOutlines of the picture revision below
  std::optional<std::uint64_t> mOutlinesRevision;

  // The controls, by the part of the window they make up (their objectNames are their names).
  PicturePanel mPictureArea;
  ListsPanel mLists;
  SizesBox mSizes;
  PropertiesBox mProperties;
  ResultsBox mResults;
  CommandRow mCommands;
  WindowMenus mMenus;
  QList<QLabel*> mStatusPanels;  // "StatusPanel0" to "StatusPanel7"
};

}  // namespace qv
