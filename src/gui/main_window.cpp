// The main window: layout, start-up, picture loading, busy state, function keys, closing.
#include "gui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <utility>

#include "core/base/colour_label.h"
#include "core/base/error.h"
#include "core/base/limits.h"
#include "core/base/number_text.h"
#include "core/base/version.h"
#include "core/elastic/stress_map.h"
#include "core/elastic/stress_report.h"
#include "core/settings/save_location.h"
#include "gui/data_window.h"
#include "gui/definitions_dialog.h"
#include "gui/label_list_model.h"
#include "gui/library_browser.h"
#include "gui/number_edit.h"
#include "gui/picture_view.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "gui/property_dialog.h"
#include "gui/qt_text.h"
#include "gui/section_view.h"
#include "gui/settings_dialog.h"
#include "gui/shell.h"
#include "imaging/overlay_layer.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv {
namespace {

constexpr const char* kListHint = "Select with left mouse button, options with right mouse button";
constexpr const char* kHelpDocument = "MANUAL_VAROLITH.pdf";

QLabel* Caption(QWidget* parent, const QString& text, int x, int y, int w = 60, int h = 16) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, w, h);
  return label;
}

void SetFontColour(QLabel* label, const QColor& colour) {
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, colour);
  label->setPalette(p);
}

}  // namespace

TMainForm::TMainForm(const QString& programPath, const QString& userFolder, SettingsHome home,
                     QWidget* parent)
    : QMainWindow(parent), mProgramPath(programPath), mUserFolder(userFolder), mSettingsHome(home) {
  // Numbers never follow the user's locale: "." is the decimal separator everywhere.
  QLocale::setDefault(QLocale::c());
  setWindowTitle("Quorvane");
  // The layout is laid out for the classic 8-point dialog font.
  QFont dialogFont = font();
  dialogFont.setPointSize(8);
  setFont(dialogFont);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  BuildControls();
  BuildMenus();
  BuildStatusBar();

  const std::vector<std::string> failures =
      mSession.LoadSettings(S(mProgramPath), S(mUserFolder), mSettingsHome);
  mPendingMessages.clear();
  for (const std::string& f : failures) mPendingMessages.push_back(Q(f));
  const ProgramSettings& settings = mSession.Settings();
  if (settings.AutoStart) StatusPanels[5]->setText(Q(FileNameOf(mSession.PictureFile())));
  WWWUpdate.Enabled = settings.CheckForUpdates;
  UpdateDownloadParent = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (UpdateDownloadParent.isEmpty()) UpdateDownloadParent = QDir::tempPath();

  ApplySignConvention();
  // The graphics font as read; the deferred start-up falls back to an installed one.
  QFont graphics(Q(settings.FontName));
  graphics.setPointSize(std::max(1, settings.FontSize));
  graphics.setBold((settings.FontStyle & kFontBold) != 0);
  graphics.setItalic((settings.FontStyle & kFontItalic) != 0);
  FontLabel->setFont(graphics);

  UpdateTimer.setInterval(10);
  connect(&UpdateTimer, &QTimer::timeout, this, [this] { UpdateTimerTimer(); });
  Timer1.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  Timer2.setInterval(1000);
  connect(&Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
  Timer2.start();
  UpdateTimer.start();
  KeepLabelsPlain(this);
}

TMainForm::~TMainForm() {
  // The view reads the session, which goes before the children would.
  delete mSectionView;
}

void TMainForm::BuildControls() {
  auto* client = new QWidget(this);
  client->setObjectName("Client");
  client->setFixedSize(800, 455);
  setCentralWidget(client);

  Panel1 = Make<QFrame>(client, "Panel1", 8, 8, 425, 425);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setToolTip(
      "Stretched bitmap if not square, use right mouse button to load a BMP-picture");
  BkgrndPanel = Make<QLabel>(Panel1, "BkgrndPanel", 11, 11, 403, 403);
  BkgrndPanel->setText("no bitmap loaded.......");
  BkgrndPanel->setAlignment(Qt::AlignCenter);
  BkgrndPanel->setAutoFillBackground(true);
  QPalette white = BkgrndPanel->palette();
  white.setColor(QPalette::Window, Qt::white);
  BkgrndPanel->setPalette(white);
  Image1 = Make<PictureView>(BkgrndPanel, "Image1", 1, 1, 401, 401);
  Image1->OnMouseMove = [this](int x, int y) { ImageMouseMove(x, y); };
  Image1->OnRightButton = [this] { OpenPicture1Click(); };
  Image1->OnDoubleClick = [this] { Guarded([this] { SectionView1Click(); }); };
  OutputMemo = Make<QPlainTextEdit>(Panel1, "OutputMemo", 20, 20, 380, 380);
  OutputMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  OutputMemo->hide();

  Panel2 = Make<QFrame>(client, "Panel2", 440, 8, 153, 425);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Label7 = Make<QLabel>(Panel2, "Label7", 16, 4, 130, 16);
  Label7->setText("Found color elements:");
  Panel5 = Make<QLabel>(Panel2, "Panel5", 16, 21, 121, 17);
  Panel5->setAutoFillBackground(true);
  Panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  ListBox1 = Make<QListView>(Panel2, "ListBox1", 16, 40, 121, 153);
  FoundModel = new LabelListModel(
      [this] { return mSession.Found().Size(); },
      [this](std::size_t row) { return Q(mSession.Found().Label(row)); }, true, ListBox1);
  ListBox1->setModel(FoundModel);
  ListBox1->setUniformItemSizes(true);  // constant-time layout for very long lists
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox1->setDragEnabled(true);
  ListBox1->setToolTip(kListHint);
  ListBox1->installEventFilter(this);
  Label6 = Make<QLabel>(Panel2, "Label6", 16, 204, 130, 16);
  Label6->setText("Material properties list:");
  ListBox2 = Make<QListView>(Panel2, "ListBox2", 16, 224, 121, 129);
  MaterialModel = new LabelListModel(
      [this] { return mSession.MaterialList().size(); },
      [this](std::size_t row) { return Q(mSession.MaterialList()[row]); }, false, ListBox2);
  ListBox2->setModel(MaterialModel);
  ListBox2->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox2->setToolTip(kListHint);
  ListBox2->installEventFilter(this);
  WaitPanel = Make<QFrame>(Panel2, "WaitPanel", 8, 207, 137, 149);
  WaitPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  WaitPanel->setAutoFillBackground(true);
  auto* waitCaption = Caption(WaitPanel, "wait ............", 8, 40, 120);
  waitCaption->setAlignment(Qt::AlignCenter);
  auto* analysing = Caption(WaitPanel, "Analysing", 8, 64, 120);
  analysing->setAlignment(Qt::AlignCenter);
  QFont bold = analysing->font();
  bold.setBold(true);
  analysing->setFont(bold);
  ProgressBar1 = Make<QProgressBar>(WaitPanel, "ProgressBar1", 8, 100, 121, 16);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);
  WaitPanel->hide();

  GroupBox3 = Make<QGroupBox>(client, "GroupBox3", 600, 4, 193, 125);
  GroupBox3->setTitle("Sectional Boundaries:");
  GroupBox3->setToolTip(
      "Specify the actual dimensions [in mm ], other wise no Analyse Button will be available");
  NumberEdit1 = Make<TNumberEdit>(GroupBox3, "NumberEdit1", 56, 62, 70, 21);
  NumberEdit2 = Make<TNumberEdit>(GroupBox3, "NumberEdit2", 56, 90, 70, 21);
  for (TNumberEdit* field : {NumberEdit1, NumberEdit2}) {
    field->SetText("0");
    field->SetDefaultHint(false);
    field->SetNumType(TNumberType::IntType);
    field->SetMax(kMaxSectionMm);
    field->SetIntValue(0);
    field->SetRealValue(0);
  }
  mSizeHints = {"horizontal size 0.." + QInteger(kMaxSectionMm) + " mm",
                "vertical size 0.." + QInteger(kMaxSectionMm) + " mm"};
  NumberEdit1->setToolTip(mSizeHints[0]);
  NumberEdit2->setToolTip(mSizeHints[1]);
  for (const std::size_t i : {std::size_t{0}, std::size_t{1}}) {
    TNumberEdit* field = i == 0 ? NumberEdit1 : NumberEdit2;
    connect(field, &TNumberEdit::TextExamined, this, [this, i](ValidationStatus status) {
      // A valid size typed or taken with Enter or Tab is this picture's own.
      if (status == ValidationStatus::Valid) MarkCarriedSize(i, false);
      if (ShowScale()) emit SectionStateChanged();
    });
  }
  GroupBox3->hide();

  GroupBox1 = Make<QGroupBox>(client, "GroupBox1", 600, 132, 193, 69);
  GroupBox1->setTitle("Selected Properties:");
  GroupBox1->setToolTip("Used properties for this color");
  GroupBox1->hide();

  GroupBox2 = Make<QGroupBox>(client, "GroupBox2", 600, 204, 193, 197);
  GroupBox2->setTitle("Cross Sectional Data:");
  BuildLabels();
  GroupBox2->hide();

  Button1 = Make<QPushButton>(client, "Button1", 600, 408, 65, 25);
  Button1->setText("analyse");
  Button1->hide();
  SpeedButton2 = Make<QToolButton>(client, "SpeedButton2", 669, 408, 25, 25);
  SpeedButton2->setText("F");
  SpeedButton2->setToolTip("Select graphics font");
  SpeedButton1 = Make<QToolButton>(client, "SpeedButton1", 698, 408, 25, 25);
  SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  SpeedButton1->setToolTip("Show Bitmap folder");
  connect(SpeedButton1, &QToolButton::clicked, this,
          [this] { Guarded([this] { SpeedButton1Click(); }); });
  BitBtn1 = Make<QPushButton>(client, "BitBtn1", 728, 408, 65, 25);
  BitBtn1->setText("Close");
  connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);
  FontLabel = Make<QLabel>(client, "FontLabel", 600, 436, 190, 16);
  FontLabel->setText("Selected Font");
  FontLabel->hide();

  connect(ListBox1, &QListView::clicked, this, [this] { Guarded([this] { ListBox1Click(); }); });
  connect(ListBox1, &QListView::doubleClicked, this,
          [this] { Guarded([this] { ListBox1DblClick(); }); });
  connect(ListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { Guarded([this] { ListBox1Click(); }); });
  ListBox1->viewport()->installEventFilter(this);
  ListBox2->setAcceptDrops(true);
  ListBox2->viewport()->setAcceptDrops(true);
  ListBox2->setDragDropMode(QAbstractItemView::DropOnly);
  ListBox2->viewport()->installEventFilter(this);
  connect(ListBox2, &QListView::clicked, this, [this] { Guarded([this] { ListBox2Click(); }); });
  connect(ListBox2, &QListView::doubleClicked, this,
          [this] { Guarded([this] { ListBox2DblClick(); }); });
  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  connect(SpeedButton2, &QToolButton::clicked, this,
          [this] { Guarded([this] { SpeedButton2Click(); }); });

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  Delete1 = PopupMenu1->addAction("Remove from list");
  Delete1->setObjectName("Delete1");
  connect(Delete1, &QAction::triggered, this, [this] { Guarded([this] { Delete1Click(); }); });
  Editproperties1 = PopupMenu1->addAction("Edit properties");
  Editproperties1->setObjectName("Editproperties1");
  connect(Editproperties1, &QAction::triggered, this,
          [this] { Guarded([this] { Editproperties1Click(); }); });
  Properties1 = PopupMenu1->addAction("Properties");
  Properties1->setObjectName("Properties1");
  Properties1->setVisible(false);
  connect(Properties1, &QAction::triggered, this,
          [this] { Guarded([this] { Properties1Click(); }); });
  RunPopup = [](QMenu& menu, const QPoint& at) { return menu.exec(at); };
}

void TMainForm::BuildLabels() {
  // Every caption, value and unit of the panel below the lists and of the three boxes, in the
  // order they are made: where it sits (x, y, width; all 16 high), its text ("0" for a value
  // until there is one), and for those the program changes its name, member and tooltip.
  struct Cell {
    QWidget* parent;
    const char* text;
    int x, y, w;
    const char* name = nullptr;
    QLabel* TMainForm::*member = nullptr;
    const char* tip = nullptr;
  };
  const Cell cells[] = {
      // Below the lists: the picture's size, its shape, the pixel counts.
      {Panel2, "0", 16, 364, 40, "Label1", &TMainForm::Label1},
      {Panel2, "x", 58, 364, 10, "Label3", &TMainForm::Label3},
      {Panel2, "0", 70, 364, 40, "Label2", &TMainForm::Label2},
      {Panel2, "", 16, 380, 130, "ShapeAlertLabel", &TMainForm::ShapeAlertLabel},
      {Panel2, "nr of pixels", 16, 396, 70},
      {Panel2, "0", 86, 396, 64, "Label4", &TMainForm::Label4},
      {Panel2, "relevant pixels", 16, 408, 80},
      {Panel2, "0", 100, 408, 50, "Label44", &TMainForm::Label44},
      // "Sectional Boundaries:": the section in pixels, then the captions of the size fields.
      {GroupBox3, "width =", 8, 20, 44},
      {GroupBox3, "0", 56, 20, 60, "Label34", &TMainForm::Label34},
      {GroupBox3, "pixels", 130, 20, 50},
      {GroupBox3, "height=", 8, 38, 44},
      {GroupBox3, "0", 56, 38, 60, "Label36", &TMainForm::Label36},
      {GroupBox3, "pixels", 130, 38, 50},
      {GroupBox3, "width", 8, 66, 44},
      {GroupBox3, "mm", 132, 66, 30},
      {GroupBox3, "height", 8, 94, 44},
      {GroupBox3, "mm", 132, 94, 30},
      // "Selected Properties:"
      {GroupBox1, "name", 8, 18, 40},
      {GroupBox1, "0", 50, 18, 136, "Label13", &TMainForm::Label13},
      {GroupBox1, "E", 8, 34, 40, nullptr, nullptr, "modulus of Elasticity in N/mm^2"},
      {GroupBox1, "0", 50, 34, 80, "Label14", &TMainForm::Label14},
      {GroupBox1, "N/mm^2", 134, 34, 54},
      {GroupBox1, "rho", 8, 50, 40, nullptr, nullptr, "mass density in kg/m^3"},
      {GroupBox1, "0", 50, 50, 80, "Label15", &TMainForm::Label15},
      {GroupBox1, "kg/m^3", 134, 50, 54},
      // "Cross Sectional Data:", one row a value with its caption and unit.
      {GroupBox2, "EA", 8, 20, 40},
      {GroupBox2, "0", 50, 20, 90, "Label23", &TMainForm::Label23},
      {GroupBox2, "N", 144, 20, 46},
      {GroupBox2, "NC", 8, 36, 40},
      {GroupBox2, "0", 50, 36, 48, "Label24", &TMainForm::Label24},
      {GroupBox2, "0", 100, 36, 48, "Label25", &TMainForm::Label25},
      {GroupBox2, "mm", 144, 36, 46},
      {GroupBox2, "mass", 8, 52, 40},
      {GroupBox2, "0", 50, 52, 90, "Label47", &TMainForm::Label47},
      {GroupBox2, "kg/m", 144, 52, 46},
      {GroupBox2, "MC", 8, 68, 40},
      {GroupBox2, "0", 50, 68, 48, "Label12", &TMainForm::Label12},
      {GroupBox2, "0", 100, 68, 48, "Label45", &TMainForm::Label45},
      {GroupBox2, "mm", 144, 68, 46},
      {GroupBox2, "EIyy", 8, 88, 40, "EIyyCaption", &TMainForm::EIyyCaption,
       "bending stiffness in xy-plane"},
      {GroupBox2, "0", 50, 88, 90, "Label26", &TMainForm::Label26},
      {GroupBox2, "Nmm^2", 144, 88, 46},
      {GroupBox2, "EIzz", 8, 104, 40, "EIzzCaption", &TMainForm::EIzzCaption,
       "bending stiffness in xz-plane"},
      {GroupBox2, "0", 50, 104, 90, "Label27", &TMainForm::Label27},
      {GroupBox2, "Nmm^2", 144, 104, 46},
      {GroupBox2, "EIyz", 8, 120, 40, "EIyzCaption", &TMainForm::EIyzCaption,
       "product bending stiffness"},
      {GroupBox2, "0", 50, 120, 90, "Label40", &TMainForm::Label40},
      {GroupBox2, "Nmm^2", 144, 120, 46},
      {GroupBox2, "alpha1", 8, 140, 40, "AlphaCaption", &TMainForm::AlphaCaption},
      {GroupBox2, "0", 50, 140, 90, "Label56", &TMainForm::Label56,
       "principal direction from y to z axis"},
      {GroupBox2, "degrees", 144, 140, 46},
      {GroupBox2, "EI1", 8, 156, 40, nullptr, nullptr, "principal bending stiffness nr (1)"},
      {GroupBox2, "0", 50, 156, 90, "Label50", &TMainForm::Label50},
      {GroupBox2, "Nmm^2", 144, 156, 46},
      {GroupBox2, "EI2", 8, 172, 40, nullptr, nullptr, "principal bending stiffness nr (2)"},
      {GroupBox2, "0", 50, 172, 90, "Label53", &TMainForm::Label53},
      {GroupBox2, "Nmm^2", 144, 172, 46},
  };
  for (const Cell& cell : cells) {
    auto* label = new QLabel(QString::fromLatin1(cell.text), cell.parent);
    label->setGeometry(cell.x, cell.y, cell.w, 16);
    if (cell.name != nullptr) label->setObjectName(QString::fromLatin1(cell.name));
    if (cell.tip != nullptr) label->setToolTip(QString::fromLatin1(cell.tip));
    if (cell.member != nullptr) this->*cell.member = label;
  }
}

void TMainForm::BuildMenus() {
  File1 = menuBar()->addMenu("File");
  File1->setObjectName("File1");
  OpenPicture1 = File1->addAction("Open Picture");
  OpenPicture1->setObjectName("OpenPicture1");
  connect(OpenPicture1, &QAction::triggered, this, [this] { OpenPicture1Click(); });
  BuildFileExtras();
  Close1 = File1->addAction("Close");
  Close1->setObjectName("Close1");
  connect(Close1, &QAction::triggered, this, &QWidget::close);

  Info1 = menuBar()->addMenu("Info");
  Info1->setObjectName("Info1");
  Help1 = Info1->addAction("Help");
  Help1->setObjectName("Help1");
  connect(Help1, &QAction::triggered, this, [this] { Guarded([this] { Help1Click(); }); });
  Definitions1 = Info1->addAction("Definitions");
  Definitions1->setObjectName("Definitions1");
  connect(Definitions1, &QAction::triggered, this,
          [this] { Guarded([this] { Definitions1Click(); }); });
  About1 = Info1->addAction("About ... settings");
  About1->setObjectName("About1");
  connect(About1, &QAction::triggered, this, [this] { Guarded([this] { About1Click(); }); });
  Info1->addSeparator();
  Definedproperties1 = Info1->addAction("defined properties");
  Definedproperties1->setObjectName("Definedproperties1");
  connect(Definedproperties1, &QAction::triggered, this,
          [this] { Guarded([this] { Definedproperties1Click(); }); });
  Testdata1 = Info1->addAction("test data");
  Testdata1->setObjectName("Testdata1");
  Testdata1->setVisible(false);
  connect(Testdata1, &QAction::triggered, this, [this] { Guarded([this] { Testdata1Click(); }); });
  BuildSectionMenu();
  BuildViewMenu();
}

void TMainForm::BuildStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setObjectName("StatusBar1");
  bar->setSizeGripEnabled(false);
  setStatusBar(bar);
  const int widths[] = {50, 50, 50, 50, 50, 200, 150, 150};
  const QString version = QStringLiteral("Quorvane ") + QLatin1String(kProgramVersion);
  mNotice = version;
  const QString texts[] = {"Hor",     "0",          "Ver",   "0",
                           "picture", "<filename>", version, "no WWW update check"};
  for (int i = 0; i < 8; ++i) {
    auto* panel = new QLabel(texts[i], bar);
    panel->setObjectName(QString("StatusPanel%1").arg(i));
    panel->setFixedWidth(widths[i]);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(panel);
    StatusPanels.append(panel);
  }
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  // The scale follows every change of the section; typed sizes are followed as they are typed.
  connect(this, &TMainForm::SectionStateChanged, this, [this] { ShowScale(); });
}

QString TMainForm::ProgramFolder() const { return QFileInfo(mProgramPath).absolutePath() + "/"; }

QFont TMainForm::GraphicsFont() const { return FontLabel->font(); }

void TMainForm::ApplyGraphicsFont() {
  ProgramSettings s = mSession.Settings();
  const QStringList families = QFontDatabase::families();
  QString family = Q(s.FontName);
  if (!families.contains(family, Qt::CaseInsensitive)) {
    family = families.contains("Arial", Qt::CaseInsensitive) ? QString("Arial") : QString("System");
  }
  if (s.FontName == "System") s.FontSize = 10;
  QFont font(family);
  font.setPointSize(std::max(1, s.FontSize));
  font.setBold((s.FontStyle & kFontBold) != 0);
  font.setItalic((s.FontStyle & kFontItalic) != 0);
  FontLabel->setFont(font);
  SetGraphicsFontHint(font);
  mSession.ChangeSettings(s);
}

void TMainForm::UpdateTimerTimer() {
  UpdateTimer.stop();
  // Conversion failures met while reading the settings are shown once the window is up.
  for (const QString& message : mPendingMessages) Prompts().Error(message);
  mPendingMessages.clear();
  ApplyGraphicsFont();
  // The update check. When it started the updater the window is closing; when it failed (the
  // error is shown) the rest of the start-up is left out for this run.
  bool goOn = false;
  Guarded([this, &goOn] {
    // Downloads go to a private folder in the user's cache, never beside the program.
    UpdateWindow window;
    window.programPath = mProgramPath;
    window.downloadParent = UpdateDownloadParent;
    window.setStatus = [this](const QString& text) { StatusPanels[7]->setText(text); };
    window.close = [this] { close(); };
    window.publicKey = UpdatePublicKey;
    goOn = !UpdateCheck(WWWUpdate, window);
  });
  if (!goOn) {
    // A picture the user asked for still opens after a failed check; a started updater has
    // closed the window.
    if (!WWWUpdate.UpdaterStarted) OpenStartUpPicture();
    return;
  }
  setAcceptDrops(true);
  mDropsAccepted = true;
  if (!mStartPicture.isEmpty()) {
    OpenStartUpPicture();
  } else if (mSession.Settings().AutoStart) {
    Timer1.start();
  }
}

void TMainForm::OpenAtStartUp(const QString& picture) {
  if (picture.isEmpty()) return;
  mStartPicture = QFileInfo(picture).absoluteFilePath();
  StatusPanels[5]->setText(QFileInfo(mStartPicture).fileName());
}

void TMainForm::OpenStartUpPicture() {
  const QString picture = std::exchange(mStartPicture, QString());
  // As from the open dialog, which offers only existing files.
  if (picture.isEmpty() || mBusy || !QFileInfo(picture).isFile()) return;
  AcceptPicture(picture);
}

void TMainForm::Timer1Timer() {
  Timer1.stop();
  if (mBusy) return;
  if (QFileInfo(Q(mSession.PictureFile())).isFile()) {
    Guarded([this] {
      if (LoadPicture(true)) ColourInventory();
    });
  } else {
    Prompts().Information("No section.bmp file found.");
    mSession.SwitchAutoStartOff();
  }
}

void TMainForm::Timer2Timer() {
  Button1->setVisible(SizeFieldsStand() && mSession.AnalyseOffered(TypedSize()));
  if (ShowScale()) emit SectionStateChanged();
}

QString TMainForm::ScaleText() const {
  if (!SizeFieldsStand()) return {};
  const std::optional<std::string> scale = mSession.ScaleText(TypedSize());
  return scale ? Q(*scale) : QString();
}

bool TMainForm::SizesCarried() const {
  return (mSizesCarried[0] && NumberEdit1->IntValue() != 0) ||
         (mSizesCarried[1] && NumberEdit2->IntValue() != 0);
}

QString TMainForm::ScaleNote() const {
  const QString scale = ScaleText();
  if (scale.isEmpty()) return {};
  return "scale " + scale + " (hor x ver)" +
         (SizesCarried() ? QString(", from the sizes of the previous picture") : QString());
}

bool TMainForm::ShowScale() {
  // The program's notice gives way to the scale while there is one.
  const QString scale = ScaleText();
  const QString text = scale.isEmpty() ? mNotice : scale;
  const bool carried = !scale.isEmpty() && SizesCarried();
  QLabel* panel = StatusPanels[6];
  if (panel->text() == text && panel->font().italic() == carried) return false;
  panel->setText(text);
  QFont font = panel->font();
  font.setItalic(carried);
  panel->setFont(font);
  panel->setToolTip(scale.isEmpty() ? QString()
                    : carried       ? "mm per pixel, horizontal x vertical, from the sizes typed "
                                      "for the previous picture"
                                    : QString("mm per pixel, horizontal x vertical"));
  return true;
}

void TMainForm::MarkCarriedSize(std::size_t field, bool carried) {
  mSizesCarried[field] = carried;
  TNumberEdit* edit = field == 0 ? NumberEdit1 : NumberEdit2;
  QFont font = edit->font();
  font.setItalic(carried);
  edit->setFont(font);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Text,
                   carried ? QColor(Qt::darkGray) : GroupBox3->palette().color(QPalette::Text));
  edit->setPalette(palette);
  edit->setToolTip(carried ? mSizeHints[field] +
                                 "\n(typed for the previous picture: press Enter or Tab to take "
                                 "it for this one, or type another)"
                           : mSizeHints[field]);
}

SectionSize TMainForm::TypedSize() const {
  SectionSize size;
  size.widthMm = NumberEdit1->IntValue();
  size.heightMm = NumberEdit2->IntValue();
  size.widthText = S(NumberEdit1->text());
  size.heightText = S(NumberEdit2->text());
  return size;
}

bool TMainForm::SizeFieldsStand() const {
  // A field that holds the focus over its text is not settled, whatever its value still is.
  return NumberEdit1->Status() == ValidationStatus::Valid &&
         NumberEdit2->Status() == ValidationStatus::Valid &&
         SectionSession::SizeTextsStand(TypedSize());
}

void TMainForm::OpenPicture1Click() {
  if (mBusy) return;
  const std::optional<QString> chosen = Prompts().OpenPicture(Q(mSession.Settings().WorkingDir));
  if (!chosen || !QFileInfo(*chosen).isFile()) return;
  AcceptPicture(*chosen);
}

void TMainForm::DropFiles(const QStringList& paths) {
  if (!mDropsAccepted || mBusy) return;
  if (paths.size() > 1) {
    Prompts().Error("Can only accept one BMP-file");
    return;
  }
  if (paths.isEmpty()) return;
  const QString& path = paths.first();
  const qsizetype dot = path.lastIndexOf('.');
  const QString extension = dot < 0 ? QString() : path.mid(dot).toUpper();
  // The reader goes by the file's first bytes; the name only keeps other files out.
  if (extension != ".BMP" && extension != ".PNG") {
    Prompts().Error("Drag and drop only one BMP bitmap picture");
    return;
  }
  if (QFileInfo(path).isFile()) AcceptPicture(path);
}

void TMainForm::AcceptPicture(const QString& path) {
  Guarded([this, &path] {
    const std::string before = mSession.Picture().Empty() ? std::string() : mSession.PictureFile();
    // Named only once it opened: a file that cannot be read leaves the picture on show named.
    if (!mSession.AcceptPicture(S(path))) return;
    StatusPanels[5]->setText(QFileInfo(path).fileName());
    if (!before.empty() && mSession.PictureFile() != before) {
      // The sizes stay in their fields for the new picture, marked until the user takes them.
      MarkCarriedSize(0, NumberEdit1->IntValue() != 0);
      MarkCarriedSize(1, NumberEdit2->IntValue() != 0);
    }
    FillRecentMenu();
    ShowLoadedPicture(true);
    ColourInventory();
  });
}

bool TMainForm::LoadPicture(bool warnSmall) {
  if (!mSession.LoadPicture()) return false;
  ShowLoadedPicture(warnSmall);
  return true;
}

void TMainForm::ShowLoadedPicture(bool warnSmall) {
  mLayer.Clear();  // the picture is the file's again
  mResultOverlayShown = false;
  Panel5->setPalette(palette());
  ShowPicture();
  const int w = mSession.Picture().Width();
  const int h = mSession.Picture().Height();
  Label1->setText(QInteger(w));
  if (warnSmall) {
    if (auto warning = mSession.SmallPictureWarning()) Prompts().Error(Q(*warning));
  }
  const QColor colour = h == w ? QColor(Qt::black) : QColor(Qt::red);
  SetFontColour(Label2, colour);
  SetFontColour(ShapeAlertLabel, colour);
  ShapeAlertLabel->setText(h == w ? "square bitmap" : "Not a square bitmap !");
  Label2->setText(QInteger(h));
  Label4->setText(QInteger(static_cast<qint64>(w) * h));
  ProgressBar1->setMaximum(static_cast<int>(std::min<qint64>(static_cast<qint64>(w) * h, INT_MAX)));
  emit SectionStateChanged();
}

void TMainForm::ShowPicture() {
  SyncStressMap();
  if (StressMapShown()) {
    Image1->SetImage(StressMapImage());
    return;
  }
  // Only the view's own pixels are made: the picture is never copied or scaled whole.
  Image1->SetImage(mLayer.ScaledView(mSession.Picture(), Image1->width(), Image1->height()));
}

void TMainForm::ColourInventory() {
  if (mBusy) return;
  mSession.ColourInventory(this);
}

void TMainForm::SetBusy(bool busy) {
  mBusy = busy;
  GroupBox1->setEnabled(!busy);
  ListBox1->setEnabled(!busy);
  File1->setEnabled(!busy);
  Info1->setEnabled(!busy);
  Section1->setEnabled(!busy);
  View1->setEnabled(!busy);
  WaitPanel->setVisible(busy);
  if (busy) {
    WaitPanel->raise();
    ProgressBar1->setValue(0);
    WaitPanel->repaint();
  }
}

void TMainForm::InventoryStarted() {
  FoundModel->Reload();
  ListBox1->setEnabled(false);
  MaterialModel->Reload();
  Label44->setText("0");
}

void TMainForm::ResetResults() {
  mSession.ResetResults();
  ResultsReset();
}

void TMainForm::ResultsReset() {
  Label34->setText("0");
  Label36->setText("0");
  ClearResultTexts();
  GroupBox1->hide();
  GroupBox2->hide();
  GroupBox3->hide();
  mResultOverlayShown = false;
  emit SectionStateChanged();
}

void TMainForm::ClearResultTexts() {
  for (QLabel* label : {Label23, Label26, Label40, Label27, Label50, Label53}) {
    label->setText("0");
    label->setToolTip("0");
  }
  Label47->setText("0");
  Label56->setText("0");
  OutputMemo->clear();
}

void TMainForm::SyncResults() {
  mSession.DropStaleResults();
  if (mSession.HasResults() || GroupBox2->isHidden()) return;
  // Results of another section must not stay on show: they go as with a new picture, and the
  // section is shown as before its analysis.
  ClearResultTexts();
  Label44->setText(Q(mSession.Centre().relevantPixels));
  GroupBox2->hide();
  if (mResultOverlayShown) {
    LoadPicture(false);
    if (mSession.SectionSpansArea()) DrawSectionFrame();
  }
  emit SectionStateChanged();
}

void TMainForm::Progress(std::int64_t done, std::int64_t /*total*/) {
  ProgressBar1->setValue(static_cast<int>(std::min<std::int64_t>(done, ProgressBar1->maximum())));
  // Pump events a few dozen times a second so the window repaints and timers tick.
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (now - mLastPump >= 30) {
    mLastPump = now;
    QCoreApplication::processEvents();
  }
}

void TMainForm::InventoryFinished() {
  FoundModel->Reload();
  ListBox1->setEnabled(true);
  std::optional<std::string> note = UnnamedColoursNote(
      mSession.Found().Size(), mSession.UnnamedLeftOut(), UnnamedColoursHint::SettingsDialog);
  // A section painted (254, 0, 0) looks red and is no clRed: its pixels must not vanish unsaid.
  // A smoothed drawing's blends are unnamed colours too, told about as what they are: read flat,
  // once per picture, with the setting that reads them as coverage.
  const std::optional<std::string> leftOut = LeftOutColoursNote(
      mSession.Found().Size(), mSession.UnnamedLeftOut(), UnnamedColoursHint::SettingsDialog);
  const bool smoothingUntold = mSession.Settings().Edges == EdgeMode::Flat &&
                               !mSmoothingNoted.contains(Q(mSession.PictureFile()));
  if (!note && (leftOut || smoothingUntold)) {
    const std::optional<std::string> smoothed =
        EdgeSmoothingNote(mSession.PictureEdgeSmoothing(), EdgeSmoothingHint::CoverageSetting);
    if (!smoothed) {
      note = leftOut;
    } else if (smoothingUntold) {
      mSmoothingNoted.append(Q(mSession.PictureFile()));
      note = smoothed;
    }
  }
  if (note) ShowNote(Q(*note));
  emit SectionStateChanged();
}

QString TMainForm::SelectedLabel(bool materialList) const {
  if (materialList) {
    const QModelIndexList selected = ListBox2->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.first().data().toString();
  }
  const QModelIndexList selected = ListBox1->selectionModel()->selectedIndexes();
  return selected.isEmpty() ? QString() : selected.first().data().toString();
}

void TMainForm::ListKey(int key, bool materialList) {
  const QString label = SelectedLabel(materialList);
  if (key == Qt::Key_F1) {
    if (label.isEmpty()) {
      Prompts().Information(
          "Special function keys in listboxes:\r\rF1 = Color field details\rF2 = Hide all colors "
          "but the selected one\rF3 = Reload current bitmap");
      return;
    }
    if (!materialList) {
      if (const auto row = mSession.Found().Find(S(label))) {
        Prompts().Message(Q(DescribeProp(mSession.Found().Entry(*row).prop)));
      }
      return;
    }
    const TPROPClass* list = mSession.MaterialLibrary();
    if (list == nullptr) return;
    if (const TPROPRec* entry = list->FindByLabel(S(label)))
      Prompts().Message(Q(DescribeProp(entry->prop)));
  } else if (key == Qt::Key_F2) {
    if (label.isEmpty() || mBusy || mSession.Picture().Empty()) return;
    if (!Prompts().Confirm("Hide all colors but " + label + " ?")) return;
    SetBusy(true);
    mLayer.HideAllBut(PixelColourOfLabel(S(label)));
    mSession.HideColoursBut(
        S(label), [this](std::int64_t done, std::int64_t total) { Progress(done, total); });
    ShowPicture();
    SetBusy(false);
    emit SectionStateChanged();
  } else if (key == Qt::Key_F3) {
    if (!mSession.InventoryDone() || mBusy) return;
    Guarded([this] {
      LoadPicture(false);
      Shells().Beep();
    });
  }
}

void TMainForm::ImageMouseMove(int x, int y) {
  statusBar()->clearMessage();
  const double w = mSession.Picture().Width();
  const double h = mSession.Picture().Height();
  if (!StressMapShown()) {
    StatusPanels[1]->setText(QInteger(PictureOfView(x, Image1->width(), w)));
    StatusPanels[3]->setText(QInteger(PictureOfView(y, Image1->height(), h)));
    return;
  }
  // The map may be shown smaller beside its colour bar: positions count on the map.
  const StressViewLayout layout = StressMapLayout();
  const auto onMap = [](int pos, int start, int length, double size) {
    return std::clamp<long long>(PictureOfView(pos - start, length, size), 0,
                                 std::max<long long>(0, static_cast<long long>(size) - 1));
  };
  StatusPanels[1]->setText(QInteger(onMap(x, layout.mapLeft, layout.mapWidth, w)));
  StatusPanels[3]->setText(QInteger(onMap(y, layout.mapTop, layout.mapHeight, h)));
  const std::optional<PixelPoint> at =
      layout.PictureAt(x, y, mSession.PictureWidth(), mSession.PictureHeight());
  if (!at) return;
  // The pixel the map shows there, as it samples the picture.
  const StressKind kind =
      StressKindOfKey(mSession.Settings().Stress.Field).value_or(StressKind::VonMises);
  statusBar()->showMessage(Q(StressAtText(*mSession.Stresses(), at->x, at->y, kind)));
}

void TMainForm::Help1Click() {
  const QString folder = ProgramFolder();
  const QString document = folder + kHelpDocument;
  if (QFileInfo(document).isFile()) {
    Shells().OpenDocument(
        document, WhileAlive(this, [document] {
          Prompts().Information("The help document could not be opened:\r- " + document +
                                "\r\rNo program to show PDF documents was found. Install a PDF "
                                "viewer, or open the file with a program of your choice.");
        }));
  } else {
    Prompts().Information("Help document not in the program root directory : \r- " + folder +
                          "\r\rCheck your installation!");
  }
}

void TMainForm::SpeedButton1Click() {
  const QString folder =
      mSession.Settings().WorkingDir.empty() ? ProgramFolder() : Q(mSession.Settings().WorkingDir);
  Shells().OpenFolder(folder, WhileAlive(this, [folder] {
                        Prompts().Information("The picture folder could not be shown:\r- " +
                                              folder +
                                              "\r\rNo file manager was found to show folders.");
                      }));
}

void TMainForm::SaveSettings() {
  Guarded([this] { mSession.SaveSettings(); });
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (mBusy) {
    // A scan is pumping events inside a handler: close once it has finished.
    event->ignore();
    QTimer::singleShot(100, this, &QWidget::close);
    return;
  }
  SaveSettings();
  event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (mDropsAccepted && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) paths.append(url.toLocalFile());
  event->acceptProposedAction();
  DropFiles(paths);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox1->viewport() && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    // The right button acts on the item already selected; it does not select.
    Guarded([this] { ListBox1RightButton(); });
    return true;
  }
  if (watched == ListBox2->viewport()) {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove:
        // Any drag is shown as welcome; only a drop from the found-colours list acts.
        static_cast<QDropEvent*>(event)->acceptProposedAction();
        return true;
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        drop->acceptProposedAction();
        QObject* source = drop->source();
        Guarded([this, source] { ListBox2Drop(source); });
        return true;
      }
      case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
          Guarded([this] { ListBox2RightButton(); });
          return true;
        }
        break;
      default:
        break;
    }
  }
  if (event->type() == QEvent::KeyPress && (watched == ListBox1 || watched == ListBox2)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_F1 || key == Qt::Key_F2 || key == Qt::Key_F3) {
      const bool material = watched == ListBox2;
      Guarded([&] { ListKey(key, material); });
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// --- colour and material lists ------------------------------------------------------------

void TMainForm::ListBox1Click() {
  const QString label = SelectedLabel(false);
  if (label.isEmpty()) return;
  QPalette p = Panel5->palette();
  p.setColor(QPalette::Window, ToQColor(LabelToColour(S(label))));
  Panel5->setPalette(p);
}

void TMainForm::ListBox1DblClick() { AddColourToMaterialList(false); }

void TMainForm::ListBox1RightButton() { AddColourToMaterialList(true); }

void TMainForm::ListBox2Drop(QObject* source) {
  if (source != ListBox1 && source != ListBox1->viewport()) return;
  if (SelectedLabel(false).isEmpty()) return;
  AddColourToMaterialList(false);
}

void TMainForm::ListBox2Click() { ShowMaterialDetails(); }

QPoint TMainForm::MaterialPopupPoint() const {
  // A fixed point, not the mouse: the window's outer corner plus the list's place.
  const QPoint corner = frameGeometry().topLeft();
  return {corner.x() + Panel2->x() + ListBox2->x() - ListBox2->width(),
          corner.y() + Panel2->y() + ListBox2->y()};
}

void TMainForm::ListBox2RightButton() {
  if (SelectedLabel(true).isEmpty()) return;
  if (QAction* chosen = RunPopup(*PopupMenu1, MaterialPopupPoint())) chosen->trigger();
}

void TMainForm::ListBox2DblClick() {
  if (!SelectedLabel(true).isEmpty()) EditMaterial();
}

void TMainForm::Delete1Click() {
  if (!SelectedLabel(true).isEmpty()) RemoveFromMaterialList();
}

void TMainForm::Editproperties1Click() {
  if (!SelectedLabel(true).isEmpty()) EditMaterial();
}

void TMainForm::Properties1Click() {
  const QString label = SelectedLabel(true);
  if (label.isEmpty() || mSession.MaterialLibrary() == nullptr) return;
  if (const TPROPRec* entry = mSession.MaterialLibrary()->FindByLabel(S(label))) {
    Prompts().Message(Q(DescribeProp(entry->prop)));
  }
}

void TMainForm::ShowSectionSize() {
  Label34->setText(Q(mSession.WidthPixelsText()));
  Label36->setText(Q(mSession.HeightPixelsText()));
}

void TMainForm::AddColourToMaterialList(bool ask) {
  if (mBusy) return;
  const QString label = SelectedLabel(false);
  if (label.isEmpty() || mSession.OnMaterialList(S(label))) return;
  if (ask && !Prompts().Confirm("Add this color to the material properties list?")) return;
  if (!mSession.AddColourToMaterialList(S(label))) return;
  MaterialModel->Reload();
  ShowSectionSize();
  GroupBox3->show();
  LoadPicture(false);
  DrawSectionFrame();
  SyncResults();
  emit SectionStateChanged();
}

void TMainForm::ShowMaterialDetails() {
  const QString label = SelectedLabel(true);
  if (label.isEmpty()) {
    GroupBox1->hide();
    return;
  }
  const TPROPRec* entry =
      mSession.MaterialLibrary() ? mSession.MaterialLibrary()->FindByLabel(S(label)) : nullptr;
  if (entry == nullptr) return;
  GroupBox1->setTitle("Selected properties for " + Q(entry->prop.colorlabel));
  Label13->setText(Q(entry->prop.name));
  Label14->setText(Q(FormatNumber(entry->prop.E)));
  Label15->setText(Q(FormatNumber(entry->prop.rho)));
  GroupBox1->show();
}

void TMainForm::RemoveFromMaterialList() {
  if (mBusy) return;
  const QString label = SelectedLabel(true);
  if (!Prompts().Confirm("Remove from list material: " + label + " ?")) return;
  mSession.RemoveFromMaterialList(S(label));
  // The reset leaves no row current or selected.
  MaterialModel->Reload();
  LoadPicture(false);
  if (!mSession.SectionSpansArea()) {
    GroupBox3->hide();
  } else {
    ShowSectionSize();
    GroupBox3->show();
    DrawSectionFrame();
  }
  ShowMaterialDetails();
  SyncResults();
  emit SectionStateChanged();
}

void TMainForm::EditMaterial() {
  if (mBusy || mSession.MaterialLibrary() == nullptr) return;
  TPROPRec* entry = mSession.EditLibrary().FindByLabel(S(SelectedLabel(true)));
  if (entry == nullptr) return;
  if (EditMaterialRecord(this, entry->prop)) ShowMaterialDetails();
  SyncResults();               // E or rho may have changed
  emit SectionStateChanged();  // the name may have changed
}

// --- analysis and drawing ------------------------------------------------------------------

OverlayInput TMainForm::CurrentOverlayInput() const {
  OverlayInput input = MakeOverlayInput(mSession.Picture().Width(), mSession.Picture().Height(),
                                        mSession.Bounds(), mSession.Result(), mSession.Settings());
  const QFont font = GraphicsFont();
  input.Font.Family = S(font.family());
  input.Font.PointSize = font.pointSize();
  input.Font.Style = (font.bold() ? kFontBold : 0u) | (font.italic() ? kFontItalic : 0u);
  input.BoxHeight = Image1->height();
  input.ScreenDpi = logicalDpiY();
  return input;
}

void TMainForm::Render(const OverlayOps& ops) {
  // The drawings go beside the picture, which stays as read: no reload is needed to analyse.
  mSession.NoteDrawnOver();
  mLayer.Paint(ops, mSession.Picture().Width(), mSession.Picture().Height(),
               mSession.PictureFile());
  ShowPicture();
  emit SectionStateChanged();
}

PixelGrid TMainForm::ShownPicture() const { return mLayer.Composed(mSession.Picture()); }

void TMainForm::DrawSectionFrame() { Render(qv::DrawSectionFrame(CurrentOverlayInput())); }

void TMainForm::DrawResultOverlay() {
  const OverlayInput input = CurrentOverlayInput();
  const SectionSession::ResultDrawing drawing = mSession.DrawResults(input);
  if (drawing.note) ShowNote(Q(*drawing.note));
  const OverlayOps& ops = drawing.ops;
  mResultOverlayShown = true;
  Render(ops);
}

void TMainForm::ShowResultTexts() {
  const CentreTexts& c = mSession.Centre();
  Label44->setText(Q(c.relevantPixels));
  Label23->setText(Q(c.ea));
  Label24->setText(Q(c.ncHor));
  Label25->setText(Q(c.ncVer));
  Label47->setText(Q(c.mass));
  Label12->setText(Q(c.mcHor));
  Label45->setText(Q(c.mcVer));
  const StiffnessTexts& t = mSession.Stiffness();
  Label23->setToolTip(Q(t.hintEA));
  Label26->setToolTip(Q(t.hintEIyy));
  Label27->setToolTip(Q(t.hintEIzz));
  Label40->setToolTip(Q(t.hintEIyz));
  Label50->setToolTip(Q(t.hintEI1));
  Label53->setToolTip(Q(t.hintEI2));
  Label56->setText(Q(t.alpha));
  Label26->setText(Q(t.eiyy));
  Label27->setText(Q(t.eizz));
  Label40->setText(Q(t.eiyz));
  Label50->setText(Q(t.ei1));
  Label53->setText(Q(t.ei2));
}

void TMainForm::Button1Click() {
  if (mBusy) return;
  if (!SizeFieldsStand()) {
    // A click that came before the rule's next tick hid the button: the sizes are not settled.
    Timer2Timer();
    return;
  }
  if (!mSession.PictureFresh()) LoadPicture(false);
  if (mSession.MaterialList().empty()) {
    Prompts().Information("No material selected.");
    return;
  }
  SetBusy(true);
  struct Idle {
    TMainForm* form;
    ~Idle() { form->SetBusy(false); }
  } idle{this};
  const SectionSize size = TypedSize();
  std::vector<std::string> messages;
  ProgressBar1->setMaximum(
      static_cast<int>(std::min<std::size_t>(mSession.Picture().Size(), INT_MAX)));
  mSession.Analyse(
      size, [this](std::int64_t done, std::int64_t total) { Progress(done, total); }, &messages);
  for (const std::string& m : messages) Prompts().Error(Q(m));
  GroupBox2->show();
  ShowResultTexts();
  // Analysed with them, the sizes are this picture's.
  MarkCarriedSize(0, false);
  MarkCarriedSize(1, false);
  const QString report = Q(mSession.ReportText());
  OutputMemo->setPlainText(report);
  Shells().SetClipboardText(report);
  DrawResultOverlay();
}

void TMainForm::RefreshOverlay() {
  // Shown to the user, whether or not the window itself is on screen at this moment.
  if (!Button1->isHidden() && !GroupBox2->isHidden() && !mSession.PictureFresh()) {
    LoadPicture(false);
    DrawResultOverlay();
  }
}

void TMainForm::ApplySignConvention() {
  const std::optional<ConventionTerms> terms = TermsOf(mSession.Settings().SignConvention);
  if (!terms) return;
  const auto text = [](std::string_view s) { return QString::fromUtf8(s.data(), s.size()); };
  EIyyCaption->setText(text(terms->eiyy));
  EIyyCaption->setToolTip(text(terms->eiyyHint));
  EIzzCaption->setText(text(terms->eizz));
  EIzzCaption->setToolTip(text(terms->eizzHint));
  // The value labels move with the caption row that names them: the upper row lists first.
  const int yyTop = terms->zzFirst ? 104 : 88;
  const int zzTop = terms->zzFirst ? 88 : 104;
  EIyyCaption->move(EIyyCaption->x(), yyTop);
  Label26->move(Label26->x(), yyTop);
  EIzzCaption->move(EIzzCaption->x(), zzTop);
  Label27->move(Label27->x(), zzTop);
  EIyzCaption->setText("EIyz");
  EIyzCaption->setToolTip("product bending stiffness");
  AlphaCaption->setText(text(terms->alpha));
}

void TMainForm::Definitions1Click() {
  ProgramSettings s = mSession.Settings();
  if (s.SignConvention != SignConvention::DorvastPelkam) {
    if (!Prompts().Confirm(
            "Current definitions based on EURO-code\r\rDo you want so change to Dorvast/Pelkam "
            "definitions ?")) {
      return;
    }
    s.SignConvention = SignConvention::DorvastPelkam;
  } else {
    SignConvention result = SignConvention::DorvastPelkam;
    {
      TDefinitionForm definitions(this);
      Prompts().Run(definitions);
      result = definitions.ConventionResult();
    }
    if (result == s.SignConvention) return;
    s.SignConvention = result;
  }
  mSession.ChangeSettings(s);
  ApplySignConvention();
  RefreshOverlay();
  emit SectionStateChanged();
}

void TMainForm::About1Click() {
  QFont font = GraphicsFont();
  bool edgesChanged = false;
  {
    TAboutBox about(this);
    about.Fill(mSession.Settings(), font);
    Prompts().Run(about);
    ProgramSettings changed = mSession.Settings();
    about.TakeBack(changed, font);
    edgesChanged = changed.Edges != mSession.Settings().Edges;
    mSession.ChangeSettings(changed);
  }
  TakeGraphicsFont(font);
  ApplySignConvention();
  if (edgesChanged && mSession.SectionSpansArea()) {
    // Another reading of the edges gives the section another box: shown as a change of the
    // material list shows it, ready to be analysed again.
    ShowSectionSize();
    LoadPicture(false);
    DrawSectionFrame();
  } else if (!edgesChanged) {
    RefreshOverlay();
  }
  SyncResults();  // another reading of the edges ends the last analysis
  emit SectionStateChanged();
}

void TMainForm::Definedproperties1Click() {
  if (mBusy || mSession.MaterialLibrary() == nullptr) return;
  {
    TDefaultPropForm browser(mSession.EditLibrary(), this);
    Prompts().Run(browser);
  }
  SyncResults();               // a material in use may have changed or gone
  emit SectionStateChanged();  // names may have changed
}

void TMainForm::Testdata1Click() {
  static const TPROPClass kEmpty;
  const TPROPClass found = mSession.Found().AsContainer();
  TDataForm form(found, mSession.MaterialLibrary() ? *mSession.MaterialLibrary() : kEmpty, this);
  Prompts().Run(form);
}

void TMainForm::SetGraphicsFontHint(const QFont& font) {
  SpeedButton2->setToolTip("Set graphics font\ncurrent font is " + font.family() + " size is " +
                           QInteger(font.pointSize()));
}

void TMainForm::SpeedButton2Click() {
  const std::optional<QFont> chosen = Prompts().ChooseFont(GraphicsFont());
  if (chosen) TakeGraphicsFont(*chosen);
  emit SectionStateChanged();
}

void TMainForm::TakeGraphicsFont(const QFont& font) {
  FontLabel->setFont(font);
  ProgramSettings s = mSession.Settings();
  s.FontName = S(font.family());
  s.FontSize = font.pointSize();
  s.FontStyle = (font.bold() ? kFontBold : 0u) | (font.italic() ? kFontItalic : 0u);
  mSession.ChangeSettings(s);
  SetGraphicsFontHint(font);
}

}  // namespace qv
