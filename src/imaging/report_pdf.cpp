// The calculation report as PDF: the document's parts written as rich text with their pictures
// as the text's resources, laid out on A4 pages by QTextDocument and printed by QPdfWriter.
#include "imaging/report_pdf.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QTextDocument>
#include <QUrl>
#include <cmath>

#include "core/base/error.h"
#include "core/base/number_text.h"
#include "imaging/dialog_pictures.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv {
namespace {

// The text's area on an A4 page between margins of 15 mm, above a footer of 8 mm, in the
// layout's pixels (96 per inch).
constexpr double kLayoutDpi = 96.0;
constexpr double kPageTextWidth = (210.0 - 30.0) / 25.4 * kLayoutDpi;
constexpr double kFooterHeight = 8.0 / 25.4 * kLayoutDpi;
constexpr double kPageTextHeight = (297.0 - 30.0) / 25.4 * kLayoutDpi - kFooterHeight;

QString Html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

// A round length for the scale bar (1, 2 or 5 times a power of ten), about a quarter of `span`.
double BarLength(double span) {
  const double target = span / 4;
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  for (const double step : {5.0, 2.0, 1.0}) {
    if (step * power <= target) return step * power;
  }
  return power;
}

// `image` enlarged by a whole factor, each pixel a square of its colour, until its longer side
// is near `side`: a small picture prints with sharp edges instead of blurred ones.
QImage Sharp(const QImage& image, int side) {
  const int longest = std::max(image.width(), image.height());
  const int factor = longest > 0 ? side / longest : 1;
  if (factor <= 1) return image;
  return image.scaled(image.width() * factor, image.height() * factor, Qt::IgnoreAspectRatio,
                      Qt::FastTransformation);
}

// The section with its overlay painted, and a strip below it with a scale bar of a round number of
// mm at `mmPerPixel`.
QImage SectionImage(const ReportPicture& picture, double mmPerPixel, QString& barText) {
  QImage painted = ToQImage(picture.pixels, "of the report");
  RenderOverlay(picture.ops, painted);
  QImage section = Sharp(painted, kReportPictureSide);
  if (!(mmPerPixel > 0)) return section;
  mmPerPixel = mmPerPixel * painted.width() / section.width();
  const int strip = std::max(28, section.width() / 14);
  QImage out(section.width(), section.height() + strip, QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter painter(&out);
  painter.drawImage(0, 0, section);
  const double mm = BarLength(section.width() * mmPerPixel);
  const int length = std::max(1, static_cast<int>(std::lround(mm / mmPerPixel)));
  const int left = strip / 3;
  const int top = section.height() + strip / 3;
  const int thick = std::max(2, strip / 8);
  painter.fillRect(left, top, length, thick, Qt::black);
  painter.fillRect(left, top - thick, thick, 3 * thick, Qt::black);
  painter.fillRect(left + length - thick, top - thick, thick, 3 * thick, Qt::black);
  barText = QString::fromStdString(FormatNumber(mm)) + QStringLiteral(" mm");
  QFont font;
  font.setPixelSize(std::max(10, strip / 2));
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(QRectF(left + length + strip / 3.0, section.height(), section.width(), strip),
                   Qt::AlignVCenter | Qt::AlignLeft, barText);
  return out;
}

// The picture `image` as the resource `name`, placed `width` layout pixels wide and `aspect`
// times as high as its pixels say (the true proportions of pixels that are not square).
QString Figure(QTextDocument& doc, const QString& name, const QImage& image, double width,
               double aspect, const QString& caption) {
  doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
  const double w = std::min(width, kPageTextWidth);
  const double h = w * image.height() / std::max(1, image.width()) * aspect;
  return QStringLiteral(
             "<p align=\"center\"><img src=\"%1\" width=\"%2\" height=\"%3\"></p>"
             "<p class=\"caption\">%4</p>")
      .arg(name)
      .arg(std::lround(w))
      .arg(std::lround(h))
      .arg(caption);
}

QString Cell(const QString& text, const QString& attributes = {}) {
  return QStringLiteral("<td%1>%2</td>").arg(attributes.isEmpty() ? "" : " " + attributes, text);
}

QString InputsTable(const ReportDocument& d) {
  QString html = QStringLiteral("<table class=\"grid\" cellspacing=\"0\" cellpadding=\"3\">");
  const auto row = [&](const QString& what, const std::string& value) {
    html += "<tr>" + Cell(what) + Cell(Html(value)) + "</tr>";
  };
  row(QStringLiteral("picture"),
      IntegerText(d.pictureWidth) + " x " + IntegerText(d.pictureHeight) + " pixels");
  row(QStringLiteral("section box as given"), d.sectionSize);
  row(QStringLiteral("size of a pixel"),
      FormatNumber(d.pixelWidthMm) + " x " + FormatNumber(d.pixelHeightMm) + " mm");
  if (!d.units.empty()) row(QStringLiteral("units"), d.units);
  html += QStringLiteral("</table>");
  html += QStringLiteral(
      "<h3>Materials</h3><table class=\"grid\" width=\"100%\" cellspacing=\"0\" "
      "cellpadding=\"3\"><tr>"
      "<th></th><th>name</th><th>colour</th><th>E [N/mm^2]</th><th>rho [kg/m^3]</th>"
      "<th>nu</th><th>fc / ft [N/mm^2]</th><th>law</th><th>area [mm^2]</th><th>share</th></tr>");
  for (const ReportMaterial& m : d.materials) {
    const QString swatch = QStringLiteral("bgcolor=\"#%1\"").arg(m.rgb, 6, 16, QLatin1Char('0'));
    html += "<tr>" + Cell(QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;"), swatch) + Cell(Html(m.name)) +
            Cell(Html(m.label)) + Cell(Html(FormatNumber(m.E))) + Cell(Html(FormatNumber(m.rho))) +
            Cell(m.nu ? Html(FormatNumber(*m.nu)) : QString()) + Cell(Html(m.strength)) +
            Cell(Html(m.law)) + Cell(Html(FormatGeneral(m.areaMm2, 6, 2))) +
            Cell(Html(FormatFixed(100 * m.share, 6, 1) + " %")) + "</tr>";
  }
  return html + QStringLiteral("</table>");
}

QString BlockTables(const ReportBlock& block) {
  QString html;
  if (!block.title.empty()) html += "<h2>" + Html(block.title) + "</h2>";
  for (const ReportGroup& group : block.groups) {
    if (!group.heading.empty()) html += "<h3>" + Html(group.heading) + "</h3>";
    if (group.rows.empty()) continue;
    html += QStringLiteral(
        "<table class=\"values\" width=\"100%\" cellspacing=\"0\" cellpadding=\"2\">");
    for (const ReportRow& r : group.rows) {
      if (r.whole) {
        html += "<tr><td colspan=\"4\" class=\"line\">" + Html(r.symbol) + "</td></tr>";
      } else {
        html +=
            "<tr>" + Cell(Html(r.symbol), QStringLiteral("class=\"symbol\" width=\"13%\"")) +
            Cell(Html(r.value), QStringLiteral("align=\"right\" width=\"15%\" class=\"value\"")) +
            Cell(Html(r.unit), QStringLiteral("width=\"9%\"")) + Cell(Html(r.meaning)) + "</tr>";
      }
    }
    html += QStringLiteral("</table>");
  }
  return html;
}

constexpr const char* kStyle =
    "body { font-family: 'DejaVu Sans'; font-size: 9pt; }"
    "h1 { font-size: 15pt; } h2 { font-size: 12pt; margin-top: 14px; }"
    "h3 { font-size: 9.5pt; margin-top: 8px; margin-bottom: 2px; }"
    "table.grid { border-collapse: collapse; border: 1px solid #999; }"
    "table.grid td, table.grid th { border: 1px solid #bbb; }"
    "td.symbol { font-style: italic; padding-right: 8px; }"
    "td.value { white-space: nowrap; }"
    "td.line { font-family: 'DejaVu Sans Mono'; font-size: 8pt; white-space: pre; }"
    "p.caption { color: #444; font-size: 8pt; }";

}  // namespace

std::string ReportPdf(const ReportDocument& d) {
  QTextDocument doc;
  doc.setDefaultStyleSheet(QString::fromLatin1(kStyle));
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(9);
  // No ligatures: "fi" stays two letters in the PDF's text, as it is searched for.
  font.setStyleStrategy(QFont::PreferNoShaping);
  doc.setDefaultFont(font);
  // Laid out on the page's text area itself, so a picture's width is its width on paper.
  doc.setPageSize(QSizeF(kPageTextWidth, kPageTextHeight));
  doc.setDocumentMargin(0);

  QString html = QStringLiteral("<html><body>");
  html += "<h1>Section report: " + Html(d.title) + "</h1>";
  html += "<p>" + Html(d.date) + " &middot; " + Html(d.program) + "</p>";
  if (d.section) {
    QString bar;
    const QImage image = SectionImage(*d.section, d.pixelWidthMm * d.section->reduction, bar);
    const double aspect = d.pixelWidthMm > 0 ? d.pixelHeightMm / d.pixelWidthMm : 1.0;
    QString caption = Html(d.section->caption);
    if (!bar.isEmpty()) caption += QStringLiteral("; the bar is ") + bar;
    html += Figure(doc, QStringLiteral("report://section"), image, kPageTextWidth * 0.8, aspect,
                   caption);
  }
  html += QStringLiteral("<h2>Inputs</h2>") + InputsTable(d);
  for (const ReportBlock& block : d.blocks) html += BlockTables(block);
  const auto drawing = [&](const std::optional<ReportPicture>& picture, const QString& name) {
    if (!picture) return;
    QImage image = ToQImage(picture->pixels, "of the report");
    RenderOverlay(picture->ops, image);
    html += Figure(doc, name, Sharp(image, kReportPictureSide), kPageTextWidth, 1.0,
                   Html(picture->caption));
  };
  drawing(d.stressMap, QStringLiteral("report://stresses"));
  drawing(d.resistance, QStringLiteral("report://resistance"));
  html += QStringLiteral("<h2>Definitions</h2>");
  html += Figure(doc, QStringLiteral("report://definitions"), DefinitionsPicture(),
                 kPageTextWidth * 0.75, 1.0,
                 QStringLiteral("Axes, centres and angles as the values above name them."));
  html += QStringLiteral("</body></html>");
  doc.setHtml(html);

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setTitle(QStringLiteral("Section report: ") + QString::fromStdString(d.title));
    writer.setCreator(QString::fromStdString(d.program));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    writer.setResolution(300);
    // Page by page rather than QTextDocument::print, whose painter would store the pictures as
    // JPEG: lossless, a drawn line stays one colour with sharp edges.
    QPainter painter(&writer);
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.scale(writer.resolution() / kLayoutDpi, writer.resolution() / kLayoutDpi);
    const int pages = doc.pageCount();
    QFont footer = font;
    footer.setPixelSize(10);  // the layout's pixels: 7.5 points
    for (int page = 0; page < pages; ++page) {
      if (page > 0) writer.newPage();
      painter.save();
      painter.translate(0, -page * kPageTextHeight);
      doc.drawContents(&painter,
                       QRectF(0, page * kPageTextHeight, kPageTextWidth, kPageTextHeight));
      painter.restore();
      painter.setFont(footer);
      painter.setPen(QColor(0x44, 0x44, 0x44));
      painter.drawText(QRectF(0, kPageTextHeight, kPageTextWidth, kFooterHeight),
                       Qt::AlignBottom | Qt::AlignLeft,
                       QString::fromStdString(d.title + " \u00b7 " + d.date));
      painter.drawText(QRectF(0, kPageTextHeight, kPageTextWidth, kFooterHeight),
                       Qt::AlignBottom | Qt::AlignRight,
                       QStringLiteral("page %1 of %2").arg(page + 1).arg(pages));
    }
  }
  if (bytes.isEmpty()) throw Error("the report could not be laid out as PDF");
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

}  // namespace qv
