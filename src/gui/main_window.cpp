// The main window: layout, start-up, timers, help, settings, drag and drop, closing.
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
#include "core/outline/drawing_file.h"
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
#include "imaging/svg_reader.h"

namespace qv {
namespace {

constexpr const char* kListHint = "Select with left mouse button, options with right mouse button";
constexpr const char* kHelpDocument = "MANUAL_VAROLITH.pdf";

}  // namespace

TMainForm::TMainForm(const QString& programPath, const QString& userFolder, SettingsHome home,
                     QWidget* parent)
    : QMainWindow(parent), mProgramPath(programPath), mUserFolder(userFolder), mSettingsHome(home) {
  // Numbers never follow the user's locale: "." is the decimal separator everywhere.
  QLocale::setDefault(QLocale::c());
  // The window holds Qt's SVG renderer itself: SVG drawings are read in the process.
  InstallSvgReader([](const std::string& path) { return ReadSvgFile(path); });
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
  if (settings.AutoStart) mStatusPanels[5]->setText(Q(FileNameOf(mSession.PictureFile())));
  WWWUpdate.Enabled = settings.CheckForUpdates;
  UpdateDownloadParent = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  if (UpdateDownloadParent.isEmpty()) UpdateDownloadParent = QDir::tempPath();

  ApplySignConvention();
  // The graphics font as read; the deferred start-up falls back to an installed one.
  QFont graphics(Q(settings.FontName));
  graphics.setPointSize(std::max(1, settings.FontSize));
  graphics.setBold((settings.FontStyle & kFontBold) != 0);
  graphics.setItalic((settings.FontStyle & kFontItalic) != 0);
  mCommands.FontLabel->setFont(graphics);

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

  mPictureArea.Panel1 = Make<QFrame>(client, "Panel1", 8, 8, 425, 425);
  mPictureArea.Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  mPictureArea.Panel1->setToolTip(
      "Stretched bitmap if not square, use right mouse button to load a BMP-picture");
  mPictureArea.BkgrndPanel = Make<QLabel>(mPictureArea.Panel1, "BkgrndPanel", 11, 11, 403, 403);
  mPictureArea.BkgrndPanel->setText("no bitmap loaded.......");
  mPictureArea.BkgrndPanel->setAlignment(Qt::AlignCenter);
  mPictureArea.BkgrndPanel->setAutoFillBackground(true);
  QPalette white = mPictureArea.BkgrndPanel->palette();
  white.setColor(QPalette::Window, Qt::white);
  mPictureArea.BkgrndPanel->setPalette(white);
  mPictureArea.Image1 = Make<PictureView>(mPictureArea.BkgrndPanel, "Image1", 1, 1, 401, 401);
  mPictureArea.Image1->OnMouseMove = [this](int x, int y) { ImageMouseMove(x, y); };
  mPictureArea.Image1->OnRightButton = [this] { OpenPicture1Click(); };
  mPictureArea.Image1->OnDoubleClick = [this] { Guarded([this] { SectionView1Click(); }); };
  mPictureArea.OutputMemo =
      Make<QPlainTextEdit>(mPictureArea.Panel1, "OutputMemo", 20, 20, 380, 380);
  mPictureArea.OutputMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  mPictureArea.OutputMemo->hide();

  mLists.Panel2 = Make<QFrame>(client, "Panel2", 440, 8, 153, 425);
  mLists.Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
  mLists.Label7 = Make<QLabel>(mLists.Panel2, "Label7", 16, 4, 130, 16);
  mLists.Label7->setText("Found color elements:");
  mLists.Panel5 = Make<QLabel>(mLists.Panel2, "Panel5", 16, 21, 121, 17);
  mLists.Panel5->setAutoFillBackground(true);
  mLists.Panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  mLists.ListBox1 = Make<QListView>(mLists.Panel2, "ListBox1", 16, 40, 121, 153);
  mLists.FoundModel = new LabelListModel(
      [this] { return mSession.Found().Size(); },
      [this](std::size_t row) { return Q(mSession.Found().Label(row)); }, true, mLists.ListBox1);
  mLists.ListBox1->setModel(mLists.FoundModel);
  mLists.ListBox1->setUniformItemSizes(true);  // constant-time layout for very long lists
  mLists.ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  mLists.ListBox1->setDragEnabled(true);
  mLists.ListBox1->setToolTip(kListHint);
  mLists.ListBox1->installEventFilter(this);
  mLists.Label6 = Make<QLabel>(mLists.Panel2, "Label6", 16, 204, 130, 16);
  mLists.Label6->setText("Material properties list:");
  mLists.ListBox2 = Make<QListView>(mLists.Panel2, "ListBox2", 16, 224, 121, 129);
  mLists.MaterialModel = new LabelListModel(
      [this] { return mSession.MaterialList().size(); },
      [this](std::size_t row) { return Q(mSession.MaterialList()[row]); }, false, mLists.ListBox2);
  mLists.ListBox2->setModel(mLists.MaterialModel);
  mLists.ListBox2->setSelectionMode(QAbstractItemView::SingleSelection);
  mLists.ListBox2->setToolTip(kListHint);
  mLists.ListBox2->installEventFilter(this);
  mLists.WaitPanel = Make<QFrame>(mLists.Panel2, "WaitPanel", 8, 207, 137, 149);
  mLists.WaitPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  mLists.WaitPanel->setAutoFillBackground(true);
  auto* waitCaption = MakeLabel(mLists.WaitPanel, nullptr, "wait ............", 8, 40, 120, 16);
  waitCaption->setAlignment(Qt::AlignCenter);
  auto* analysing = MakeLabel(mLists.WaitPanel, nullptr, "Analysing", 8, 64, 120, 16);
  analysing->setAlignment(Qt::AlignCenter);
  QFont bold = analysing->font();
  bold.setBold(true);
  analysing->setFont(bold);
  mLists.ProgressBar1 = Make<QProgressBar>(mLists.WaitPanel, "ProgressBar1", 8, 100, 121, 16);
  mLists.ProgressBar1->setRange(0, 100);
  mLists.ProgressBar1->setTextVisible(false);
  mLists.WaitPanel->hide();

  mSizes.GroupBox3 = Make<QGroupBox>(client, "GroupBox3", 600, 4, 193, 125);
  mSizes.GroupBox3->setTitle("Sectional Boundaries:");
  mSizes.GroupBox3->setToolTip(
      "Specify the actual dimensions [in mm ], other wise no Analyse Button will be available");
  mSizes.NumberEdit1 = Make<TNumberEdit>(mSizes.GroupBox3, "NumberEdit1", 56, 62, 70, 21);
  mSizes.NumberEdit2 = Make<TNumberEdit>(mSizes.GroupBox3, "NumberEdit2", 56, 90, 70, 21);
  for (TNumberEdit* field : {mSizes.NumberEdit1, mSizes.NumberEdit2}) {
    field->SetText("0");
    field->SetDefaultHint(false);
    field->SetNumType(TNumberType::IntType);
    field->SetMax(kMaxSectionMm);
    field->SetIntValue(0);
    field->SetRealValue(0);
  }
  mSizeHints = {"horizontal size 0.." + QInteger(kMaxSectionMm) + " mm",
                "vertical size 0.." + QInteger(kMaxSectionMm) + " mm"};
  mSizes.NumberEdit1->setToolTip(mSizeHints[0]);
  mSizes.NumberEdit2->setToolTip(mSizeHints[1]);
  for (const std::size_t i : {std::size_t{0}, std::size_t{1}}) {
    TNumberEdit* field = i == 0 ? mSizes.NumberEdit1 : mSizes.NumberEdit2;
    // A size typed is the size meant: the pixel size gives way to it.
    connect(field, &QLineEdit::textEdited, this, [this] { mSession.SetPixelSize(std::nullopt); });
    connect(field, &TNumberEdit::TextExamined, this, [this, i](ValidationStatus status) {
      // A valid size typed or taken with Enter or Tab is this picture's own.
      if (status == ValidationStatus::Valid) MarkCarriedSize(i, false);
      if (ShowScale()) emit SectionStateChanged();
    });
  }
  mSizes.GroupBox3->hide();

  mProperties.GroupBox1 = Make<QGroupBox>(client, "GroupBox1", 600, 132, 193, 69);
  mProperties.GroupBox1->setTitle("Selected Properties:");
  mProperties.GroupBox1->setToolTip("Used properties for this color");
  mProperties.GroupBox1->hide();

  mResults.GroupBox2 = Make<QGroupBox>(client, "GroupBox2", 600, 204, 193, 197);
  mResults.GroupBox2->setTitle("Cross Sectional Data:");
  BuildLabels();
  mResults.GroupBox2->hide();

  mCommands.Button1 = Make<QPushButton>(client, "Button1", 600, 408, 65, 25);
  mCommands.Button1->setText("analyse");
  mCommands.Button1->hide();
  mCommands.SpeedButton2 = Make<QToolButton>(client, "SpeedButton2", 669, 408, 25, 25);
  mCommands.SpeedButton2->setText("F");
  mCommands.SpeedButton2->setToolTip("Select graphics font");
  mCommands.SpeedButton1 = Make<QToolButton>(client, "SpeedButton1", 698, 408, 25, 25);
  mCommands.SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  mCommands.SpeedButton1->setToolTip("Show Bitmap folder");
  connect(mCommands.SpeedButton1, &QToolButton::clicked, this,
          [this] { Guarded([this] { SpeedButton1Click(); }); });
  mCommands.BitBtn1 = Make<QPushButton>(client, "BitBtn1", 728, 408, 65, 25);
  mCommands.BitBtn1->setText("Close");
  connect(mCommands.BitBtn1, &QPushButton::clicked, this, &QWidget::close);
  mCommands.FontLabel = Make<QLabel>(client, "FontLabel", 600, 436, 190, 16);
  mCommands.FontLabel->setText("Selected Font");
  mCommands.FontLabel->hide();

  connect(mLists.ListBox1, &QListView::clicked, this,
          [this] { Guarded([this] { ListBox1Click(); }); });
  connect(mLists.ListBox1, &QListView::doubleClicked, this,
          [this] { Guarded([this] { ListBox1DblClick(); }); });
  connect(mLists.ListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { Guarded([this] { ListBox1Click(); }); });
  mLists.ListBox1->viewport()->installEventFilter(this);
  mLists.ListBox2->setAcceptDrops(true);
  mLists.ListBox2->viewport()->setAcceptDrops(true);
  mLists.ListBox2->setDragDropMode(QAbstractItemView::DropOnly);
  mLists.ListBox2->viewport()->installEventFilter(this);
  connect(mLists.ListBox2, &QListView::clicked, this,
          [this] { Guarded([this] { ListBox2Click(); }); });
  connect(mLists.ListBox2, &QListView::doubleClicked, this,
          [this] { Guarded([this] { ListBox2DblClick(); }); });
  connect(mCommands.Button1, &QPushButton::clicked, this,
          [this] { Guarded([this] { Button1Click(); }); });
  connect(mCommands.SpeedButton2, &QToolButton::clicked, this,
          [this] { Guarded([this] { SpeedButton2Click(); }); });

  mMenus.PopupMenu1 = new QMenu(this);
  mMenus.PopupMenu1->setObjectName("PopupMenu1");
  mMenus.Delete1 = mMenus.PopupMenu1->addAction("Remove from list");
  mMenus.Delete1->setObjectName("Delete1");
  connect(mMenus.Delete1, &QAction::triggered, this,
          [this] { Guarded([this] { Delete1Click(); }); });
  mMenus.Editproperties1 = mMenus.PopupMenu1->addAction("Edit properties");
  mMenus.Editproperties1->setObjectName("Editproperties1");
  connect(mMenus.Editproperties1, &QAction::triggered, this,
          [this] { Guarded([this] { Editproperties1Click(); }); });
  mMenus.Properties1 = mMenus.PopupMenu1->addAction("Properties");
  mMenus.Properties1->setObjectName("Properties1");
  mMenus.Properties1->setVisible(false);
  connect(mMenus.Properties1, &QAction::triggered, this,
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
    QLabel** member = nullptr;
    const char* tip = nullptr;
  };
  const Cell cells[] = {
      // Below the lists: the picture's size, its shape, the pixel counts.
      {mLists.Panel2, "0", 16, 364, 40, "Label1", &mLists.Label1},
      {mLists.Panel2, "x", 58, 364, 10, "Label3", &mLists.Label3},
      {mLists.Panel2, "0", 70, 364, 40, "Label2", &mLists.Label2},
      {mLists.Panel2, "", 16, 380, 130, "ShapeAlertLabel", &mLists.ShapeAlertLabel},
      {mLists.Panel2, "nr of pixels", 16, 396, 70},
      {mLists.Panel2, "0", 86, 396, 64, "Label4", &mLists.Label4},
      {mLists.Panel2, "relevant pixels", 16, 408, 80},
      {mLists.Panel2, "0", 100, 408, 50, "Label44", &mLists.Label44},
      // "Sectional Boundaries:": the section in pixels, then the captions of the size fields.
      {mSizes.GroupBox3, "width =", 8, 20, 44},
      {mSizes.GroupBox3, "0", 56, 20, 60, "Label34", &mSizes.Label34},
      {mSizes.GroupBox3, "pixels", 130, 20, 50},
      {mSizes.GroupBox3, "height=", 8, 38, 44},
      {mSizes.GroupBox3, "0", 56, 38, 60, "Label36", &mSizes.Label36},
      {mSizes.GroupBox3, "pixels", 130, 38, 50},
      {mSizes.GroupBox3, "width", 8, 66, 44},
      {mSizes.GroupBox3, "mm", 132, 66, 30},
      {mSizes.GroupBox3, "height", 8, 94, 44},
      {mSizes.GroupBox3, "mm", 132, 94, 30},
      // "Selected Properties:"
      {mProperties.GroupBox1, "name", 8, 18, 40},
      {mProperties.GroupBox1, "0", 50, 18, 136, "Label13", &mProperties.Label13},
      {mProperties.GroupBox1, "E", 8, 34, 40, nullptr, nullptr, "modulus of Elasticity in N/mm^2"},
      {mProperties.GroupBox1, "0", 50, 34, 80, "Label14", &mProperties.Label14},
      {mProperties.GroupBox1, "N/mm^2", 134, 34, 54},
      {mProperties.GroupBox1, "rho", 8, 50, 40, nullptr, nullptr, "mass density in kg/m^3"},
      {mProperties.GroupBox1, "0", 50, 50, 80, "Label15", &mProperties.Label15},
      {mProperties.GroupBox1, "kg/m^3", 134, 50, 54},
      // "Cross Sectional Data:", one row a value with its caption and unit.
      {mResults.GroupBox2, "EA", 8, 20, 40},
      {mResults.GroupBox2, "0", 50, 20, 90, "Label23", &mResults.Label23},
      {mResults.GroupBox2, "N", 144, 20, 46, "EAUnit", &mResults.EAUnit},
      {mResults.GroupBox2, "NC", 8, 36, 40},
      {mResults.GroupBox2, "0", 50, 36, 48, "Label24", &mResults.Label24},
      {mResults.GroupBox2, "0", 100, 36, 48, "Label25", &mResults.Label25},
      {mResults.GroupBox2, "mm", 144, 36, 46, "NCUnit", &mResults.NCUnit},
      {mResults.GroupBox2, "mass", 8, 52, 40},
      {mResults.GroupBox2, "0", 50, 52, 90, "Label47", &mResults.Label47},
      {mResults.GroupBox2, "kg/m", 144, 52, 46},
      {mResults.GroupBox2, "MC", 8, 68, 40},
      {mResults.GroupBox2, "0", 50, 68, 48, "Label12", &mResults.Label12},
      {mResults.GroupBox2, "0", 100, 68, 48, "Label45", &mResults.Label45},
      {mResults.GroupBox2, "mm", 144, 68, 46, "MCUnit", &mResults.MCUnit},
      {mResults.GroupBox2, "EIyy", 8, 88, 40, "EIyyCaption", &mResults.EIyyCaption,
       "bending stiffness in xy-plane"},
      {mResults.GroupBox2, "0", 50, 88, 90, "Label26", &mResults.Label26},
      {mResults.GroupBox2, "Nmm^2", 144, 88, 46, "EIyyUnit", &mResults.EIyyUnit},
      {mResults.GroupBox2, "EIzz", 8, 104, 40, "EIzzCaption", &mResults.EIzzCaption,
       "bending stiffness in xz-plane"},
      {mResults.GroupBox2, "0", 50, 104, 90, "Label27", &mResults.Label27},
      {mResults.GroupBox2, "Nmm^2", 144, 104, 46, "EIzzUnit", &mResults.EIzzUnit},
      {mResults.GroupBox2, "EIyz", 8, 120, 40, "EIyzCaption", &mResults.EIyzCaption,
       "product bending stiffness"},
      {mResults.GroupBox2, "0", 50, 120, 90, "Label40", &mResults.Label40},
      {mResults.GroupBox2, "Nmm^2", 144, 120, 46, "EIyzUnit", &mResults.EIyzUnit},
      {mResults.GroupBox2, "alpha1", 8, 140, 40, "AlphaCaption", &mResults.AlphaCaption},
      {mResults.GroupBox2, "0", 50, 140, 90, "Label56", &mResults.Label56,
       "principal direction from y to z axis"},
      {mResults.GroupBox2, "degrees", 144, 140, 46},
      {mResults.GroupBox2, "EI1", 8, 156, 40, nullptr, nullptr,
       "principal bending stiffness nr (1)"},
      {mResults.GroupBox2, "0", 50, 156, 90, "Label50", &mResults.Label50},
      {mResults.GroupBox2, "Nmm^2", 144, 156, 46, "EI1Unit", &mResults.EI1Unit},
      {mResults.GroupBox2, "EI2", 8, 172, 40, nullptr, nullptr,
       "principal bending stiffness nr (2)"},
      {mResults.GroupBox2, "0", 50, 172, 90, "Label53", &mResults.Label53},
      {mResults.GroupBox2, "Nmm^2", 144, 172, 46, "EI2Unit", &mResults.EI2Unit},
  };
  for (const Cell& cell : cells) {
    QLabel* label = MakeLabel(cell.parent, cell.name, QString::fromLatin1(cell.text), cell.x,
                              cell.y, cell.w, 16);
    if (cell.tip != nullptr) label->setToolTip(QString::fromLatin1(cell.tip));
    if (cell.member != nullptr) *cell.member = label;
  }
}

void TMainForm::BuildMenus() {
  mMenus.File1 = menuBar()->addMenu("File");
  mMenus.File1->setObjectName("File1");
  mMenus.OpenPicture1 = mMenus.File1->addAction("Open Picture");
  mMenus.OpenPicture1->setObjectName("OpenPicture1");
  connect(mMenus.OpenPicture1, &QAction::triggered, this, [this] { OpenPicture1Click(); });
  BuildFileExtras();
  mMenus.Close1 = mMenus.File1->addAction("Close");
  mMenus.Close1->setObjectName("Close1");
  connect(mMenus.Close1, &QAction::triggered, this, &QWidget::close);

  mMenus.Info1 = menuBar()->addMenu("Info");
  mMenus.Info1->setObjectName("Info1");
  mMenus.Help1 = mMenus.Info1->addAction("Help");
  mMenus.Help1->setObjectName("Help1");
  connect(mMenus.Help1, &QAction::triggered, this, [this] { Guarded([this] { Help1Click(); }); });
  mMenus.Definitions1 = mMenus.Info1->addAction("Definitions");
  mMenus.Definitions1->setObjectName("Definitions1");
  connect(mMenus.Definitions1, &QAction::triggered, this,
          [this] { Guarded([this] { Definitions1Click(); }); });
  mMenus.About1 = mMenus.Info1->addAction("About ... settings");
  mMenus.About1->setObjectName("About1");
  connect(mMenus.About1, &QAction::triggered, this, [this] { Guarded([this] { About1Click(); }); });
  mMenus.Info1->addSeparator();
  mMenus.Definedproperties1 = mMenus.Info1->addAction("defined properties");
  mMenus.Definedproperties1->setObjectName("Definedproperties1");
  connect(mMenus.Definedproperties1, &QAction::triggered, this,
          [this] { Guarded([this] { Definedproperties1Click(); }); });
  mMenus.Testdata1 = mMenus.Info1->addAction("test data");
  mMenus.Testdata1->setObjectName("Testdata1");
  mMenus.Testdata1->setVisible(false);
  connect(mMenus.Testdata1, &QAction::triggered, this,
          [this] { Guarded([this] { Testdata1Click(); }); });
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
    mStatusPanels.append(panel);
  }
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  // The scale follows every change of the section; typed sizes are followed as they are typed.
  connect(this, &TMainForm::SectionStateChanged, this, [this] { ShowScale(); });
}

QString TMainForm::ProgramFolder() const { return QFileInfo(mProgramPath).absolutePath() + "/"; }

QFont TMainForm::GraphicsFont() const { return mCommands.FontLabel->font(); }

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
  mCommands.FontLabel->setFont(font);
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
    window.setStatus = [this](const QString& text) { mStatusPanels[7]->setText(text); };
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
  mStatusPanels[5]->setText(QFileInfo(mStartPicture).fileName());
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
  ShowPixelSizeInFields();
  ShowDrawingSizeInFields();
  mCommands.Button1->setVisible(SizeFieldsStand() && mSession.AnalyseOffered(TypedSize()));
  if (ShowScale()) emit SectionStateChanged();
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
  if (watched == mLists.ListBox1->viewport() && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    // The right button acts on the item already selected; it does not select.
    Guarded([this] { ListBox1RightButton(); });
    return true;
  }
  if (watched == mLists.ListBox2->viewport()) {
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
  if (event->type() == QEvent::KeyPress &&
      (watched == mLists.ListBox1 || watched == mLists.ListBox2)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_F1 || key == Qt::Key_F2 || key == Qt::Key_F3) {
      const bool material = watched == mLists.ListBox2;
      Guarded([&] { ListKey(key, material); });
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace qv
