// The laws' formulas and their text.
#include "core/library/material_law.h"

#include <algorithm>
#include <cmath>

#include "core/base/error.h"
#include "core/base/number_text.h"

namespace qv {
namespace {

constexpr std::string_view kPointsPrefix = "points:";
constexpr MaterialLaw kDefaults{};

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(Trimmed(text.substr(0, at)));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

double ReadValue(std::string_view name, std::string_view text) {
  try {
    const double value = ReadReal(text);
    if (std::isfinite(value)) return value;
  } catch (const Error&) {
  }
  throw Error(std::string(name) + " must be a number, not '" + std::string(text) + "'");
}

double ReadPositive(std::string_view name, std::string_view text) {
  const double value = ReadValue(name, text);
  if (!(value > 0)) throw Error(std::string(name) + " must be above 0");
  return value;
}

MaterialLaw ReadPoints(std::string_view table) {
  MaterialLaw law;
  law.kind = LawKind::kPoints;
  for (const std::string_view point : Split(table, ';')) {
    const std::vector<std::string_view> pair = Split(point, '/');
    if (pair.size() != 2) {
      throw Error("a point of the law must be STRAIN/STRESS, not '" + std::string(point) + "'");
    }
    law.points.emplace_back(ReadValue("a strain", pair[0]), ReadValue("a stress", pair[1]));
  }
  if (law.points.size() < 2) throw Error("a points law needs at least two points");
  for (std::size_t i = 1; i < law.points.size(); ++i) {
    if (!(law.points[i].first > law.points[i - 1].first)) {
      throw Error("the strains of a points law must increase from point to point");
    }
  }
  return law;
}

}  // namespace

MaterialLaw ReadMaterialLaw(std::string_view text) {
  text = Trimmed(text);
  if (text.starts_with(kPointsPrefix)) return ReadPoints(text.substr(kPointsPrefix.size()));
  const std::vector<std::string_view> parts = Split(text, ',');
  MaterialLaw law;
  const std::string_view name = parts.front();
  std::vector<std::string_view> allowed;
  if (name == "linear") {
    law.kind = LawKind::kLinear;
  } else if (name == "elastic-plastic") {
    law.kind = LawKind::kElasticPlastic;
    allowed = {"eu"};
  } else if (name == "parabola-rectangle") {
    law.kind = LawKind::kParabolaRectangle;
    allowed = {"ec2", "ecu", "n"};
  } else if (name == "no-tension") {
    law.kind = LawKind::kNoTension;
  } else {
    throw Error(
        "the law must be linear, elastic-plastic, parabola-rectangle, no-tension or "
        "points:STRAIN/STRESS;..., not '" +
        std::string(text) + "'");
  }
  std::vector<std::string_view> given;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::size_t equals = parts[i].find('=');
    const std::string_view key = Trimmed(parts[i].substr(0, equals));
    if (equals == std::string_view::npos ||
        std::find(allowed.begin(), allowed.end(), key) == allowed.end()) {
      if (allowed.empty()) throw Error(std::string(name) + " takes no parameters");
      std::string names;
      for (const std::string_view a : allowed) {
        names += (names.empty() ? "" : ", ") + std::string(a) + "=VALUE";
      }
      throw Error("a parameter of " + std::string(name) + " must be " + names + ", not '" +
                  std::string(parts[i]) + "'");
    }
    if (std::find(given.begin(), given.end(), key) != given.end()) {
      throw Error(std::string(key) + " is given twice");
    }
    given.push_back(key);
    const double value = ReadPositive(key, Trimmed(parts[i].substr(equals + 1)));
    if (key == "eu") law.eu = value;
    if (key == "ec2") law.ec2 = value;
    if (key == "ecu") law.ecu = value;
    if (key == "n") law.n = value;
  }
  if (law.ecu < law.ec2) throw Error("ecu must be at least ec2");
  return law;
}

std::string MaterialLawText(const MaterialLaw& law) {
  switch (law.kind) {
    case LawKind::kLinear:
      return "linear";
    case LawKind::kNoTension:
      return "no-tension";
    case LawKind::kElasticPlastic:
      return "elastic-plastic" + (law.eu ? ",eu=" + FormatNumber(*law.eu) : std::string());
    case LawKind::kParabolaRectangle: {
      std::string text = "parabola-rectangle";
      if (law.ec2 != kDefaults.ec2) text += ",ec2=" + FormatNumber(law.ec2);
      if (law.ecu != kDefaults.ecu) text += ",ecu=" + FormatNumber(law.ecu);
      if (law.n != kDefaults.n) text += ",n=" + FormatNumber(law.n);
      return text;
    }
    case LawKind::kPoints: {
      std::string text(kPointsPrefix);
      for (std::size_t i = 0; i < law.points.size(); ++i) {
        text += (i == 0 ? "" : ";") + FormatNumber(law.points[i].first) + "/" +
                FormatNumber(law.points[i].second);
      }
      return text;
    }
  }
  return {};
}

MaterialLaw DefaultLaw(const std::optional<Strength>& strength) {
  MaterialLaw law;
  if (strength) {
    law.kind = strength->tension == 0 ? LawKind::kParabolaRectangle : LawKind::kElasticPlastic;
  }
  return law;
}

double LawOfMaterial::Sigma(double eps) const {
  switch (mLaw.kind) {
    case LawKind::kLinear:
      return mE * eps;
    case LawKind::kNoTension:
      return eps < 0 ? mE * eps : 0.0;
    case LawKind::kElasticPlastic:
      return std::clamp(mE * eps, -mStrength.compression, mStrength.tension);
    case LawKind::kParabolaRectangle: {
      if (eps >= 0) return 0.0;
      if (eps <= -mLaw.ec2) return -mStrength.compression;
      return -mStrength.compression * (1 - std::pow(1 + eps / mLaw.ec2, mLaw.n));
    }
    case LawKind::kPoints: {
      const auto& p = mLaw.points;
      if (eps < p.front().first || eps > p.back().first) return 0.0;
      const auto after = std::upper_bound(
          p.begin(), p.end(), eps, [](double e, const auto& point) { return e < point.first; });
      if (after == p.end()) return p.back().second;
      const auto before = after - 1;
      const double t = (eps - before->first) / (after->first - before->first);
      return before->second + t * (after->second - before->second);
    }
  }
  return 0.0;
}

std::vector<double> LawOfMaterial::Kinks() const {
  switch (mLaw.kind) {
    case LawKind::kLinear:
      return {};
    case LawKind::kNoTension:
      return {0.0};
    case LawKind::kElasticPlastic:
      if (!(mE > 0)) return {};
      return {-mStrength.compression / mE, mStrength.tension / mE};
    case LawKind::kParabolaRectangle:
      return {-mLaw.ec2, 0.0};
    case LawKind::kPoints: {
      std::vector<double> kinks;
      for (const auto& point : mLaw.points) kinks.push_back(point.first);
      return kinks;
    }
  }
  return {};
}

std::optional<double> LawOfMaterial::CompressionLimit() const {
  switch (mLaw.kind) {
    case LawKind::kElasticPlastic:
      if (mLaw.eu) return -*mLaw.eu;
      return std::nullopt;
    case LawKind::kParabolaRectangle:
      return -mLaw.ecu;
    case LawKind::kPoints:
      // A table ending at a stress of 0 carries nothing beyond it, which is no failure.
      if (mLaw.points.front().first < 0 && mLaw.points.front().second != 0) {
        return mLaw.points.front().first;
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::optional<double> LawOfMaterial::TensionLimit() const {
  switch (mLaw.kind) {
    case LawKind::kElasticPlastic:
      return mLaw.eu;
    case LawKind::kPoints:
      if (mLaw.points.back().first > 0 && mLaw.points.back().second != 0) {
        return mLaw.points.back().first;
      }
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

bool LawOfMaterial::Bounded() const {
  return mLaw.kind != LawKind::kLinear && mLaw.kind != LawKind::kNoTension;
}

}  // namespace qv
