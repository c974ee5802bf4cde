// The batch tool's command line: parsing, the values' checks and the usage text.
#include "cli/cli_options.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "core/analysis/analysis_check.h"
#include "core/base/error.h"
#include "core/base/field_number.h"
#include "core/base/limits.h"
#include "core/base/number_text.h"
#include "core/base/path.h"
#include "core/base/units.h"
#include "core/base/version.h"
#include "core/elastic/stress_field.h"
#include "core/library/dd_props.h"
#include "core/library/material_law.h"
#include "core/library/poisson_table.h"
#include "core/library/strength_table.h"
#include "core/outline/drawing_file.h"
#include "core/section/resistance_diagram.h"
#include "core/settings/program_settings.h"

namespace qv::cli {
namespace {

bool IsFlag(std::string_view command, std::string_view name) {
  return (command == "colours" && name == "--all") || (command == "table" && name == "--csv") ||
         (command == "analyse" &&
          (name == "--json" || name == "--torsion" || name == "--resistance" ||
           name == "--moment-curvature" || name == "--cracked"));
}

// Options of the analyse command that take a value; null for anything else.
std::optional<std::string>* SingleValue(Options& o, std::string_view name) {
  // The table takes what sizes the pictures and makes their materials; nothing that draws or
  // loads the section.
  if (o.command == "table") {
    if (name == "--width") return &o.width;
    if (name == "--height") return &o.height;
    if (name == "--pixel-size") return &o.pixelSize;
    if (name == "--library") return &o.library;
    if (name == "--convention") return &o.convention;
    if (name == "--edges") return &o.edges;
    if (name == "--max-cells") return &o.maxCells;
    return nullptr;
  }
  if (o.command != "analyse") return nullptr;
  if (name == "--width") return &o.width;
  if (name == "--height") return &o.height;
  if (name == "--pixel-size") return &o.pixelSize;
  if (name == "--library") return &o.library;
  if (name == "--convention") return &o.convention;
  if (name == "--eps") return &o.eps;
  if (name == "--overlay") return &o.overlay;
  if (name == "--stress-map") return &o.stressMap;
  if (name == "--stress-field") return &o.stressField;
  if (name == "--edges") return &o.edges;
  if (name == "--units") return &o.units;
  if (name == "--max-cells") return &o.maxCells;
  if (name == "--interaction") return &o.interaction;
  if (name == "--interaction-biaxial") return &o.biaxial;
  if (name == "--interaction-plot") return &o.interactionPlot;
  if (name == "--report") return &o.report;
  return nullptr;
}

std::vector<std::string>* RepeatedValue(Options& o, std::string_view name) {
  if (o.command == "table") {
    if (name == "--use") return &o.uses;
    if (name == "--material") return &o.materials;
    if (name == "--nu") return &o.nus;
    return nullptr;
  }
  if (o.command != "analyse") return nullptr;
  if (name == "--use") return &o.uses;
  if (name == "--material") return &o.materials;
  if (name == "--nu") return &o.nus;
  if (name == "--fy") return &o.fys;
  if (name == "--action") return &o.actions;
  if (name == "--law") return &o.laws;
  return nullptr;
}

// An option's value as a refusal quotes it.
std::string Quoted(std::string_view text) { return "'" + Escaped(text) + "'"; }

// A refusal of the core with the option and its value before it.
template <typename Read>
auto WithOption(std::string_view option, std::string_view text, const Read& read) {
  try {
    return read();
  } catch (const Error& e) {
    throw Error(std::string(option) + " " + Quoted(text) + ": " + e.what());
  }
}

void Refuse(const std::string& prefix, const std::string& problem) {
  if (!problem.empty()) throw Error(prefix + problem);
}

void ReadSize(std::string_view option, const std::string& text, int& mm,
              std::optional<double>& decimal) {
  WithOption(option, text, [&] { ReadSectionSize(text, mm, decimal); });
}

double ReadRealOption(std::string_view option, std::string_view text) {
  try {
    return ReadReal(text);
  } catch (const Error& e) {
    throw Error(std::string(option) + ": " + e.what());
  }
}

MaterialOverride ReadMaterial(const std::string& text) {
  const std::string prefix = "--material " + Quoted(text) + ": ";
  if (FieldCount(text, '@') != 4) throw Error(prefix + "expected LABEL@NAME@E@RHO");
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (int k = 0; k < 4; ++k) {
    const std::size_t at = text.find('@', from);
    fields.push_back(text.substr(from, at - from));
    from = at + 1;
  }
  if (fields[0].empty()) throw Error(prefix + LabelFaultText(LabelFault::kEmpty, fields[0]));
  MaterialOverride m;
  m.label = fields[0];
  m.name = fields[1];
  try {
    m.E = ReadReal(fields[2]);
    m.rho = ReadReal(fields[3]);
  } catch (const Error& e) {
    throw Error(prefix + e.what());
  }
  Refuse(prefix, MaterialOverrideProblem(m));
  return m;
}

// The label of a --nu or --fy: the tool names the section's colours by their option.
void CheckLabel(const std::string& prefix, const std::string& label,
                const std::vector<std::string>& uses, const std::vector<std::string>& given) {
  const LabelFault fault = LabelFaultOf(label, uses, given);
  if (fault == LabelFault::kNotInSection) {
    throw Error(prefix + label + " is not a colour given with --use");
  }
  Refuse(prefix, LabelFaultText(fault, label));
}

std::pair<std::string, double> ReadNu(const std::string& text, const std::vector<std::string>& uses,
                                      const std::vector<std::string>& given) {
  const std::string prefix = "--nu " + Quoted(text) + ": ";
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) throw Error(prefix + "expected LABEL=VALUE");
  const std::string label = text.substr(0, equals);
  CheckLabel(prefix, label, uses, given);
  double nu = 0;
  try {
    nu = ReadReal(std::string_view(text).substr(equals + 1));
  } catch (const Error& e) {
    throw Error(prefix + e.what());
  }
  Refuse(prefix, PoissonTable::Problem(label, nu));
  return {label, nu};
}

std::pair<std::string, Strength> ReadFy(const std::string& text,
                                        const std::vector<std::string>& uses,
                                        const std::vector<std::string>& given) {
  const std::string prefix = "--fy " + Quoted(text) + ": ";
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) {
    throw Error(prefix + "expected LABEL=VALUE or LABEL=COMPRESSION/TENSION");
  }
  const std::string label = text.substr(0, equals);
  CheckLabel(prefix, label, uses, given);
  try {
    return {label, StrengthTable::Read(label, std::string_view(text).substr(equals + 1))};
  } catch (const Error& e) {
    throw Error(prefix + e.what());
  }
}

std::pair<std::string, MaterialLaw> ReadLaw(const std::string& text,
                                            const std::vector<std::string>& uses,
                                            const std::vector<std::string>& given) {
  const std::string prefix = "--law " + Quoted(text) + ": ";
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos) throw Error(prefix + "expected LABEL=LAW");
  const std::string label = text.substr(0, equals);
  CheckLabel(prefix, label, uses, given);
  try {
    return {label, ReadMaterialLaw(std::string_view(text).substr(equals + 1))};
  } catch (const Error& e) {
    throw Error(prefix + e.what());
  }
}

// The name of an --action as given, before its "=".
std::string_view ActionNameOf(std::string_view text) { return text.substr(0, text.find('=')); }

// The picture files a map or an overlay may be written to.
void CheckPictureName(const std::string& path) {
  const std::string ext = LowerExtensionOf(path);
  if (ext != ".png" && ext != ".bmp") {
    throw Error("'" + path + "' is not a .png or .bmp file name");
  }
}

std::vector<std::pair<ActionKind, double>> ReadActions(const std::vector<std::string>& texts,
                                                       SignConvention convention) {
  std::vector<std::pair<ActionKind, double>> actions;
  std::vector<ActionKind> given;
  for (const std::string& text : texts) {
    const std::string prefix = "--action " + Quoted(text) + ": ";
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) throw Error(prefix + "expected NAME=VALUE");
    const std::string name = text.substr(0, equals);
    const ActionKind kind =
        WithOption("--action", text, [&] { return ActionOfNameChecked(name, convention); });
    if (std::find(given.begin(), given.end(), kind) != given.end()) {
      throw Error(prefix + name + " is given twice");
    }
    given.push_back(kind);
    actions.emplace_back(kind, WithOption("--action", text, [&] {
                           return ReadReal(std::string_view(text).substr(equals + 1));
                         }));
  }
  return actions;
}

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{"no command given"};
  Options o;
  o.command = args[0];
  if (o.command != "colours" && o.command != "analyse" && o.command != "table") {
    throw UsageError{"unknown command '" + o.command + "'"};
  }
  bool optionsEnded = false;
  bool havePicture = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (havePicture && o.command != "table") {
        throw UsageError{"unexpected argument '" + arg + "'"};
      }
      if (!havePicture) o.picture = arg;
      o.pictures.push_back(arg);
      havePicture = true;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    std::optional<std::string> inlineValue;
    if (equals != std::string::npos) inlineValue = arg.substr(equals + 1);

    if (IsFlag(o.command, name)) {
      if (inlineValue) throw UsageError{"option " + name + " takes no value"};
      (name == "--all"                ? o.all
       : name == "--json"             ? o.json
       : name == "--resistance"       ? o.resistance
       : name == "--moment-curvature" ? o.momentCurvature
       : name == "--cracked"          ? o.cracked
       : name == "--csv"              ? o.csv
                                      : o.torsion) = true;
      continue;
    }
    std::optional<std::string>* single = SingleValue(o, name);
    std::vector<std::string>* repeated = RepeatedValue(o, name);
    if (single == nullptr && repeated == nullptr) {
      throw UsageError{"unknown option '" + name + "' for " + o.command};
    }
    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else {
      // An option name in the place of the value means the value was forgotten.
      if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
        throw UsageError{"option " + name + " needs a value"};
      }
      value = args[++i];
    }
    if (single != nullptr) {
      if (single->has_value()) throw UsageError{"option " + name + " given twice"};
      *single = std::move(value);
    } else {
      repeated->push_back(std::move(value));
    }
  }
  if (!havePicture) throw UsageError{"no PICTURE given"};
  if (o.command == "table") {
    // The sizes are those of analyse, for every picture: a drawing's own size needs none.
    const bool drawings = std::all_of(o.pictures.begin(), o.pictures.end(),
                                      [](const std::string& p) { return IsDrawingFile(p); });
    if (o.pixelSize && (o.width || o.height) && !drawings) {
      throw UsageError{"option --pixel-size cannot go with --width or --height"};
    }
    if (!o.pixelSize && !drawings) {
      if (!o.width) throw UsageError{"option --width is required"};
      if (!o.height) throw UsageError{"option --height is required"};
    }
  }
  if (o.command == "analyse") {
    // A drawing has its own size: --width and --height only check it, and --pixel-size sets its
    // cells.
    const bool drawing = IsDrawingFile(o.picture);
    // One pixel size gives both sizes: with either of them as well, one would be ignored.
    if (o.pixelSize && (o.width || o.height) && !drawing) {
      throw UsageError{"option --pixel-size cannot go with --width or --height"};
    }
    if (!o.pixelSize && !drawing) {
      if (!o.width) throw UsageError{"option --width is required"};
      if (!o.height) throw UsageError{"option --height is required"};
    }
    // A ratio that would silently change nothing is more likely a forgotten --torsion.
    if (!o.nus.empty() && !o.torsion) throw UsageError{"option --nu needs --torsion"};
    if (o.maxCells && !o.torsion) throw UsageError{"option --max-cells needs --torsion"};
    // The resistance and the cracked section take strengths and laws without the torsion.
    const bool resistance = o.resistance || o.interaction || o.momentCurvature || o.biaxial ||
                            o.cracked || o.interactionPlot;
    if (!o.fys.empty() && !o.torsion && !resistance) {
      throw UsageError{"option --fy needs --torsion"};
    }
    if (!o.laws.empty() && !resistance) throw UsageError{"option --law needs --resistance"};
    if (o.cracked && o.actions.empty()) throw UsageError{"option --cracked needs --action"};
    // Shear forces and torque need the solve's fields; the solve's values come with them.
    for (const std::string& action : o.actions) {
      const std::string_view name = ActionNameOf(action);
      // The shear forces' and the torque's names are the same in either convention.
      const std::optional<ActionKind> kind = ActionOfName(name, SignConvention::DorvastPelkam);
      if (kind && ActionNeedsTorsion(*kind) && !o.torsion) {
        throw UsageError{"option --action " + std::string(name) + " needs --torsion"};
      }
    }
    if (o.stressMap && o.actions.empty()) throw UsageError{"option --stress-map needs --action"};
    if (o.stressField && !o.stressMap) {
      throw UsageError{"option --stress-field needs --stress-map"};
    }
  }
  return o;
}

AnalysisRequest ReadAnalyseValues(const Options& o) {
  AnalysisRequest v;
  if (o.pixelSize) {
    const std::string& text = *o.pixelSize;
    v.size.pixelSizeMm = WithOption("--pixel-size", text, [&] {
      const double mm = ReadReal(text);
      Refuse("", PixelSizeProblem(mm));
      return mm;
    });
  }
  if (o.width) {
    v.size.widthText = *o.width;
    ReadSize("--width", *o.width, v.size.widthMm, v.size.widthDecimalMm);
  }
  if (o.height) {
    v.size.heightText = *o.height;
    ReadSize("--height", *o.height, v.size.heightMm, v.size.heightDecimalMm);
  }
  v.uses = o.uses;
  v.torsion = o.torsion;
  if (o.maxCells) {
    const double cells = ReadRealOption("--max-cells", *o.maxCells);
    Refuse("--max-cells: ", MaxCellsProblem(cells));
    v.maxCells = static_cast<std::int64_t>(cells);
  }
  if (o.convention) {
    const std::string& text = *o.convention;
    v.convention = WithOption("--convention", text, [&] {
      return SignConventionOf(text == "0" ? 0 : text == "1" ? 1 : -1);
    });
  }
  if (o.eps) {
    v.eps = ReadRealOption("--eps", *o.eps);
    Refuse("--eps: ", AngleToleranceProblem(v.eps));
  }
  if (o.edges) v.edges = WithOption("--edges", *o.edges, [&] { return EdgeModeOfName(*o.edges); });
  if (o.units)
    v.units = WithOption("--units", *o.units, [&] { return UnitSystemOfName(*o.units); });
  for (const std::string& text : o.materials) v.materials.push_back(ReadMaterial(text));
  std::vector<std::string> labels;
  for (const std::string& text : o.nus) {
    v.nus.push_back(ReadNu(text, o.uses, labels));
    labels.push_back(v.nus.back().first);
  }
  labels.clear();
  for (const std::string& text : o.fys) {
    v.strengths.push_back(ReadFy(text, o.uses, labels));
    labels.push_back(v.strengths.back().first);
  }
  labels.clear();
  for (const std::string& text : o.laws) {
    v.laws.push_back(ReadLaw(text, o.uses, labels));
    labels.push_back(v.laws.back().first);
  }
  v.resistance = o.resistance;
  if (o.interaction) {
    const double points = ReadRealOption("--interaction", *o.interaction);
    Refuse("--interaction: ", InteractionPointsProblem(points));
    v.interaction = static_cast<int>(points);
  }
  v.momentCurvature = o.momentCurvature;
  if (o.biaxial) {
    const double angles = ReadRealOption("--interaction-biaxial", *o.biaxial);
    Refuse("--interaction-biaxial: ", BiaxialAnglesProblem(angles));
    v.biaxial = static_cast<int>(angles);
  }
  if (o.overlay) CheckPictureName(*o.overlay);
  if (o.interactionPlot) {
    CheckPictureName(*o.interactionPlot);
    // The diagram needs the curve: the usual number of points unless given.
    if (v.interaction == 0) v.interaction = kPlotInteractionPoints;
  }
  v.actions = ReadActions(o.actions, v.convention);
  if (o.stressMap) CheckPictureName(*o.stressMap);
  v.cracked = o.cracked;
  // The cracked section's map shows sigma unless asked for another field (which is refused).
  if (o.cracked) v.stressField = StressKind::Sigma;
  if (o.stressField) {
    v.stressField = WithOption("--stress-field", *o.stressField,
                               [&] { return StressKindOfName(*o.stressField); });
  }
  v.outputs.report = !o.json;
  v.outputs.json = o.json;
  v.outputs.overlay = o.overlay.has_value();
  v.outputs.stressMap = o.stressMap.has_value();
  v.outputs.resistancePlot = o.interactionPlot.has_value();
  if (o.report) {
    if (LowerExtensionOf(*o.report) != ".pdf") {
      throw Error("'" + *o.report + "' is not a .pdf file name");
    }
    // The report shows the section with its overlay, every block, and the pictures of what was
    // computed: the stress map (the cracked one only when asked for, since it may have none)
    // and the resistance's diagrams.
    // The overlay is drawn for it without holding the picture, which it reads again, smaller.
    v.outputs.report = v.outputs.json = true;
    if (!v.actions.empty() && !v.cracked) v.outputs.stressMap = true;
    if (v.interaction > 0 || v.momentCurvature) v.outputs.resistancePlot = true;
  }
  // Every rule the reading above has not met yet (none today): the tool runs what the core takes.
  CheckRequest(v);
  return v;
}

AnalysisRequest ReadTableValues(const Options& o) {
  Options analyse = o;
  analyse.torsion = true;
  AnalysisRequest v = ReadAnalyseValues(analyse);
  v.outputs = {};
  return v;
}

}  // namespace qv::cli

namespace qv {

std::string CliUsage() {
  return R"(usage: quorvane-cli colours PICTURE [--all]
       quorvane-cli analyse PICTURE (--width MM --height MM | --pixel-size MM)
       quorvane-cli analyse DRAWING [--width MM] [--height MM] [--pixel-size MM]
                    --use LABEL [--use LABEL ...] [--library FILE]
                    [--material LABEL@NAME@E@RHO ...] [--convention 0|1]
                    [--eps DEGREES] [--json] [--overlay OUT.png|OUT.bmp]
                    [--edges flat|coverage] [--units N-mm|kN-m|kN-cm]
                    [--torsion [--nu LABEL=VALUE ...] [--fy LABEL=VALUE ...]
                    [--max-cells N]]
                    [--action NAME=VALUE ... [--stress-map OUT.png|OUT.bmp
                    [--stress-field sigma|tau|von_mises]]]
                    [--resistance] [--interaction POINTS] [--moment-curvature]
                    [--interaction-biaxial ANGLES] [--law LABEL=LAW ...]
                    [--cracked] [--interaction-plot OUT.png|OUT.bmp]
                    [--report OUT.pdf]
       quorvane-cli table PICTURE... (--width MM --height MM | --pixel-size MM)
                    --use LABEL [--use LABEL ...] [--library FILE]
                    [--material LABEL@NAME@E@RHO ...] [--nu LABEL=VALUE ...]
                    [--convention 0|1] [--edges flat|coverage] [--max-cells N]
                    [--csv]
       quorvane-cli --help | --version

PICTURE is a BMP or PNG picture, or a drawing (DRAWING: an SVG or DXF file, by
its name's extension): its filled closed outlines, one material per colour,
later shapes over earlier ones.

colours    lists the colours of the BMP or PNG picture in the order the window
           finds them, one line each: LABEL<TAB>xmin<TAB>xmax<TAB>ymin<TAB>ymax
           (pixels). Colours without a name (labels beginning with "$") are
           listed only with --all. A picture saved with smoothing
           (anti-aliasing) gets a note on standard error.
analyse    analyses the section made of the colours given with --use and prints
           the report exactly as the window copies it to the clipboard (CR LF
           line ends).
table      analyses each PICTURE as analyse --torsion does, with the same
           sizes (--pixel-size gives each picture its own) and materials, and
           prints a header line and a line per picture, its name first: the
           values a steel table lists for a section of one material (A, the
           second moments, It, Iw, Wel, Wpl, the radii of gyration, the shear
           areas, the shear centre from the elastic centre and the
           monosymmetry constants), in mm, named after --convention. A
           picture that fails (unreadable, several materials) gets a line on
           standard error with its name and the others go on; the exit status
           is 1 then. --csv prints RFC 4180 CSV instead (CR LF line ends): a
           header row of the JSON's "section_table" keys after "picture", and
           every value at full precision as the JSON writes it.

  --width MM, --height MM
           real width and height of the section's bounding box in mm, as the
           window's size fields take them: an integer up to 100000, decimal or
           hexadecimal ("$1F", "0x1F"). 0 is refused: the window offers no
           analysis then. A fraction of a mm may be given too ("300.5", at
           least 0.001).
  --pixel-size MM
           instead of --width and --height: the mm per pixel of the section's
           bounding box, the same both ways; the width is its columns times
           MM, the height its rows times MM. The report and the JSON give the
           sizes it makes; the JSON has "pixel_size_mm" then.
  drawings (SVG, DXF)
           have their own size in mm (DXF $INSUNITS; SVG width/height with a
           unit, else its user units as mm): --width and --height may be left
           out and, when given, must agree with the outlines of the --use
           colours within 0.1 %. --pixel-size sets the cells the torsion,
           shear and stresses are solved on (default: about 2 million cells
           over the drawing). EA, the centres, mass and the stiffnesses come
           exactly from the outlines; the report ends with a line saying so
           and the JSON has "geometry": "outline" and "pixel_size_mm".
  --use LABEL
           puts the colour LABEL on the material list, in the order given. A
           colour the library does not know becomes a new material with
           E = rho = 1.
  --library FILE
           reads the material library from FILE ("properties.ini" format). The
           file is never written. Without it the library starts empty.
  --material LABEL@NAME@E@RHO
           gives the library entry of LABEL the name NAME, E in N/mm^2 and rho
           in kg/m^3, adding the entry when the library has none; applied in
           the order given.
  --convention 0|1
           sign convention: 0 Dorvast/Pelkam (default), 1 EURO-code.
  --eps DEGREES
           angle precision of the principal axes in degrees (default 1.0).
  --json   prints one JSON object instead of the report: every value at full
           precision (shortest round-trip form), the window's texts and hints,
           and each material's share. A value that is not a finite number
           (possible only with absurd inputs) is written as null.
  --overlay OUT
           also saves the picture with the window's result overlay, as PNG or
           BMP by the extension of OUT.
  --report OUT.pdf
           also writes the calculation report as PDF: the section with its
           overlay and a scale bar, the inputs and materials, every block of
           the report as tables, the stress map (with --action) and the
           resistance's diagrams (with --interaction or --moment-curvature),
           and the definitions of the axes.
  --edges flat|coverage
           how the pixels along the section's edges are read. flat (default):
           a pixel counts only when its colour is exactly a material's.
           coverage: a pixel blended by smoothing (anti-aliasing) counts as
           its share of each material it blends, and the section's box holds
           every pixel with any share; --width and --height measure that box.
           The report then ends with a line saying so, and the JSON has
           "edges": "coverage".
  --units N-mm|kN-m|kN-cm
           the units of the report's values and the stress map's. N-mm
           (default): N, Nmm, mm, mm^n, the report as the window writes it.
           kN-m: kN, kNm, stiffnesses in kNm^2, lengths and section values in
           cm and cm^n, stresses in N/mm^2. kN-cm: kN, kNcm, cm, cm^n,
           kNcm^2, stresses in kN/cm^2. The sizes, E and rho stay as typed,
           the mass in kg/m, and the JSON in N and mm whatever is chosen.
  --torsion
           also computes the torsional stiffness GJ, the shear centre, the radii
           of gyration and each material's extreme fibres and stress per unit
           moment. The report is followed by a blank line and a block headed
           "EXTENDED SECTION VALUES"; with --json the object gains the member
           "extended"; an overlay also marks the shear centre. Poisson's ratios
           come from the section [poisson] of the --library file (0.3 for a
           material without one).
  --nu LABEL=VALUE
           Poisson's ratio of the --use colour LABEL for this run
           (0 <= VALUE < 0.5); needs --torsion. The library file is not
           changed.
  --max-cells N
           the most cells the torsion solve takes on the picture's pixels
           (1..1073741823; needs --torsion). Above it the solve runs on blocks
           of pixels, and the extended values say so. Without it the cap
           follows from a memory budget of 800 MB (about 5 million cells);
           a larger N takes about 160 bytes per cell more.
  --fy LABEL=VALUE, --fy LABEL=COMPRESSION/TENSION
           strength in N/mm^2 of the --use colour LABEL for this run, one value
           for both ways or two ("17/0": concrete without tension), each at
           least 0; needs --torsion, a resistance option or --cracked. It adds
           the plastic moments about the horizontal and the vertical axis to
           the extended values, after the strengths of the section [strength]
           of the --library file. Without a strength for every material with E
           above 0 there are none, and the block says why. The library file is
           not changed.
  --action NAME=VALUE
           an action on the section for its stresses, NAME one of N (axial
           force, tension positive), My, Mz (moments), Vy, Vz (shear forces
           through the shear centre) and T (torque about it), in N and Nmm; each
           name once. My is the moment whose stresses grow along y, to the left
           (EIyy); with --convention 1 the moments are named after their axes
           and My is the one whose stresses grow downwards (EIy). Vy, Vz and T
           need --torsion. The report is followed by a blank line and a block
           headed "STRESSES": sigma, tau and von Mises extremes of the section
           and of each material (N/mm^2, at mm from UL) and the shear across
           the joints between materials; with --json the object gains the
           member "stress".
  --stress-map OUT
           also saves a map of the stresses as PNG or BMP by the extension of
           OUT: the section in colour, a colour bar, the extremes marked, the
           picture's name and the actions written on it.
  --stress-field sigma|tau|von_mises
           what the map shows (default von_mises): sigma on a scale centred
           on 0, tau and von Mises from 0.
  --resistance
           also computes the ultimate resistance with each material's
           stress-strain law: pure compression and tension, and the ultimate
           moments about the horizontal and the vertical axis, either side
           compressed, at the axial force of --action N (0 without), with the
           neutral axis. Takes --fy and --law without --torsion. The report
           gains a block headed "RESISTANCE" (N, kN and kNm); with --json the
           object gains the member "resistance". A material with E above 0
           whose law needs a strength it lacks, or whose law bounds no stress,
           leaves none, and the block says why.
  --interaction POINTS
           also the N-M interaction about both axes: POINTS forces (2..10000,
           60 is usual) from pure compression to pure tension, each with the
           ultimate moment of either sense; implies --resistance.
  --moment-curvature
           also the moment-curvature about both axes at the force of
           --action N, the top (left) side compressed: curvature (1/mm) and
           moment from 0 to failure, or to 30 times the first yield curvature
           when only materials without strain limits would fail; implies
           --resistance.
  --interaction-biaxial ANGLES
           also the failure moments My, Mz at the force of --action N for
           ANGLES directions of the neutral axis (4..3600) evenly round the
           turn: 0 degrees horizontal with the top compressed, turning
           anticlockwise; My positive compressing the top, Mz the left side.
           Implies --resistance.
  --law LABEL=LAW
           stress-strain law of the --use colour LABEL for this run, after the
           section [law] of the --library file: linear, elastic-plastic[,eu=E],
           parabola-rectangle[,ec2=0.002,ecu=0.0035,n=2], no-tension or
           points:EPS/SIGMA;EPS/SIGMA;... (compression negative). Without one
           a material with a tension strength of 0 is parabola-rectangle, one
           with a strength both ways elastic-plastic, one without linear.
           Needs a resistance option (--resistance, --interaction,
           --moment-curvature, --interaction-biaxial or --interaction-plot) or
           --cracked.
  --cracked
           also the cracked section under the --action N, My and Mz (needs
           one of them; Vy, Vz and T stay the uncracked stresses'): a material
           whose law is no-tension or whose tension strength is 0 carries no
           tension, every other one stays linear (E eps), and the strain plane
           is found by iteration. Takes --fy and --law without --torsion. The
           report gains a block headed "CRACKED SECTION" (neutral axis, sigma
           of the section and each material, the stiffnesses EA, EIyy, EIzz,
           EIyz of the carrying part about its own elastic centre); with
           --json the object gains the member "cracked" (neutral_axis: two
           points [hor, ver] in mm from UL, or null). Without an equilibrium
           it is null and "cracked_missing" says why. --stress-map then shows
           the cracked sigma (--stress-field sigma only).
  --interaction-plot OUT
           also saves the diagrams of the resistance as PNG or BMP by the
           extension of OUT (1200 x 900 pixels): the N-M interaction about
           the horizontal and the vertical axis (M in kNm against N in kN),
           below them the moment-curvature when computed (curvature in 1/km),
           and the point of the --action forces, green within the curve and
           red beyond it. Implies --interaction 60 unless given.
  --help   prints this text.
  --version
           prints the program's name and version.

Exit status: 0 done; 1 the work failed (one line on standard error, nothing
written; for table, the lines of the pictures that did not fail are written);
2 wrong command line (this text on standard error).
)";
}

std::string CliVersion() { return std::string(cli::kProgram) + " " + kProgramVersion; }

}  // namespace qv
