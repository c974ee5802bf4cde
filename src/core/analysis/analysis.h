// An analysis from its checked request to an analysed session, and what it draws: one path for
// the batch tool and the Python module, so that both give the same results in the same words.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/analysis_request.h"
#include "core/base/json_value.h"
#include "core/elastic/stress_map.h"
#include "core/library/dd_props.h"
#include "core/library/law_table.h"
#include "core/library/poisson_table.h"
#include "core/library/strength_table.h"
#include "core/picture/pixel_grid.h"
#include "core/section/resistance_diagram.h"
#include "core/session/session.h"

namespace qv {

/// A material library with the two sections of its file beside the materials.
struct LibraryData {
  TPROPClass materials;
  PoissonTable poisson;
  StrengthTable strengths;
  LawTable laws;
};

/// Reads the library file `path` as --library does: a file that is not there or is no regular
/// file is refused rather than read as an empty library, and every failure reads "Cannot read
/// library file PATH: ...". With `sections` also its [poisson] and [strength] sections, which
/// the batch tool reads only for --torsion.
LibraryData ReadLibraryFile(const std::string& path, bool sections);

/// Where the picture comes from: the file `path`, or, when `pixels` is set, those pixels, which
/// go by the name `path` in the report and the messages and are never read from a file.
struct PictureSource {
  std::string path;
  std::shared_ptr<const PixelGrid> pixels;
};

/// The picture file `path` read whole, refused in the words OpenPicture uses for it.
PixelGrid ReadPictureFile(const std::string& path);

/// Accepts the picture into `session` and lists its colours with the session's settings.
void OpenPicture(SectionSession& session, const PictureSource& picture, const ProgressFn& progress);

/// How a run reports its progress and is stopped.
struct RunControl {
  /// The progress function of one stage ("colours", "analysis", "torsion", "stresses"), asked
  /// for when the stage begins; null or an empty function shows nothing.
  std::function<ProgressFn(const std::string& stage)> progress;
  /// Once set (by a progress function or another thread), the torsion solve stops at once and
  /// any other stage at its end.
  const std::atomic<bool>* cancel = nullptr;
};

/// The analyse command on a new `session`: the library (`library`, else an empty one) with the
/// materials of `v`; with torsion the library's Poisson's ratios, with torsion or the resistance
/// its strengths, and with the resistance its laws, each with those of `v`;
/// the settings; the picture and its colours; the material list; the analysis; with torsion the
/// extended values; with actions the stresses (the stage "stresses"). `drawn`: the caller draws
/// on the picture afterwards, so it is held in memory. `notes`, when given, receives a line for
/// each colour of the section that has no material and is analysed with E = rho = 1, as the
/// window makes it. Throws Error with the batch tool's messages; a colour that is not in the
/// picture is refused with the unnamed colours that are, which may be the one meant. False when
/// cancelled.
bool AnalyseSection(SectionSession& session, const AnalysisRequest& v, const PictureSource& picture,
                    const LibraryData* library, bool drawn, const RunControl& control,
                    std::vector<std::string>* notes = nullptr);

/// The request of the window's analyse command: the sizes as typed, the material list's colours
/// and the session's settings (convention, precision, edges); the report and the overlay, and
/// no torsion or stresses, which the window's dialogs ask for later on the same session.
AnalysisRequest RequestOfSession(const SectionSession& session, const SectionSize& size);

/// The analysis of `request` on a session whose picture and material list are set (by
/// AnalyseSection, or by the window's lists): the section's values with the request's sizes, then,
/// as asked, the extended values (stage "torsion"), the stresses (stage "stresses") and the
/// resistance at the actions' N (0 without) with the request's interaction points. The
/// analysis' messages go to `messages` (the window shows each; a run without one stops at the
/// first). False when cancelled or when the analysis gave a message.
bool AnalyseRequested(SectionSession& session, const AnalysisRequest& request,
                      const RunControl& control, std::vector<std::string>* messages);

/// The note of a drawing with entities that are no closed filled outline: how many were left
/// out. Nothing when there are none.
std::optional<std::string> DrawingNote(const DrawingPicture& drawing);

/// Refuses (Error) a width or height given for the drawing of `session` that differs from the
/// extent of the outlines of its materials in use by more than 0.1 %.
void CheckDrawingSize(const DrawingPicture& drawing, const SectionSession& session,
                      const SectionSize& given);

/// The note of a colour of the section that has no material: "<label> has no material in the
/// library; it is analysed with E = 1 N/mm^2 and rho = 1 kg/m^3".
std::string NoMaterialNote(const std::string& label);

/// The drawing over the analysed picture: the result overlay, the shear centre's marker, and
/// the note on a marker off the picture.
SectionSession::ResultDrawing AnalysisDrawing(const SectionSession& session);

/// The graphics font of `settings`, which the drawings' labels are written in.
GraphicsFont FontOf(const ProgramSettings& settings);

/// The map of the session's stresses (it has them) showing `kind`: the picture's size with the
/// section in colour and a panel with the picture's name, the actions and the colour bar, and
/// the labels for the overlay painter.
StressDrawing AnalysisStressMap(const SectionSession& session, StressKind kind,
                                const GraphicsFont& font);
/// The map of the session's cracked stresses (sigma), as AnalysisStressMap draws the linear
/// ones. Throws Error saying why when the cracked section has no stresses.
StressDrawing AnalysisCrackedStressMap(const SectionSession& session, const GraphicsFont& font);

/// The diagrams of the session's resistance (ResistanceDiagramInput's picture size) with the
/// points of `actions` when given, named in the session's convention; without a resistance or
/// its values, the one line of the report that says why, so a picture asked for never shows an
/// empty frame as if the section resisted nothing.
OverlayOps AnalysisResistancePlot(const SectionSession& session,
                                  const std::optional<SectionActions>& actions,
                                  const GraphicsFont& font);

/// What a run made besides the analysed session, as its request asked.
struct AnalysisOutputs {
  std::string report;  ///< every block computed, as the window copies it
  JsonValue json;      ///< the JSON document (null when not asked for)
  std::optional<SectionSession::ResultDrawing> overlay;
  std::optional<StressDrawing> stressMap;
  /// The resistance's diagrams, to be painted into a white picture of kResistancePlotWidth x
  /// kResistancePlotHeight pixels.
  std::optional<OverlayOps> resistancePlot;
  /// What the run tells besides: colours without a material, a shear centre off the picture.
  std::vector<std::string> notes;
};

/// One run of `request` on a new `session`: checked (CheckRequest), analysed (AnalyseSection)
/// with its progress and cancel, then the outputs asked for. Throws Error; nothing when
/// cancelled.
std::optional<AnalysisOutputs> RunAnalysis(SectionSession& session, const AnalysisRequest& request,
                                           const PictureSource& picture, const LibraryData* library,
                                           const RunControl& control);

}  // namespace qv
