// Build-time generator of the user manual: renders the Markdown manual into an A4 PDF.
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QString>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <QTextTable>
#include <QTextTableFormat>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace qv {
namespace {

constexpr double kBodyPointSize = 10.0;
constexpr double kCodeBlockPointSize = 8.5;
constexpr double kInlineCodePointSize = 9.5;

/// Writes one line to standard error; the build log is the only place anybody sees it.
void Complain(const QString& text) { std::fputs(qPrintable(text + QLatin1Char('\n')), stderr); }

/// Gives every table below `frame` thin ruled cells with some padding: Markdown tables arrive
/// without borders, and a table of units and keys is hard to read without them.
void FrameTables(QTextFrame* frame) {
  for (QTextFrame* child : frame->childFrames()) {
    if (auto* table = qobject_cast<QTextTable*>(child)) {
      QTextTableFormat format = table->format();
      format.setBorder(0.75);
      format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
      format.setBorderBrush(QColor(0x90, 0x90, 0x90));
      format.setCellPadding(3);
      format.setCellSpacing(0);
      // A table broken over a page repeats its heading row.
      format.setHeaderRowCount(1);
      table->setFormat(format);
    }
    FrameTables(child);
  }
}

/// Sets the type of the Markdown import for print. The import gives all code the system's
/// monospace font at its own small size; code blocks get a size at which command lines of
/// about 85 characters fit the A4 text width, code inside a sentence one that matches the text
/// around it. Headings get some space above, which the import leaves out after a code block.
void SetPrintType(QTextDocument& document) {
  QTextCursor cursor(&document);
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    const int headingLevel = block.blockFormat().headingLevel();
    if (headingLevel > 0) {
      QTextBlockFormat heading;
      heading.setTopMargin(headingLevel <= 2 ? 14 : 8);
      cursor.setPosition(block.position());
      cursor.mergeBlockFormat(heading);
    }
    const bool codeBlock = block.blockFormat().hasProperty(QTextFormat::BlockCodeLanguage);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid()) continue;
      if (!codeBlock && !fragment.charFormat().fontFixedPitch()) continue;
      QTextCharFormat code;
      code.setFontPointSize(codeBlock ? kCodeBlockPointSize : kInlineCodePointSize);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.mergeCharFormat(code);
    }
  }
}

/// Returns `markdown` with the caption of every picture on one line. Qt's Markdown import
/// inserts a picture once for each line of its caption, so a caption wrapped in the source put
/// the picture two, three or five times in a row into the manual.
QString JoinPictureCaptions(const QString& markdown) {
  const QRegularExpression caption(QStringLiteral(R"(!\[([^\]]*)\]\()"));
  const QRegularExpression lineBreak(QStringLiteral(R"(\s*\n\s*)"));
  QString joined;
  joined.reserve(markdown.size());
  qsizetype copied = 0;
  for (auto it = caption.globalMatch(markdown); it.hasNext();) {
    const QRegularExpressionMatch match = it.next();
    joined.append(QStringView(markdown).mid(copied, match.capturedStart(1) - copied));
    joined.append(match.captured(1).replace(lineBreak, QStringLiteral(" ")));
    copied = match.capturedEnd(1);
  }
  joined.append(QStringView(markdown).mid(copied));
  return joined;
}

/// Gives `document` the pictures its Markdown names, read from files relative to the folder
/// `base`, each at most as wide as the text. Returns false with a message when one cannot be
/// read: a manual without its picture would say "see the picture" of nothing.
bool AddPictures(QTextDocument& document, const QUrl& base) {
  // The text's width on the page, in the document's units (print() lays out A4 less 2 cm
  // margins at the screen's resolution of 96 dots per inch).
  constexpr double kTextWidth = (210.0 - 2 * 20.0) / 25.4 * 96;
  QTextCursor cursor(&document);
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !fragment.charFormat().isImageFormat()) continue;
      QTextImageFormat image = fragment.charFormat().toImageFormat();
      const QUrl name(image.name());
      const QImage picture(base.resolved(name).toLocalFile());
      if (picture.isNull()) {
        Complain(QStringLiteral("qv_make_manual: cannot read the picture %1")
                     .arg(base.resolved(name).toLocalFile()));
        return false;
      }
      document.addResource(QTextDocument::ImageResource, name, picture);
      const double scale = std::min(1.0, kTextWidth / picture.width());
      image.setWidth(picture.width() * scale);
      image.setHeight(picture.height() * scale);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(image);
    }
  }
  return true;
}

/// Renders the Markdown text `markdown` into the PDF file `pdfPath` (A4, page numbers at the
/// foot); its pictures are named relative to the folder `base`. The file is replaced only once
/// the whole PDF is written, so an interrupted build never leaves a truncated manual beside the
/// program. Returns false with a message on failure.
bool RenderManual(const QString& markdown, const QString& pdfPath, const QUrl& base) {
  QSaveFile out(pdfPath);
  if (!out.open(QIODevice::WriteOnly)) {
    Complain(QStringLiteral("qv_make_manual: cannot write %1: %2").arg(pdfPath, out.errorString()));
    return false;
  }
  {
    QPdfWriter writer(&out);
    writer.setTitle(QStringLiteral("Quorvane manual"));
    writer.setCreator(QStringLiteral("Quorvane"));
    // 300 dpi keeps the layout arithmetic in whole device pixels without bloating the file.
    writer.setResolution(300);
    // print() lays an unpaginated document out with 2 cm margins of its own and puts the page
    // number in the lower one; writer margins would come on top of those.
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));

    QTextDocument document;
    // A fixed family keeps the PDF the same on every build machine; DejaVu comes with the
    // Qt packages on Debian and falls back gracefully elsewhere.
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSizeF(kBodyPointSize);
    document.setDefaultFont(body);
    document.setMarkdown(JoinPictureCaptions(markdown), QTextDocument::MarkdownDialectGitHub);
    if (!AddPictures(document, base)) return false;

    SetPrintType(document);
    FrameTables(document.rootFrame());

    document.print(&writer);
  }
  if (!out.commit()) {
    Complain(QStringLiteral("qv_make_manual: cannot write %1: %2").arg(pdfPath, out.errorString()));
    return false;
  }
  return true;
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
  // The generator runs in builds without a display; offscreen needs none, but a caller that
  // chose a platform keeps it.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);

  const QStringList args = QGuiApplication::arguments();
  if (args.size() != 3) {
    qv::Complain(QStringLiteral("usage: qv_make_manual IN.md OUT.pdf"));
    return 2;
  }
  QFile in(args.at(1));
  if (!in.open(QIODevice::ReadOnly)) {
    qv::Complain(
        QStringLiteral("qv_make_manual: cannot read %1: %2").arg(args.at(1), in.errorString()));
    return 1;
  }
  const QString markdown = QString::fromUtf8(in.readAll());
  if (markdown.trimmed().isEmpty()) {
    qv::Complain(QStringLiteral("qv_make_manual: %1 is empty").arg(args.at(1)));
    return 1;
  }
  const QUrl base = QUrl::fromLocalFile(QFileInfo(args.at(1)).absolutePath() + QLatin1Char('/'));
  return qv::RenderManual(markdown, args.at(2), base) ? EXIT_SUCCESS : EXIT_FAILURE;
}
