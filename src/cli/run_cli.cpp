// The batch tool's run: the window's flows on a SectionSession, then the report, the JSON or
// the overlay.
#include "cli/run_cli.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <numbers>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/cli_options.h"
#include "cli/json_writer.h"
#include "cli/overlay_module.h"
#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/elastic/extended_report.h"
#include "core/elastic/stress_map.h"
#include "core/elastic/stress_report.h"
#include "core/library/dd_props.h"
#include "core/picture/picture_file.h"
#include "core/scan/edge_smoothing.h"
#include "core/section/overlay.h"
#include "core/section/plastic_report.h"
#include "core/session/session.h"

namespace qv {
namespace {

using cli::AnalyseValues;
using cli::kProgram;
using cli::MaterialOverride;
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

// The inventory's window steps: the tool has no lists to fill, only the progress line.
class InventoryProgress : public InventoryView {
 public:
  explicit InventoryProgress(ProgressFn progress) : mProgress(std::move(progress)) {}
  void SetBusy(bool) override {}
  void InventoryStarted() override {}
  void ResultsReset() override {}
  void Progress(std::int64_t done, std::int64_t total) override {
    if (mProgress) mProgress(done, total);
  }
  void InventoryFinished() override {}

 private:
  ProgressFn mProgress;
};

void OpenPicture(SectionSession& session, const std::string& path, ProgressLine& progress) {
  if (!session.AcceptPicture(path)) throw Error("Cannot read picture " + path + ": no such file");
  InventoryProgress view(progress.For("colours"));
  session.ColourInventory(&view);
}

std::unique_ptr<TPROPClass> LoadLibrary(const std::string& path) {
  const std::string prefix = "Cannot read library file " + path + ": ";
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  // The library loader reads a missing file as an empty library; a file named on the command
  // line that is not there is a typing error, not an empty library.
  if (!std::filesystem::exists(status)) throw Error(prefix + "no such file");
  if (!std::filesystem::is_regular_file(status)) throw Error(prefix + "not a regular file");
  auto library = std::make_unique<TPROPClass>(path);
  try {
    library->Load();
  } catch (const Error& e) {
    const std::string what = e.what();
    throw Error(prefix + (what == "Unable to read " + path ? "the file cannot be read" : what));
  }
  return library;
}

void ApplyMaterial(TPROPClass& library, const MaterialOverride& m) {
  TPROPRec* entry = library.FindByLabel(m.label);
  if (entry == nullptr) {
    TPROPRec fresh;
    TPROPClass::InitEntry(fresh);
    fresh.id = library.MaxId() + 1;
    fresh.prop.colorlabel = m.label;
    entry = &library.Add(fresh);
  }
  entry->prop.name = m.name;
  entry->prop.E = m.E;
  entry->prop.rho = m.rho;
}

// `note` receives the note on a smoothed picture, if there is one.
std::string ColoursText(const Options& o, ProgressLine& progress, std::string& note) {
  SectionSession session;
  ProgramSettings settings = session.Settings();
  settings.IgnoreDollarColours = !o.all;
  session.ChangeSettings(settings);
  session.SetPictureStreaming(true);  // only scans: the picture need not be held
  session.CheckSmoothingAlong(true);  // the smoothing note, from the listing's one decoding
  OpenPicture(session, o.picture, progress);
  std::string text;
  const FoundColours& found = session.Found();
  for (std::size_t i = 0; i < found.Size(); ++i) {
    const ColourBounds& c = found.At(i);
    text += found.Label(i) + '\t' + IntegerText(c.xmin) + '\t' + IntegerText(c.xmax) + '\t' +
            IntegerText(c.ymin) + '\t' + IntegerText(c.ymax) + '\n';
  }
  note = EdgeSmoothingNote(session.PictureEdgeSmoothing()).value_or("");
  if (const std::optional<std::string> unnamed = UnnamedColoursNote(
          found.Size(), session.UnnamedLeftOut(), UnnamedColoursHint::AllOption)) {
    note = *unnamed;
  }
  return text;
}

// The window's analyse command without its questions; returns what goes on standard output.
// `note` receives what the overlay could not show, if anything.
std::string AnalyseText(const Options& o, ProgressLine& progress, std::string& note) {
  const AnalyseValues v = cli::ReadAnalyseValues(o);
  // The user's drawing is never written over, whichever path or link names it.
  if (o.overlay) RefuseWritingOverPicture(o.picture, *o.overlay);
  if (o.stressMap) RefuseWritingOverPicture(o.picture, *o.stressMap);

  SectionSession session;
  session.SetLibrary(o.library ? LoadLibrary(*o.library) : std::make_unique<TPROPClass>());
  for (const MaterialOverride& m : v.materials) ApplyMaterial(session.EditLibrary(), m);
  if (o.torsion) {
    // Read only for --torsion, so that without it nothing about a run changes.
    PoissonTable poisson;
    if (o.library) poisson.Load(*o.library);
    for (const auto& [label, nu] : v.nus) poisson.Set(label, nu);
    session.SetPoissonTable(std::move(poisson));
    StrengthTable strengths;
    if (o.library) strengths.Load(*o.library);
    for (const auto& [label, strength] : v.strengths) strengths.Set(label, strength);
    session.SetStrengthTable(std::move(strengths));
  }
  ProgramSettings settings = session.Settings();
  settings.SignConvention = v.convention;
  settings.AngleTolerance = v.eps;
  settings.IgnoreDollarColours = false;
  settings.Edges = v.edges;
  session.ChangeSettings(settings);
  // Without drawing or torsion the pixels are needed only for the two scans, which then read
  // the file once instead of holding the picture. Reading edges as coverage looks at each
  // pixel's neighbours, so it holds the picture.
  session.SetPictureStreaming(!o.overlay && !o.torsion && !v.actions && v.edges == EdgeMode::Flat);
  // Colours new to the library are gathered in the same one read of the file.
  session.GatherAlso(o.uses);

  OpenPicture(session, o.picture, progress);
  for (const std::string& label : o.uses) {
    if (!session.Found().Find(label)) {
      throw Error("'" + label + "' is not a colour of " + FileNameOf(o.picture));
    }
    session.AddColourToMaterialList(label);  // a label given twice stays on the list once
  }
  if (session.MaterialList().empty()) throw Error("No material selected.");
  // The window offers "analyse" only for a section more than one pixel each way (the sizes,
  // the other half of its rule, were refused above when 0).
  if (!session.AnalyseOffered(v.size.widthMm, v.size.heightMm)) {
    throw Error("the section is only one pixel " +
                std::string(session.Bounds().xmax == session.Bounds().xmin ? "wide" : "high") +
                " and cannot be analysed");
  }

  std::vector<std::string> messages;
  session.Analyse(v.size, progress.For("analysis"), &messages);
  if (!messages.empty()) throw Error(messages.front());
  // Shear forces and torque need the solve's fields, kept only then.
  if (o.torsion) {
    session.ComputeElastic(progress.For("torsion"), nullptr, v.actions && v.actions->NeedsSolve());
  }
  if (v.actions) session.ComputeStresses(*v.actions);

  std::string text = o.json ? cli::AnalysisJson(session, v) : session.ReportText();
  if (!o.json && session.Elastic()) {
    text +=
        "\r\n" + JoinCrLf(ExtendedReport(*session.Elastic(), session.Settings().SignConvention));
    if (session.Plastic()) text += JoinCrLf(PlasticReport(*session.Plastic()));
  }
  if (!o.json && session.Stresses()) {
    text += "\r\n" + JoinCrLf(StressReport(*session.Stresses(), session.Settings().SignConvention));
  }

  if (o.overlay) {
    const OverlayInput input =
        MakeOverlayInput(session.Picture().Width(), session.Picture().Height(), session.Bounds(),
                         session.Result(), session.Settings());
    SectionSession::ResultDrawing drawing = session.DrawResults(input);
    note = drawing.note.value_or("");
    const OverlayOps& ops = drawing.ops;
    // Painted and written (through a temporary that replaces the target only when complete) by
    // the overlay module, the one part of the tool that loads Qt.
    session.DrawOnPicture([&](PixelGrid& picture) { cli::DrawOverlay(ops, picture, *o.overlay); });
  }
  if (o.stressMap) {
    const StressField& field = *session.Stresses();
    const StressMapText mapText{FileNameOf(o.picture),
                                ActionTexts(field.Actions(), session.Settings().SignConvention)};
    const GraphicsFont font{session.Settings().FontName, session.Settings().FontSize,
                            session.Settings().FontStyle};
    StressDrawing map =
        DrawStressPicture(field, ScaleOf(field, v.stressField), session.PictureWidth(),
                          session.PictureHeight(), mapText, font);
    // Painted and written by the overlay module like the overlay.
    cli::DrawOverlay(map.ops, map.picture, *o.stressMap);
  }
  return text;
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
  try {
    const Options o = cli::ParseArguments(args);
    std::string note;
    const std::string text =
        o.command == "colours" ? ColoursText(o, progress, note) : AnalyseText(o, progress, note);
    progress.Clear();
    out << text << std::flush;
    if (!note.empty()) err << kProgram << ": note: " << note << '\n';
    if (!out) {
      err << kProgram << ": the results could not be written\n";
      return kCliFailed;
    }
    return kCliDone;
  } catch (const UsageError& e) {
    progress.Clear();
    err << kProgram << ": " << e.message << "\n\n" << CliUsage();
    return kCliUsage;
  } catch (const std::bad_alloc&) {
    progress.Clear();
    err << kProgram << ": not enough memory for this picture\n";
    return kCliFailed;
  } catch (const std::exception& e) {
    progress.Clear();
    err << kProgram << ": " << e.what() << '\n';
    return kCliFailed;
  }
}

}  // namespace qv
