// The calculation report as a document, made from the text report, the JSON and the session.
#include "core/analysis/report_document.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <ctime>
#include <memory>
#include <regex>
#include <sstream>
#include <type_traits>
#include <variant>

#include "core/base/colour_label.h"
#include "core/base/number_text.h"
#include "core/base/path.h"
#include "core/base/units.h"
#include "core/base/version.h"
#include "core/picture/picture_reader.h"
#include "core/picture/pixel_rows.h"
#include "core/session/session_report.h"

namespace qv {
namespace {

bool Blank(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](unsigned char c) { return std::isspace(c); });
}

// Tabs as the spaces up to the next multiple of eight, as a terminal shows the report's table.
std::string ExpandTabs(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\t') {
      out.append(8 - out.size() % 8, ' ');
    } else {
      out += c;
    }
  }
  return out;
}

// A block's title: written in capitals at the margin ("QUORVANE RESULTS : ...", "RESISTANCE").
bool BlockTitle(const std::string& line) {
  std::size_t capitals = 0;
  for (const char c : line) {
    if (c == ' ' || c == ':' || c == '[') break;
    if (std::isupper(static_cast<unsigned char>(c)) == 0) return false;
    ++capitals;
  }
  return capitals >= 3;
}

// The blocks that have no title of their own start with their first group.
bool UntitledBlock(const std::string& line) { return line.starts_with("plastic moments"); }

// The meaning of a value whose line says none: the specified block's names.
std::string MeaningOf(const std::string& symbol) {
  static const std::vector<std::pair<std::string, std::string>> kMeanings = {
      {"width", "section width, pixels"},
      {"height", "section height, pixels"},
      {"mass", "mass per metre of beam"},
      {"EA", "axial stiffness"},
      {"EIyy", "bending stiffness"},
      {"EIzz", "bending stiffness"},
      {"EIyz", "mixed bending stiffness"},
      {"EI1", "principal bending stiffness, major"},
      {"EI2", "principal bending stiffness, minor"},
      {"alpha", "angle of the principal axes"},
      {"GJ", "torsional stiffness"},
  };
  for (const auto& [name, meaning] : kMeanings) {
    if (name == symbol) return meaning;
  }
  return {};
}

// "symbol = value unit meaning": a name of at most a few words, a number, and a unit where one
// stands next to it.
ReportRow RowOf(const std::string& line) {
  static const std::regex kValueLine(
      R"(^\s+([A-Za-z][A-Za-z0-9 ,()/]{0,23}?)\s*=\s*([-+]?[0-9][0-9.]*(?:E[-+]?[0-9]+)?)(?:\s+(.*))?$)");
  static const std::regex kUnit(
      R"(^(k?N(?:mm|cm|m)?(?:\^-?[0-9])?|(?:k?N ?)?(?:mm|cm|m)(?:\^-?[0-9])?|k?N/(?:mm|cm|m)(?:\^2)?|1/(?:mm|cm|m)(?:\^[0-9])?|kg/m|degrees|%)$)");
  std::smatch m;
  std::string trimmed = line;
  while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back())) != 0) {
    trimmed.pop_back();
  }
  if (!std::regex_match(trimmed, m, kValueLine)) {
    const std::size_t first = trimmed.find_first_not_of(" \t");
    return {first == std::string::npos ? "" : ExpandTabs(trimmed.substr(first)), "", "", "", true};
  }
  ReportRow row{m[1].str(), m[2].str(), "", "", false};
  std::string rest = m[3].str();
  const std::size_t space = rest.find(' ');
  std::string token = rest.substr(0, space);
  // "43.15 mm, bending about ...": the comma closes the value, not the unit.
  if (token.ends_with(',')) token.pop_back();
  if (std::regex_match(token, kUnit)) {
    row.unit = token;
    rest = space == std::string::npos ? "" : rest.substr(space + 1);
  }
  const std::size_t start = rest.find_first_not_of(' ');
  row.meaning = start == std::string::npos ? MeaningOf(row.symbol) : rest.substr(start);
  return row;
}

const JsonValue* Member(const JsonValue& object, std::string_view key) {
  const auto* o = std::get_if<JsonValue::Object>(&object.value);
  if (o == nullptr) return nullptr;
  for (const auto& [name, value] : o->members) {
    if (name == key) return &value;
  }
  return nullptr;
}

double NumberOf(const JsonValue* v) {
  if (v == nullptr) return 0;
  if (const auto* d = std::get_if<double>(&v->value)) return *d;
  if (const auto* i = std::get_if<std::int64_t>(&v->value)) return static_cast<double>(*i);
  return 0;
}

std::string TextOf(const JsonValue* v) {
  if (v == nullptr) return {};
  if (const auto* s = std::get_if<std::string>(&v->value)) return *s;
  return {};
}

// `point` scaled down by `factor`.
PixelPoint Shrunk(PixelPoint p, int factor) { return {p.x / factor, p.y / factor}; }

}  // namespace

std::vector<ReportBlock> ReportBlocks(const std::string& report) {
  std::vector<ReportBlock> blocks;
  std::istringstream in(report);
  std::string line;
  const auto group = [&]() -> ReportGroup& {
    if (blocks.empty()) blocks.emplace_back();
    if (blocks.back().groups.empty()) blocks.back().groups.emplace_back();
    return blocks.back().groups.back();
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Blank(line)) continue;
    if (BlockTitle(line)) {
      blocks.push_back({line, {}});
    } else if (UntitledBlock(line)) {
      blocks.push_back({"", {{line, {}}}});
    } else if (line.front() != ' ' && line.front() != '\t' && !line.starts_with("---") &&
               line.find('\t') == std::string::npos) {
      if (blocks.empty()) blocks.emplace_back();
      blocks.back().groups.push_back({line, {}});
    } else {
      group().rows.push_back(RowOf(line));
    }
  }
  return blocks;
}

namespace {

// The whole factor that brings the longer of `width` and `height` to at most `longest`.
int ReductionFor(int width, int height, int longest) {
  const int side = std::max(width, height);
  return std::max(1, (side + longest - 1) / std::max(1, longest));
}

// Row `row` of a picture `factor` times larger, each pixel the colour at its block's centre: flat
// colours stay flat, with no blends the engineer did not draw.
void SampleRow(const std::uint32_t* row, int width, int factor, std::uint32_t* into,
               int intoWidth) {
  for (int x = 0; x < intoWidth; ++x) into[x] = row[std::min(width - 1, x * factor + factor / 2)];
}

// `ops` on a picture `factor` times smaller, its lines and labels as large against the section as
// on screen.
OverlayOps ShrunkOps(const OverlayOps& ops, int factor) {
  if (factor == 1) return ops;
  OverlayOps out;
  for (const DrawOp& op : ops) {
    std::visit(
        [&](const auto& o) {
          using T = std::decay_t<decltype(o)>;
          T scaled = o;
          if constexpr (std::is_same_v<T, PolylineOp>) {
            for (PixelPoint& p : scaled.Points) p = Shrunk(p, factor);
            scaled.PenWidth = std::max(1, o.PenWidth / factor);
          } else if constexpr (std::is_same_v<T, EllipseOp>) {
            scaled.TopLeft = Shrunk(o.TopLeft, factor);
            scaled.BottomRight = Shrunk(o.BottomRight, factor);
            scaled.PenWidth = std::max(1, o.PenWidth / factor);
          } else {
            scaled.Position = Shrunk(o.Position, factor);
            scaled.FontDpi = std::max(24, o.FontDpi / factor);
          }
          out.emplace_back(std::move(scaled));
        },
        op);
  }
  return out;
}

PixelGrid ShrunkGrid(const PixelGrid& picture, int factor) {
  const int width = std::max(1, picture.Width() / factor);
  const int height = std::max(1, picture.Height() / factor);
  PixelGrid out(width, height, UninitialisedPixels{});
  for (int y = 0; y < height; ++y) {
    SampleRow(picture.Row(std::min(picture.Height() - 1, y * factor + factor / 2)), picture.Width(),
              factor, out.Row(y), width);
  }
  return out;
}

// The picture of the file `path` made `factor` times smaller as ShrinkForReport makes it, read a
// few rows at a time where the format allows, so that a report of a picture the analysis did not
// hold needs no picture-sized memory either.
PixelGrid ShrunkPictureFile(const std::string& path, int factor) {
  std::unique_ptr<PixelRows> rows = OpenPictureRows(path);
  if (!rows) return ShrunkGrid(ReadPicture(path), factor);
  const int width = std::max(1, rows->Width() / factor);
  const int height = std::max(1, rows->Height() / factor);
  PixelGrid out(width, height, UninitialisedPixels{});
  const int last = std::min(rows->Height(), height * factor);
  rows->Visit(0, 0, last, [&](const RowBlock& block) {
    for (int y = block.first; y < block.end; ++y) {
      if (y % factor != factor / 2) continue;
      SampleRow(block.Row(y), rows->Width(), factor, out.Row(y / factor), width);
    }
  });
  rows->ThrowIfFailed();
  return out;
}

}  // namespace

ReportPicture ShrinkForReport(const PixelGrid& picture, const OverlayOps& ops, int longest,
                              std::string caption) {
  const int factor = ReductionFor(picture.Width(), picture.Height(), longest);
  return {std::move(caption), ShrunkGrid(picture, factor), ShrunkOps(ops, factor), factor};
}

ReportDocument MakeReportDocument(const SectionSession& session, const std::string& report,
                                  const JsonValue& json, const std::string& date) {
  ReportDocument doc;
  doc.title = TextOf(Member(json, "picture"));
  doc.date = date;
  doc.program = std::string("Quorvane ") + kProgramVersion;
  doc.units = std::string(UnitSystemName(session.TextUnits()));
  doc.pictureWidth = session.PictureWidth();
  doc.pictureHeight = session.PictureHeight();
  doc.pixelWidthMm = NumberOf(Member(json, "dx"));
  doc.pixelHeightMm = NumberOf(Member(json, "dy"));
  doc.sectionSize =
      TextOf(Member(json, "width_text")) + " x " + TextOf(Member(json, "height_text")) + " mm";
  doc.blocks = ReportBlocks(report);

  const JsonValue* materials = Member(json, "materials");
  const auto* list =
      materials != nullptr ? std::get_if<JsonValue::Array>(&materials->value) : nullptr;
  double total = 0;
  if (list != nullptr) {
    for (const JsonValue& m : list->elements) {
      ReportMaterial row;
      row.label = TextOf(Member(m, "label"));
      row.name = TextOf(Member(m, "name"));
      row.rgb = PixelColourOfLabel(row.label).value_or(0);
      // The grid's 0x00BBGGRR as the swatch's 0xRRGGBB.
      row.rgb = ((row.rgb & 0xFF) << 16) | (row.rgb & 0xFF00) | ((row.rgb >> 16) & 0xFF);
      row.E = NumberOf(Member(m, "e"));
      row.rho = NumberOf(Member(m, "rho"));
      row.areaMm2 = NumberOf(Member(m, "area_mm2"));
      total += row.areaMm2;
      if (const std::optional<ElasticResult>& e = session.Elastic()) {
        for (const MaterialModuli& mm : e->materials) {
          if (mm.label == row.label) row.nu = mm.nu;
        }
      }
      if (session.Plastic() || session.Resistance() || session.Cracked()) {
        if (const std::optional<Strength> s = session.Strengths().Get(row.label)) {
          row.strength = FormatNumber(s->compression) + " / " + FormatNumber(s->tension);
        }
      }
      if (session.Resistance() || session.Cracked()) {
        // A material without a law of its own follows the one its strength gives.
        const std::optional<MaterialLaw> law = session.Laws().Get(row.label);
        row.law = MaterialLawText(law ? *law : DefaultLaw(session.Strengths().Get(row.label)));
      }
      doc.materials.push_back(std::move(row));
    }
  }
  for (ReportMaterial& m : doc.materials) m.share = total > 0 ? m.areaMm2 / total : 0;
  return doc;
}

ReportDocument MakeRunReport(const SectionSession& session, const AnalysisOutputs& outputs,
                             const std::string& date) {
  ReportDocument doc = MakeReportDocument(session, outputs.report, outputs.json, date);
  const OverlayOps ops = outputs.overlay ? outputs.overlay->ops : AnalysisDrawing(session).ops;
  const std::string caption = doc.title + " with the centres and the axes of the result";
  if (session.Picture().Empty()) {
    // Read as the analysis read it, from the file: the picture is not held.
    const int factor =
        ReductionFor(session.PictureWidth(), session.PictureHeight(), kReportPictureSide);
    doc.section = ReportPicture{caption, ShrunkPictureFile(session.PictureFile(), factor),
                                ShrunkOps(ops, factor), factor};
  } else {
    doc.section = ShrinkForReport(session.Picture(), ops, kReportPictureSide,
                                  doc.title + " with the centres and the axes of the result");
  }
  if (outputs.stressMap) {
    doc.stressMap = ShrinkForReport(outputs.stressMap->picture, outputs.stressMap->ops,
                                    kReportPictureSide, "Stresses under the given actions");
  }
  if (outputs.resistancePlot) {
    doc.resistance =
        ReportPicture{"Resistance: interaction and moment-curvature diagrams",
                      PixelGrid(kResistancePlotWidth, kResistancePlotHeight, 0x00FFFFFF),
                      *outputs.resistancePlot, 1};
  }
  return doc;
}

ReportDocument MakeSessionReport(const SectionSession& session, const AnalysisRequest& request,
                                 const std::string& date) {
  AnalysisOutputs outputs;
  outputs.report = session.FullReportText();
  outputs.json = AnalysisJson(session, request.size);
  outputs.overlay = AnalysisDrawing(session);
  const GraphicsFont font = FontOf(session.Settings());
  if (session.Stresses()) {
    outputs.stressMap = AnalysisStressMap(session, request.stressField, font);
  }
  // The diagrams wherever their lists were computed: asked for by the request, or in the
  // window's resistance dialog.
  const std::optional<ResistanceOutcome>& resistance = session.Resistance();
  if (resistance && resistance->values &&
      (resistance->values->asked.interactionPoints >= 2 ||
       resistance->values->asked.momentCurvature)) {
    outputs.resistancePlot = AnalysisResistancePlot(session, ActionsOf(request), font);
  }
  return MakeRunReport(session, outputs, date);
}

std::string TodayText() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

}  // namespace qv
