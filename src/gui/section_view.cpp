// The "Section view" window: canvas, tool bar, legend and status line, following the session.
#include "gui/section_view.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QShowEvent>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "core/base/colour_label.h"
#include "core/base/number_text.h"
#include "core/base/path.h"
#include "core/session/session.h"
#include "gui/drawing_outlines.h"
#include "gui/prompter.h"
#include "gui/qt_text.h"
#include "gui/section_canvas.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv {
namespace {

constexpr double kZoomStep = 1.5;

// One line of the legend: the mark's symbol and what it stands for.
struct LegendEntry {
  MarkShape Shape;
  QColor Colour;
  QString Text;
};

QPixmap Swatch(const LegendEntry& entry, qreal ratio) {
  const QSize size(30, 22);
  QPixmap pixmap(size * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  PaintStrokes(painter, SymbolStrokes(entry.Shape, QPointF(15, 11), entry.Colour));
  return pixmap;
}

}  // namespace

SectionViewWindow::SectionViewWindow(const SectionSession& session,
                                     std::function<bool()> resultsShown,
                                     std::function<QString()> scaleNote, QWidget* parent)
    : QWidget(parent, Qt::Window),
      mSession(session),
      mResultsShown(std::move(resultsShown)),
      mScaleNote(std::move(scaleNote)) {
  setObjectName("SectionViewWindow");
  setWindowTitle("Section view");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Tools = new QToolBar(this);
  Tools->setObjectName("SectionViewTools");
  FitAction = Tools->addAction("Fit (F)");
  FitAction->setObjectName("FitAction");
  FitAction->setToolTip("The whole picture in the window (keys F or 0)");
  ZoomInAction = Tools->addAction("Zoom in (+)");
  ZoomInAction->setObjectName("ZoomInAction");
  ZoomOutAction = Tools->addAction("Zoom out (-)");
  ZoomOutAction->setObjectName("ZoomOutAction");
  // The keys stay with the canvas, which takes them itself.
  for (QAction* action : Tools->actions())
    Tools->widgetForAction(action)->setFocusPolicy(Qt::NoFocus);
  layout->addWidget(Tools);

  Canvas = new SectionCanvas(this);
  layout->addWidget(Canvas, 1);
  connect(FitAction, &QAction::triggered, this, [this] { Canvas->Fit(); });
  connect(ZoomInAction, &QAction::triggered, this, [this] { Canvas->ZoomBy(kZoomStep); });
  connect(ZoomOutAction, &QAction::triggered, this, [this] { Canvas->ZoomBy(1 / kZoomStep); });

  Legend = new QWidget(this);
  Legend->setObjectName("SectionLegend");
  // A narrow window cuts the legend off rather than being held wide by it.
  Legend->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  mLegendLayout = new QHBoxLayout(Legend);
  mLegendLayout->setContentsMargins(6, 2, 6, 2);
  layout->addWidget(Legend);

  StatusLine = new QLabel(this);
  StatusLine->setObjectName("StatusLine");
  StatusLine->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  StatusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(StatusLine);
  Canvas->OnPointer = [this](std::optional<PicturePoint> at) {
    StatusLine->setText(PointerText(at));
  };

  setFocusProxy(Canvas);
  resize(1000, 700);
}

void SectionViewWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Guarded([this] { Refresh(); });
  Canvas->setFocus();
}

void SectionViewWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // Closed, not minimised: the copy of the picture is given back until the window opens again.
  if (event->spontaneous()) return;
  mImage = QImage();
  mOutlines = QPainterPath();
  mRevision.reset();
  Canvas->SetPicture(mImage);
}

void SectionViewWindow::Refresh() {
  if (!isVisible()) return;
  const SectionSession& s = mSession;
  if (!mRevision || *mRevision != s.PictureRevision()) {
    // Once per picture (and per change of its pixels), never per paint.
    mImage = ToQImage(s.Picture(), FileNameOf(s.PictureFile()));
    mRevision = s.PictureRevision();
    // A drawing's cells are the picture's pixels: its outlines lie over them one to one.
    const DrawingPicture* drawing = s.Drawing();
    mOutlines =
        drawing != nullptr ? OutlinePath(drawing->drawing, drawing->raster.grid) : QPainterPath();
    Canvas->SetPicture(mImage);
  }
  setWindowTitle(s.PictureFile().empty() ? QString("Section view")
                                         : "Section view - " + Q(FileNameOf(s.PictureFile())));

  const ProgramSettings& settings = s.Settings();
  SectionScene scene;
  scene.Outlines = mOutlines;
  mBounds = s.Bounds();
  if (!mBounds.Unset()) {
    // The box covers its pixels whole: from the left edge of the first column to the right edge
    // of the last.
    scene.Frame = QRectF(QPointF(mBounds.xmin, mBounds.ymin),
                         QPointF(mBounds.xmax + 1.0, mBounds.ymax + 1.0));
  }
  const SectionResult& result = s.Result();
  const bool analysed =
      scene.Frame && result.Dx > 0 && result.Dy > 0 && mResultsShown && mResultsShown();
  mDx = analysed ? result.Dx : 0;
  mDy = analysed ? result.Dy : 0;
  if (analysed) {
    const std::optional<ElasticResult>& elastic = s.Elastic();
    std::optional<SectionPoint> shearCentre;
    if (elastic) shearCentre = SectionPoint{elastic->ShearCentreHor, elastic->ShearCentreVer};
    scene.Marks = MakeSectionMarks(mBounds, result, settings, shearCentre);
  }
  scene.AxesColour = ToQColor(settings.AxesColour);
  scene.MassCentreColour = ToQColor(settings.MassCentreColour);
  scene.PrincipalColour = ToQColor(settings.PrincipalAxesColour);
  scene.ShearCentreColour = ToQColor(kShearCentreColour);
  // The graphics font's face at a size made for the screen, not for the picture.
  QFont font(Q(settings.FontName));
  font.setPointSize(std::clamp(settings.FontSize, 8, 12));
  font.setBold(true);
  font.setItalic((settings.FontStyle & kFontItalic) != 0);
  scene.LabelFont = font;
  Canvas->SetScene(std::move(scene));

  mMaterials.clear();
  const TPROPClass* library = s.MaterialLibrary();
  for (const std::string& label : s.MaterialList()) {
    const std::optional<std::uint32_t> colour = PixelColourOfLabel(label);
    if (!colour) continue;
    const TPROPRec* entry = library != nullptr ? library->FindByLabel(label) : nullptr;
    const QString name = entry != nullptr ? Q(entry->prop.name) : QString();
    const QRgb rgb = ToQColor(static_cast<ColourValue>(*colour)).rgb();
    mMaterials.insert(rgb, (Q(label) + " " + name).trimmed());
  }
  FillLegend();
  StatusLine->setText(PointerText(Canvas->PointerAt()));
}

void SectionViewWindow::FillLegend() {
  const SectionScene& scene = Canvas->Scene();
  std::vector<LegendEntry> entries;
  if (scene.Frame) entries.push_back({MarkShape::Frame, scene.AxesColour, "section box"});
  if (scene.Marks) {
    const SectionMarks& m = *scene.Marks;
    entries.push_back({MarkShape::Circle, scene.AxesColour, "NC normal-force centre"});
    if (m.MC) entries.push_back({MarkShape::Disc, scene.MassCentreColour, "MC mass centre"});
    entries.push_back(
        {MarkShape::Arrow, scene.AxesColour, Q(m.Y.Name + ", " + m.Z.Name) + " axes through NC"});
    if (m.Principal.size() == 2) {
      const std::string& a = m.Principal[0].Name;
      const std::string& b = m.Principal[1].Name;
      entries.push_back({MarkShape::Arrow, scene.PrincipalColour,
                         a.empty()
                             ? QString("principal axes")
                             : Q(std::min(a, b) + ", " + std::max(a, b)) + " principal axes"});
    }
    if (m.SC) entries.push_back({MarkShape::Diamond, scene.ShearCentreColour, "SC shear centre"});
  }

  while (QLayoutItem* item = mLegendLayout->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  for (const LegendEntry& entry : entries) {
    auto* swatch = new QLabel(Legend);
    swatch->setPixmap(Swatch(entry, devicePixelRatioF()));
    auto* text = new QLabel(entry.Text, Legend);
    mLegendLayout->addWidget(swatch);
    mLegendLayout->addWidget(text);
    mLegendLayout->addSpacing(12);
  }
  const QString scale = mScaleNote ? mScaleNote() : QString();
  if (!scale.isEmpty()) {
    auto* text = new QLabel(scale, Legend);
    text->setObjectName("ScaleLabel");
    mLegendLayout->addWidget(text);
  }
  mLegendLayout->addStretch(1);
  Legend->setVisible(!entries.empty() || !scale.isEmpty());
}

QString SectionViewWindow::PointerText(std::optional<PicturePoint> at) const {
  if (mImage.isNull()) return "No picture";
  if (!at) return "Wheel, + and -: zoom    drag, arrow keys: pan    F or 0: fit";
  const int x = static_cast<int>(std::floor(at->x));
  const int y = static_cast<int>(std::floor(at->y));
  QStringList parts;
  if (const std::optional<SectionPoint> mm = PointOfPicture(mBounds, *at, mDx, mDy)) {
    parts << "hor " + Q(FormatFixed(mm->Hor, 8, 2)) + " mm, ver " + Q(FormatFixed(mm->Ver, 8, 2)) +
                 " mm from the upper-left corner";
  }
  parts << QString("pixel %1, %2").arg(x).arg(y);
  if (mImage.rect().contains(x, y)) {
    parts << mMaterials.value(mImage.pixel(x, y), "background");
  } else {
    parts << "outside the picture";
  }
  return parts.join("    ");
}

}  // namespace qv
