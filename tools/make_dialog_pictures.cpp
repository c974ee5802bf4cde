// Regenerates the two pictures the dialogs carry: the greyscale definitions picture (JPEG) and
// the example section of the settings dialog (PNG). Usage: qv_make_dialog_pictures <folder>
// (normally src/imaging/resources); run with QT_QPA_PLATFORM=offscreen on a machine without
// display.
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSaveFile>
#include <QString>
#include <QTextDocument>
#include <cmath>
#include <cstdio>
#include <cstdlib>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace qv {
namespace {

constexpr int kDefinitionsWidth = 640;
constexpr int kDefinitionsHeight = 482;
constexpr int kExampleSize = 400;
constexpr int kJpegQuality = 92;
const QString kSerif = QStringLiteral("DejaVu Serif");
const QString kSans = QStringLiteral("DejaVu Sans");

void Complain(const QString& text) { std::fputs(qPrintable(text + QLatin1Char('\n')), stderr); }

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    Complain(QStringLiteral("Unable to write to %1").arg(path));
    return false;
  }
  return true;
}

// A greyscale JPEG of `image` (already Format_Grayscale8), compressed in memory.
QByteArray EncodeGreyJpeg(const QImage& image) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(image.width());
  info.image_height = static_cast<JDIMENSION>(image.height());
  info.input_components = 1;
  info.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kJpegQuality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    // libjpeg's row type is not const, yet the compressor only reads the rows.
    JSAMPROW row =
        const_cast<unsigned char*>(image.constScanLine(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}

// Rich text (HTML with <sub>, <sup>, <i>) at `topLeft`, wrapped at `width` pixels.
void DrawRichText(QPainter& painter, const QPointF& topLeft, double width, const QString& html,
                  const QFont& font) {
  QTextDocument document;
  document.setDefaultFont(font);
  document.setDocumentMargin(0);
  document.setTextWidth(width);
  document.setHtml(html);
  painter.save();
  painter.translate(topLeft);
  document.drawContents(&painter);
  painter.restore();
}

void DrawArrow(QPainter& painter, const QPointF& from, const QPointF& to, double head = 8) {
  painter.drawLine(from, to);
  const QPointF d = to - from;
  const double length = std::hypot(d.x(), d.y());
  if (length == 0) return;
  const QPointF u = d / length;
  const QPointF n(-u.y(), u.x());
  QPolygonF tip;
  tip << to << to - u * head + n * head * 0.35 << to - u * head - n * head * 0.35;
  painter.save();
  painter.setBrush(painter.pen().color());
  painter.drawPolygon(tip);
  painter.restore();
}

// An arrow pointing both ways, for dimension lines.
void DrawDimension(QPainter& painter, const QPointF& a, const QPointF& b) {
  const QPointF middle = (a + b) / 2;
  DrawArrow(painter, middle, a, 9);
  DrawArrow(painter, middle, b, 9);
}

// The member in a simple oblique view: the front face is the cross-section, x runs along it.
void DrawMemberSketch(QPainter& painter, const QFont& label) {
  const QPointF depth(170, -60);  // the member's length in the oblique view
  const QRectF face(70, 165, 60, 110);
  painter.setPen(QPen(Qt::black, 1.5));
  QPolygonF front;
  front << face.topLeft() << face.topRight() << face.bottomRight() << face.bottomLeft();
  painter.setBrush(QColor(225, 225, 225));
  QPolygonF top;
  top << face.topLeft() << face.topLeft() + depth << face.topRight() + depth << face.topRight();
  QPolygonF side;
  side << face.topRight() << face.topRight() + depth << face.bottomRight() + depth
       << face.bottomRight();
  painter.drawPolygon(top);
  painter.setBrush(QColor(200, 200, 200));
  painter.drawPolygon(side);
  painter.setBrush(QColor(245, 245, 245));
  painter.drawPolygon(front);
  painter.setBrush(Qt::NoBrush);

  // Axes from the centre of the section: x along the member, y to the left, z downwards.
  const QPointF centre = face.center();
  painter.setPen(QPen(Qt::black, 1.2));
  // The axis inside the member is hidden, so it is dashed up to the far end.
  painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
  painter.drawLine(centre, centre + depth);
  painter.setPen(QPen(Qt::black, 1.2));
  DrawArrow(painter, centre + depth, centre + depth * 1.22);
  DrawArrow(painter, centre, centre + QPointF(-62, 0));
  DrawArrow(painter, centre, centre + QPointF(0, 85));
  painter.setBrush(Qt::black);
  painter.drawEllipse(centre, 2.5, 2.5);
  painter.setBrush(Qt::NoBrush);
  painter.setFont(label);
  painter.drawText(centre + depth * 1.22 + QPointF(4, 4), QStringLiteral("x"));
  painter.drawText(centre + QPointF(-74, 5), QStringLiteral("y"));
  painter.drawText(centre + QPointF(6, 92), QStringLiteral("z"));
  painter.drawText(QPointF(150, 300), QStringLiteral("member with its cross-section"));
}

// The section face-on with an area element and its contributions.
void DrawSectionSketch(QPainter& painter, const QFont& label, const QFont& formula) {
  const QRectF section(375, 150, 120, 140);
  const QPointF origin = section.center();
  painter.setPen(QPen(Qt::black, 1.5));
  painter.setBrush(QColor(235, 235, 235));
  painter.drawRect(section);
  painter.setBrush(Qt::NoBrush);

  painter.setPen(QPen(Qt::black, 1.2));
  DrawArrow(painter, origin, QPointF(section.left() - 45, origin.y()));
  DrawArrow(painter, origin, QPointF(origin.x(), section.bottom() + 35));
  painter.setFont(label);
  painter.drawText(QPointF(section.left() - 58, origin.y() + 5), QStringLiteral("y"));
  painter.drawText(QPointF(origin.x() + 6, section.bottom() + 40), QStringLiteral("z"));

  // The element dA at (y, z): left of and below the origin, since y points left.
  const QRectF element(origin.x() - 48, origin.y() + 32, 14, 14);
  painter.setBrush(QColor(90, 90, 90));
  painter.drawRect(element);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
  painter.drawLine(element.center(), QPointF(element.center().x(), origin.y()));
  painter.drawLine(element.center(), QPointF(origin.x(), element.center().y()));
  painter.setPen(QPen(Qt::black, 1));
  painter.drawText(QPointF(element.center().x() - 4, origin.y() - 6), QStringLiteral("y"));
  painter.drawText(QPointF(origin.x() + 5, element.center().y() + 5), QStringLiteral("z"));
  painter.drawText(QPointF(element.left() - 2, element.bottom() + 17), QStringLiteral("ΔA"));

  DrawRichText(painter, QPointF(section.right() + 8, section.top() + 4), 110,
               QStringLiteral("ΔN = σ(y,z)·ΔA<br><br>ΔM<sub>y</sub> = y·ΔN<br>"
                              "ΔM<sub>z</sub> = z·ΔN"),
               formula);
  painter.setFont(label);
  painter.drawText(QPointF(section.left() - 20, 340),
                   QStringLiteral("cross-section, seen along x"));
}

QImage DefinitionsPicture() {
  QImage image(kDefinitionsWidth, kDefinitionsHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setPen(Qt::black);

  QFont heading(kSans, 1);
  heading.setPixelSize(22);
  heading.setBold(true);
  painter.setFont(heading);
  painter.drawText(QPointF(20, 34), QStringLiteral("Definitions"));

  QFont body(kSerif, 1);
  body.setPixelSize(13);
  DrawRichText(painter, QPointF(20, 48), 600,
               QStringLiteral(
                   "This program uses the formal definitions: M<sub>y</sub> is the bending moment "
                   "in the x-y plane and M<sub>z</sub> the bending moment in the x-z plane. "
                   "Engineering notation calls these moments M<sub>z</sub> and M<sub>y</sub>: "
                   "bending about the z- or y-axis."),
               body);

  QFont label(kSerif, 1);
  label.setPixelSize(14);
  label.setItalic(true);
  QFont formula(kSerif, 1);
  formula.setPixelSize(14);
  DrawMemberSketch(painter, label);
  DrawSectionSketch(painter, label, formula);

  // The integral definitions in two columns; the lower right corner stays free for the button
  // that the dialog lays over the picture.
  DrawRichText(painter, QPointF(30, 350), 200,
               QStringLiteral("A = ∫ dA<br>S<sub>y</sub> = ∫ y dA<br>S<sub>z</sub> = ∫ z dA<br>"
                              "I<sub>p</sub> = ∫ r<sup>2</sup> dA"),
               formula);
  DrawRichText(painter, QPointF(250, 350), 300,
               QStringLiteral("I<sub>yy</sub> = ∫ y<sup>2</sup> dA<br>"
                              "I<sub>yz</sub> = I<sub>zy</sub> = ∫ yz dA<br>"
                              "I<sub>zz</sub> = ∫ z<sup>2</sup> dA"),
               formula);
  QFont note(kSerif, 1);
  note.setPixelSize(11);
  note.setItalic(true);
  painter.setFont(note);
  painter.drawText(QPointF(30, 444), QStringLiteral("all integrals over the section area A"));

  painter.setPen(QPen(Qt::black, 0.8));
  painter.drawLine(QPointF(20, 454), QPointF(220, 454));
  QFont footnote(kSerif, 1);
  footnote.setPixelSize(10);
  painter.setFont(footnote);
  painter.drawText(QPointF(20, 468),
                   QStringLiteral("Literature: Dorvast and Pelkam, formal definitions of the "
                                  "stiffness of beam sections (textbook)."));
  painter.end();
  return image.convertToFormat(QImage::Format_Grayscale8);
}

// The U-channel of the settings dialog: 500 mm wide, 650 mm high, 50 mm walls, at 2.5 mm a pixel.
QImage ExamplePicture() {
  QImage image(kExampleSize, kExampleSize, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  constexpr double kScale = 0.4;  // pixels per mm
  const double left = 110;
  const double top = 50;
  const double width = 500 * kScale;
  const double height = 650 * kScale;
  const double wall = 50 * kScale;
  QPainterPath channel;
  channel.moveTo(left, top);
  channel.lineTo(left + wall, top);
  channel.lineTo(left + wall, top + height - wall);
  channel.lineTo(left + width - wall, top + height - wall);
  channel.lineTo(left + width - wall, top);
  channel.lineTo(left + width, top);
  channel.lineTo(left + width, top + height);
  channel.lineTo(left, top + height);
  channel.closeSubpath();
  painter.setPen(QPen(Qt::black, 1.5));
  painter.setBrush(QColor(220, 0, 0));
  painter.drawPath(channel);
  painter.setBrush(Qt::NoBrush);

  QFont font(QStringLiteral("DejaVu Sans"), 1);
  font.setPixelSize(14);
  painter.setFont(font);
  const QPen thin(Qt::black, 1);
  painter.setPen(thin);

  // Width, below the section.
  const double widthLine = top + height + 30;
  painter.drawLine(QPointF(left, top + height + 4), QPointF(left, widthLine + 6));
  painter.drawLine(QPointF(left + width, top + height + 4), QPointF(left + width, widthLine + 6));
  DrawDimension(painter, QPointF(left, widthLine), QPointF(left + width, widthLine));
  painter.drawText(QRectF(left, widthLine + 4, width, 20), Qt::AlignHCenter | Qt::AlignTop,
                   QStringLiteral("500 mm"));

  // Height, left of the section.
  const double heightLine = left - 30;
  painter.drawLine(QPointF(left - 4, top), QPointF(heightLine - 6, top));
  painter.drawLine(QPointF(left - 4, top + height), QPointF(heightLine - 6, top + height));
  DrawDimension(painter, QPointF(heightLine, top), QPointF(heightLine, top + height));
  painter.save();
  painter.translate(heightLine - 6, top + height / 2);
  painter.rotate(-90);
  painter.drawText(QRectF(-60, -20, 120, 18), Qt::AlignCenter, QStringLiteral("650 mm"));
  painter.restore();

  // Wall thickness: the left leg at its top, the bottom flange at the right.
  const double wallLine = top - 14;
  painter.drawLine(QPointF(left, top - 4), QPointF(left, wallLine - 6));
  painter.drawLine(QPointF(left + wall, top - 4), QPointF(left + wall, wallLine - 6));
  DrawArrow(painter, QPointF(left - 24, wallLine), QPointF(left, wallLine), 7);
  DrawArrow(painter, QPointF(left + wall + 24, wallLine), QPointF(left + wall, wallLine), 7);
  painter.drawText(QPointF(left + wall + 28, wallLine + 5), QStringLiteral("50 mm"));

  const double flangeLine = left + width + 22;
  const double flangeTop = top + height - wall;
  painter.drawLine(QPointF(left + width + 4, flangeTop), QPointF(flangeLine + 6, flangeTop));
  DrawArrow(painter, QPointF(flangeLine, flangeTop - 24), QPointF(flangeLine, flangeTop), 7);
  DrawArrow(painter, QPointF(flangeLine, top + height + 24), QPointF(flangeLine, top + height), 7);
  painter.drawText(QPointF(flangeLine + 6, flangeTop - 10), QStringLiteral("50 mm"));
  painter.end();
  return image;
}

int Run(int argc, char** argv) {
  if (argc != 2) {
    Complain(QStringLiteral("usage: qv_make_dialog_pictures <output folder>"));
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.exists()) {
    Complain(QStringLiteral("No folder %1").arg(folder.path()));
    return 1;
  }
  if (!WriteFile(folder.filePath(QStringLiteral("definitions.jpg")),
                 EncodeGreyJpeg(DefinitionsPicture()))) {
    return 1;
  }
  const QString example = folder.filePath(QStringLiteral("example_section.png"));
  if (!ExamplePicture().save(example, "PNG")) {
    Complain(QStringLiteral("Unable to write to %1").arg(example));
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  return qv::Run(argc, argv);
}
