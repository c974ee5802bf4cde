// The analyse command's flow on a SectionSession, shared by the batch tool and the Python module.
#include "core/analysis/analysis.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "core/analysis/analysis_check.h"
#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/base/path.h"
#include "core/picture/picture_reader.h"
#include "core/scan/inventory.h"
#include "core/section/overlay.h"
#include "core/section/resistance_report.h"
#include "core/section/result_text.h"
#include "core/session/session_report.h"

namespace qv {
namespace {

// How many unnamed colours a refused --use names.
constexpr std::size_t kUnnamedShown = 5;

std::string NoSuchPicture(const std::string& path) {
  return "Cannot read picture " + path + ": no such file";
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

ProgressFn StageProgress(const RunControl& control, const std::string& stage) {
  return control.progress ? control.progress(stage) : ProgressFn();
}

bool Cancelled(const RunControl& control) {
  return control.cancel != nullptr && control.cancel->load();
}

}  // namespace

LibraryData ReadLibraryFile(const std::string& path, bool sections) {
  const std::string prefix = "Cannot read library file " + path + ": ";
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  // The library loader reads a missing file as an empty library; a file named on the command
  // line that is not there is a typing error, not an empty library.
  if (!std::filesystem::exists(status)) throw Error(prefix + "no such file");
  if (!std::filesystem::is_regular_file(status)) throw Error(prefix + "not a regular file");
  LibraryData library{TPROPClass(path), {}, {}, {}};
  try {
    library.materials.Load();
  } catch (const Error& e) {
    const std::string what = e.what();
    throw Error(prefix + (what == "Unable to read " + path ? "the file cannot be read" : what));
  }
  if (sections) {
    library.poisson.Load(path);
    library.strengths.Load(path);
    library.laws.Load(path);
  }
  return library;
}

PixelGrid ReadPictureFile(const std::string& path) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) throw Error(NoSuchPicture(path));
  return ReadPicture(path);
}

void OpenPicture(SectionSession& session, const PictureSource& picture,
                 const ProgressFn& progress) {
  if (picture.pixels) {
    session.AcceptPixels(picture.pixels, picture.path);
  } else if (!session.AcceptPicture(picture.path)) {
    throw Error(NoSuchPicture(picture.path));
  }
  // The inventory's window steps: there are no lists to fill, only the progress to show.
  class InventoryProgress : public InventoryView {
   public:
    explicit InventoryProgress(const ProgressFn& progress) : mProgress(progress) {}
    void SetBusy(bool) override {}
    void InventoryStarted() override {}
    void ResultsReset() override {}
    void Progress(std::int64_t done, std::int64_t total) override {
      if (mProgress) mProgress(done, total);
    }
    void InventoryFinished() override {}

   private:
    const ProgressFn& mProgress;
  };
  InventoryProgress view(progress);
  session.ColourInventory(&view);
}

std::optional<std::string> DrawingNote(const DrawingPicture& drawing) {
  const std::int64_t ignored = drawing.drawing.ignored;
  if (ignored == 0) return std::nullopt;
  return IntegerText(ignored) + (ignored == 1 ? " entity" : " entities") + " of " + "the drawing " +
         (ignored == 1 ? "is" : "are") +
         " no closed filled outline (open lines, text, dimensions, strokes) and " +
         (ignored == 1 ? "is" : "are") + " left out";
}

void CheckDrawingSize(const DrawingPicture& drawing, const SectionSession& session,
                      const SectionSize& given) {
  std::vector<std::uint32_t> colours;
  for (const MaterialMoments& m : MaterialsInUse(*session.MaterialLibrary())) {
    colours.push_back(m.colour);
  }
  const OutlineBox box = BoxOfColours(drawing.drawing, colours);
  const auto check = [](const char* side, std::optional<double> typed, double exact) {
    if (!typed || std::abs(*typed - exact) <= 1e-3 * exact) return;
    throw Error("the drawing's section is " + FormatNumber(exact) + " mm " + side + ", not " +
                FormatNumber(*typed) + " mm: a size given for a drawing must agree with it " +
                "within 0.1 %");
  };
  const auto typed = [](int whole, const std::optional<double>& decimal,
                        const std::string& text) -> std::optional<double> {
    if (decimal) return decimal;
    if (text.empty()) return std::nullopt;
    return whole;
  };
  check("wide", typed(given.widthMm, given.widthDecimalMm, given.widthText), box.xmax - box.xmin);
  check("high", typed(given.heightMm, given.heightDecimalMm, given.heightText),
        box.ymax - box.ymin);
}

std::string NoMaterialNote(const std::string& label) {
  return label + " has no material in the library; it is analysed with E = 1 N/mm^2 and rho = 1 " +
         "kg/m^3";
}

bool AnalyseSection(SectionSession& session, const AnalysisRequest& v, const PictureSource& picture,
                    const LibraryData* library, bool drawn, const RunControl& control,
                    std::vector<std::string>* notes) {
  session.SetLibrary(library != nullptr ? std::make_unique<TPROPClass>(library->materials)
                                        : std::make_unique<TPROPClass>());
  for (const MaterialOverride& m : v.materials) ApplyMaterial(session.EditLibrary(), m);
  if (v.torsion) {
    // Taken only for the torsion, so that without it nothing about a run changes.
    PoissonTable poisson = library != nullptr ? library->poisson : PoissonTable();
    for (const auto& [label, nu] : v.nus) poisson.Set(label, nu);
    session.SetPoissonTable(std::move(poisson));
    session.SetMaxCells(v.maxCells);
  }
  if (v.torsion || TakesLaws(v)) {
    StrengthTable strengths = library != nullptr ? library->strengths : StrengthTable();
    for (const auto& [label, strength] : v.strengths) strengths.Set(label, strength);
    session.SetStrengthTable(std::move(strengths));
  }
  if (TakesLaws(v)) {
    LawTable laws = library != nullptr ? library->laws : LawTable();
    for (const auto& [label, law] : v.laws) laws.Set(label, law);
    session.SetLawTable(std::move(laws));
  }
  ProgramSettings settings = session.Settings();
  settings.SignConvention = v.convention;
  settings.AngleTolerance = v.eps;
  settings.IgnoreDollarColours = false;
  settings.Edges = v.edges;
  settings.Units = v.units;
  session.ChangeSettings(settings);
  // Without drawing, torsion or stresses the pixels are needed only for the two scans, which
  // then read the file once instead of holding the picture; the resistance bins the runs that
  // read keeps. Read as coverage, the same read gathers every colour's moments, but the
  // resistance's fibres need the blended pixels themselves, so it holds the picture.
  const std::optional<SectionActions> actions = ActionsOf(v);
  session.SetPictureStreaming(!drawn && !v.torsion && !actions &&
                              (v.edges == EdgeMode::Flat || !WantsResistance(v)));
  session.KeepRunsAlong(WantsResistance(v));
  // Colours new to the library are gathered in the same one read of the file.
  session.GatherAlso(v.uses);

  // A drawing is laid on cells of the pixel size given, else of the size for about 2 M cells.
  session.SetDrawingCellSize(v.size.pixelSizeMm.value_or(0));
  OpenPicture(session, picture, StageProgress(control, "colours"));
  if (Cancelled(control)) return false;
  if (notes != nullptr && session.Drawing() != nullptr) {
    if (std::optional<std::string> note = DrawingNote(*session.Drawing())) {
      notes->push_back(std::move(*note));
    }
  }
  for (const std::string& label : v.uses) {
    if (!session.Found().Find(label)) {
      std::string message =
          "'" + Escaped(label) + "' is not a colour of " + FileNameOf(picture.path);
      // A colour a shade off a named one has a "$" label; a few are named, with their pixels.
      const std::string unnamed = UnnamedColoursText(session.Found().All(), kUnnamedShown);
      if (!unnamed.empty()) message += "; its unnamed colours are " + unnamed;
      throw Error(message);
    }
    // The window makes a colour the library does not know a material with E = rho = 1; callers
    // rely on that, and are told.
    if (notes != nullptr && session.MaterialLibrary()->FindByLabel(label) == nullptr) {
      notes->push_back(NoMaterialNote(label));
    }
    session.AddColourToMaterialList(label);  // a label given twice stays on the list once
  }
  if (session.MaterialList().empty()) throw Error("No material selected.");
  // The window offers "analyse" only for a section more than one pixel each way (the sizes,
  // the other half of its rule, were refused when 0).
  // A pixel size gives sizes only now that the box is known; they keep the typed sizes' range.
  if (const DrawingPicture* drawing = session.Drawing()) {
    CheckDrawingSize(*drawing, session, v.size);
  } else if (!v.size.pixelSizeMm) {
    // Only a drawing has sizes of its own.
    for (const auto& [side, mm] :
         {std::pair{"width", v.size.Width()}, {"height", v.size.Height()}}) {
      if (const std::string problem = SectionSizeProblem(mm); !problem.empty()) {
        throw Error(std::string(side) + ": " + problem);
      }
    }
  }
  const SectionSize box = session.AnalysedSize(v.size);
  if (v.size.pixelSizeMm) {
    for (const auto& [side, mm] : {std::pair{"width", box.Width()}, {"height", box.Height()}}) {
      if (const std::string problem = SectionSizeProblem(mm); !problem.empty()) {
        throw Error("pixel size " + FormatNumber(*v.size.pixelSizeMm) + " mm gives a " + side +
                    " of " + FormatNumber(mm) + " mm: " + problem);
      }
    }
  }
  if (!session.AnalyseOffered(box.Width(), box.Height())) {
    throw Error("the section is only one pixel " +
                std::string(session.Bounds().xmax == session.Bounds().xmin ? "wide" : "high") +
                " and cannot be analysed");
  }

  std::vector<std::string> messages;
  const bool done = AnalyseRequested(session, v, control, &messages);
  if (!messages.empty()) throw Error(messages.front());
  return done;
}

AnalysisRequest RequestOfSession(const SectionSession& session, const SectionSize& size) {
  AnalysisRequest request;
  request.size = size;
  request.uses = session.MaterialList();
  const ProgramSettings& settings = session.Settings();
  request.convention = settings.SignConvention;
  request.eps = settings.AngleTolerance;
  request.edges = settings.Edges;
  request.units = settings.Units;
  request.outputs.report = true;
  request.outputs.overlay = true;
  return request;
}

bool AnalyseRequested(SectionSession& session, const AnalysisRequest& request,
                      const RunControl& control, std::vector<std::string>* messages) {
  session.Analyse(request.size, StageProgress(control, "analysis"), messages);
  if ((messages != nullptr && !messages->empty()) || Cancelled(control)) return false;
  const std::optional<SectionActions> actions = ActionsOf(request);
  // Shear forces and torque need the solve's fields, kept only then.
  if (request.torsion && session.ComputeElastic(StageProgress(control, "torsion"), control.cancel,
                                                actions && actions->NeedsSolve()) ==
                             SectionSession::ElasticOutcome::Cancelled) {
    return false;
  }
  if (actions &&
      session.ComputeStresses(*actions, StageProgress(control, "stresses"), control.cancel) ==
          SectionSession::StressOutcome::Cancelled) {
    return false;
  }
  if (WantsResistance(request) && !Cancelled(control)) {
    session.ComputeResistance(actions ? actions->N : 0.0,
                              {.interactionPoints = request.interaction,
                               .momentCurvature = request.momentCurvature,
                               .biaxialAngles = request.biaxial});
  }
  if (request.cracked && actions && !Cancelled(control)) session.ComputeCracked(*actions);
  return !Cancelled(control);
}

std::optional<AnalysisOutputs> RunAnalysis(SectionSession& session, const AnalysisRequest& request,
                                           const PictureSource& picture, const LibraryData* library,
                                           const RunControl& control) {
  CheckRequest(request);
  AnalysisOutputs outputs;
  if (!AnalyseSection(session, request, picture, library, request.outputs.overlay, control,
                      &outputs.notes)) {
    return std::nullopt;
  }
  if (request.outputs.report) outputs.report = session.FullReportText();
  if (request.outputs.json) outputs.json = AnalysisJson(session, request.size);
  if (request.outputs.overlay) {
    outputs.overlay = AnalysisDrawing(session);
    if (outputs.overlay->note) outputs.notes.push_back(*outputs.overlay->note);
  }
  if (request.outputs.stressMap) {
    outputs.stressMap =
        request.cracked
            ? AnalysisCrackedStressMap(session, FontOf(session.Settings()))
            : AnalysisStressMap(session, request.stressField, FontOf(session.Settings()));
  }
  if (request.outputs.resistancePlot) {
    outputs.resistancePlot =
        AnalysisResistancePlot(session, ActionsOf(request), FontOf(session.Settings()));
  }
  return outputs;
}

OverlayOps AnalysisResistancePlot(const SectionSession& session,
                                  const std::optional<SectionActions>& actions,
                                  const GraphicsFont& font) {
  ResistanceDiagramInput input;
  input.Font = font;
  const std::optional<ResistanceOutcome>& outcome = session.Resistance();
  if (!outcome || !outcome->values) {
    const std::string why = outcome ? ResistanceReport(*outcome).back() : "resistance: none";
    return {LabelOp{{40, 40}, why, 0, font, 96}};
  }
  input.Actions = actions;
  const SignConvention convention = session.Settings().SignConvention;
  input.MyName = ActionName(ActionKind::My, convention);
  input.MzName = ActionName(ActionKind::Mz, convention);
  return DrawResistanceDiagrams(*outcome->values, input);
}

GraphicsFont FontOf(const ProgramSettings& settings) {
  return {settings.FontName, settings.FontSize, settings.FontStyle};
}

StressDrawing AnalysisStressMap(const SectionSession& session, StressKind kind,
                                const GraphicsFont& font) {
  const StressField& field = *session.Stresses();
  const StressMapText text{FileNameOf(session.PictureFile()),
                           ActionTexts(field.Actions(), session.Settings().SignConvention),
                           session.TextUnits()};
  return DrawStressPicture(field, ScaleOf(field, kind), session.PictureWidth(),
                           session.PictureHeight(), text, font);
}

StressDrawing AnalysisCrackedStressMap(const SectionSession& session, const GraphicsFont& font) {
  if (!session.CrackedStresses()) {
    throw Error("no map of the cracked stresses: " +
                (session.Cracked() ? session.Cracked()->missing : std::string("not computed")));
  }
  const StressField& field = *session.CrackedStresses();
  // N, My and Mz: the shear forces and the torque play no part in the cracked section.
  std::vector<std::string> actions =
      ActionTexts(field.Actions(), session.Settings().SignConvention);
  actions.resize(std::min<std::size_t>(actions.size(), 3));
  const StressMapText text{FileNameOf(session.PictureFile()), std::move(actions),
                           session.TextUnits()};
  return DrawStressPicture(field, ScaleOf(field, StressKind::Sigma), session.PictureWidth(),
                           session.PictureHeight(), text, font);
}

SectionSession::ResultDrawing AnalysisDrawing(const SectionSession& session) {
  const OverlayInput input =
      MakeOverlayInput(session.PictureWidth(), session.PictureHeight(), session.Bounds(),
                       session.Result(), session.Settings());
  return session.DrawResults(input);
}

std::string Escaped(std::string_view text) {
  std::string quoted;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      quoted += "\\r";
    } else if (c == '\n') {
      quoted += "\\n";
    } else if (c == '\t') {
      quoted += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      constexpr std::string_view kHex = "0123456789ABCDEF";
      quoted.append("\\x").append(1, kHex[byte >> 4]).append(1, kHex[byte & 0xF]);
    } else {
      quoted += c;
    }
  }
  return quoted;
}

}  // namespace qv
