// The window program's command line: one picture, --help, --version, and clear refusals; the
// usage agrees with the man page and fits a terminal.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <memory>

#include "core/base/version.h"
#include "gui/window_arguments.h"
#include "support/grid_builder.h"

using namespace qv;
using namespace qv::test;

Q_DECLARE_METATYPE(qv::WindowArguments::Action)

namespace {

using Action = WindowArguments::Action;

QSet<QString> Options(const QString& text) {
  QSet<QString> names;
  const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
  for (const QRegularExpressionMatch& match : option.globalMatch(text)) {
    names.insert(match.captured());
  }
  return names;
}

}  // namespace

class TestWindowArguments : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TempDir> mDir;
  QString mPreviousFolder;

 private slots:
  void init() {
    mDir = std::make_unique<TempDir>();
    for (const char* name : {"p.bmp", "q.bmp", "-odd.bmp", "-"}) WriteAll(mDir->File(name), "x");
    mPreviousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QString::fromStdString(mDir->Path())));
  }
  void cleanup() {
    QDir::setCurrent(mPreviousFolder);
    mDir.reset();
  }

  void parses_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("picture");  // relative to the current folder; "" for none
    QTest::addColumn<QString>("message");

    // Plain start: the remembered picture.
    QTest::newRow("nothing") << QStringList{} << Action::Open << ""
                             << "";
    // "Open with": one picture, made absolute against the current folder.
    QTest::newRow("one picture") << QStringList{"p.bmp"} << Action::Open << "p.bmp"
                                 << "";
    // After "--" a name that begins with "-" is a picture; a lone "-" is one anyway.
    QTest::newRow("dash name after --")
        << QStringList{"--", "-odd.bmp"} << Action::Open << "-odd.bmp"
        << "";
    QTest::newRow("lone dash") << QStringList{"-"} << Action::Open << "-"
                               << "";
    // --help and --version win over anything else before "--", as in the batch tool.
    QTest::newRow("help") << QStringList{"--help"} << Action::Help << ""
                          << "";
    QTest::newRow("version beside pictures and options")
        << QStringList{"p.bmp", "q.bmp", "--bogus", "--version"} << Action::Version << ""
        << "";
    QTest::newRow("help before version") << QStringList{"--version", "--help"} << Action::Help << ""
                                         << "";
    // After "--" they are file names like any other.
    QTest::newRow("help after --") << QStringList{"--", "--help"} << Action::Failed << ""
                                   << "cannot open '--help': no such file";
    // Only one picture: the second is named.
    QTest::newRow("two pictures") << QStringList{"p.bmp", "q.bmp"} << Action::Usage << ""
                                  << "only one picture can be opened, and 'q.bmp' is a second one";
    // Options the program does not know, long or short, also after a picture.
    QTest::newRow("unknown long option") << QStringList{"--open", "p.bmp"} << Action::Usage << ""
                                         << "unknown option '--open'";
    QTest::newRow("unknown short option") << QStringList{"p.bmp", "-x"} << Action::Usage << ""
                                          << "unknown option '-x'";
    QTest::newRow("option with a value") << QStringList{"--picture=p.bmp"} << Action::Usage << ""
                                         << "unknown option '--picture=p.bmp'";
    // A picture that is not there, or not a file, fails before any window opens.
    QTest::newRow("missing picture") << QStringList{"nosuch.bmp"} << Action::Failed << ""
                                     << "cannot open 'nosuch.bmp': no such file";
    QTest::newRow("folder") << QStringList{"."} << Action::Failed << ""
                            << "cannot open '.': not a file";
    // A usage error is found before a missing file is looked for.
    QTest::newRow("two missing pictures")
        << QStringList{"a.bmp", "b.bmp"} << Action::Usage << ""
        << "only one picture can be opened, and 'b.bmp' is a second one";
  }
  void parses() {
    QFETCH(QStringList, args);
    QFETCH(Action, action);
    QFETCH(QString, picture);
    QFETCH(QString, message);
    const WindowArguments parsed = ParseWindowArguments(args);
    QCOMPARE(parsed.action, action);
    QCOMPARE(parsed.picture,
             picture.isEmpty() ? QString() : QDir::current().absoluteFilePath(picture));
    QCOMPARE(parsed.message, message);
  }

  void usageFitsEightyColumnsAndNamesTheVersion() {
    const QStringList lines = WindowUsage().split(QLatin1Char('\n'));
    QVERIFY(lines.size() > 8);
    for (const QString& line : lines) QVERIFY2(line.size() <= 80, qPrintable(line));
    QVERIFY(WindowUsage().startsWith(QStringLiteral("usage: quorvane [PICTURE]\n")));
    QCOMPARE(WindowVersion(), QStringLiteral("quorvane ") + QLatin1String(kProgramVersion));
  }

  void manPageNamesTheOptionsOfTheUsageAndNoOther() {
    QFile page(QStringLiteral(QV_TEST_DATA_DIR "/../../packaging/man/quorvane.1"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll()).replace(QStringLiteral("\\-"), "-");
    const QSet<QString> usage = Options(WindowUsage());
    QCOMPARE(usage, (QSet<QString>{"--help", "--version"}));
    QCOMPARE(Options(text), usage);
  }
};

QTEST_GUILESS_MAIN(TestWindowArguments)
#include "tst_windowarguments.moc"
