// The session's report as text, the blocks of every value computed joined, and as one JSON
// document with every value at full precision (what the batch tool prints with --json).
#include "core/session/session_report.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/json_value.h"
#include "core/base/number_text.h"
#include "core/base/path.h"
#include "core/elastic/cracked_report.h"
#include "core/elastic/extended_report.h"
#include "core/elastic/section_table.h"
#include "core/elastic/stress_report.h"
#include "core/section/plastic_report.h"
#include "core/section/resistance_report.h"
#include "core/section/result_text.h"

namespace qv {
namespace {

using Members = JsonMembers;

JsonValue Number(double v) { return v; }
JsonValue Integer(std::int64_t v) { return v; }
JsonValue Text(std::string_view v) { return v; }
JsonValue Bool(bool v) { return v; }

// An array of `count` elements, one a line.
template <typename Element>
JsonValue LinesArray(std::size_t count, const Element& element) {
  JsonValue::Array array{{}, true};
  for (std::size_t i = 0; i < count; ++i) array.elements.push_back(element(i));
  return array;
}

JsonValue CentreJson(PixelPoint p, int xmin, int ymin, const SectionResult& r) {
  // The same distances the window's texts round: whole pixels from UL times the scale.
  return JsonObject({{"x_px", Integer(p.x)},
                     {"y_px", Integer(p.y)},
                     {"hor_mm", Number(std::abs(p.x - xmin) * r.Dx)},
                     {"ver_mm", Number(std::abs(p.y - ymin) * r.Dy)}});
}

JsonValue MaterialsJson(const SectionSession& s) {
  const SectionResult& r = s.Result();
  const double pixelArea = r.Dx * r.Dy;
  // Read as coverage, the counts are in 1/unit pixels and "pixels" are those holding a share.
  const std::int64_t unit = s.Moments().unit;
  JsonValue::Array out{{}, true};
  for (const TPROPRec& entry : *s.MaterialLibrary()) {
    if (!entry.inUse) continue;
    std::int64_t pixels = 0;
    std::int64_t covered = 0;
    for (const MaterialMoments& m : s.Moments().materials) {
      if (m.entry != &entry) continue;
      pixels += unit == 1 ? m.count : m.touched;
      covered += m.count;
    }
    // Evaluated like the section totals (weight times count, then the pixel area), so a
    // section of one material shows exactly the totals.
    const double count = static_cast<double>(covered) / static_cast<double>(unit);
    const PROPRec& p = entry.prop;
    Members members = {{"id", Integer(entry.id)}, {"label", Text(p.colorlabel)},
                       {"name", Text(p.name)},    {"e", Number(p.E)},
                       {"rho", Number(p.rho)},    {"pixels", Integer(pixels)}};
    if (unit != 1) members.emplace_back("coverage_pixels", Number(count));
    members.emplace_back("area_mm2", Number(count * pixelArea));
    members.emplace_back("ea", Number(p.E * count * pixelArea));
    members.emplace_back("mass_per_m", Number(p.rho * count * pixelArea / 1e9 * 1000));
    out.elements.push_back(JsonObject(std::move(members)));
  }
  return out;
}

JsonValue RangeJson(const FibreRange& r) {
  return JsonObject({{"min", Number(r.min)}, {"max", Number(r.max)}});
}

// The plastic values of one axis: `first` and `second` name its two sides, `position` the
// coordinate of the axis.
JsonValue PlasticAxisJson(const PlasticAxis& a, std::string_view first, std::string_view second,
                          std::string_view position) {
  const std::string mplFirst = "mpl_" + std::string(first) + "_compressed";
  const std::string mplSecond = "mpl_" + std::string(second) + "_compressed";
  const std::string atFirst = std::string(position) + "_mm_" + std::string(first) + "_compressed";
  const std::string atSecond = std::string(position) + "_mm_" + std::string(second) + "_compressed";
  Members members = {{mplFirst, Number(a.mplFirstCompressed)},
                     {mplSecond, Number(a.mplSecondCompressed)},
                     {atFirst, Number(a.axisFirstCompressed)},
                     {atSecond, Number(a.axisSecondCompressed)}};
  if (a.wpl) {
    members.emplace_back("wpl_mm3", Number(*a.wpl));
    members.emplace_back("shape_factor", a.shapeFactor ? Number(*a.shapeFactor) : JsonValue());
  }
  return JsonObject(members);
}

// "plastic" and, without values, "plastic_missing" with the reason.
void AddPlasticJson(const PlasticOutcome& p, Members& members) {
  if (!p.values) {
    members.emplace_back("plastic", nullptr);
    members.emplace_back("plastic_missing", Text(p.missing));
    return;
  }
  members.emplace_back(
      "plastic",
      JsonObject(
          {{"horizontal_axis", PlasticAxisJson(p.values->horizontal, "top", "bottom", "ver")},
           {"vertical_axis", PlasticAxisJson(p.values->vertical, "left", "right", "hor")}}));
}

// The torsion values, one member a line; each material on a line of its own like the analysis'.
JsonValue ExtendedJson(const ElasticResult& e, const std::optional<PlasticOutcome>& plastic,
                       const std::optional<SectionTableOutcome>& table) {
  const JsonValue materials = LinesArray(e.materials.size(), [&](std::size_t i) {
    const MaterialModuli& m = e.materials[i];
    return JsonObject({{"label", Text(m.label)},
                       {"name", Text(m.name)},
                       {"e", Number(m.E)},
                       {"nu", Number(m.nu)},
                       {"g", Number(m.G)},
                       {"pixels", Integer(m.pixels)},
                       {"fibres_mm", JsonObject({{"y", RangeJson(m.y)},
                                                 {"z", RangeJson(m.z)},
                                                 {"axis1", RangeJson(m.axis1)},
                                                 {"axis2", RangeJson(m.axis2)}})},
                       {"stress_per_moment", JsonObject({{"eiyy", RangeJson(m.stressY)},
                                                         {"eizz", RangeJson(m.stressZ)},
                                                         {"ei1", RangeJson(m.stress1)},
                                                         {"ei2", RangeJson(m.stress2)}})}});
  });
  const JsonValue estimate =
      e.HasErrorEstimate
          ? JsonObject({{"gj", Number(e.GJErrorEstimate)},
                        {"gj_relative", Number(e.GJ > 0 ? e.GJErrorEstimate / e.GJ : 0.0)},
                        {"shear_centre_mm", Number(e.ShearCentreErrorEstimate)},
                        {"order", Number(e.ObservedOrder)},
                        {"from", Text(e.CutCells ? "largest_step" : "observed_order")},
                        {"against", Text(e.CutCells ? "drawn_edge" : "staircase")}})
          : nullptr;
  Members members = {
      {"gj", Number(e.GJ)},
      {"gj_solved", Number(e.GJSolved)},
      {"torsion_extrapolated", JsonValue(e.Extrapolated)},
      {"shear_centre", JsonObject({{"hor_mm", Number(e.ShearCentreHor)},
                                   {"ver_mm", Number(e.ShearCentreVer)},
                                   {"y_mm", Number(e.ShearCentreY)},
                                   {"z_mm", Number(e.ShearCentreZ)}})},
      {"beta_y_mm", Number(e.BetaY)},
      {"beta_z_mm", Number(e.BetaZ)},
      {"radius_y_mm", Number(e.RadiusY)},
      {"radius_z_mm", Number(e.RadiusZ)},
      {"torsion_pixel_mm",
       JsonObject({{"hor", Number(e.CellWidthMm)}, {"ver", Number(e.CellHeightMm)}})},
      {"torsion_coarsening", Integer(e.Coarsening)},
      {"torsion_cells", Integer(e.Cells)},
      {"torsion_parts", Integer(e.Parts)},
      {"torsion_iterations", Integer(e.Iterations)},
      {"torsion_error_estimate", estimate},
      // Null when every pixel was solved.
      {"torsion_blocks", e.Coarsening > 1 ? JsonObject({{"pixels", Integer(e.Coarsening)},
                                                        {"max_cells", Integer(e.CellCap)}})
                                          : JsonValue(nullptr)},
      {"materials", materials},
      {"eiw", Number(e.EIw)},
      {"gas_y", Number(e.GAy)},
      {"gas_z", Number(e.GAz)},
  };
  Members designValues;
  // Values of one material only, where a stress or an area follows from the stiffness.
  if (const std::optional<SectionModuli>& w = e.Moduli) {
    const double g = SingleShearModulus(e);
    designValues = {
        {"iw_mm6", Number(e.EIw / w->E)},
        {"as_y_mm2", g > 0 ? Number(e.GAy / g) : nullptr},
        {"as_z_mm2", g > 0 ? Number(e.GAz / g) : nullptr},
        {"wel_horizontal_axis_mm3", Number(w->Horizontal())},
        {"wel_horizontal_axis_top_mm3", Number(w->HorizontalTop)},
        {"wel_horizontal_axis_bottom_mm3", Number(w->HorizontalBottom)},
        {"wel_vertical_axis_mm3", Number(w->Vertical())},
        {"wel_vertical_axis_left_mm3", Number(w->VerticalLeft)},
        {"wel_vertical_axis_right_mm3", Number(w->VerticalRight)},
        {"wel_ei1_mm3", Number(w->Axis1)},
        {"wel_ei2_mm3", Number(w->Axis2)},
    };
  }
  if (!e.HasErrorEstimate) {
    const auto after = std::find_if(members.begin(), members.end(), [](const auto& member) {
      return member.first == "torsion_error_estimate";
    });
    members.insert(after + 1, Members::value_type{"torsion_error_estimate_missing",
                                                  Text(NoEstimateReason(e))});
  }
  members.insert(members.end(), designValues.begin(), designValues.end());
  if (plastic) AddPlasticJson(*plastic, members);
  // Like the design values, only where the section has one material; the keys do not follow the
  // sign convention, which renames only the texts.
  if (table && table->line) {
    Members line;
    for (const SectionTableEntry& entry :
         SectionTableEntries(*table->line, SignConvention::DorvastPelkam)) {
      line.emplace_back(std::string(entry.key), Number(entry.value.value));
    }
    members.emplace_back("section_table", JsonLinesObject(std::move(line)));
  }
  return JsonLinesObject(std::move(members));
}

JsonValue PointJson(const SectionPoint& p) {
  return JsonObject({{"hor_mm", Number(p.Hor)}, {"ver_mm", Number(p.Ver)}});
}

// "sigma", "tau" and "von_mises" of a set of pixels, each extreme with the point it was taken at.
void AddExtremesJson(const StressExtremes& e, Members& members) {
  members.emplace_back("sigma", JsonObject({{"min", Number(e.sigmaMin.value)},
                                            {"max", Number(e.sigmaMax.value)},
                                            {"min_at", PointJson(e.sigmaMin.at)},
                                            {"max_at", PointJson(e.sigmaMax.at)}}));
  members.emplace_back(
      "tau", JsonObject({{"max", Number(e.tauMax.value)}, {"max_at", PointJson(e.tauMax.at)}}));
  members.emplace_back("von_mises", JsonObject({{"max", Number(e.vonMisesMax.value)},
                                                {"max_at", PointJson(e.vonMisesMax.at)}}));
}

// The stresses under the actions: the whole section's extremes, each material's on a line of its
// own (a material without pixels has none) and the joints between materials.
JsonValue StressJson(const StressField& f, SignConvention convention) {
  Members actions;
  for (const std::string_view name : {"N", "My", "Mz", "Vy", "Vz", "T"}) {
    actions.emplace_back(name, Number(ActionValue(f.Actions(), *ActionOfName(name, convention))));
  }
  const JsonValue materials = LinesArray(f.Materials().size(), [&](std::size_t i) {
    const MaterialStress& m = f.Materials()[i];
    Members members = {{"label", Text(m.label)},
                       {"name", Text(m.name)},
                       {"e", Number(m.E)},
                       {"pixels", Integer(m.extremes.pixels)}};
    if (m.extremes.pixels > 0) AddExtremesJson(m.extremes, members);
    return JsonObject(std::move(members));
  });
  const JsonValue joints = LinesArray(f.Joints().size(), [&](std::size_t i) {
    const JointStress& j = f.Joints()[i];
    return JsonObject({{"labels", JsonValue::Array{{Text(j.first), Text(j.second)}, false}},
                       {"length_mm", Number(j.lengthMm)},
                       {"flow_n_per_mm", Number(j.flow)},
                       {"mean", Number(j.mean)},
                       {"tau", JsonObject({{"max", Number(j.tauMax.value)},
                                           {"max_at", PointJson(j.tauMax.at)}})}});
  });
  Members members = {{"actions", JsonObject(actions)},
                     {"elastic_centre", PointJson(f.Centre())},
                     {"coarsening", Integer(f.Coarsening())},
                     {"pixels", Integer(f.Overall().pixels)}};
  AddExtremesJson(f.Overall(), members);
  members.emplace_back("materials", materials);
  members.emplace_back("joints", joints);
  return JsonLinesObject(std::move(members));
}

JsonValue Optional(const std::optional<double>& v) { return v ? Number(*v) : JsonValue(); }

// One axis' ultimate moments: `first` and `second` name its sides, `position` the coordinate of
// the neutral axis.
JsonValue ResistanceAxisJson(const ResistanceAxis& a, std::string_view first,
                             std::string_view second, std::string_view position) {
  const std::string f(first);
  const std::string s(second);
  const std::string p(position);
  return JsonObject({{"m_" + f + "_compressed", Optional(a.mFirstCompressed)},
                     {"m_" + s + "_compressed", Optional(a.mSecondCompressed)},
                     {p + "_mm_neutral_" + f + "_compressed", Optional(a.axisFirstCompressed)},
                     {p + "_mm_neutral_" + s + "_compressed", Optional(a.axisSecondCompressed)}});
}

JsonValue InteractionJson(const ResistanceAxis& a) {
  return LinesArray(a.interaction.size(), [&](std::size_t i) {
    const auto& [n, first, second] = a.interaction[i];
    return JsonValue::Array{{Number(n), Number(first), Number(second)}, false};
  });
}

JsonValue MomentCurvatureJson(const ResistanceAxis& a) {
  return LinesArray(a.momentCurvature.size(), [&](std::size_t i) {
    const auto& [k, m] = a.momentCurvature[i];
    return JsonValue::Array{{Number(k), Number(m)}, false};
  });
}

JsonValue BiaxialJson(const ResistanceSection& v) {
  return LinesArray(v.biaxial.size(), [&](std::size_t i) {
    const auto& [angle, my, mz] = v.biaxial[i];
    return JsonValue::Array{{Number(angle), Number(my), Number(mz)}, false};
  });
}

// "resistance" and, without values, "resistance_missing" with the reason.
void AddResistanceJson(const ResistanceOutcome& r, Members& members) {
  if (!r.values) {
    members.emplace_back("resistance", nullptr);
    members.emplace_back("resistance_missing", Text(r.missing));
    return;
  }
  const ResistanceSection& v = *r.values;
  Members block = {
      {"n_compression", Number(v.nCompression)},
      {"n_tension", Number(v.nTension)},
      {"n", Number(v.n)},
      {"horizontal_axis", ResistanceAxisJson(v.horizontal, "top", "bottom", "ver")},
      {"vertical_axis", ResistanceAxisJson(v.vertical, "left", "right", "hor")},
  };
  if (!v.horizontal.interaction.empty()) {
    block.emplace_back("interaction",
                       JsonLinesObject({{"horizontal_axis", InteractionJson(v.horizontal)},
                                        {"vertical_axis", InteractionJson(v.vertical)}}));
  }
  if (v.asked.momentCurvature) {
    block.emplace_back("moment_curvature",
                       JsonLinesObject({{"horizontal_axis", MomentCurvatureJson(v.horizontal)},
                                        {"vertical_axis", MomentCurvatureJson(v.vertical)}}));
  }
  if (v.asked.biaxialAngles > 0) block.emplace_back("biaxial", BiaxialJson(v));
  members.emplace_back("resistance", JsonLinesObject(std::move(block)));
}

JsonValue CrackedRangeJson(const CrackedRange& r) {
  return JsonObject({{"min", Number(r.min)}, {"max", Number(r.max)}});
}

// "cracked" and, without values, "cracked_missing" with the reason. Positions are [hor, ver] in
// mm from UL, as the other positions' hor_mm and ver_mm.
void AddCrackedJson(const CrackedOutcome& c, Members& members) {
  if (!c.values) {
    members.emplace_back("cracked", nullptr);
    members.emplace_back("cracked_missing", Text(c.missing));
    return;
  }
  const CrackedSection& v = *c.values;
  const auto point = [](const SectionPoint& p) {
    return JsonValue::Array{{Number(p.Hor), Number(p.Ver)}, false};
  };
  const JsonValue axis =
      v.neutralAxis
          ? JsonValue::Array{{point((*v.neutralAxis)[0]), point((*v.neutralAxis)[1])}, false}
          : JsonValue();
  const JsonValue materials = LinesArray(v.materials.size(), [&](std::size_t i) {
    const CrackedMaterial& m = v.materials[i];
    return JsonObject({{"label", Text(m.label)},
                       {"e", Number(m.E)},
                       {"cracks", Bool(m.cracks)},
                       {"sigma", m.sigma ? CrackedRangeJson(*m.sigma) : JsonValue()}});
  });
  members.emplace_back("cracked",
                       JsonLinesObject({{"neutral_axis", axis},
                                        {"sigma", CrackedRangeJson(v.sigma)},
                                        {"materials", materials},
                                        {"ea", Number(v.EA)},
                                        {"eiyy", Number(v.EIyy)},
                                        {"eizz", Number(v.EIzz)},
                                        {"eiyz", Number(v.EIyz)},
                                        {"cracked_centre", PointJson(v.crackedCentre)},
                                        {"strain", JsonObject({{"eps0", Number(v.plane.eps0)},
                                                               {"ky", Number(v.plane.ky)},
                                                               {"kz", Number(v.plane.kz)}})},
                                        {"iterations", Integer(v.iterations)}}));
}

}  // namespace

std::vector<std::string> SectionSession::ExtendedLines() const {
  if (!mElastic) return {};
  std::vector<std::string> lines = ExtendedReport(*mElastic, mSettings.SignConvention, mTextUnits);
  const auto append = [&](const std::vector<std::string>& more) {
    lines.insert(lines.end(), more.begin(), more.end());
  };
  if (mPlastic) append(PlasticReport(*mPlastic, mTextUnits));
  if (mTable && mTable->line) {
    append(SectionTableReport(*mTable->line, mSettings.SignConvention, mTextUnits));
  }
  return lines;
}

std::string SectionSession::FullReportText() const {
  std::string text = ReportText();
  if (mElastic) {
    text += "\r\n" + JoinCrLf(ExtendedLines());
  }
  if (mResistance) text += "\r\n" + JoinCrLf(ResistanceReport(*mResistance, mTextUnits));
  if (mCracked) {
    text += "\r\n" + JoinCrLf(CrackedReport(*mCracked, mSettings.SignConvention, mTextUnits));
  }
  if (mStress) {
    text += "\r\n" + JoinCrLf(StressReport(*mStress, mSettings.SignConvention, mTextUnits));
  }
  return text;
}

JsonValue AnalysisJson(const SectionSession& s, const SectionSize& given) {
  const SectionSize size = s.AnalysedSize(given);
  const SectionResult& r = s.Result();
  const SectionBounds& b = s.Bounds();
  // The document stays in N and mm whatever the texts are shown in: its keys say so.
  const bool nmm = s.TextUnits() == UnitSystem::NMm;
  const CentreTexts c = nmm ? s.Centre() : FormatCentreTexts(r, b);
  const StiffnessTexts t = nmm ? s.Stiffness() : FormatStiffnessTexts(r);
  Members members = {
      {"picture", Text(FileNameOf(s.PictureFile()))},
      {"width_text", Text(size.widthText)},
      {"height_text", Text(size.heightText)},
  };
  // Only a run given a pixel size names it: the sizes typed leave the object as it always was.
  if (size.pixelSizeMm) members.emplace_back("pixel_size_mm", Number(*size.pixelSizeMm));
  const Members box = {
      {"section_bounds", JsonObject({{"xmin", Integer(b.xmin)},
                                     {"ymin", Integer(b.ymin)},
                                     {"xmax", Integer(b.xmax)},
                                     {"ymax", Integer(b.ymax)}})},
      {"width_px", Integer(b.WidthPixels())},
      {"height_px", Integer(b.HeightPixels())},
      {"dx", Number(r.Dx)},
      {"dy", Number(r.Dy)},
      {"relevant_pixels", Integer(r.RelevantPixels)},
      {"ea", Number(r.EA)},
      {"mass_kg_per_mm", Number(r.Mass)},
      {"mass_per_m", Number(r.Mass * 1000)},
      {"nc", CentreJson(r.NC, b.xmin, b.ymin, r)},
      {"mc", CentreJson(r.MC, b.xmin, b.ymin, r)},
      {"eiyy", Number(r.EIyy)},
      {"eizz", Number(r.EIzz)},
      {"eiyz", Number(r.EIyz)},
      {"ei1", Number(r.EI1)},
      {"ei2", Number(r.EI2)},
      {"alpha_rad", Number(r.Alpha)},
      {"alpha_deg", Number(r.Alpha * 180 / std::numbers::pi)},
      {"iso", Bool(r.Iso)},
      {"convention", Integer(static_cast<int>(s.Settings().SignConvention))},
      {"eps", Number(s.Settings().AngleTolerance)},
  };
  members.insert(members.end(), box.begin(), box.end());
  // Only the coverage reading names itself: the flat reading's object is what it always was.
  if (r.Coverage) members.emplace_back("edges", Text(EdgeModeName(EdgeMode::Coverage)));
  // A drawing's values come from its outlines, its cells serving the solvers only.
  if (s.Drawing()) members.emplace_back("geometry", Text("outline"));
  const Members rest = {
      {"texts", JsonObject({{"relevant_pixels", Text(c.relevantPixels)},
                            {"ea", Text(c.ea)},
                            {"nc_hor", Text(c.ncHor)},
                            {"nc_ver", Text(c.ncVer)},
                            {"mass", Text(c.mass)},
                            {"mc_hor", Text(c.mcHor)},
                            {"mc_ver", Text(c.mcVer)},
                            {"eiyy", Text(t.eiyy)},
                            {"eizz", Text(t.eizz)},
                            {"eiyz", Text(t.eiyz)},
                            {"alpha", Text(t.alpha)},
                            {"ei1", Text(t.ei1)},
                            {"ei2", Text(t.ei2)}})},
      {"hints", JsonObject({{"ea", Text(t.hintEA)},
                            {"eiyy", Text(t.hintEIyy)},
                            {"eizz", Text(t.hintEIzz)},
                            {"eiyz", Text(t.hintEIyz)},
                            {"ei1", Text(t.hintEI1)},
                            {"ei2", Text(t.hintEI2)}})},
      {"materials", MaterialsJson(s)},
  };
  members.insert(members.end(), rest.begin(), rest.end());
  if (s.Elastic()) {
    members.emplace_back("extended", ExtendedJson(*s.Elastic(), s.Plastic(), s.Table()));
  }
  if (s.Resistance()) AddResistanceJson(*s.Resistance(), members);
  if (s.Cracked()) AddCrackedJson(*s.Cracked(), members);
  if (s.Stresses()) {
    members.emplace_back("stress", StressJson(*s.Stresses(), s.Settings().SignConvention));
  }
  return JsonLinesObject(std::move(members));
}

std::string AnalysisJsonText(const SectionSession& s, const SectionSize& size) {
  return JsonText(AnalysisJson(s, size)) + "\n";
}

}  // namespace qv
