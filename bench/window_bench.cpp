// The window against the batch tool on one large picture, side by side in one run: the real
// TMainForm on Qt's offscreen platform, driven through its handlers as a user's clicks would,
// and quorvane-cli started as a separate process on the same file.
//
//   qv_window_bench [SIZE] [CLI] [--no-random] [--runs=N]
//       SIZE: picture side in pixels (default 8000)
//       CLI: path of quorvane-cli (default beside this program)
//       --runs: repetitions, at least 11 (default 11)
//
// Each repetition runs `cat` of the file and quorvane-cli analyse as whole processes, one after
// the other (the order alternating between repetitions), then a fresh window opens the picture,
// puts three colours on the list and analyses twice, then lists the colours of a picture of
// random colours. Printed for every figure: the median and the range (min-max) over the
// repetitions, ratios taken within each repetition; never the best run alone. The machine and
// the load average before and after come first and last.
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
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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
  std::optional<QString> SavePdfFile(const QString&) override { return std::nullopt; }
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

// CPU time of this process so far, all its threads, in seconds.
double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

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
      auto* found = form.findChild<QListView*>("ListBox1");
      found->setCurrentIndex(found->model()->index(static_cast<int>(i), 0));
      return;
    }
  }
}

// Median and range of `values` as "median (min-max)" with `digits` decimals.
std::string Spread(std::vector<double> values, int digits) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  char text[96];
  std::snprintf(text, sizeof text, "%.*f (%.*f-%.*f)", digits, median, digits, values.front(),
                digits, values.back());
  return text;
}

std::string Machine() {
  std::ifstream info("/proc/cpuinfo");
  std::string line, model = "unknown processor";
  while (std::getline(info, line)) {
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  return std::to_string(std::max(1, QThread::idealThreadCount())) + " cores, " + model;
}

std::string Load() {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) != 3) return "unknown";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc > 2 && std::string(argv[1]) == "--peak-of") return RunForPeak(argv + 2);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::vector<std::string> positional;
  bool random = true;
  int runs = 11;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-random") {
      random = false;
    } else if (a.rfind("--runs=", 0) == 0) {
      runs = std::atoi(a.c_str() + 7);
    } else {
      positional.push_back(a);
    }
  }
  if (runs < 11) {
    std::fprintf(stderr, "qv_window_bench: fewer than 11 runs give no trustworthy median\n");
    return 2;
  }
  const int size = !positional.empty() ? std::atoi(positional[0].c_str()) : 8000;
  const QString cli = positional.size() > 1
                          ? QString::fromLocal8Bit(positional[1].c_str())
                          : QCoreApplication::applicationDirPath() + "/../src/cli/quorvane-cli";
  const QString dir =
      QString::fromLocal8Bit(qgetenv("TMPDIR").isEmpty() ? "/tmp" : qgetenv("TMPDIR")) +
      "/qv-window-bench";
  QProcess::execute("mkdir", {"-p", dir});
  const QString picture = dir + QString("/section-%1.bmp").arg(size);
  if (!QFileInfo::exists(picture)) WriteSection(picture.toStdString(), size);
  const double gridMb = double(size) * size * 4 / 1048576.0;
  const int side = 4000;
  const QString randomPicture = dir + QString("/random-%1.bmp").arg(side);
  if (random && !QFileInfo::exists(randomPicture)) WriteRandom(randomPicture.toStdString(), side);
  const std::string loadBefore = Load();

  // Warm the page cache for both sides alike.
  ProcessSeconds("cat", {picture});
  const QStringList cliArgs = {"analyse", picture,  "--width", "1000",  "--height", "1000",
                               "--use",   "clGray", "--use",   "clRed", "--use",    "clOlive"};
  QString cliReport;
  ProcessSeconds(cli, cliArgs, &cliReport);
  const double cliMb = double(PeakKilobytesOf(cli, cliArgs)) / 1024.0;

  std::vector<double> cliRuns, catRuns, cliPerCat, loads, materialRuns, analyseRuns, againRuns,
      analysePerCli, againPerCli, peakRuns, listedRuns, listedCpuRuns;
  std::size_t colours = 0;
  bool same = true;
  QuietPrompter prompts;
  QuietShell shell;
  qv::ScopedPrompter promptScope(prompts);
  qv::ScopedShell shellScope(shell);
  for (int run = 0; run < runs; ++run) {
    double cliSeconds = 0, catSeconds = 0;
    const auto runCli = [&] { cliSeconds = ProcessSeconds(cli, cliArgs); };
    const auto runCat = [&] {
      catSeconds = ProcessSeconds("sh", {"-c", "cat '" + picture + "' > /dev/null"});
    };
    if (run % 2 == 0) {
      runCli();
      runCat();
    } else {
      runCat();
      runCli();
    }
    cliRuns.push_back(cliSeconds);
    catRuns.push_back(catSeconds);
    cliPerCat.push_back(cliSeconds / catSeconds);

    const long before = CurrentKilobytes();
    ResetPeak();
    {
      qv::TMainForm form(dir + "/quorvane", dir + "/user");
      form.UpdateTimer.stop();
      form.show();
      QCoreApplication::processEvents();
      QElapsedTimer t;
      prompts.next = picture;
      t.start();
      form.OpenPicture1Click();
      QCoreApplication::processEvents();
      loads.push_back(Seconds(t));
      t.restart();
      for (const char* label : {"clGray", "clRed", "clOlive"}) {
        SelectFound(form, label);
        form.ListBox1DblClick();
      }
      QCoreApplication::processEvents();
      materialRuns.push_back(Seconds(t));
      form.findChild<qv::TNumberEdit*>("NumberEdit1")->SetText("1000");
      form.findChild<qv::TNumberEdit*>("NumberEdit2")->SetText("1000");
      form.Timer2Timer();
      for (int click = 0; click < 2; ++click) {
        t.restart();
        form.Button1Click();
        QCoreApplication::processEvents();
        (click == 0 ? analyseRuns : againRuns).push_back(Seconds(t));
        same = same && shell.clipboard == cliReport;
      }
      analysePerCli.push_back(analyseRuns.back() / cliSeconds);
      againPerCli.push_back(againRuns.back() / cliSeconds);
      peakRuns.push_back(double(PeakKilobytes() - before) / 1024.0 / gridMb);

      // Ten million colours: the inventory and the list, from the click to the list shown.
      if (random) {
        ProcessSeconds("cat", {randomPicture});
        // Unnamed colours are hidden by default; the settings dialog's option shows them.
        qv::ProgramSettings all = form.Session().Settings();
        all.IgnoreDollarColours = false;
        form.Session().ChangeSettings(all);
        prompts.next = randomPicture;
        const double cpu = ProcessCpuSeconds();
        t.restart();
        form.OpenPicture1Click();
        QCoreApplication::processEvents();
        listedRuns.push_back(Seconds(t));  // before the count below, which makes every label
        listedCpuRuns.push_back(ProcessCpuSeconds() - cpu);
        colours = form.Session().Found().Size();
      }
    }
  }

  std::printf("machine: %s; load average (1, 5, 15 min) before %s, after %s\n", Machine().c_str(),
              loadBefore.c_str(), Load().c_str());
  std::printf("picture %d x %d, grid %.0f MB; %d runs, median (min-max)\n", size, size, gridMb,
              runs);
  std::printf("%-44s %s s\n", "cat of the file (page cache)", Spread(catRuns, 3).c_str());
  std::printf("%-44s %s s\n", "quorvane-cli analyse, whole process", Spread(cliRuns, 3).c_str());
  std::printf("%-44s %sx\n", "  the same, per cat of the same run", Spread(cliPerCat, 2).c_str());
  std::printf("%-44s %.0f MB  (%.2fx the grid)\n", "quorvane-cli analyse, peak memory", cliMb,
              cliMb / gridMb);
  std::printf("%-44s %s s\n", "window: open picture and list colours", Spread(loads, 3).c_str());
  std::printf("%-44s %s s\n", "window: put three colours on the list",
              Spread(materialRuns, 3).c_str());
  std::printf("%-44s %s s\n", "window: analyse, click to clipboard",
              Spread(analyseRuns, 3).c_str());
  std::printf("%-44s %sx\n", "  the same, per batch tool of the same run",
              Spread(analysePerCli, 2).c_str());
  std::printf("%-44s %s s\n", "window: analyse again", Spread(againRuns, 3).c_str());
  std::printf("%-44s %sx\n", "  the same, per batch tool of the same run",
              Spread(againPerCli, 2).c_str());
  std::printf("%-44s %sx the grid\n", "window: peak memory above start",
              Spread(peakRuns, 2).c_str());
  if (random) {
    std::printf("%-44s %s s  (%zu colours)\n", "window: list the colours of 4000 x 4000 random",
                Spread(listedRuns, 3).c_str(), colours);
    std::printf("%-44s %s s\n", "  CPU time of all its threads", Spread(listedCpuRuns, 3).c_str());
  }
  std::printf("report on the clipboard equals the batch tool's: %s\n", same ? "yes" : "NO");
  if (!same) {
    std::printf("--- window\n%s--- batch tool\n%s", qPrintable(shell.clipboard),
                qPrintable(cliReport));
  }
  return same ? 0 : 1;
}
