// The batch tool: command line, the window's flows on a SectionSession, report, JSON, overlay.
#include "cli/run_cli.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGlobal>
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

#include "core/analysis/edge_smoothing.h"
#include "core/analysis/number_text.h"
#include "core/analysis/overlay.h"
#include "core/dd_props.h"
#include "core/error.h"
#include "core/session.h"
#include "imaging/overlay_renderer.h"
#include "imaging/picture_image.h"

namespace qv {
namespace {

constexpr std::string_view kProgram = "quorvane-cli";
// The range of the window's two size fields, in mm.
constexpr std::int64_t kMaxSizeMm = 100000;

// A command line the tool cannot make sense of: the usage follows the message.
struct UsageError {
  std::string message;
};

std::string Decimal(std::int64_t value) {
  char buffer[24];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// ---------------------------------------------------------------------------------------------
// Command line

struct Options {
  std::string command;
  std::string picture;
  bool all = false;
  bool json = false;
  std::optional<std::string> width;
  std::optional<std::string> height;
  std::optional<std::string> library;
  std::optional<std::string> convention;
  std::optional<std::string> eps;
  std::optional<std::string> overlay;
  std::vector<std::string> uses;
  std::vector<std::string> materials;
};

bool IsFlag(std::string_view command, std::string_view name) {
  return (command == "colours" && name == "--all") || (command == "analyse" && name == "--json");
}

// Options of the analyse command that take a value; null for anything else.
std::optional<std::string>* SingleValue(Options& o, std::string_view name) {
  if (o.command != "analyse") return nullptr;
  if (name == "--width") return &o.width;
  if (name == "--height") return &o.height;
  if (name == "--library") return &o.library;
  if (name == "--convention") return &o.convention;
  if (name == "--eps") return &o.eps;
  if (name == "--overlay") return &o.overlay;
  return nullptr;
}

std::vector<std::string>* RepeatedValue(Options& o, std::string_view name) {
  if (o.command != "analyse") return nullptr;
  if (name == "--use") return &o.uses;
  if (name == "--material") return &o.materials;
  return nullptr;
}

Options ParseArguments(const std::vector<std::string>& args) {
  if (args.empty()) throw UsageError{"no command given"};
  Options o;
  o.command = args[0];
  if (o.command != "colours" && o.command != "analyse") {
    throw UsageError{"unknown command '" + o.command + "'"};
  }
  bool optionsEnded = false;
  bool havePicture = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (havePicture) throw UsageError{"unexpected argument '" + arg + "'"};
      o.picture = arg;
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
      (name == "--all" ? o.all : o.json) = true;
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
  if (o.command == "analyse") {
    if (!o.width) throw UsageError{"option --width is required"};
    if (!o.height) throw UsageError{"option --height is required"};
  }
  return o;
}

// ---------------------------------------------------------------------------------------------
// Values

// The window's integer field: optional leading spaces, then a signed decimal 32-bit integer or,
// without a sign, "$", "x", "X", "0x" or "0X" and one to eight hexadecimal digits taken as a
// 32-bit pattern.
std::optional<std::int32_t> ReadFieldInteger(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::nullopt;
  std::string_view t = text.substr(start);
  std::string_view hex;
  bool isHex = false;
  if (t[0] == '$' || t[0] == 'x' || t[0] == 'X') {
    hex = t.substr(1);
    isHex = true;
  } else if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    hex = t.substr(2);
    isHex = true;
  }
  if (isHex) {
    if (hex.empty() || hex.size() > 8 || !std::all_of(hex.begin(), hex.end(), [](char c) {
          return std::isxdigit(static_cast<unsigned char>(c));
        })) {
      return std::nullopt;
    }
    std::uint32_t pattern = 0;
    std::from_chars(hex.data(), hex.data() + hex.size(), pattern, 16);
    return static_cast<std::int32_t>(pattern);
  }
  std::string_view digits = t;
  if (t[0] == '+' || t[0] == '-') digits = t.substr(1);
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  // from_chars takes "-" but not "+".
  if (t[0] == '+') t = digits;
  std::int32_t value = 0;
  const auto result = std::from_chars(t.data(), t.data() + t.size(), value, 10);
  if (result.ec != std::errc() || result.ptr != t.data() + t.size()) return std::nullopt;
  return value;
}

int ReadSize(std::string_view option, const std::string& text) {
  const std::optional<std::int32_t> value = ReadFieldInteger(text);
  const std::string prefix = std::string(option) + " '" + text + "': ";
  if (!value) throw Error(prefix + InvalidIntegerMessage(text));
  if (*value < 0 || *value > kMaxSizeMm) throw Error(prefix + "the size must be 1..100000 mm");
  // The window offers no "analyse" while a size is 0; every result would be zero anyway.
  if (*value == 0) throw Error(prefix + "a section of 0 mm cannot be analysed");
  return *value;
}

double ReadRealOption(std::string_view option, std::string_view text) {
  try {
    return ReadReal(text);
  } catch (const Error& e) {
    throw Error(std::string(option) + ": " + e.what());
  }
}

struct MaterialOverride {
  std::string label;
  std::string name;
  double E = 1;
  double rho = 1;
};

MaterialOverride ReadMaterial(const std::string& text) {
  const std::string prefix = "--material '" + text + "': ";
  if (FieldCount(text, '@') != 4) throw Error(prefix + "expected LABEL@NAME@E@RHO");
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (int k = 0; k < 4; ++k) {
    const std::size_t at = text.find('@', from);
    fields.push_back(text.substr(from, at - from));
    from = at + 1;
  }
  if (fields[0].empty()) throw Error(prefix + "the colour label is empty");
  MaterialOverride m;
  m.label = fields[0];
  m.name = fields[1];
  try {
    m.E = ReadReal(fields[2]);
    m.rho = ReadReal(fields[3]);
  } catch (const Error& e) {
    throw Error(prefix + e.what());
  }
  return m;
}

// Every value of the analyse command checked before any file is read, so that a typing error
// costs nothing on a large picture.
struct AnalyseValues {
  SectionSize size;
  int convention = DorvastPelkam;
  double eps = 1.0;
  std::vector<MaterialOverride> materials;
};

AnalyseValues ReadAnalyseValues(const Options& o) {
  AnalyseValues v;
  v.size.widthText = *o.width;
  v.size.heightText = *o.height;
  v.size.widthMm = ReadSize("--width", *o.width);
  v.size.heightMm = ReadSize("--height", *o.height);
  if (o.convention) {
    if (*o.convention != "0" && *o.convention != "1") {
      throw Error("--convention '" + *o.convention + "': the sign convention must be 0 or 1");
    }
    v.convention = *o.convention == "1" ? EuroCode : DorvastPelkam;
  }
  if (o.eps) v.eps = ReadRealOption("--eps", *o.eps);
  for (const std::string& text : o.materials) v.materials.push_back(ReadMaterial(text));
  if (o.overlay) {
    std::string ext = std::filesystem::path(*o.overlay).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".png" && ext != ".bmp") {
      throw Error("'" + *o.overlay + "' is not a .png or .bmp file name");
    }
  }
  return v;
}

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
          "\r" + std::string(kProgram) + ": " + phase + " " + Decimal(percent) + "%   ";
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
  session.Settings.IgnoreDollarColours = !o.all;
  OpenPicture(session, o.picture, progress);
  std::string text;
  for (const TPROPRec& colour : session.FoundColourList) {
    const PROPRec& p = colour.prop;
    text += p.colorlabel + '\t' + Decimal(p.xmin) + '\t' + Decimal(p.xmax) + '\t' +
            Decimal(p.ymin) + '\t' + Decimal(p.ymax) + '\n';
  }
  note = EdgeSmoothingNote(FindEdgeSmoothing(session.Picture)).value_or("");
  return text;
}

// ---------------------------------------------------------------------------------------------
// JSON

std::string JsonNumber(double v) {
  // JSON has no infinity or NaN; absurd inputs can still produce them.
  if (!std::isfinite(v)) return "null";
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

std::string JsonInteger(std::int64_t v) { return Decimal(v); }

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
  const SectionResult& r = s.Result;
  const double pixelArea = r.Dx * r.Dy;
  std::string out = "[";
  bool first = true;
  for (const TPROPRec& entry : *s.MaterialLibrary) {
    if (!entry.inUse) continue;
    std::int64_t pixels = 0;
    for (const MaterialMoments& m : s.Moments.materials) {
      if (m.entry == &entry) pixels += m.count;
    }
    // Evaluated like the section totals (weight times count, then the pixel area), so a
    // section of one material shows exactly the totals.
    const double count = static_cast<double>(pixels);
    const PROPRec& p = entry.prop;
    out += first ? "\n    " : ",\n    ";
    first = false;
    out += JsonObject({{"id", JsonInteger(entry.id)},
                       {"label", JsonString(p.colorlabel)},
                       {"name", JsonString(p.name)},
                       {"e", JsonNumber(p.E)},
                       {"rho", JsonNumber(p.rho)},
                       {"pixels", JsonInteger(pixels)},
                       {"area_mm2", JsonNumber(count * pixelArea)},
                       {"ea", JsonNumber(p.E * count * pixelArea)},
                       {"mass_per_m", JsonNumber(p.rho * count * pixelArea / 1e9 * 1000)}});
  }
  return out + (first ? "]" : "\n  ]");
}

std::string AnalysisJson(const SectionSession& s, const AnalyseValues& v) {
  const SectionResult& r = s.Result;
  const SectionBounds& b = s.Bounds;
  const CentreTexts& c = s.Centre;
  const StiffnessTexts& t = s.Stiffness;
  const Members members = {
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
      {"convention", JsonInteger(s.Settings.SignConvention)},
      {"eps", JsonNumber(s.Settings.AngleTolerance)},
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
  std::string out = "{";
  for (std::size_t i = 0; i < members.size(); ++i) {
    out += i == 0 ? "\n  " : ",\n  ";
    out += JsonString(members[i].first) + ": " + members[i].second;
  }
  return out + "\n}\n";
}

// ---------------------------------------------------------------------------------------------
// Overlay

// Labels need the platform's fonts, which only a QGuiApplication provides. The tool makes one
// for the call when the process has none, so RunCli also works inside a program or a test that
// already runs one.
class GuiApplicationScope {
 public:
  GuiApplicationScope() {
    if (QCoreApplication::instance() != nullptr) {
      if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        throw Error(
            "drawing the overlay needs a QGuiApplication, and this process runs a "
            "QCoreApplication");
      }
      return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The platform's start-up notes (no runtime folder and the like) are no business of the
    // tool's user, whose standard error carries one line on failure; critical ones still pass.
    sPrevious = qInstallMessageHandler(QuietHandler);
    mOwnsApp = true;
    mApp = std::make_unique<QGuiApplication>(sArgc, sArgv);
  }
  ~GuiApplicationScope() {
    mApp.reset();
    if (mOwnsApp) qInstallMessageHandler(sPrevious);
  }
  GuiApplicationScope(const GuiApplicationScope&) = delete;
  GuiApplicationScope& operator=(const GuiApplicationScope&) = delete;

 private:
  static void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtCriticalMsg && type != QtFatalMsg) return;
    if (sPrevious != nullptr) {
      sPrevious(type, context, text);
    } else {
      std::cerr << kProgram << ": " << text.toStdString() << '\n';
    }
  }

  // QGuiApplication keeps references to both for its whole life.
  static inline int sArgc = 1;
  static inline char sName[] = "quorvane-cli";
  static inline char* sArgv[] = {sName, nullptr};
  static inline QtMessageHandler sPrevious = nullptr;
  bool mOwnsApp = false;
  std::unique_ptr<QGuiApplication> mApp;
};

// Writes beside the target and renames, so a failed write leaves no file and a reader never
// sees half a picture.
void SaveOverlay(const PixelGrid& picture, const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  fs::path temporary = target;
  temporary.replace_filename("." + target.stem().string() + ".qv-" + Decimal(getpid()) +
                             target.extension().string());
  std::error_code ec;
  try {
    SavePicture(picture, temporary.string());
  } catch (const Error&) {
    fs::remove(temporary, ec);
    throw Error("Unable to write to " + path);
  }
  fs::rename(temporary, target, ec);
  if (ec) {
    fs::remove(temporary, ec);
    throw Error("Unable to write to " + path);
  }
}

// The window's analyse command without its questions; returns what goes on standard output.
std::string AnalyseText(const Options& o, ProgressLine& progress) {
  const AnalyseValues v = ReadAnalyseValues(o);

  SectionSession session;
  session.MaterialLibrary = o.library ? LoadLibrary(*o.library) : std::make_unique<TPROPClass>();
  for (const MaterialOverride& m : v.materials) ApplyMaterial(*session.MaterialLibrary, m);
  session.Settings.SignConvention = v.convention;
  session.Settings.AngleTolerance = v.eps;
  session.Settings.IgnoreDollarColours = false;

  OpenPicture(session, o.picture, progress);
  for (const std::string& label : o.uses) {
    if (session.FoundColourList.FindByLabel(label) == nullptr) {
      throw Error("'" + label + "' is not a colour of " + FileNameOf(o.picture));
    }
    session.AddColourToMaterialList(label);  // a label given twice stays on the list once
  }
  if (session.MaterialList.empty()) throw Error("No material selected.");
  // The window shows "analyse" only for a section more than one pixel each way.
  if (!session.SectionSpansArea()) {
    throw Error("the section is only one pixel " +
                std::string(session.Bounds.xmax == session.Bounds.xmin ? "wide" : "high") +
                " and cannot be analysed");
  }

  std::vector<std::string> messages;
  session.Analyse(v.size, progress.For("analysis"), &messages);
  if (!messages.empty()) throw Error(messages.front());

  std::string text = o.json ? AnalysisJson(session, v) : session.ReportText();

  if (o.overlay) {
    GuiApplicationScope gui;
    const OverlayInput input = MakeOverlayInput(session.Picture.Width(), session.Picture.Height(),
                                                session.Bounds, session.Result, session.Settings);
    RenderOverlay(DrawResultOverlay(input), session.Picture);
    SaveOverlay(session.Picture, *o.overlay);
  }
  return text;
}

}  // namespace

std::string CliUsage() {
  return R"(usage: quorvane-cli colours PICTURE [--all]
       quorvane-cli analyse PICTURE --width MM --height MM --use LABEL [--use LABEL ...]
                    [--library FILE] [--material LABEL@NAME@E@RHO ...]
                    [--convention 0|1] [--eps DEGREES] [--json] [--overlay OUT.png|OUT.bmp]
       quorvane-cli --help

colours    lists the colours of the BMP or PNG picture in the order the window finds them, one
           line each: LABEL<TAB>xmin<TAB>xmax<TAB>ymin<TAB>ymax (pixels). Colours without a name
           (labels beginning with "$") are listed only with --all. A picture saved with
           smoothing (anti-aliasing) gets a note on standard error.
analyse    analyses the section made of the colours given with --use and prints the report
           exactly as the window copies it to the clipboard (CR LF line ends).

  --width MM, --height MM
           real width and height of the section's bounding box in mm, as the window's size
           fields take them: an integer up to 100000, decimal or hexadecimal ("$1F", "0x1F").
           0 is refused: the window offers no analysis then.
  --use LABEL
           puts the colour LABEL on the material list, in the order given. A colour the
           library does not know becomes a new material with E = rho = 1.
  --library FILE
           reads the material library from FILE ("properties.ini" format). The file is
           never written. Without it the library starts empty.
  --material LABEL@NAME@E@RHO
           gives the library entry of LABEL the name NAME, E in N/mm^2 and rho in kg/m^3,
           adding the entry when the library has none; applied in the order given.
  --convention 0|1
           sign convention: 0 Dorvast/Pelkam (default), 1 EURO-code.
  --eps DEGREES
           angle precision of the principal axes in degrees (default 1.0).
  --json   prints one JSON object instead of the report: every value at full precision
           (shortest round-trip form), the window's texts and hints, and each material's
           share. A value that is not a finite number (possible only with absurd inputs) is
           written as null.
  --overlay OUT
           also saves the picture with the window's result overlay, as PNG or BMP by the
           extension of OUT.

Exit status: 0 done; 1 the work failed (one line on standard error, nothing written);
2 wrong command line (this text on standard error).
)";
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto optionsEnd = std::find(args.begin(), args.end(), "--");
  if (std::find(args.begin(), optionsEnd, "--help") != optionsEnd) {
    out << CliUsage() << std::flush;
    return kCliDone;
  }
  const bool terminal = &err == &std::cerr && isatty(STDERR_FILENO) == 1;
  ProgressLine progress(terminal ? &err : nullptr);
  try {
    const Options o = ParseArguments(args);
    std::string note;
    const std::string text =
        o.command == "colours" ? ColoursText(o, progress, note) : AnalyseText(o, progress);
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
