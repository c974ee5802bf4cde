// The batch tool's JSON: every value of an analysis at full precision, as one object.
#include "core/analysis/analysis_json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

#include "core/base/number_text.h"
#include "core/base/path.h"
#include "core/elastic/extended_report.h"

namespace qv {
namespace {

std::string JsonNumber(double v) {
  // JSON has no infinity or NaN; absurd inputs can still produce them.
  if (!std::isfinite(v)) return "null";
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

std::string JsonInteger(std::int64_t v) { return IntegerText(v); }

std::string JsonBool(bool v) { return v ? "true" : "false"; }

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it is not one.
std::size_t Utf8Length(std::string_view s) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b0 = byte(0);
  std::size_t n = 0;
  std::uint32_t cp = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  if (overlong || surrogate || cp > 0x10FFFF) return 0;
  return n;
}

// A JSON string. UTF-8 passes unchanged; bytes that are not UTF-8 (a library file written in
// another encoding) become U+FFFD, since a JSON text must be valid Unicode.
std::string JsonString(std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      switch (c) {
        case '"':
          out += "\\\"";
          break;
        case '\\':
          out += "\\\\";
          break;
        case '\b':
          out += "\\b";
          break;
        case '\f':
          out += "\\f";
          break;
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
          } else {
            out += static_cast<char>(c);
          }
      }
      ++i;
      continue;
    }
    const std::size_t n = Utf8Length(s.substr(i));
    if (n == 0) {
      out += "\\ufffd";
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  out += '"';
  return out;
}

using Members = std::vector<std::pair<std::string_view, std::string>>;

std::string JsonObject(const Members& members) {
  std::string out = "{";
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i > 0) out += ", ";
    out += JsonString(members[i].first) + ": " + members[i].second;
  }
  return out + "}";
}

std::string CentreJson(PixelPoint p, int xmin, int ymin, const SectionResult& r) {
  // The same distances the window's texts round: whole pixels from UL times the scale.
  return JsonObject({{"x_px", JsonInteger(p.x)},
                     {"y_px", JsonInteger(p.y)},
                     {"hor_mm", JsonNumber(std::abs(p.x - xmin) * r.Dx)},
                     {"ver_mm", JsonNumber(std::abs(p.y - ymin) * r.Dy)}});
}

std::string MaterialsJson(const SectionSession& s) {
  const SectionResult& r = s.Result();
  const double pixelArea = r.Dx * r.Dy;
  // Read as coverage, the counts are in 1/unit pixels and "pixels" are those holding a share.
  const std::int64_t unit = s.Moments().unit;
  std::string out = "[";
  bool first = true;
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
    out += first ? "\n    " : ",\n    ";
    first = false;
    Members members = {{"id", JsonInteger(entry.id)}, {"label", JsonString(p.colorlabel)},
                       {"name", JsonString(p.name)},  {"e", JsonNumber(p.E)},
                       {"rho", JsonNumber(p.rho)},    {"pixels", JsonInteger(pixels)}};
    if (unit != 1) members.emplace_back("coverage_pixels", JsonNumber(count));
    members.emplace_back("area_mm2", JsonNumber(count * pixelArea));
    members.emplace_back("ea", JsonNumber(p.E * count * pixelArea));
    members.emplace_back("mass_per_m", JsonNumber(p.rho * count * pixelArea / 1e9 * 1000));
    out += JsonObject(members);
  }
  return out + (first ? "]" : "\n  ]");
}

std::string RangeJson(const FibreRange& r) {
  return JsonObject({{"min", JsonNumber(r.min)}, {"max", JsonNumber(r.max)}});
}

// The plastic values of one axis: `first` and `second` name its two sides, `position` the
// coordinate of the axis.
std::string PlasticAxisJson(const PlasticAxis& a, std::string_view first, std::string_view second,
                            std::string_view position) {
  const std::string mplFirst = "mpl_" + std::string(first) + "_compressed";
  const std::string mplSecond = "mpl_" + std::string(second) + "_compressed";
  const std::string atFirst = std::string(position) + "_mm_" + std::string(first) + "_compressed";
  const std::string atSecond = std::string(position) + "_mm_" + std::string(second) + "_compressed";
  Members members = {{mplFirst, JsonNumber(a.mplFirstCompressed)},
                     {mplSecond, JsonNumber(a.mplSecondCompressed)},
                     {atFirst, JsonNumber(a.axisFirstCompressed)},
                     {atSecond, JsonNumber(a.axisSecondCompressed)}};
  if (a.wpl) {
    members.emplace_back("wpl_mm3", JsonNumber(*a.wpl));
    members.emplace_back("shape_factor", a.shapeFactor ? JsonNumber(*a.shapeFactor) : "null");
  }
  return JsonObject(members);
}

// "plastic" and, without values, "plastic_missing" with the reason.
void AddPlasticJson(const PlasticOutcome& p, Members& members) {
  if (!p.values) {
    members.emplace_back("plastic", "null");
    members.emplace_back("plastic_missing", JsonString(p.missing));
    return;
  }
  members.emplace_back(
      "plastic",
      JsonObject(
          {{"horizontal_axis", PlasticAxisJson(p.values->horizontal, "top", "bottom", "ver")},
           {"vertical_axis", PlasticAxisJson(p.values->vertical, "left", "right", "hor")}}));
}

// The torsion values, one member a line; each material on a line of its own like the analysis'.
std::string ExtendedJson(const ElasticResult& e, const std::optional<PlasticOutcome>& plastic) {
  std::string materials = "[";
  for (std::size_t i = 0; i < e.materials.size(); ++i) {
    const MaterialModuli& m = e.materials[i];
    materials += i == 0 ? "\n      " : ",\n      ";
    materials += JsonObject({{"label", JsonString(m.label)},
                             {"name", JsonString(m.name)},
                             {"e", JsonNumber(m.E)},
                             {"nu", JsonNumber(m.nu)},
                             {"g", JsonNumber(m.G)},
                             {"pixels", JsonInteger(m.pixels)},
                             {"fibres_mm", JsonObject({{"y", RangeJson(m.y)},
                                                       {"z", RangeJson(m.z)},
                                                       {"axis1", RangeJson(m.axis1)},
                                                       {"axis2", RangeJson(m.axis2)}})},
                             {"stress_per_moment", JsonObject({{"eiyy", RangeJson(m.stressY)},
                                                               {"eizz", RangeJson(m.stressZ)},
                                                               {"ei1", RangeJson(m.stress1)},
                                                               {"ei2", RangeJson(m.stress2)}})}});
  }
  materials += e.materials.empty() ? "]" : "\n    ]";
  const std::string estimate =
      e.HasErrorEstimate
          ? JsonObject({{"gj", JsonNumber(e.GJErrorEstimate)},
                        {"gj_relative", JsonNumber(e.GJ > 0 ? e.GJErrorEstimate / e.GJ : 0.0)},
                        {"shear_centre_mm", JsonNumber(e.ShearCentreErrorEstimate)},
                        {"order", JsonNumber(e.ObservedOrder)}})
          : "null";
  Members members = {
      {"gj", JsonNumber(e.GJ)},
      {"shear_centre", JsonObject({{"hor_mm", JsonNumber(e.ShearCentreHor)},
                                   {"ver_mm", JsonNumber(e.ShearCentreVer)},
                                   {"y_mm", JsonNumber(e.ShearCentreY)},
                                   {"z_mm", JsonNumber(e.ShearCentreZ)}})},
      {"radius_y_mm", JsonNumber(e.RadiusY)},
      {"radius_z_mm", JsonNumber(e.RadiusZ)},
      {"torsion_pixel_mm",
       JsonObject({{"hor", JsonNumber(e.CellWidthMm)}, {"ver", JsonNumber(e.CellHeightMm)}})},
      {"torsion_coarsening", JsonInteger(e.Coarsening)},
      {"torsion_cells", JsonInteger(e.Cells)},
      {"torsion_parts", JsonInteger(e.Parts)},
      {"torsion_iterations", JsonInteger(e.Iterations)},
      {"torsion_error_estimate", estimate},
      {"materials", materials},
      {"eiw", JsonNumber(e.EIw)},
      {"gas_y", JsonNumber(e.GAy)},
      {"gas_z", JsonNumber(e.GAz)},
  };
  Members designValues;
  // Values of one material only, where a stress or an area follows from the stiffness.
  if (const std::optional<SectionModuli>& w = e.Moduli) {
    const double g = SingleShearModulus(e);
    designValues = {
        {"iw_mm6", JsonNumber(e.EIw / w->E)},
        {"as_y_mm2", g > 0 ? JsonNumber(e.GAy / g) : "null"},
        {"as_z_mm2", g > 0 ? JsonNumber(e.GAz / g) : "null"},
        {"wel_horizontal_axis_mm3", JsonNumber(w->Horizontal())},
        {"wel_horizontal_axis_top_mm3", JsonNumber(w->HorizontalTop)},
        {"wel_horizontal_axis_bottom_mm3", JsonNumber(w->HorizontalBottom)},
        {"wel_vertical_axis_mm3", JsonNumber(w->Vertical())},
        {"wel_vertical_axis_left_mm3", JsonNumber(w->VerticalLeft)},
        {"wel_vertical_axis_right_mm3", JsonNumber(w->VerticalRight)},
        {"wel_ei1_mm3", JsonNumber(w->Axis1)},
        {"wel_ei2_mm3", JsonNumber(w->Axis2)},
    };
  }
  if (!e.HasErrorEstimate) {
    const auto after = std::find_if(members.begin(), members.end(), [](const auto& member) {
      return member.first == "torsion_error_estimate";
    });
    members.insert(after + 1, Members::value_type{"torsion_error_estimate_missing",
                                                  JsonString(NoEstimateReason(e))});
  }
  members.insert(members.end(), designValues.begin(), designValues.end());
  if (plastic) AddPlasticJson(*plastic, members);
  std::string out = "{";
  for (std::size_t i = 0; i < members.size(); ++i) {
    out += i == 0 ? "\n    " : ",\n    ";
    out += JsonString(members[i].first) + ": " + members[i].second;
  }
  return out + "\n  }";
}

std::string PointJson(const SectionPoint& p) {
  return JsonObject({{"hor_mm", JsonNumber(p.Hor)}, {"ver_mm", JsonNumber(p.Ver)}});
}

// "sigma", "tau" and "von_mises" of a set of pixels, each extreme with the point it was taken at.
void AddExtremesJson(const StressExtremes& e, Members& members) {
  members.emplace_back("sigma", JsonObject({{"min", JsonNumber(e.sigmaMin.value)},
                                            {"max", JsonNumber(e.sigmaMax.value)},
                                            {"min_at", PointJson(e.sigmaMin.at)},
                                            {"max_at", PointJson(e.sigmaMax.at)}}));
  members.emplace_back(
      "tau", JsonObject({{"max", JsonNumber(e.tauMax.value)}, {"max_at", PointJson(e.tauMax.at)}}));
  members.emplace_back("von_mises", JsonObject({{"max", JsonNumber(e.vonMisesMax.value)},
                                                {"max_at", PointJson(e.vonMisesMax.at)}}));
}

// The stresses under the actions: the whole section's extremes, each material's on a line of its
// own (a material without pixels has none) and the joints between materials.
std::string StressJson(const StressField& f, SignConvention convention) {
  Members actions;
  for (const std::string_view name : {"N", "My", "Mz", "Vy", "Vz", "T"}) {
    actions.emplace_back(name,
                         JsonNumber(ActionValue(f.Actions(), *ActionOfName(name, convention))));
  }
  std::string materials = "[";
  for (std::size_t i = 0; i < f.Materials().size(); ++i) {
    const MaterialStress& m = f.Materials()[i];
    Members members = {{"label", JsonString(m.label)},
                       {"name", JsonString(m.name)},
                       {"e", JsonNumber(m.E)},
                       {"pixels", JsonInteger(m.extremes.pixels)}};
    if (m.extremes.pixels > 0) AddExtremesJson(m.extremes, members);
    materials += i == 0 ? "\n      " : ",\n      ";
    materials += JsonObject(members);
  }
  materials += f.Materials().empty() ? "]" : "\n    ]";
  std::string joints = "[";
  for (std::size_t i = 0; i < f.Joints().size(); ++i) {
    const JointStress& j = f.Joints()[i];
    joints += i == 0 ? "\n      " : ",\n      ";
    joints += JsonObject({{"labels", "[" + JsonString(j.first) + ", " + JsonString(j.second) + "]"},
                          {"length_mm", JsonNumber(j.lengthMm)},
                          {"flow_n_per_mm", JsonNumber(j.flow)},
                          {"mean", JsonNumber(j.mean)},
                          {"tau", JsonObject({{"max", JsonNumber(j.tauMax.value)},
                                              {"max_at", PointJson(j.tauMax.at)}})}});
  }
  joints += f.Joints().empty() ? "]" : "\n    ]";
  Members members = {{"actions", JsonObject(actions)},
                     {"elastic_centre", PointJson(f.Centre())},
                     {"coarsening", JsonInteger(f.Coarsening())},
                     {"pixels", JsonInteger(f.Overall().pixels)}};
  AddExtremesJson(f.Overall(), members);
  members.emplace_back("materials", materials);
  members.emplace_back("joints", joints);
  std::string out = "{";
  for (std::size_t i = 0; i < members.size(); ++i) {
    out += i == 0 ? "\n    " : ",\n    ";
    out += JsonString(members[i].first) + ": " + members[i].second;
  }
  return out + "\n  }";
}

}  // namespace

std::string AnalysisJson(const SectionSession& s, const AnalysisRequest& v) {
  const SectionResult& r = s.Result();
  const SectionBounds& b = s.Bounds();
  const CentreTexts& c = s.Centre();
  const StiffnessTexts& t = s.Stiffness();
  Members members = {
      {"picture", JsonString(FileNameOf(s.PictureFile()))},
      {"width_text", JsonString(v.size.widthText)},
      {"height_text", JsonString(v.size.heightText)},
      {"section_bounds", JsonObject({{"xmin", JsonInteger(b.xmin)},
                                     {"ymin", JsonInteger(b.ymin)},
                                     {"xmax", JsonInteger(b.xmax)},
                                     {"ymax", JsonInteger(b.ymax)}})},
      {"width_px", JsonInteger(b.WidthPixels())},
      {"height_px", JsonInteger(b.HeightPixels())},
      {"dx", JsonNumber(r.Dx)},
      {"dy", JsonNumber(r.Dy)},
      {"relevant_pixels", JsonInteger(r.RelevantPixels)},
      {"ea", JsonNumber(r.EA)},
      {"mass_kg_per_mm", JsonNumber(r.Mass)},
      {"mass_per_m", JsonNumber(r.Mass * 1000)},
      {"nc", CentreJson(r.NC, b.xmin, b.ymin, r)},
      {"mc", CentreJson(r.MC, b.xmin, b.ymin, r)},
      {"eiyy", JsonNumber(r.EIyy)},
      {"eizz", JsonNumber(r.EIzz)},
      {"eiyz", JsonNumber(r.EIyz)},
      {"ei1", JsonNumber(r.EI1)},
      {"ei2", JsonNumber(r.EI2)},
      {"alpha_rad", JsonNumber(r.Alpha)},
      {"alpha_deg", JsonNumber(r.Alpha * 180 / std::numbers::pi)},
      {"iso", JsonBool(r.Iso)},
      {"convention", JsonInteger(static_cast<int>(s.Settings().SignConvention))},
      {"eps", JsonNumber(s.Settings().AngleTolerance)},
  };
  // Only the coverage reading names itself: the flat reading's object is what it always was.
  if (r.Coverage) members.emplace_back("edges", JsonString(EdgeModeName(EdgeMode::Coverage)));
  const Members rest = {
      {"texts", JsonObject({{"relevant_pixels", JsonString(c.relevantPixels)},
                            {"ea", JsonString(c.ea)},
                            {"nc_hor", JsonString(c.ncHor)},
                            {"nc_ver", JsonString(c.ncVer)},
                            {"mass", JsonString(c.mass)},
                            {"mc_hor", JsonString(c.mcHor)},
                            {"mc_ver", JsonString(c.mcVer)},
                            {"eiyy", JsonString(t.eiyy)},
                            {"eizz", JsonString(t.eizz)},
                            {"eiyz", JsonString(t.eiyz)},
                            {"alpha", JsonString(t.alpha)},
                            {"ei1", JsonString(t.ei1)},
                            {"ei2", JsonString(t.ei2)}})},
      {"hints", JsonObject({{"ea", JsonString(t.hintEA)},
                            {"eiyy", JsonString(t.hintEIyy)},
                            {"eizz", JsonString(t.hintEIzz)},
                            {"eiyz", JsonString(t.hintEIyz)},
                            {"ei1", JsonString(t.hintEI1)},
                            {"ei2", JsonString(t.hintEI2)}})},
      {"materials", MaterialsJson(s)},
  };
  members.insert(members.end(), rest.begin(), rest.end());
  if (s.Elastic()) members.emplace_back("extended", ExtendedJson(*s.Elastic(), s.Plastic()));
  if (s.Stresses()) {
    members.emplace_back("stress", StressJson(*s.Stresses(), s.Settings().SignConvention));
  }
  std::string out = "{";
  for (std::size_t i = 0; i < members.size(); ++i) {
    out += i == 0 ? "\n  " : ",\n  ";
    out += JsonString(members[i].first) + ": " + members[i].second;
  }
  return out + "\n}\n";
}

}  // namespace qv
