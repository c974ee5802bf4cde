// SVG drawings to outline shapes: a safety check with QXmlStreamReader, then Qt SVG painting into
// a device that records the filled shapes instead of drawing pixels.
#include "imaging/svg_reader.h"

#include <QFile>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QTransform>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

#include "core/base/error.h"
#include "core/outline/outline_regions.h"
#include "imaging/gui_application_scope.h"

namespace qv {
namespace {

constexpr double kPi = std::numbers::pi;
// Sizes and coordinates beyond this many mm are no section drawing.
constexpr double kMaxMm = 1e7;
// A CSS pixel, the user unit of a drawing sized in physical units without a viewBox.
constexpr double kPixelMm = 25.4 / 96;

[[noreturn]] void Fail(const std::string& name, const std::string& reason) {
  throw Error("Cannot read drawing " + name + ": " + reason);
}

std::string BytesText(std::int64_t bytes) {
  if (bytes % (std::int64_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MB";
  return std::to_string(bytes) + " bytes";
}

// ---- The check before Qt SVG reads the file --------------------------------------------------

struct RootSize {
  QString width;
  QString height;
  QString viewBox;
  QString aspect;
};

// Whether a url(...) in `text` points outside the document.
bool HasOuterUrl(const QString& text) {
  for (qsizetype at = text.indexOf(QLatin1String("url(")); at >= 0;
       at = text.indexOf(QLatin1String("url("), at + 4)) {
    qsizetype i = at + 4;
    while (i < text.size() && (text[i].isSpace() || text[i] == '\'' || text[i] == '"')) ++i;
    if (i >= text.size() || text[i] != '#') return true;
  }
  return false;
}

struct Checked {
  RootSize root;
  QByteArray document;     // the file less its texts
  std::int64_t texts = 0;  // text elements left out
};

// Refuses what could make Qt SVG fetch or run anything, reads the root's size attributes, and
// copies the document without its texts: Qt paints a text's glyphs as filled paths, which would
// otherwise be taken for sections.
Checked CheckDocument(const QByteArray& data, const std::string& name) {
  QXmlStreamReader xml(data);
  Checked checked;
  QXmlStreamWriter copy(&checked.document);
  bool seenRoot = false;
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    if (token == QXmlStreamReader::Invalid) break;
    if (token == QXmlStreamReader::DTD && !xml.entityDeclarations().isEmpty()) {
      Fail(name, "it declares entities");
    }
    if (token == QXmlStreamReader::Characters && HasOuterUrl(xml.text().toString())) {
      Fail(name, "it refers to a file outside it");
    }
    if (token == QXmlStreamReader::StartElement) {
      const QString element = xml.name().toString();
      if (!seenRoot) {
        if (element != QLatin1String("svg")) Fail(name, "it is no SVG drawing");
        seenRoot = true;
        const QXmlStreamAttributes attributes = xml.attributes();
        checked.root = {attributes.value(QLatin1String("width")).toString(),
                        attributes.value(QLatin1String("height")).toString(),
                        attributes.value(QLatin1String("viewBox")).toString(),
                        attributes.value(QLatin1String("preserveAspectRatio")).toString()};
      }
      if (element == QLatin1String("script") || element == QLatin1String("foreignObject") ||
          element == QLatin1String("image")) {
        Fail(name, "it holds an element <" + element.toStdString() + ">, which is not read");
      }
      for (const QXmlStreamAttribute& attribute : xml.attributes()) {
        const QString value = attribute.value().toString().trimmed();
        if (attribute.name() == QLatin1String("href") && !value.startsWith('#')) {
          Fail(name, "it refers to a file outside it");
        }
        if (HasOuterUrl(value)) Fail(name, "it refers to a file outside it");
      }
      if (element == QLatin1String("text") || element == QLatin1String("textArea")) {
        ++checked.texts;
        xml.skipCurrentElement();
        continue;
      }
    }
    copy.writeCurrentToken(xml);
  }
  if (xml.hasError()) {
    Fail(name, "its XML is malformed at line " + std::to_string(xml.lineNumber()) + ": " +
                   xml.errorString().toStdString());
  }
  if (!seenRoot) Fail(name, "it is no SVG drawing");
  return checked;
}

// ---- Units ---------------------------------------------------------------------------------

struct Length {
  bool given = false;      // a number with a physical unit
  bool userUnits = false;  // a number without unit, or in px
  double mm = 0;           // the physical length; the number itself in user units
};

Length ParseLength(const QString& text, const char* what, const std::string& name) {
  const std::string s = text.trimmed().toStdString();
  Length length;
  if (s.empty() || s.back() == '%') return length;  // no size of its own
  double value = 0;
  const char* first = s.data() + (s[0] == '+' ? 1 : 0);
  const auto [end, error] = std::from_chars(first, s.data() + s.size(), value);
  const std::string unit(end, s.data() + s.size());
  const auto refuse = [&] { Fail(name, std::string("its ") + what + " \"" + s + "\" is no size"); };
  if (error != std::errc()) refuse();
  static const std::array<std::pair<const char*, double>, 6> kUnits = {
      {{"mm", 1.0}, {"cm", 10.0}, {"in", 25.4}, {"pt", 25.4 / 72}, {"pc", 25.4 / 6}, {"Q", 0.25}}};
  if (unit.empty() || unit == "px") {
    length.userUnits = true;
    length.mm = value;
  } else {
    const auto* found =
        std::find_if(kUnits.begin(), kUnits.end(), [&](const auto& u) { return unit == u.first; });
    if (found == kUnits.end()) refuse();
    length.given = true;
    length.mm = value * found->second;
  }
  if (!std::isfinite(length.mm) || length.mm <= 0 || length.mm > kMaxMm) {
    Fail(name, std::string("its ") + what + " \"" + s + "\" is no size of a section");
  }
  return length;
}

std::optional<QRectF> ParseViewBox(const QString& text, const std::string& name) {
  QString spaced = text;
  spaced.replace(',', ' ');
  const QStringList parts = spaced.simplified().split(' ', Qt::SkipEmptyParts);
  if (parts.isEmpty()) return std::nullopt;
  std::array<double, 4> v{};
  bool ok = parts.size() == 4;
  for (int i = 0; ok && i < 4; ++i) v[i] = parts[i].toDouble(&ok);
  for (double x : v) ok = ok && std::isfinite(x) && std::abs(x) <= kMaxMm;
  if (!ok || v[2] <= 0 || v[3] <= 0) {
    Fail(name, "its viewBox \"" + text.toStdString() + "\" is no area");
  }
  return QRectF(v[0], v[1], v[2], v[3]);
}

// The transform from user units to the drawing's mm, y upwards from the page's lower edge, and
// the viewBox Qt SVG is to paint (mapped onto itself, so that it adds nothing).
struct Placement {
  QTransform transform;
  QRectF box;
};

Placement Place(const RootSize& root, const std::string& name) {
  const Length width = ParseLength(root.width, "width", name);
  const Length height = ParseLength(root.height, "height", name);
  const std::optional<QRectF> viewBox = ParseViewBox(root.viewBox, name);
  double pageW = 0;
  double pageH = 0;
  double sx = 1;
  double sy = 1;
  double ox = 0;
  double oy = 0;
  QRectF box(0, 0, 1, 1);
  if (viewBox) {
    box = *viewBox;
    if (width.given || height.given) {
      pageW = width.given ? width.mm : height.mm * box.width() / box.height();
      pageH = height.given ? height.mm : width.mm * box.height() / box.width();
      if (!(pageW <= kMaxMm && pageH <= kMaxMm)) Fail(name, "its size is no size of a section");
      const QStringList aspect = root.aspect.simplified().split(' ', Qt::SkipEmptyParts);
      const QString align = aspect.value(aspect.value(0) == QLatin1String("defer") ? 1 : 0,
                                         QStringLiteral("xMidYMid"));
      sx = pageW / box.width();
      sy = pageH / box.height();
      if (align != QLatin1String("none")) {
        const bool slice = aspect.contains(QStringLiteral("slice"));
        sx = sy = slice ? std::max(sx, sy) : std::min(sx, sy);
        const auto share = [&](const char* min, const char* mid) {
          return align.contains(QLatin1String(min))   ? 0.0
                 : align.contains(QLatin1String(mid)) ? 0.5
                                                      : 1.0;
        };
        ox = (pageW - box.width() * sx) * share("xMin", "xMid");
        oy = (pageH - box.height() * sy) * share("YMin", "YMid");
      }
    } else {
      pageW = box.width();
      pageH = box.height();
    }
    ox -= box.x() * sx;
    oy -= box.y() * sy;
  } else if (width.given || height.given) {
    // Sized in physical units without a viewBox: the user unit is the CSS pixel.
    pageW = width.given ? width.mm : width.mm * kPixelMm;
    pageH = height.given ? height.mm : height.mm * kPixelMm;
    sx = sy = kPixelMm;
  } else {
    pageH = height.mm;
  }
  // x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy: y turned upwards from the page's foot.
  return {QTransform(sx, 0, 0, -sy, ox, pageH - oy), box};
}

// ---- Recording the painting ----------------------------------------------------------------

// A filled shape as painted: a path, or an ellipse (kept apart so that a circle stays exact).
struct Painted {
  QPainterPath path;
  std::optional<QRectF> ellipse;
  QTransform transform;
  std::uint32_t colour = 0;

  bool SameGeometry(const Painted& other) const {
    return transform == other.transform && ellipse == other.ellipse && path == other.path;
  }
};

class RecordingEngine : public QPaintEngine {
 public:
  RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

  std::vector<Painted> shapes;
  std::int64_t ignored = 0;

  bool begin(QPaintDevice* /*device*/) override { return true; }
  bool end() override { return true; }
  Type type() const override { return QPaintEngine::User; }

  void updateState(const QPaintEngineState& now) override {
    const QPaintEngine::DirtyFlags dirty = now.state();
    if (dirty & QPaintEngine::DirtyTransform) mTransform = now.transform();
    if (dirty & QPaintEngine::DirtyBrush) mBrush = now.brush();
    if (dirty & QPaintEngine::DirtyPen) mPen = now.pen();
    if (dirty & QPaintEngine::DirtyOpacity) mOpacity = now.opacity();
  }

  void drawPath(const QPainterPath& path) override { Record({path, std::nullopt, mTransform, 0}); }
  void drawRects(const QRectF* rects, int count) override {
    for (int i = 0; i < count; ++i) {
      QPainterPath path;
      path.addRect(rects[i]);
      Record({path, std::nullopt, mTransform, 0});
    }
  }
  void drawEllipse(const QRectF& rect) override { Record({{}, rect, mTransform, 0}); }
  void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
    path.closeSubpath();
    if (mode == QPaintEngine::PolylineMode) {
      // An open line, or the stroke of a filled polyline drawn just before.
      if (mLast) path.setFillRule(mLast->path.fillRule());
      Stroke({path, std::nullopt, mTransform, 0});
      return;
    }
    path.setFillRule(mode == QPaintEngine::WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    Record({path, std::nullopt, mTransform, 0});
  }
  void drawLines(const QLineF* /*lines*/, int /*count*/) override { Ignore(false); }
  void drawPoints(const QPointF* /*points*/, int /*count*/) override { Ignore(false); }
  // A text is painted in runs; one text counts once.
  void drawTextItem(const QPointF& /*p*/, const QTextItem& /*item*/) override { Ignore(true); }
  void drawPixmap(const QRectF& /*r*/, const QPixmap& /*pixmap*/, const QRectF& /*sr*/) override {
    Ignore(false);
  }
  void drawImage(const QRectF& /*r*/, const QImage& /*image*/, const QRectF& /*sr*/,
                 Qt::ImageConversionFlags /*flags*/) override {
    Ignore(false);
  }
  void drawTiledPixmap(const QRectF& /*r*/, const QPixmap& /*pixmap*/,
                       const QPointF& /*s*/) override {
    Ignore(false);
  }

 private:
  // Qt SVG strokes a filled shape in a second call of the same geometry: that stroke is part
  // of the shape already kept; a stroke alone is a line drawing.
  void Stroke(const Painted& painted) {
    const bool pen = mPen.style() != Qt::NoPen && mPen.brush().style() != Qt::NoBrush;
    const bool outlineOfLast = mLast && mLast->SameGeometry(painted);
    if (pen && !outlineOfLast) Ignore(false);
    mText = false;
  }

  void Record(Painted painted) {
    const Qt::BrushStyle style = mBrush.style();
    if (style == Qt::NoBrush) {
      Stroke(painted);
      return;
    }
    mText = false;
    if (style != Qt::SolidPattern) {
      ++ignored;  // gradients and patterns have no one colour
      mLast = std::move(painted);
      return;
    }
    const QColor colour = mBrush.color().toRgb();
    if (colour.alpha() == 0 || mOpacity <= 0) return;  // paints nothing
    painted.colour = static_cast<std::uint32_t>(colour.red()) |
                     (static_cast<std::uint32_t>(colour.green()) << 8) |
                     (static_cast<std::uint32_t>(colour.blue()) << 16);
    mLast = painted;
    shapes.push_back(std::move(painted));
  }

  void Ignore(bool text) {
    if (!(text && mText)) ++ignored;
    mText = text;
  }

  QTransform mTransform;
  QBrush mBrush;
  QPen mPen;
  double mOpacity = 1;
  std::optional<Painted> mLast;
  bool mText = false;
};

class RecordingDevice : public QPaintDevice {
 public:
  QPaintEngine* paintEngine() const override { return &mEngine; }
  RecordingEngine& Engine() { return mEngine; }

 protected:
  int metric(PaintDeviceMetric metric) const override {
    switch (metric) {
      case PdmWidth:
      case PdmHeight:
        return 1000;
      case PdmWidthMM:
      case PdmHeightMM:
        return 1000;
      case PdmNumColors:
        return INT_MAX;
      case PdmDepth:
        return 32;
      case PdmDpiX:
      case PdmDpiY:
      case PdmPhysicalDpiX:
      case PdmPhysicalDpiY:
        return 96;
      case PdmDevicePixelRatio:
        return 1;
      case PdmDevicePixelRatioScaled:
        return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
    }
    return 0;
  }

 private:
  mutable RecordingEngine mEngine;
};

// Qt SVG says what it could not read only as a warning (a path whose data breaks off is drawn
// up to there): caught in the reading thread for the length of one reading, so that a shape read
// in part is refused rather than taken for the section. Its other notes are kept from the
// user's terminal; other threads' messages pass on.
class SvgWarnings {
 public:
  SvgWarnings() {
    const QtMessageHandler previous = qInstallMessageHandler(Handler);
    if (previous != Handler) sPrevious = previous;
    sCurrent = this;
  }
  ~SvgWarnings() {
    sCurrent = nullptr;
    qInstallMessageHandler(sPrevious);
  }
  SvgWarnings(const SvgWarnings&) = delete;
  SvgWarnings& operator=(const SvgWarnings&) = delete;

  const QString& Truncated() const { return mTruncated; }

 private:
  static void Handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    SvgWarnings* self = sCurrent;
    const bool svg =
        context.category != nullptr && std::strncmp(context.category, "qt.svg", 6) == 0;
    if (self != nullptr && svg) {
      if (text.contains(QLatin1String("truncated")) && self->mTruncated.isEmpty()) {
        self->mTruncated = text;
      }
      return;
    }
    const QtMessageHandler previous = sPrevious;
    if (previous != nullptr) previous(type, context, text);
  }

  static thread_local inline SvgWarnings* sCurrent = nullptr;
  static inline std::atomic<QtMessageHandler> sPrevious = nullptr;
  QString mTruncated;
};

// ---- Shapes to loops ---------------------------------------------------------------------------

DrawingPoint Pt(const QPointF& p) { return {p.x(), p.y()}; }

// The bulge of a cubic Bezier curve that is the standard construction of a circular arc (its
// handles along the end tangents, symmetric about the chord, of length 4/3 tan(sweep/4) r), as
// Qt makes of arcs and rounded corners; none for any other curve.
std::optional<double> ArcBulge(DrawingPoint p0, DrawingPoint p1, DrawingPoint p2, DrawingPoint p3) {
  const double chord = std::hypot(p3.x - p0.x, p3.y - p0.y);
  const double handle = std::hypot(p1.x - p0.x, p1.y - p0.y);
  if (!(chord > 0) || !(handle > 0)) return std::nullopt;
  const double ux = (p3.x - p0.x) / chord;
  const double uy = (p3.y - p0.y) / chord;
  const double tx = (p1.x - p0.x) / handle;
  const double ty = (p1.y - p0.y) / handle;
  // The start tangent lies half the sweep clockwise of the chord for a counter-clockwise arc.
  const double half = std::atan2(tx * uy - ty * ux, tx * ux + ty * uy);
  if (std::abs(half) < 1e-9 || std::abs(half) > kPi / 2 + 1e-9) return std::nullopt;
  const double radius = chord / (2 * std::sin(std::abs(half)));
  const double length = 4.0 / 3.0 * std::tan(std::abs(half) / 2) * radius;
  const double tolerance = 1e-9 * chord;
  // Both handles as the construction has them: the end tangent is the chord turned by +half.
  const double ex = ux * std::cos(half) - uy * std::sin(half);
  const double ey = ux * std::sin(half) + uy * std::cos(half);
  if (std::abs(handle - length) > tolerance ||
      std::hypot(p3.x - length * ex - p2.x, p3.y - length * ey - p2.y) > tolerance) {
    return std::nullopt;
  }
  return std::tan(half / 2);
}

class LoopBuilder {
 public:
  LoopBuilder(const std::string& name, double size, std::int64_t maxVertices)
      : mName(name),
        mTolerance(kFlatteningTolerance * size),
        mSame(1e-12 * size),
        mMaxVertices(maxVertices) {}

  std::vector<OutlineLoop> Loops(const Painted& painted) {
    if (painted.ellipse) return {EllipseLoop(*painted.ellipse, painted.transform)};
    std::vector<OutlineLoop> loops;
    const QPainterPath path = painted.transform.map(painted.path);
    std::vector<OutlineVertex> loop;
    const auto close = [&] {
      if (loop.size() > 1 && Same(loop.back(), loop.front())) loop.pop_back();
      const bool curved = std::any_of(loop.begin(), loop.end(),
                                      [](const OutlineVertex& v) { return v.bulge != 0; });
      if (loop.size() >= 3 || (loop.size() == 2 && curved)) loops.push_back({std::move(loop)});
      loop.clear();
    };
    for (int i = 0; i < path.elementCount(); ++i) {
      const QPainterPath::Element e = path.elementAt(i);
      const DrawingPoint p{e.x, e.y};
      if (e.isMoveTo()) {
        close();
        Add(loop, p);
      } else if (e.isLineTo()) {
        Add(loop, p);
      } else if (e.isCurveTo() && i + 2 < path.elementCount() && !loop.empty()) {
        const DrawingPoint p2 = Pt(path.elementAt(i + 1));
        const DrawingPoint p3 = Pt(path.elementAt(i + 2));
        i += 2;
        const DrawingPoint p0{loop.back().x, loop.back().y};
        if (const std::optional<double> bulge = ArcBulge(p0, p, p2, p3)) {
          loop.back().bulge = *bulge;
          Add(loop, p3);
        } else {
          const std::vector<DrawingPoint> points = FlattenCubic(p0, p, p2, p3, mTolerance);
          for (std::size_t k = 1; k < points.size(); ++k) Add(loop, points[k]);
        }
      }
    }
    close();
    return loops;
  }

 private:
  bool Same(const OutlineVertex& a, const OutlineVertex& b) const {
    return std::abs(a.x - b.x) <= mSame && std::abs(a.y - b.y) <= mSame;
  }

  void Add(std::vector<OutlineVertex>& loop, DrawingPoint p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
      Fail(mName, "it holds a coordinate that is not a finite number");
    }
    if (std::abs(p.x) > kMaxMm || std::abs(p.y) > kMaxMm) {
      Fail(mName, "it reaches beyond 10 km from its origin");
    }
    const OutlineVertex v{p.x, p.y, 0};
    if (!loop.empty() && Same(loop.back(), v)) return;
    if (++mVertices > mMaxVertices) {
      Fail(mName, "it holds more than " + std::to_string(mMaxVertices) + " outline corners");
    }
    loop.push_back(v);
  }

  OutlineLoop EllipseLoop(const QRectF& rect, const QTransform& t) {
    const DrawingPoint c = Pt(t.map(rect.center()));
    const double a = rect.width() / 2;
    const double b = rect.height() / 2;
    // The linear part: column images of the unit x and y vectors.
    const double m11 = t.m11();
    const double m12 = t.m12();
    const double m21 = t.m21();
    const double m22 = t.m22();
    const double norm = std::hypot(m11, m12) + std::hypot(m21, m22);
    const double same = 1e-12 * norm;
    const bool similar = (std::abs(m11 - m22) <= same && std::abs(m12 + m21) <= same) ||
                         (std::abs(m11 + m22) <= same && std::abs(m12 - m21) <= same);
    std::vector<OutlineVertex> loop;
    if (t.isAffine() && similar && std::abs(a - b) <= 1e-12 * std::max(a, b)) {
      const double r = a * std::sqrt(std::abs(m11 * m22 - m12 * m21));
      Add(loop, {c.x - r, c.y});
      Add(loop, {c.x + r, c.y});
      if (loop.size() == 2) loop[0].bulge = loop[1].bulge = 1;
      return {loop};
    }
    // The image of the ellipse: c + M (cos s, sin s) with M = A diag(a, b); its axes are the
    // eigenvectors of M M^T.
    const double ax = m11 * a;
    const double ay = m12 * a;
    const double bx = m21 * b;
    const double by = m22 * b;
    const double exx = ax * ax + bx * bx;
    const double eyy = ay * ay + by * by;
    const double exy = ax * ay + bx * by;
    const double mean = (exx + eyy) / 2;
    const double spread = std::hypot((exx - eyy) / 2, exy);
    const double major = std::sqrt(mean + spread);
    const double minor = std::sqrt(std::max(mean - spread, 0.0));
    const double angle = 0.5 * std::atan2(2 * exy, exx - eyy);
    if (!(major > 0)) return {};
    const std::vector<DrawingPoint> points =
        FlattenEllipse(c, {major * std::cos(angle), major * std::sin(angle)}, minor / major, 0,
                       2 * kPi, mTolerance);
    for (const DrawingPoint& p : points) Add(loop, p);
    if (loop.size() > 1 && Same(loop.back(), loop.front())) loop.pop_back();
    return {loop};
  }

  std::string mName;
  double mTolerance;
  double mSame;
  std::int64_t mMaxVertices;
  std::int64_t mVertices = 0;
};

// ---- The non-zero rule ---------------------------------------------------------------------

// Whether `p` lies inside `loop` (even-odd), arcs exactly: the loop's parity is its polygon of
// chords' parity, toggled by every circular segment between an arc and its chord that holds p.
bool Inside(const OutlineLoop& loop, DrawingPoint p) {
  bool inside = false;
  const std::size_t n = loop.vertices.size();
  for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
    const OutlineVertex& a = loop.vertices[i];
    const OutlineVertex& b = loop.vertices[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) {
      inside = !inside;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    const OutlineVertex& a = loop.vertices[i];
    if (a.bulge == 0) continue;
    const OutlineVertex& b = loop.vertices[(i + 1) % n];
    const ArcCircle c = CircleOfArc({a.x, a.y}, {b.x, b.y}, a.bulge);
    if (std::hypot(p.x - c.cx, p.y - c.cy) >= c.r) continue;
    const double mid = c.start + c.sweep / 2;
    const DrawingPoint m{c.cx + c.r * std::cos(mid), c.cy + c.r * std::sin(mid)};
    const auto side = [&](DrawingPoint q) {
      return (b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x);
    };
    if ((side(p) > 0) == (side(m) > 0)) inside = !inside;
  }
  return inside;
}

struct Segment {
  DrawingPoint a;
  DrawingPoint b;
};

// The loop as straight pieces, arcs as chords of at most 2 degrees: enough to tell loops that
// cross from loops that only come near.
std::vector<Segment> Segments(const OutlineLoop& loop) {
  std::vector<Segment> out;
  const std::size_t n = loop.vertices.size();
  for (std::size_t i = 0; i < n; ++i) {
    const OutlineVertex& v = loop.vertices[i];
    const OutlineVertex& w = loop.vertices[(i + 1) % n];
    if (v.bulge == 0) {
      out.push_back({{v.x, v.y}, {w.x, w.y}});
      continue;
    }
    const ArcCircle c = CircleOfArc({v.x, v.y}, {w.x, w.y}, v.bulge);
    const int pieces = std::max(1, static_cast<int>(std::ceil(std::abs(c.sweep) / (kPi / 90))));
    DrawingPoint previous{v.x, v.y};
    for (int k = 1; k <= pieces; ++k) {
      const double angle = c.start + c.sweep * k / pieces;
      const DrawingPoint next =
          k == pieces ? DrawingPoint{w.x, w.y}
                      : DrawingPoint{c.cx + c.r * std::cos(angle), c.cy + c.r * std::sin(angle)};
      out.push_back({previous, next});
      previous = next;
    }
  }
  return out;
}

double Turn(DrawingPoint a, DrawingPoint b, DrawingPoint c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// Whether two loops cross (touching is no crossing).
bool Cross(const OutlineLoop& first, const OutlineLoop& second) {
  std::vector<Segment> p = Segments(first);
  std::vector<Segment> q = Segments(second);
  const auto left = [](const Segment& s) { return std::min(s.a.x, s.b.x); };
  std::sort(q.begin(), q.end(),
            [&](const Segment& s, const Segment& t) { return left(s) < left(t); });
  double widest = 0;
  for (const Segment& s : q) widest = std::max(widest, std::abs(s.b.x - s.a.x));
  for (const Segment& s : p) {
    const double x0 = left(s);
    const double x1 = std::max(s.a.x, s.b.x);
    auto it = std::lower_bound(q.begin(), q.end(), x0 - widest,
                               [&](const Segment& t, double x) { return left(t) < x; });
    for (; it != q.end() && left(*it) <= x1; ++it) {
      const Segment& t = *it;
      if (Turn(s.a, s.b, t.a) * Turn(s.a, s.b, t.b) < 0 &&
          Turn(t.a, t.b, s.a) * Turn(t.a, t.b, s.b) < 0) {
        return true;
      }
    }
  }
  return false;
}

// The loops of a shape filled by the non-zero rule that bound the same region under the even-odd
// rule: those where the winding number changes between zero and not zero.
std::vector<OutlineLoop> NonZeroLoops(std::vector<OutlineLoop> loops, const std::string& name) {
  const std::size_t n = loops.size();
  if (n < 2) return loops;
  std::vector<OutlineBox> boxes;
  std::vector<int> turn;
  for (const OutlineLoop& loop : loops) {
    OutlineDrawing one;
    one.shapes.push_back({0, {loop}});
    boxes.push_back(BoxOf(one));
    turn.push_back(LoopMoments(loop).A > 0 ? 1 : -1);
  }
  const auto overlap = [](const OutlineBox& p, const OutlineBox& q) {
    return p.xmin <= q.xmax && q.xmin <= p.xmax && p.ymin <= q.ymax && q.ymin <= p.ymax;
  };
  std::vector<bool> keep(n, false);
  for (std::size_t i = 0; i < n; ++i) {
    int outside = 0;  // the winding number just outside loop i
    const OutlineVertex& v = loops[i].vertices.front();
    for (std::size_t j = 0; j < n; ++j) {
      if (j == i || !overlap(boxes[i], boxes[j])) continue;
      if (j > i && Cross(loops[i], loops[j])) {
        Fail(name, "a shape filled by the non-zero rule has loops that cross each other");
      }
      if (Inside(loops[j], {v.x, v.y})) outside += turn[j];
    }
    keep[i] = (outside == 0) != (outside + turn[i] == 0);
  }
  std::vector<OutlineLoop> kept;
  for (std::size_t i = 0; i < n; ++i) {
    if (keep[i]) kept.push_back(std::move(loops[i]));
  }
  return kept;
}

OutlineDrawing Read(const QByteArray& data, const std::string& name, const SvgLimits& limits) {
  if (data.size() > limits.maxBytes) {
    Fail(name, "it is larger than " + BytesText(limits.maxBytes));
  }
  const Checked checked = CheckDocument(data, name);
  const Placement placement = Place(checked.root, name);

  std::optional<GuiApplicationScope> gui;
  try {
    gui.emplace("quorvane", "reading an SVG drawing");
  } catch (const Error& e) {
    Fail(name, e.what());
  }
  QSvgRenderer renderer;
  RecordingDevice device;
  {
    const SvgWarnings warnings;
    if (!renderer.load(checked.document)) Fail(name, "Qt SVG cannot read it");
    renderer.setViewBox(placement.box);
    QPainter painter(&device);
    painter.setWorldTransform(placement.transform);
    renderer.render(&painter, placement.box);
    painter.end();
    if (!warnings.Truncated().isEmpty()) {
      Fail(name, "Qt SVG reads it only in part (" + warnings.Truncated().toStdString() + ")");
    }
  }
  RecordingEngine& engine = device.Engine();

  QRectF extent;
  for (const Painted& p : engine.shapes) {
    const QRectF r =
        p.ellipse ? p.transform.mapRect(*p.ellipse) : p.transform.map(p.path).controlPointRect();
    extent = extent.isNull() ? r : extent.united(r);
  }
  const double size = std::max(extent.width(), extent.height());
  if (!std::isfinite(size)) Fail(name, "it holds a coordinate that is not a finite number");

  OutlineDrawing drawing;
  drawing.ignored = engine.ignored + checked.texts;
  LoopBuilder builder(name, size, limits.maxVertices);
  for (const Painted& p : engine.shapes) {
    std::vector<OutlineLoop> loops = builder.Loops(p);
    if (!p.ellipse && p.path.fillRule() == Qt::WindingFill) {
      loops = NonZeroLoops(std::move(loops), name);
    }
    if (!loops.empty()) drawing.shapes.push_back({p.colour, std::move(loops)});
  }
  if (drawing.shapes.empty()) Fail(name, "it holds no closed outline");
  try {
    MaterialBoundaries(drawing, {});
  } catch (const Error& e) {
    Fail(name, e.what());
  }
  return drawing;
}

}  // namespace

OutlineDrawing ReadSvg(const QByteArray& data, const std::string& name, const SvgLimits& limits) {
  return Read(data, name, limits);
}

OutlineDrawing ReadSvgFile(const std::string& path, const SvgLimits& limits) {
  const std::string name = std::filesystem::path(path).filename().string();
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(path, error);
  if (error) Fail(name, error.message());
  if (bytes > static_cast<std::uintmax_t>(limits.maxBytes)) {
    Fail(name, "it is larger than " + BytesText(limits.maxBytes));
  }
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) Fail(name, "it cannot be opened");
  return Read(file.readAll(), name, limits);
}

}  // namespace qv
