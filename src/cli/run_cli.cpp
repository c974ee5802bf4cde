// The batch tool's run: the window's flows on a SectionSession, then the report, the JSON or
// the overlay.
#include "cli/run_cli.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "cli/cli_options.h"
#include "core/analysis/analysis.h"
#include "core/analysis/report_document.h"
#include "core/base/error.h"
#include "core/base/json_value.h"
#include "core/base/number_text.h"
#include "core/elastic/section_table.h"
#include "core/outline/drawing_file.h"
#include "core/picture/picture_file.h"
#include "core/scan/edge_smoothing.h"
#include "core/scan/inventory.h"
#include "core/section/overlay.h"
#include "core/session/session.h"
#include "core/settings/atomic_file.h"
#include "drawing/overlay_module.h"

namespace qv {
namespace {

using cli::kProgram;
using cli::Options;
using cli::UsageError;

// ---------------------------------------------------------------------------------------------
// Progress

// A progress line for long scans, shown only once the run has taken a second, so quick runs
// (and every run whose standard error is not a terminal) stay silent.
class ProgressLine {
 public:
  explicit ProgressLine(std::ostream* err) : mErr(err), mStart(Clock::now()) {}
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  ProgressFn For(std::string phase) {
    if (mErr == nullptr) return {};
    return [this, phase = std::move(phase)](std::int64_t done, std::int64_t total) {
      const Clock::time_point now = Clock::now();
      if (now - mStart < std::chrono::seconds(1)) return;
      if (mShown && now - mLast < std::chrono::milliseconds(100)) return;
      mLast = now;
      const std::int64_t percent = total > 0 ? done * 100 / total : 100;
      const std::string line =
          "\r" + std::string(kProgram) + ": " + phase + " " + IntegerText(percent) + "%   ";
      *mErr << line << std::flush;
      mShown = true;
    };
  }

  void Clear() {
    if (!mShown) return;
    *mErr << '\r' << std::string(60, ' ') << '\r' << std::flush;
    mShown = false;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream* mErr;
  Clock::time_point mStart;
  Clock::time_point mLast;
  bool mShown = false;
};

// ---------------------------------------------------------------------------------------------
// The work

// `notes` receives the note on a picture whose colours the listing leaves out or that looks
// smoothed, if there is one.
std::string ColoursText(const Options& o, ProgressLine& progress, std::vector<std::string>& notes) {
  SectionSession session;
  ProgramSettings settings = session.Settings();
  settings.IgnoreDollarColours = !o.all;
  session.ChangeSettings(settings);
  session.SetPictureStreaming(true);  // only scans: the picture need not be held
  session.CheckSmoothingAlong(true);  // the smoothing note, from the listing's one decoding
  OpenPicture(session, {o.picture, nullptr}, progress.For("colours"));
  std::string text;
  const FoundColours& found = session.Found();
  for (std::size_t i = 0; i < found.Size(); ++i) {
    const ColourBounds& c = found.At(i);
    text += found.Label(i) + '\t' + IntegerText(c.xmin) + '\t' + IntegerText(c.xmax) + '\t' +
            IntegerText(c.ymin) + '\t' + IntegerText(c.ymax) + '\n';
  }
  if (const DrawingPicture* drawing = session.Drawing()) {
    // A drawing's edge cells are no colours of their own, and its colours are all listed.
    if (std::optional<std::string> note = DrawingNote(*drawing)) notes.push_back(*note);
    return text;
  }
  // An empty listing says why first; a smoothed drawing's blends are better told as such.
  std::optional<std::string> note =
      UnnamedColoursNote(found.Size(), session.UnnamedLeftOut(), UnnamedColoursHint::AllOption);
  if (!note) note = EdgeSmoothingNote(session.PictureEdgeSmoothing());
  if (!note) {
    note =
        LeftOutColoursNote(found.Size(), session.UnnamedLeftOut(), UnnamedColoursHint::AllOption);
  }
  if (note) notes.push_back(*note);
  return text;
}

// `bytes` into the temporary `file` of the output `path`.
void WriteInto(const std::string& file, const std::string& path, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw Error("Unable to write to " + path);
}

// The window's analyse command without its questions; returns what goes on standard output.
// The pictures go to `outputs`, to be put in place once standard output is written; `notes`
// receives what the run should tell besides.
std::string AnalyseText(const Options& o, ProgressLine& progress, OutputFiles& outputs,
                        std::vector<std::string>& notes) {
  const AnalysisRequest v = cli::ReadAnalyseValues(o);
  // The user's drawing is never written over, whichever path or link names it; nor is a pipe
  // or a device, nor one output over another. Checked, and the temporaries made, before the
  // scans: a typing error in a path costs no analysis.
  if (o.overlay) RefuseWritingOverPicture(o.picture, *o.overlay);
  if (o.stressMap) RefuseWritingOverPicture(o.picture, *o.stressMap);
  if (o.interactionPlot) RefuseWritingOverPicture(o.picture, *o.interactionPlot);
  if (o.report) RefuseWritingOverPicture(o.picture, *o.report);
  const std::string overlayFile = o.overlay ? outputs.Add(*o.overlay) : std::string();
  const std::string mapFile = o.stressMap ? outputs.Add(*o.stressMap) : std::string();
  const std::string plotFile = o.interactionPlot ? outputs.Add(*o.interactionPlot) : std::string();
  const std::string reportFile = o.report ? outputs.Add(*o.report) : std::string();
  // The library's own sections are read only for --torsion and the resistance, so that without
  // them nothing about a run changes.
  std::optional<LibraryData> library;
  if (o.library) library = ReadLibraryFile(*o.library, o.torsion || TakesLaws(v));

  SectionSession session;
  RunControl control;
  control.progress = [&progress](const std::string& stage) { return progress.For(stage); };
  std::optional<AnalysisOutputs> made =
      RunAnalysis(session, v, {o.picture, nullptr}, library ? &*library : nullptr, control);
  AnalysisOutputs& result = *made;  // the tool never cancels
  notes.insert(notes.end(), result.notes.begin(), result.notes.end());
  std::string text = o.json ? JsonText(result.json) + "\n" : result.report;
  // Taken before the overlay and the map are painted into their pictures, which the report
  // paints itself at its own size.
  std::optional<ReportDocument> report;
  if (o.report) report = MakeRunReport(session, result, TodayText());
  if (result.overlay && o.overlay) {
    // Painted and written by the overlay module, the one part of the tool that loads Qt.
    const OverlayOps& ops = result.overlay->ops;
    session.DrawOnPicture(
        [&](PixelGrid& picture) { drawing::DrawOverlay(ops, picture, overlayFile, *o.overlay); });
  }
  if (result.stressMap && o.stressMap) {
    // Painted and written by the overlay module like the overlay.
    drawing::DrawOverlay(result.stressMap->ops, result.stressMap->picture, mapFile, *o.stressMap);
  }
  if (result.resistancePlot && o.interactionPlot) {
    // Drawn on white by the overlay module, like the map.
    PixelGrid plot(kResistancePlotWidth, kResistancePlotHeight, 0x00FFFFFF);
    drawing::DrawOverlay(*result.resistancePlot, plot, plotFile, *o.interactionPlot);
  }
  if (report) WriteInto(reportFile, *o.report, drawing::ReportPdfBytes(*report));
  return text;
}

// A CSV field as RFC 4180 quotes it: in double quotes, doubled inside, where it holds a comma,
// a quote or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The rows of the table command: the header, then a row per picture, the name first. CSV keeps
// each value's shortest round-trip form (as the JSON, so a script reads back the very double);
// the aligned table rounds to what a reader compares.
std::string TableText(const std::vector<std::string>& names,
                      const std::vector<SectionTableLine>& lines, SignConvention convention,
                      bool csv) {
  const std::vector<SectionTableEntry> columns = SectionTableEntries({}, convention);
  std::vector<std::vector<std::string>> cells(1 + lines.size());
  cells[0].emplace_back("picture");
  for (const SectionTableEntry& c : columns) {
    cells[0].push_back(csv ? std::string(c.key) : c.value.symbol + "[" + c.value.unit + "]");
  }
  for (std::size_t row = 0; row < lines.size(); ++row) {
    std::vector<std::string>& r = cells[row + 1];
    r.push_back(csv ? CsvField(names[row]) : Escaped(names[row]));
    for (const SectionTableEntry& e : SectionTableEntries(lines[row], convention)) {
      const double v = e.value.value;
      // Empty where the JSON writes null.
      r.push_back(!std::isfinite(v) ? std::string()
                  : csv             ? ShortestNumberText(v)
                                    : FormatGeneral(v, 6, 3));
    }
  }
  std::string text;
  if (csv) {
    for (const std::vector<std::string>& r : cells) {
      for (std::size_t k = 0; k < r.size(); ++k) text += (k == 0 ? "" : ",") + r[k];
      text += "\r\n";
    }
    return text;
  }
  std::vector<std::size_t> widths(cells[0].size(), 0);
  for (const std::vector<std::string>& r : cells) {
    for (std::size_t k = 0; k < r.size(); ++k) widths[k] = std::max(widths[k], r[k].size());
  }
  for (const std::vector<std::string>& r : cells) {
    std::string line;
    for (std::size_t k = 0; k < r.size(); ++k) {
      const std::string pad(widths[k] - r[k].size(), ' ');
      // The name to the left, the numbers to the right of their columns.
      line += k == 0 ? r[k] + pad : "  " + pad + r[k];
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + '\n';
  }
  return text;
}

// The table command: each picture analysed as analyse --torsion does through the one analysis
// path, its line taken from the session. A picture that fails is told on `err` with its name
// and left out, and `failed` set; the others' lines are the text.
std::string TableRunText(const Options& o, ProgressLine& progress, std::vector<std::string>& notes,
                         std::ostream& err, bool& failed) {
  const AnalysisRequest v = cli::ReadTableValues(o);
  // One library for every picture: a library that cannot be read fails the whole run.
  std::optional<LibraryData> library;
  if (o.library) library = ReadLibraryFile(*o.library, true);
  std::vector<std::string> names;
  std::vector<SectionTableLine> lines;
  for (const std::string& picture : o.pictures) {
    try {
      SectionSession session;
      RunControl control;
      control.progress = [&progress](const std::string& stage) { return progress.For(stage); };
      const std::optional<AnalysisOutputs> made =
          RunAnalysis(session, v, {picture, nullptr}, library ? &*library : nullptr, control);
      // The notes of several pictures say which each is about.
      for (const std::string& note : made->notes) {
        std::string named = picture;
        named += ": ";
        named += note;
        notes.push_back(std::move(named));
      }
      const std::optional<SectionTableOutcome>& table = session.Table();
      if (!table || !table->line) {
        throw Error(table ? table->missing : "no extended values were computed");
      }
      names.push_back(picture);
      lines.push_back(*table->line);
    } catch (const std::bad_alloc&) {
      progress.Clear();
      err << kProgram << ": " << Escaped(picture) << ": not enough memory for this picture\n";
      failed = true;
    } catch (const std::exception& e) {
      // Whatever stops one picture, the others still get their lines.
      progress.Clear();
      err << kProgram << ": " << Escaped(picture + ": " + e.what()) << '\n';
      failed = true;
    }
  }
  return TableText(names, lines, v.convention, o.csv);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto optionsEnd = std::find(args.begin(), args.end(), "--");
  if (std::find(args.begin(), optionsEnd, "--help") != optionsEnd) {
    out << CliUsage() << std::flush;
    return kCliDone;
  }
  if (std::find(args.begin(), optionsEnd, "--version") != optionsEnd) {
    out << CliVersion() << '\n' << std::flush;
    return kCliDone;
  }
  const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO) == 1;
  ProgressLine progress(terminal ? &err : nullptr);
  // SVG drawings are read by the module that holds Qt, loaded only when one is opened.
  InstallSvgReader(drawing::ReadSvgDrawing);
  try {
    const Options o = cli::ParseArguments(args);
    std::vector<std::string> notes;
    OutputFiles outputs;
    bool failed = false;
    const std::string text = o.command == "colours" ? ColoursText(o, progress, notes)
                             : o.command == "table" ? TableRunText(o, progress, notes, err, failed)
                                                    : AnalyseText(o, progress, outputs, notes);
    progress.Clear();
    out << text << std::flush;
    // Results that could not be written are no results: the pictures stay unwritten too.
    if (!out) {
      err << kProgram << ": the results could not be written\n";
      return kCliFailed;
    }
    outputs.Commit();
    for (const std::string& note : notes) err << kProgram << ": note: " << Escaped(note) << '\n';
    // The table's good lines are written; a picture told on standard error fails the run.
    return failed ? kCliFailed : kCliDone;
  } catch (const UsageError& e) {
    progress.Clear();
    err << kProgram << ": " << Escaped(e.message) << "\n\n" << CliUsage();
    return kCliUsage;
  } catch (const std::bad_alloc&) {
    progress.Clear();
    err << kProgram << ": not enough memory for this picture\n";
    return kCliFailed;
  } catch (const std::exception& e) {
    progress.Clear();
    err << kProgram << ": " << Escaped(e.what()) << '\n';
    return kCliFailed;
  }
}

}  // namespace qv
