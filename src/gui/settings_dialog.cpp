// TAboutBox: the about box that is also the settings dialog of the program section.
#include "gui/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <charconv>
#include <string>

#include "core/base/version.h"
#include "core/settings/program_settings.h"
#include "gui/definitions_dialog.h"
#include "gui/fitted_picture.h"
#include "gui/number_edit.h"
#include "gui/plain_text.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"
#include "gui/shell.h"
#include "imaging/dialog_pictures.h"
#include "imaging/overlay_renderer.h"

namespace qv {
namespace {

const QString kDefinitionsHint =
    QStringLiteral("select with right mouse button to change the definitions");
const QString kToEuroQuestion = QStringLiteral(
    "Current definitions based on Dorvast/Pelkam\r\rDo you want so change to EURO-code "
    "definitions ?");
const QString kToDefaultQuestion = QStringLiteral(
    "Current definitions based on EURO-code\r\rDo you want so change to Dorvast/Pelkam "
    "definitions ?");
const QString kSpecialKeys = QStringLiteral(
    "Special function keys in listboxes:\r\rF1 = Color field details\rF2 = Hide all colors but "
    "the selected one\rF3 = Reload current bitmap");
const QString kExplanation = QStringLiteral(
    "Do not show the principal axis for\rprincipal angles : \r\r          |alpha| < precision "
    "in degrees");
const QString kMakerName = QStringLiteral("Quorvane developers");

const QColor kBlue = Qt::blue;    // clBlue
const QColor kBlack = Qt::black;  // clBlack
const QColor kNavy(0, 0, 128);    // clNavy

// Labels show the program's "\r" breaks as real line breaks.
QString Displayed(QString text) { return text.replace(QLatin1Char('\r'), QLatin1Char('\n')); }

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                 bool bold = false) {
  // Placed as every fixed label, then as wide and high as its text in its font.
  QLabel* label = MakeLabel(parent, name, Displayed(text), left, top, 0, 0);
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  label->adjustSize();
  return label;
}

QIcon Swatch(ColourValue value) {
  QPixmap pixmap(16, 12);
  pixmap.fill(ToQColor(value));
  QPainter painter(&pixmap);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
  return QIcon(pixmap);
}

void AddColourItem(QComboBox* box, ColourValue value) {
  box->addItem(Swatch(value), QString::fromStdString(ColourToLabel(value)),
               QVariant::fromValue<int>(value));
}

QComboBox* AddColourSelector(QWidget* parent, const char* name, int left, int top) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setGeometry(left, top, 140, 22);
  for (ColourValue value : TAboutBox::OfferedColours()) AddColourItem(box, value);
  return box;
}

// A value the selectors do not offer (only a hand-edited settings file has one) gets its own
// entry, so that leaving the selector alone gives the value back unchanged.
void SelectColour(QComboBox* box, ColourValue value) {
  int index = box->findData(QVariant::fromValue<int>(value));
  if (index < 0) {
    AddColourItem(box, value);
    index = box->count() - 1;
  }
  box->setCurrentIndex(index);
}

ColourValue SelectedColour(const QComboBox* box) { return box->currentData().toInt(); }

QCheckBox* AddCheckBox(QWidget* parent, const char* name, const QString& caption,
                       const QString& hint, int top) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(QString::fromLatin1(name));
  box->move(16, top);
  box->adjustSize();
  if (!hint.isEmpty()) box->setToolTip(hint);
  return box;
}

}  // namespace

const QString TAboutBox::kSupportAddress = QStringLiteral("support@quorvane.example");

QString TAboutBox::MailLink() {
  return QStringLiteral("mailto:") + kSupportAddress + QStringLiteral("?subject=") +
         QStringLiteral("info about Quorvane") + QStringLiteral("&body=") +
         QStringLiteral("Dear Sir,");
}

QString TAboutBox::FontButtonHint(const QString& name, int pointSize) {
  return QStringLiteral("Set graphics font\rcurrent font is ") + name +
         QStringLiteral(" size is ") + QInteger(pointSize);
}

const std::vector<ColourValue>& TAboutBox::OfferedColours() {
  static const std::vector<ColourValue> colours = [] {
    std::vector<ColourValue> list = {// The 16 basic colours.
                                     0x00000000, 0x00000080, 0x00008000, 0x00008080, 0x00800000,
                                     0x00800080, 0x00808000, 0x00808080, 0x00C0C0C0, 0x000000FF,
                                     0x0000FF00, 0x0000FFFF, 0x00FF0000, 0x00FF00FF, 0x00FFFF00,
                                     0x00FFFFFF,
                                     // The 4 extended ones.
                                     0x00C0DCC0, 0x00F0CAA6, 0x00F0FBFF, 0x00A4A0A0};
    // The system colours; index 25 has no name.
    for (int index = 0; index <= 30; ++index) {
      if (index == 25) continue;
      list.push_back(static_cast<ColourValue>(0x80000000u + static_cast<unsigned>(index)));
    }
    return list;
  }();
  return colours;
}

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(609, 390);
  if (owner != nullptr) move(owner->window()->pos() + QPoint(135, 45));
  // The fixed positions of the layout leave room only for a small dialog font; at 10 pixels
  // the captions stay clear of the texts beside them.
  QFont small = font();
  small.setPixelSize(10);
  setFont(small);

  auto* panel1 = new QFrame(this);
  panel1->setObjectName(QStringLiteral("Panel1"));
  panel1->setGeometry(2, 2, 605, 351);
  QPalette white = panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  panel1->setPalette(white);
  panel1->setAutoFillBackground(true);
  BuildUpperPanel(panel1);

  auto* panel2 = new QFrame(panel1);
  panel2->setObjectName(QStringLiteral("Panel2"));
  panel2->setGeometry(272, 104, 329, 241);
  panel2->setFrameShape(QFrame::StyledPanel);
  panel2->setPalette(QDialog::palette());
  panel2->setAutoFillBackground(true);
  BuildSettingsPanel(panel2);

  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(524, 358, 77, 27);
  QFont bold = OKButton->font();
  bold.setBold(true);
  OKButton->setFont(bold);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  // Below the panels, beside OK, is the one place with room for the licence.
  auto* licence =
      new QLabel(QStringLiteral("Free software under the GNU GPL, version 3 or later"), this);
  licence->setObjectName(QStringLiteral("LicenceLabel"));
  licence->move(8, 366);
  licence->adjustSize();
  KeepLabelsPlain(this);
}

void TAboutBox::BuildUpperPanel(QWidget* panel) {
  Image1 = new FittedPicture(panel);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(3, 3, 250, 250);
  Image1->SetImage(ExampleSectionPicture());
  Image1->installEventFilter(this);

  AddLabel(panel, "Label1", QStringLiteral("Quorvane"), 274, 16, true);
  AddLabel(panel, "Label2", QStringLiteral("pixel based method"), 274, 32);
  AddLabel(panel, "Label3", QStringLiteral("version, ") + QLatin1String(kProgramVersion), 274, 48);
  AddLabel(panel, "Label4", QStringLiteral("date, ") + QLatin1String(kProgramDate), 274, 64);

  Label5 = AddLabel(panel, "Label5", kMakerName, 272, 83, true);
  QFont link = Label5->font();
  link.setUnderline(true);
  Label5->setFont(link);
  Label5->adjustSize();
  SetTextColour(Label5, kNavy);
  Label5->setToolTip(QStringLiteral("mail to ") + kSupportAddress);
  Label5->setCursor(Qt::PointingHandCursor);
  Label5->installEventFilter(this);

  // The initial texts are those of the default convention; ShowConvention changes them only
  // for the two known values.
  Label13 = AddLabel(panel, "Label13", QStringLiteral("Definitions:"), 16, 240, true);
  QFont underlined = Label13->font();
  underlined.setUnderline(true);
  Label13->setFont(underlined);
  Label13->adjustSize();
  SetTextColour(Label13, kBlue);
  Label13->setToolTip(kDefinitionsHint);
  Label13->installEventFilter(this);

  AddLabel(panel, "Label6", QStringLiteral("Principal direction (1) :"), 16, 264, true);
  AddLabel(panel, "Label7", QStringLiteral("Principal direction (2) :"), 16, 280, true);
  Label8 = AddLabel(panel, "Label8", QStringLiteral("curvature in x-1 plane"), 149, 264);
  Label9 = AddLabel(panel, "Label9", QStringLiteral("curvature in x-2 plane"), 149, 280);
  Label10 = AddLabel(panel, "Label10", QStringLiteral("Literature: Dorvast and Pelkam,"), 16, 312);
  Label11 =
      AddLabel(panel, "Label11", QStringLiteral("formal definitions of beam sections."), 16, 328);

  FontLabel = new QLabel(panel);
  FontLabel->setObjectName(QStringLiteral("FontLabel"));
  FontLabel->hide();
}

void TAboutBox::BuildSettingsPanel(QWidget* panel) {
  // Four switches a row of 20 pixels apart, the precision below them.
  CheckBox1 =
      AddCheckBox(panel, "CheckBox1", QStringLiteral("load previous job at startup"),
                  QStringLiteral("At program start the last used project will be openend"), 12);
  CheckBox2 = AddCheckBox(
      panel, "CheckBox2", QStringLiteral("check the internet for updates"),
      QStringLiteral("newer version will be downloaded and user details will be send by mail"), 32);
  CheckBox3 =
      AddCheckBox(panel, "CheckBox3", QStringLiteral("ignore color names starting with $"), {}, 52);
  CheckBox4 = AddCheckBox(
      panel, "CheckBox4", QStringLiteral("read smoothed edges as coverage"),
      QStringLiteral("A pixel blended along a smoothed (anti-aliased) edge counts as its share of "
                     "each material,\nand the section's box holds every pixel with a share. "
                     "Off: only pixels of exactly a material's colour count."),
      72);

  // Beside the switches, where the panel has room; the choice takes effect at the next analysis.
  AddLabel(panel, "UnitsLabel", QStringLiteral("units :"), 232, 12);
  UnitsBox = new QComboBox(panel);
  UnitsBox->setObjectName(QStringLiteral("UnitsBox"));
  UnitsBox->setGeometry(232, 28, 84, 22);
  for (const UnitSystem units : {UnitSystem::NMm, UnitSystem::KNm, UnitSystem::KNcm}) {
    UnitsBox->addItem(QString::fromLatin1(UnitSystemName(units).data(),
                                          static_cast<int>(UnitSystemName(units).size())),
                      static_cast<int>(units));
  }
  UnitsBox->setToolTip(
      QStringLiteral("Units of the report, the dialogs and the values, from the next analysis on:"
                     "\nN-mm: N, Nmm, mm, mm^n\nkN-m: kN, kNm, kNm^2, cm, cm^n\nkN-cm: kN, kNcm, "
                     "kNcm^2, cm, cm^n, kN/cm^2"));

  AddLabel(panel, "Label12", QStringLiteral("precision :"), 16, 96);
  NumberEdit1 = new TNumberEdit(panel);
  NumberEdit1->setObjectName(QStringLiteral("NumberEdit1"));
  NumberEdit1->setGeometry(16, 112, 41, 21);
  NumberEdit1->SetText(QStringLiteral("0.01"));
  NumberEdit1->SetDefaultHint(false);
  NumberEdit1->SetNumType(TNumberType::RealType);
  NumberEdit1->SetMax(90);
  NumberEdit1->SetRealValue(0.01);
  NumberEdit1->setToolTip(QStringLiteral("default = 1.0 degrees"));
  AddLabel(panel, "Label14", QStringLiteral("[deg]"), 62, 115);
  AddLabel(panel, "Label15", kExplanation, 112, 96);

  AddLabel(panel, "Label16", QStringLiteral("coordinate system"), 16, 160);
  ComboBox1 = AddColourSelector(panel, "ComboBox1", 118, 157);
  AddLabel(panel, "Label17", QStringLiteral("principal system"), 16, 184);
  ComboBox2 = AddColourSelector(panel, "ComboBox2", 118, 181);
  AddLabel(panel, "Label18", QStringLiteral("mass centre MC"), 16, 208);
  ComboBox3 = AddColourSelector(panel, "ComboBox3", 118, 205);

  SpeedButton2 = new QToolButton(panel);
  SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
  SpeedButton2->setGeometry(265, 156, 25, 25);
  SpeedButton2->setText(QStringLiteral("Aa"));
  connect(SpeedButton2, &QToolButton::clicked, this,
          [this] { Guarded([this] { SpeedButton2Click(); }); });
}

QFont TAboutBox::WorkingFont() const { return FontLabel->font(); }

void TAboutBox::SetWorkingFont(const QFont& font) {
  // Only name, size and style travel; the rest of the label's font stays the dialog's.
  QFont working = FontLabel->font();
  working.setFamily(font.family());
  if (font.pointSize() > 0) working.setPointSize(font.pointSize());
  working.setBold(font.bold());
  working.setItalic(font.italic());
  FontLabel->setFont(working);
  SpeedButton2->setToolTip(Displayed(FontButtonHint(working.family(), working.pointSize())));
}

void TAboutBox::Fill(const ProgramSettings& settings, const QFont& graphicsFont) {
  DialogConvention = settings.SignConvention;
  ShowConvention();
  SetWorkingFont(graphicsFont);
  CheckBox1->setChecked(settings.AutoStart);
  CheckBox2->setChecked(settings.CheckForUpdates);
  CheckBox3->setChecked(settings.IgnoreDollarColours);
  CheckBox4->setChecked(settings.Edges == EdgeMode::Coverage);
  SelectColour(ComboBox1, settings.AxesColour);
  SelectColour(ComboBox2, settings.PrincipalAxesColour);
  SelectColour(ComboBox3, settings.MassCentreColour);
  UnitsBox->setCurrentIndex(UnitsBox->findData(static_cast<int>(settings.Units)));
  NumberEdit1->SetRealValue(settings.AngleTolerance);
}

void TAboutBox::TakeBack(ProgramSettings& settings, QFont& graphicsFont) const {
  const QFont working = WorkingFont();
  graphicsFont.setFamily(working.family());
  graphicsFont.setPointSize(working.pointSize());
  graphicsFont.setBold(working.bold());
  graphicsFont.setItalic(working.italic());
  settings.SignConvention = DialogConvention;
  settings.AutoStart = CheckBox1->isChecked();
  settings.CheckForUpdates = CheckBox2->isChecked();
  settings.IgnoreDollarColours = CheckBox3->isChecked();
  settings.Edges = CheckBox4->isChecked() ? EdgeMode::Coverage : EdgeMode::Flat;
  settings.AxesColour = SelectedColour(ComboBox1);
  settings.PrincipalAxesColour = SelectedColour(ComboBox2);
  settings.MassCentreColour = SelectedColour(ComboBox3);
  settings.Units = static_cast<UnitSystem>(UnitsBox->currentData().toInt());
  settings.AngleTolerance = NumberEdit1->RealValue();
}

void TAboutBox::ShowConvention() {
  if (!TermsOf(DialogConvention)) return;
  const bool formal = DialogConvention == SignConvention::DorvastPelkam;
  SetTextColour(Label13, formal ? kBlue : kBlack);
  Label8->setText(formal ? QStringLiteral("curvature in x-1 plane")
                         : QStringLiteral("curvature about 1-axis"));
  Label9->setText(formal ? QStringLiteral("curvature in x-2 plane")
                         : QStringLiteral("curvature about 2-axis"));
  Label8->adjustSize();
  Label9->adjustSize();
  Label10->setVisible(formal);
  Label11->setVisible(formal);
}

void TAboutBox::Label13MouseDown(Qt::MouseButton button) {
  if (button == Qt::RightButton) {
    QString question;  // a value other than 0 and 1 asks with an empty text, then sets 0
    if (DialogConvention == SignConvention::DorvastPelkam) question = kToEuroQuestion;
    if (DialogConvention == SignConvention::EuroCode) question = kToDefaultQuestion;
    if (!Prompts().Confirm(question)) return;
    DialogConvention = DialogConvention == SignConvention::DorvastPelkam
                           ? SignConvention::EuroCode
                           : SignConvention::DorvastPelkam;
    ShowConvention();
    return;
  }
  if (button != Qt::LeftButton && button != Qt::MiddleButton) return;
  if (Label13->palette().color(QPalette::WindowText) != kBlue) return;
  TDefinitionForm form(this);
  Prompts().Run(form);
  DialogConvention = form.ConventionResult();
  if (DialogConvention == SignConvention::EuroCode) ShowConvention();
}

void TAboutBox::SpeedButton2Click() {
  const std::optional<QFont> chosen = Prompts().ChooseFont(WorkingFont());
  if (chosen) SetWorkingFont(*chosen);
}

void TAboutBox::Image1MouseDown(Qt::MouseButton button) {
  if (button == Qt::RightButton) Prompts().Information(kSpecialKeys);
}

void TAboutBox::Label5Click() {
  const QString link = MailLink();
  Shells().OpenDocument(link, WhileAlive(this, [link] {
                          Prompts().Information("The mail link could not be opened:\r- " + link +
                                                "\r\rNo mail program was found.");
                        }));
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
    if (watched == Label13) Guarded([&] { Label13MouseDown(button); });
    if (watched == Image1) Guarded([&] { Image1MouseDown(button); });
  } else if (event->type() == QEvent::MouseButtonRelease && watched == Label5) {
    // A click: the left button released over the link.
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton && Label5->rect().contains(mouse->position().toPoint())) {
      Guarded([this] { Label5Click(); });
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace qv
