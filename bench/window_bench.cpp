// The window against the batch tool on one large picture, side by side in one run: the real
// TMainForm on Qt's offscreen platform, driven through its handlers as a user's clicks would,
// and quorvane-cli started as a separate process on the same file.
//
//   qv_window_bench [SIZE] [CLI]    SIZE: picture side in pixels (default 8000)
//                                   CLI: path of quorvane-cli (default beside this program)
//
// Prints wall times and, for the window, the peak resident memory of the whole sequence
// (load, analyse, reload, second analyse) as a multiple of the pixel grid.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListView>
#include <QProcess>
#include <QString>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "gui/main_window.h"
#include "gui/number_edit.h"
#include "gui/prompter.h"
#include "gui/shell.h"

namespace {

// Writes a 24-bit BMP of a composite I-section row by row, so that the benchmark itself never
// holds a picture in memory (its peak would hide the window's).
void WriteSection(const std::string& path, int size) {
  const int rowBytes = (size * 3 + 3) / 4 * 4;
  const std::uint64_t dataBytes = static_cast<std::uint64_t>(rowBytes) * size;
  std::ofstream out(path, std::ios::binary);
  const auto u16 = [&out](std::uint16_t v) { out.put(char(v & 0xFF)).put(char(v >> 8)); };
  const auto u32 = [&](std::uint32_t v) {
    u16(std::uint16_t(v & 0xFFFF));
    u16(std::uint16_t(v >> 16));
  };
  out.put('B').put('M');
  u32(std::uint32_t(54 + dataBytes));
  u32(0);
  u32(54);
  u32(40);
  u32(std::uint32_t(size));
  u32(std::uint32_t(size));
  u16(1);
  u16(24);
  for (int i = 0; i < 6; ++i) u32(0);
  const int m = size / 10;
  std::vector<char> row(static_cast<std::size_t>(rowBytes));
  for (int stored = 0; stored < size; ++stored) {
    const int y = size - 1 - stored;  // bottom-up
    for (int x = 0; x < size; ++x) {
      // B, G, R: white, slab clGray, flanges clRed, web clOlive.
      unsigned char b = 255, g = 255, r = 255;
      if (y >= m && y <= 2 * m && x >= 2 * m && x <= 8 * m) {
        b = g = r = 128;
      } else if (((y > 2 * m && y <= 2 * m + m / 2) || (y >= 8 * m && y <= 8 * m + m / 2)) &&
                 x >= 3 * m && x <= 7 * m) {
        b = 0, g = 0, r = 255;
      } else if (y > 2 * m + m / 2 && y < 8 * m && x >= 4 * m + m / 2 && x <= 5 * m + m / 2) {
        b = 0, g = 128, r = 128;
      }
      row[static_cast<std::size_t>(x) * 3] = static_cast<char>(b);
      row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<char>(g);
      row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<char>(r);
    }
    out.write(row.data(), rowBytes);
  }
}

// A picture of `size` x `size` random colours, written row by row.
void WriteRandom(const std::string& path, int size) {
  const int rowBytes = (size * 3 + 3) / 4 * 4;
  std::ofstream out(path, std::ios::binary);
  const auto u32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.put(char((v >> (8 * i)) & 0xFF));
  };
  out.put('B').put('M');
  u32(std::uint32_t(54 + static_cast<std::uint64_t>(rowBytes) * size));
  u32(0);
  u32(54);
  u32(40);
  u32(std::uint32_t(size));
  u32(std::uint32_t(size));
  out.put(1).put(0).put(24).put(0);
  for (int i = 0; i < 6; ++i) u32(0);
  std::mt19937 rng(1);
  std::vector<char> row(static_cast<std::size_t>(rowBytes));
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size * 3; x += 3) {
      const auto v = static_cast<std::uint32_t>(rng());
      row[std::size_t(x)] = char(v & 0xff), row[std::size_t(x) + 1] = char((v >> 8) & 0xff);
      row[std::size_t(x) + 2] = char(v >> 16);
    }
    out.write(row.data(), rowBytes);
  }
}

long PeakKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmHWM:") {
      status >> value;
      return value;
    }
  }
  return 0;
}

long CurrentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
  }
  return 0;
}

// Resets the peak to the current resident size (Linux 4.0 and later).
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The injected services with no desktop: every question answered Yes, clipboard kept.
class QuietPrompter : public qv::Prompter {
 public:
  void Error(const QString& text) override {
    std::fprintf(stderr, "error: %s\n", qPrintable(text));
  }
  bool Confirm(const QString&) override { return true; }
  void Information(const QString&) override {}
  void Message(const QString&) override {}
  std::optional<QString> OpenPicture(const QString&) override { return next; }
  std::optional<QString> SaveTextFile(const QString&) override { return std::nullopt; }
  std::optional<QString> SavePictureFile(const QString&) override { return std::nullopt; }
  std::optional<QFont> ChooseFont(const QFont&) override { return std::nullopt; }
  int Run(QDialog&) override { return 0; }
  QString next;
};

class QuietShell : public qv::Shell {
 public:
  void SetClipboardText(const QString& text) override { clipboard = text; }
  QString ClipboardText() override { return clipboard; }
  void OpenDocument(const QString&, std::function<void()>) override {}
  void OpenFolder(const QString&, std::function<void()>) override {}
  bool StartProgram(const QString&, const QStringList&, const QString&) override { return false; }
  void Beep() override {}
  QString clipboard;
};

double Seconds(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e9; }

// Wall time of a whole process, from its start to its exit.
double ProcessSeconds(const QString& program, const QStringList& args, QString* out = nullptr) {
  QElapsedTimer t;
  QProcess p;
  t.start();
  p.start(program, args);
  p.waitForFinished(-1);
  const double s = Seconds(t);
  if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
  return s;
}

// The peak resident memory of `program` run to its end. A process started from this one would
// count this one's memory as its own (the kernel keeps the largest memory a process had before
// it started another program), so a fresh copy of this program, still small, starts the
// program and reports its peak (RunForPeak).
long PeakKilobytesOf(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(QCoreApplication::applicationFilePath(), QStringList{"--peak-of", program} + args);
  p.waitForFinished(-1);
  bool ok = false;
  const long kb = QString::fromUtf8(p.readAllStandardOutput()).trimmed().toLong(&ok);
  return ok ? kb : -1;
}

// The helper of PeakKilobytesOf: runs argv[0] with its output discarded, prints its peak.
int RunForPeak(char* argv[]) {
  const pid_t pid = fork();
  if (pid < 0) return 1;
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return 1;
  std::printf("%ld\n", usage.ru_maxrss);
  return 0;
}

void SelectFound(qv::TMainForm& form, const QString& label) {
  const auto& labels = form.Session().FoundLabels();
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (QString::fromStdString(labels[i]) == label) {
      form.ListBox1->setCurrentIndex(form.ListBox1->model()->index(static_cast<int>(i), 0));
      return;
    }
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc > 2 && std::string(argv[1]) == "--peak-of") return RunForPeak(argv + 2);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int size = argc > 1 ? std::atoi(argv[1]) : 8000;
  const QString cli = argc > 2
                          ? QString::fromLocal8Bit(argv[2])
                          : QCoreApplication::applicationDirPath() + "/../src/cli/quorvane-cli";
  const QString dir =
      QString::fromLocal8Bit(qgetenv("TMPDIR").isEmpty() ? "/tmp" : qgetenv("TMPDIR")) +
      "/qv-window-bench";
  QProcess::execute("mkdir", {"-p", dir});
  const QString picture = dir + QString("/section-%1.bmp").arg(size);
  if (!QFileInfo::exists(picture)) WriteSection(picture.toStdString(), size);
  const double gridMb = double(size) * size * 4 / 1048576.0;

  // Warm the page cache for both sides alike.
  ProcessSeconds("cat", {picture});
  const QStringList cliArgs = {"analyse", picture,  "--width", "1000",  "--height", "1000",
                               "--use",   "clGray", "--use",   "clRed", "--use",    "clOlive"};
  QString cliReport;
  double cliBest = 1e9, catBest = 1e9;
  for (int i = 0; i < 3; ++i) {
    cliBest = std::min(cliBest, ProcessSeconds(cli, cliArgs, &cliReport));
    catBest = std::min(catBest, ProcessSeconds("sh", {"-c", "cat '" + picture + "' > /dev/null"}));
  }

  QuietPrompter prompts;
  QuietShell shell;
  qv::ScopedPrompter promptScope(prompts);
  qv::ScopedShell shellScope(shell);
  const long before = CurrentKilobytes();
  ResetPeak();
  qv::TMainForm form(dir + "/quorvane", dir + "/user");
  form.UpdateTimer.stop();
  form.show();
  QCoreApplication::processEvents();

  QElapsedTimer t;
  prompts.next = picture;
  t.start();
  form.OpenPicture1Click();
  QCoreApplication::processEvents();
  const double load = Seconds(t);
  t.restart();
  for (const char* label : {"clGray", "clRed", "clOlive"}) {
    SelectFound(form, label);
    form.ListBox1DblClick();
  }
  QCoreApplication::processEvents();
  const double materials = Seconds(t);
  form.NumberEdit1->SetText("1000");
  form.NumberEdit2->SetText("1000");
  form.Timer2Timer();
  double analyse[2] = {0, 0};
  bool same = true;
  for (double& a : analyse) {
    t.restart();
    form.Button1Click();
    QCoreApplication::processEvents();
    a = Seconds(t);
    same = same && shell.clipboard == cliReport;
  }
  const long peak = PeakKilobytes();

  std::printf("picture %d x %d, grid %.0f MB\n", size, size, gridMb);
  std::printf("%-44s %8.3f s\n", "cat of the file (page cache), best of 3", catBest);
  std::printf("%-44s %8.3f s  (%.2fx cat)\n", "quorvane-cli analyse, whole process, best of 3",
              cliBest, cliBest / catBest);
  const double cliMb = double(PeakKilobytesOf(cli, cliArgs)) / 1024.0;
  std::printf("%-44s %8.0f MB  (%.2fx the grid)\n", "quorvane-cli analyse, peak memory", cliMb,
              cliMb / gridMb);
  std::printf("%-44s %8.3f s\n", "window: open picture and list colours", load);
  std::printf("%-44s %8.3f s\n", "window: put three colours on the list", materials);
  std::printf("%-44s %8.3f s  (%.2fx the batch tool)\n", "window: analyse, click to clipboard",
              analyse[0], analyse[0] / cliBest);
  std::printf("%-44s %8.3f s  (%.2fx the batch tool)\n", "window: analyse again", analyse[1],
              analyse[1] / cliBest);
  std::printf("%-44s %8.0f MB  (%.2fx the grid)\n", "window: peak memory above start",
              double(peak - before) / 1024.0, double(peak - before) / 1024.0 / gridMb);
  std::printf("report on the clipboard equals the batch tool's: %s\n", same ? "yes" : "NO");
  if (!same) {
    std::printf("--- window\n%s--- batch tool\n%s", qPrintable(shell.clipboard),
                qPrintable(cliReport));
  }

  // Ten million colours: the inventory and the list, from the click to the list shown.
  if (argc <= 3 || std::string(argv[3]) != "--no-random") {
    const int side = 4000;
    const QString random = dir + QString("/random-%1.bmp").arg(side);
    if (!QFileInfo::exists(random)) WriteRandom(random.toStdString(), side);
    ProcessSeconds("cat", {random});
    // Unnamed colours are hidden by default; the settings dialog's option shows them.
    qv::ProgramSettings all = form.Session().Settings();
    all.IgnoreDollarColours = false;
    form.Session().ChangeSettings(all);
    prompts.next = random;
    t.restart();
    form.OpenPicture1Click();
    QCoreApplication::processEvents();
    const double listed = Seconds(t);  // before the count below, which makes every label
    std::printf("%-44s %8.3f s  (%zu colours)\n", "window: list the colours of 4000 x 4000 random",
                listed, form.Session().Found().Size());
  }
  return same ? 0 : 1;
}
