// The Python module quorvane: pictures, material libraries and analyses on the core. The keywords
// fill the core's analysis request, which the batch tool fills from its options, so that a
// result's dictionary holds the values of the tool's JSON and its report is the tool's report.
#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "core/analysis/analysis.h"
#include "core/analysis/analysis_check.h"
#include "core/analysis/report_document.h"
#include "core/base/error.h"
#include "core/base/json_value.h"
#include "core/base/number_text.h"
#include "core/base/path.h"
#include "core/base/units.h"
#include "core/base/version.h"
#include "core/library/dd_props.h"
#include "core/library/material_law.h"
#include "core/outline/drawing_file.h"
#include "core/outline/drawing_picture.h"
#include "core/picture/picture_file.h"
#include "core/scan/edge_smoothing.h"
#include "core/scan/inventory.h"
#include "core/session/session.h"
#include "core/session/session_report.h"
#include "core/settings/atomic_file.h"
#include "drawing/overlay_module.h"

#ifndef QV_OVERLAY_MODULE_FROM_PYTHON_BUILD
// Where the build puts the batch tool's overlay module, relative to this module's folder
// (src/python/CMakeLists.txt sets it).
#define QV_OVERLAY_MODULE_FROM_PYTHON_BUILD "../cli"
#endif
#ifndef QV_OVERLAY_MODULE_FROM_PYTHON
// Where the package installs it, relative to this module's folder (install.cmake sets it from
// the configured folders).
#define QV_OVERLAY_MODULE_FROM_PYTHON "../../x86_64-linux-gnu/quorvane"
#endif

namespace py = pybind11;

namespace qv::python {
namespace {

// ---------------------------------------------------------------------------------------------
// Values

/// A picture: its pixels, shared unchanged by every analysis of it, and the name it goes by in
/// reports and messages (the path as given for a file).
struct Picture {
  std::shared_ptr<const PixelGrid> pixels;
  std::string name;
  /// A drawing (SVG, DXF): analyses read the file, laid on cells of their pixel size; `pixels`
  /// are its cells at the default size.
  bool drawing = false;
};

/// A material library with its [poisson] and [strength] sections, shared by analyses.
struct Library {
  std::shared_ptr<const LibraryData> data;
  std::optional<std::string> path;
};

/// One library entry as Python sees it.
struct Material {
  int id = 0;
  std::string label;
  std::string name;
  double e = 0;
  double rho = 0;
  double nu = PoissonTable::kDefault;
  std::optional<std::pair<double, double>> strength;
  std::optional<std::string> law;
};

/// An analysed section and the values it was analysed with.
struct Result {
  std::shared_ptr<const SectionSession> session;
  AnalysisRequest values;
  Picture picture;
};

/// A run stopped by its progress callback.
class CancelledError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Text(const py::handle& value) { return py::str(value).cast<std::string>(); }

// ---------------------------------------------------------------------------------------------
// Pictures

Picture ReadPicture(const std::filesystem::path& path) {
  const std::string name = path.string();
  std::shared_ptr<const PixelGrid> pixels;
  const bool drawing = IsDrawingFile(name);
  {
    py::gil_scoped_release release;
    if (drawing) {
      pixels = std::make_shared<const PixelGrid>(PictureOfDrawing(ReadDrawingFile(name)).grid);
    } else {
      pixels = std::make_shared<const PixelGrid>(ReadPictureFile(name));
    }
  }
  return {std::move(pixels), name, drawing};
}

Picture FromArray(const py::object& object, const std::string& name) {
  if (!py::isinstance<py::array>(object)) {
    throw py::type_error("expected a numpy array of shape (height, width, 3) and dtype uint8");
  }
  const auto rgb = py::reinterpret_borrow<py::array>(object);
  if (rgb.dtype().kind() != 'u' || rgb.dtype().itemsize() != 1) {
    throw py::type_error("expected dtype uint8, got " + Text(rgb.dtype()));
  }
  if (rgb.ndim() != 3 || rgb.shape(2) != 3) {
    throw py::value_error(
        "expected shape (height, width, 3), got " +
        Text(py::tuple(py::cast(std::vector<py::ssize_t>(rgb.shape(), rgb.shape() + rgb.ndim())))));
  }
  const py::ssize_t height = rgb.shape(0);
  const py::ssize_t width = rgb.shape(1);
  if (width < 1 || height < 1) throw py::value_error("the picture has no pixels");
  if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels) {
    throw py::value_error("a picture may have at most " + IntegerText(kMaxPictureSide) +
                          " pixels each way and " + IntegerText(kMaxPicturePixels) + " in all");
  }
  const auto view = rgb.unchecked<std::uint8_t, 3>();
  auto pixels = std::make_shared<PixelGrid>(static_cast<int>(width), static_cast<int>(height),
                                            UninitialisedPixels{});
  for (py::ssize_t y = 0; y < height; ++y) {
    std::uint32_t* row = pixels->Row(static_cast<int>(y));
    for (py::ssize_t x = 0; x < width; ++x) {
      // 0x00BBGGRR, as the readers store a pixel.
      row[x] = std::uint32_t{view(y, x, 0)} | std::uint32_t{view(y, x, 1)} << 8 |
               std::uint32_t{view(y, x, 2)} << 16;
    }
  }
  return {std::move(pixels), name};
}

py::array_t<std::uint8_t> ToArray(const PixelGrid& grid) {
  const py::ssize_t width = grid.Width();
  const py::ssize_t height = grid.Height();
  py::array_t<std::uint8_t> rgb({height, width, py::ssize_t{3}});
  std::uint8_t* out = rgb.mutable_data();
  for (int y = 0; y < grid.Height(); ++y) {
    const std::uint32_t* row = grid.Row(y);
    for (int x = 0; x < grid.Width(); ++x) {
      *out++ = static_cast<std::uint8_t>(row[x]);
      *out++ = static_cast<std::uint8_t>(row[x] >> 8);
      *out++ = static_cast<std::uint8_t>(row[x] >> 16);
    }
  }
  return rgb;
}

py::list Colours(const Picture& picture, bool all) {
  std::vector<py::tuple> colours;
  SectionSession session;
  std::optional<std::string> note;
  {
    py::gil_scoped_release release;
    ProgramSettings settings = session.Settings();
    settings.IgnoreDollarColours = !all;
    session.ChangeSettings(settings);
    OpenPicture(session,
                picture.drawing ? PictureSource{picture.name, nullptr}
                                : PictureSource{picture.name, picture.pixels},
                {});
    // The batch tool's notes on colours left out: a shade off a named colour must not vanish
    // unsaid. A smoothed drawing's blends are what smoothing_note is about.
    const std::size_t listed = session.Found().Size();
    if (session.Drawing()) {
      note = DrawingNote(*session.Drawing());
    } else {
      note = UnnamedColoursNote(listed, session.UnnamedLeftOut(), UnnamedColoursHint::AllArgument);
    }
    if (!note && !session.Drawing()) {
      note = LeftOutColoursNote(listed, session.UnnamedLeftOut(), UnnamedColoursHint::AllArgument);
      if (note && EdgeSmoothingNote(session.PictureEdgeSmoothing())) note.reset();
    }
  }
  if (note) py::module_::import("warnings").attr("warn")(*note);
  py::list list;
  const FoundColours& found = session.Found();
  for (std::size_t i = 0; i < found.Size(); ++i) {
    const ColourBounds& c = found.At(i);
    list.append(py::make_tuple(found.Label(i), c.xmin, c.xmax, c.ymin, c.ymax));
  }
  return list;
}

std::optional<std::string> SmoothingNote(const Picture& picture) {
  py::gil_scoped_release release;
  return EdgeSmoothingNote(FindEdgeSmoothing(*picture.pixels));
}

// ---------------------------------------------------------------------------------------------
// Libraries

Library LoadLibrary(const std::filesystem::path& path) {
  const std::string name = path.string();
  py::gil_scoped_release release;
  return {std::make_shared<const LibraryData>(ReadLibraryFile(name, true)), name};
}

Material MaterialOf(const Library& library, const TPROPRec& entry) {
  Material m;
  m.id = entry.id;
  m.label = entry.prop.colorlabel;
  m.name = entry.prop.name;
  m.e = entry.prop.E;
  m.rho = entry.prop.rho;
  m.nu = library.data->poisson.Get(m.label);
  if (const std::optional<Strength> s = library.data->strengths.Get(m.label)) {
    m.strength = std::make_pair(s->compression, s->tension);
  }
  if (const std::optional<MaterialLaw> law = library.data->laws.Get(m.label)) {
    m.law = MaterialLawText(*law);
  }
  return m;
}

std::vector<Material> Materials(const Library& library) {
  std::vector<Material> materials;
  for (const TPROPRec& entry : library.data->materials) {
    materials.push_back(MaterialOf(library, entry));
  }
  return materials;
}

// ---------------------------------------------------------------------------------------------
// Progress and cancellation

// Passes the core's progress to the Python callback on the thread that analyses, taking the GIL
// for the call only: the stage's name when a stage begins, then the fraction done, each time it
// grows by a percent and at least every 0.1 s. A callback that returns False or raises (Ctrl+C
// included, also checked without a callback) stops the run: the torsion solve at once, a scan
// when it ends.
class Progress {
 public:
  explicit Progress(py::object callback) : mCallback(std::move(callback)) {}

  const std::atomic<bool>* Cancel() const { return &mCancel; }

  // Called without the GIL.
  ProgressFn Stage(const std::string& stage) {
    {
      py::gil_scoped_acquire gil;
      Invoke([&] { return py::str(stage); });
    }
    mPercent = -1;
    return [this](std::int64_t done, std::int64_t total) { Report(done, total); };
  }

  // With the GIL: the callback's exception, else Cancelled.
  [[noreturn]] void Raise() const {
    if (mFailure) std::rethrow_exception(mFailure);
    throw CancelledError("the analysis was cancelled");
  }

 private:
  using Clock = std::chrono::steady_clock;

  void Report(std::int64_t done, std::int64_t total) {
    if (mCancel) return;
    const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1;
    const int percent = static_cast<int>(fraction * 100);
    const Clock::time_point now = Clock::now();
    if (percent == mPercent && now - mLast < std::chrono::milliseconds(100)) return;
    mPercent = percent;
    mLast = now;
    py::gil_scoped_acquire gil;
    Invoke([&] { return py::float_(fraction); });
  }

  // With the GIL.
  template <typename Argument>
  void Invoke(const Argument& argument) {
    if (mCancel) return;
    try {
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
      if (mCallback.is_none()) return;
      const py::object answer = mCallback(argument());
      if (answer.ptr() == Py_False) mCancel = true;
    } catch (const py::error_already_set&) {
      mFailure = std::current_exception();
      mCancel = true;
    }
  }

  py::object mCallback;
  std::atomic<bool> mCancel{false};
  std::exception_ptr mFailure;
  int mPercent = -1;
  Clock::time_point mLast = Clock::now();
};

// ---------------------------------------------------------------------------------------------
// Analysis

// The size as the batch tool's --width/--height take it: its text, or a number of any integral
// type (int, numpy.int64: anything with __index__) or real type (float, numpy.float32,
// fractions.Fraction: any numbers.Real). A real that is a whole number reads as that number;
// any other gives its shortest text in plain digits, which the tool's reading takes or refuses.
std::string SizeText(const py::handle& value, const char* name) {
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  // True is no size, although Python counts it as 1.
  const bool truth = py::isinstance<py::bool_>(value) ||
                     py::type::handle_of(value).attr("__name__").cast<std::string>() == "bool_";
  if (!truth && PyIndex_Check(value.ptr()) != 0) {
    return Text(py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr())));
  }
  if (!truth && py::isinstance(value, py::module_::import("numbers").attr("Real"))) {
    const double real = py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
    if (std::isfinite(real) && std::trunc(real) == real && std::abs(real) < 2147483648.0) {
      return IntegerText(static_cast<std::int64_t>(real));
    }
    // Plain digits: the sizes' reading takes no exponent, and 0.0005 is a size out of range.
    std::array<char, 400> digits{};
    const auto [end, error] =
        std::to_chars(digits.data(), digits.data() + digits.size(), real, std::chars_format::fixed);
    return error == std::errc() ? std::string(digits.data(), end) : ShortestNumberText(real);
  }
  throw py::type_error(std::string(name) + " must be a number of mm or its text, not " +
                       Text(py::type::handle_of(value).attr("__name__")));
}

py::dict DictOf(const py::object& value, const char* name) {
  if (value.is_none()) return {};
  if (!py::isinstance<py::dict>(value)) {
    throw py::type_error(std::string(name) + " must be a dict keyed by colour label");
  }
  return py::reinterpret_borrow<py::dict>(value);
}

template <typename T>
T CastTo(const py::handle& value, const char* name, const py::handle& label, const char* what) {
  try {
    return value.cast<T>();
  } catch (const py::cast_error&) {
    throw py::type_error(std::string(name) + "[" + Text(py::repr(label)) + "] must be " + what +
                         ", not " + Text(py::repr(value)));
  }
}

// A size's text read as the batch tool reads it, refused in the core's words.
void ReadSize(const char* name, const std::string& text, int& mm, std::optional<double>& decimal) {
  try {
    ReadSectionSize(text, mm, decimal);
  } catch (const Error& e) {
    throw Error(std::string(name) + ": " + e.what());
  }
}

// The pixel size as --pixel-size takes it: a number of any real type, or its text.
double PixelSizeOf(const py::handle& value) {
  const bool truth = py::isinstance<py::bool_>(value);
  double mm = 0;
  if (py::isinstance<py::str>(value)) {
    mm = ReadReal(value.cast<std::string>());
  } else if (!truth && py::isinstance(value, py::module_::import("numbers").attr("Real"))) {
    mm = py::float_(py::reinterpret_borrow<py::object>(value)).cast<double>();
  } else {
    throw py::type_error("pixel_size_mm must be a number of mm or its text, not " +
                         Text(py::type::handle_of(value).attr("__name__")));
  }
  if (const std::string problem = PixelSizeProblem(mm); !problem.empty()) throw Error(problem);
  return mm;
}

// Either both sizes or the pixel size, as the batch tool takes them.
// A drawing has its own size: the sizes given only check it, and the pixel size sets its cells.
void ReadSizes(const py::object& width, const py::object& height, const py::object& pixelSize,
               bool drawing, SectionSize& size) {
  if (!pixelSize.is_none()) {
    if ((!width.is_none() || !height.is_none()) && !drawing) {
      throw py::type_error("pixel_size_mm cannot go with width_mm or height_mm");
    }
    size.pixelSizeMm = PixelSizeOf(pixelSize);
    if (!drawing) return;
  }
  if ((width.is_none() || height.is_none()) && !drawing) {
    throw py::type_error("width_mm and height_mm are needed, or pixel_size_mm");
  }
  if (!width.is_none()) {
    size.widthText = SizeText(width, "width_mm");
    ReadSize("width", size.widthText, size.widthMm, size.widthDecimalMm);
  }
  if (!height.is_none()) {
    size.heightText = SizeText(height, "height_mm");
    ReadSize("height", size.heightText, size.heightMm, size.heightDecimalMm);
  }
}

// The keywords of the resistance and the cracked analysis.
struct Resistance {
  py::object laws = py::none();
  bool resistance = false;
  int interaction = 0;
  bool momentCurvature = false;
  int biaxial = 0;
  bool cracked = false;
};

// The keyword arguments as a request, checked by the core's rules in the core's words.
AnalysisRequest ReadValues(const py::object& width, const py::object& height,
                           const py::object& pixelSize, bool drawing,
                           const std::vector<std::string>& use, const py::object& materials,
                           int convention, double eps, bool torsion, const py::object& nu,
                           const py::object& fy, const py::object& actions,
                           const std::string& edges, const Resistance& resistance,
                           const py::object& maxCells, const std::string& units) {
  AnalysisRequest v;
  ReadSizes(width, height, pixelSize, drawing, v.size);
  v.uses = use;
  v.torsion = torsion;
  if (!maxCells.is_none()) {
    // A bool is a number to Python, but max_cells=True is a slip, not a cap of one cell.
    const auto refuse = [&] {
      return py::type_error("max_cells must be a number of cells or None, not " +
                            Text(py::repr(maxCells)));
    };
    if (py::isinstance<py::bool_>(maxCells) || py::isinstance<py::str>(maxCells)) throw refuse();
    double cells = 0;
    try {
      cells = maxCells.cast<double>();
    } catch (const py::cast_error&) {
      throw refuse();
    }
    if (const std::string problem = MaxCellsProblem(cells); !problem.empty()) throw Error(problem);
    v.maxCells = static_cast<std::int64_t>(cells);
  }
  v.convention = SignConventionOf(convention);
  v.eps = eps;
  v.edges = EdgeModeOfName(edges);
  v.units = UnitSystemOfName(units);
  for (const auto& [label, value] : DictOf(materials, "materials")) {
    const auto [name, e, rho] = CastTo<std::tuple<std::string, double, double>>(
        value, "materials", label, "a tuple (name, E, rho)");
    v.materials.push_back({Text(label), name, e, rho});
  }
  for (const auto& [label, value] : DictOf(nu, "nu")) {
    v.nus.emplace_back(Text(label), CastTo<double>(value, "nu", label, "a number"));
  }
  for (const auto& [label, value] : DictOf(fy, "fy")) {
    Strength strength;
    if (py::isinstance<py::tuple>(value) || py::isinstance<py::list>(value)) {
      std::tie(strength.compression, strength.tension) = CastTo<std::pair<double, double>>(
          value, "fy", label, "a number or (compression, tension)");
    } else {
      strength.compression = strength.tension =
          CastTo<double>(value, "fy", label, "a number or (compression, tension)");
    }
    v.strengths.emplace_back(Text(label), strength);
  }
  for (const auto& [name, value] : DictOf(actions, "actions")) {
    v.actions.emplace_back(ActionOfNameChecked(Text(name), v.convention),
                           CastTo<double>(value, "actions", name, "a number"));
  }
  for (const auto& [label, value] : DictOf(resistance.laws, "laws")) {
    v.laws.emplace_back(Text(label),
                        ReadMaterialLaw(CastTo<std::string>(value, "laws", label, "a law's text")));
  }
  v.resistance = resistance.resistance;
  v.interaction = resistance.interaction;
  v.momentCurvature = resistance.momentCurvature;
  v.biaxial = resistance.biaxial;
  v.cracked = resistance.cracked;
  CheckRequest(v);
  return v;
}

// interaction=True asks for the batch tool's default of 60 points, a number for that many.
int InteractionPoints(const py::object& interaction) {
  if (py::isinstance<py::bool_>(interaction)) return interaction.cast<bool>() ? 60 : 0;
  try {
    return interaction.cast<int>();
  } catch (const py::cast_error&) {
    throw py::type_error("interaction must be True, False or a number of points, not " +
                         Text(py::repr(interaction)));
  }
}

Result Analyse(const Picture& picture, const py::object& width, const py::object& height,
               const std::vector<std::string>& use, const std::optional<Library>& library,
               const py::object& materials, int convention, double eps, bool torsion,
               const py::object& nu, const py::object& fy, const py::object& actions,
               const std::string& edges, const py::object& laws, bool resistance,
               const py::object& interaction, bool momentCurvature, int interactionBiaxial,
               bool cracked, const py::object& progress, const py::object& pixelSize,
               const py::object& maxCells, const std::string& units) {
  if (!progress.is_none() && !PyCallable_Check(progress.ptr())) {
    throw py::type_error("progress must be callable");
  }
  Result result{nullptr,
                ReadValues(width, height, pixelSize, picture.drawing, use, materials, convention,
                           eps, torsion, nu, fy, actions, edges,
                           {laws, resistance, InteractionPoints(interaction), momentCurvature,
                            interactionBiaxial, cracked},
                           maxCells, units),
                picture};
  auto session = std::make_shared<SectionSession>();
  Progress report(progress);
  std::optional<AnalysisOutputs> done;
  {
    py::gil_scoped_release release;
    RunControl control;
    control.progress = [&report](const std::string& stage) { return report.Stage(stage); };
    control.cancel = report.Cancel();
    // A drawing is read from its file, on the cells its pixel size asks for.
    const PictureSource source = picture.drawing ? PictureSource{picture.name, nullptr}
                                                 : PictureSource{picture.name, picture.pixels};
    done = RunAnalysis(*session, result.values, source, library ? library->data.get() : nullptr,
                       control);
  }
  if (!done) report.Raise();
  // A colour without a material is analysed with E = rho = 1, as the window makes it, and said.
  for (const std::string& note : done->notes) py::module_::import("warnings").attr("warn")(note);
  result.session = std::move(session);
  return result;
}

// A JSON value as json.loads reads its text: a double written without a fraction or an
// exponent is an int, a number that is not finite None, and bytes that are not UTF-8 U+FFFD.
py::object ToPython(const JsonValue& value) {
  return std::visit(
      [](const auto& v) -> py::object {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::nullptr_t>) {
          return py::none();
        } else if constexpr (std::is_same_v<T, bool>) {
          return py::bool_(v);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return py::int_(v);
        } else if constexpr (std::is_same_v<T, double>) {
          if (!std::isfinite(v)) return py::none();
          const std::string text = ShortestNumberText(v);
          if (text.find_first_of(".e") == std::string::npos) {
            return py::reinterpret_steal<py::object>(PyLong_FromString(text.c_str(), nullptr, 10));
          }
          return py::float_(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return py::str(ValidUtf8(v));
        } else if constexpr (std::is_same_v<T, JsonValue::Array>) {
          py::list list;
          for (const JsonValue& element : v.elements) list.append(ToPython(element));
          return list;
        } else {
          py::dict dict;
          for (const auto& [key, member] : v.members)
            dict[py::str(ValidUtf8(key))] = ToPython(member);
          return dict;
        }
      },
      value.value);
}

py::object ToDict(const Result& result) {
  return ToPython(AnalysisJson(*result.session, result.values.size));
}

// A list of lists of numbers (the interaction, moment-curvature and biaxial lists) as a 2-D
// float array, a value not finite as NaN; every other value as ToPython makes it.
py::object WithArrays(const JsonValue& value) {
  if (const auto* object = std::get_if<JsonValue::Object>(&value.value)) {
    py::dict dict;
    for (const auto& [key, member] : object->members) dict[py::str(key)] = WithArrays(member);
    return dict;
  }
  const auto* array = std::get_if<JsonValue::Array>(&value.value);
  if (array == nullptr) return ToPython(value);
  const bool rows = std::all_of(array->elements.begin(), array->elements.end(), [](const auto& e) {
    return std::holds_alternative<JsonValue::Array>(e.value);
  });
  if (!rows || array->elements.empty()) return ToPython(value);
  const std::size_t columns = std::get<JsonValue::Array>(array->elements[0].value).elements.size();
  py::array_t<double> out({array->elements.size(), columns});
  auto cells = out.mutable_unchecked<2>();
  for (std::size_t i = 0; i < array->elements.size(); ++i) {
    const auto& row = std::get<JsonValue::Array>(array->elements[i].value).elements;
    if (row.size() != columns) return ToPython(value);
    for (std::size_t j = 0; j < columns; ++j) {
      const auto* number = std::get_if<double>(&row[j].value);
      const auto* whole = std::get_if<std::int64_t>(&row[j].value);
      cells(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(j)) =
          number != nullptr  ? *number
          : whole != nullptr ? static_cast<double>(*whole)
                             : std::numeric_limits<double>::quiet_NaN();
    }
  }
  return out;
}

// The JSON's member `resistance` with its lists as arrays; refused, with the reason, when the
// analysis computed none.
py::object ResistanceOf(const Result& result) {
  const JsonValue json = AnalysisJson(*result.session, result.values.size);
  const auto& members = std::get<JsonValue::Object>(json.value).members;
  const auto member = [&](std::string_view key) -> const JsonValue* {
    for (const auto& [name, value] : members) {
      if (name == key) return &value;
    }
    return nullptr;
  };
  const JsonValue* resistance = member("resistance");
  if (resistance == nullptr) {
    throw Error("no resistance was asked for: analyse with resistance=True");
  }
  if (std::holds_alternative<std::nullptr_t>(resistance->value)) {
    const JsonValue* missing = member("resistance_missing");
    const auto* text = missing != nullptr ? std::get_if<std::string>(&missing->value) : nullptr;
    throw Error("the section has no resistance: " + (text != nullptr ? *text : std::string()));
  }
  return WithArrays(*resistance);
}

// Paints the labels and marks of `ops` into `picture` with the drawing module. Its
// QGuiApplication lives for one painting: one at a time.
void Paint(const OverlayOps& ops, PixelGrid& picture) {
  static std::mutex painting;
  const std::lock_guard lock(painting);
  drawing::PaintOverlay(ops, picture);
}

py::array_t<std::uint8_t> Overlay(const Result& result) {
  PixelGrid picture;
  std::optional<std::string> note;
  {
    py::gil_scoped_release release;
    SectionSession::ResultDrawing drawing = AnalysisDrawing(*result.session);
    note = std::move(drawing.note);
    picture = *result.picture.pixels;
    Paint(drawing.ops, picture);
  }
  if (note) py::module_::import("warnings").attr("warn")(*note);
  return ToArray(picture);
}

py::array_t<std::uint8_t> StressMap(const Result& result, const std::string& field) {
  const StressKind kind = StressKindOfName(field);
  if (!result.session->Stresses()) throw Error("a stress map needs actions");
  PixelGrid picture;
  {
    py::gil_scoped_release release;
    const SectionSession& session = *result.session;
    StressDrawing map = AnalysisStressMap(session, kind, FontOf(session.Settings()));
    Paint(map.ops, map.picture);
    picture = std::move(map.picture);
  }
  return ToArray(picture);
}

// Writes the calculation report of `result` as PDF to `path`, whole or not at all, never over
// the analysed picture.
void SaveReport(const Result& result, const std::filesystem::path& file) {
  const std::string path = file.string();
  if (LowerExtensionOf(path) != ".pdf") throw Error("'" + path + "' is not a .pdf file name");
  py::gil_scoped_release release;
  RefuseWritingOverPicture(result.picture.name, path);
  RefuseUnsafeOutput(path);
  const ReportDocument document = MakeSessionReport(*result.session, result.values, TodayText());
  std::string pdf;
  {
    // The module's QGuiApplication lives for one call, like a painting's.
    static std::mutex making;
    const std::lock_guard lock(making);
    pdf = drawing::ReportPdfBytes(document);
  }
  WriteFileAtomically(path, pdf);
}

// The overlay module beside this module (the package pip installs), of the build tree or of
// the Debian package, found from this module's own file (the process's program is python, not
// the batch tool). pip may install a module built in any tree, whose compiled-in paths point
// elsewhere, so its own folder comes first.
void FindOverlayModule() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&FindOverlayModule), &info) == 0 ||
      info.dli_fname == nullptr) {
    return;
  }
  const std::string folder = FolderOf(info.dli_fname);
  std::vector<std::string> files{JoinPath(folder, drawing::kOverlayModuleFile)};
  for (const char* relative :
       {QV_OVERLAY_MODULE_FROM_PYTHON_BUILD, QV_OVERLAY_MODULE_FROM_PYTHON}) {
    files.push_back(JoinPath(JoinPath(folder, relative), drawing::kOverlayModuleFile));
  }
  drawing::LookForOverlayModuleFirst(std::move(files));
}

}  // namespace
}  // namespace qv::python

PYBIND11_MODULE(quorvane, m) {
  using namespace qv;
  using namespace qv::python;
  m.doc() = R"(Section properties of beam cross-sections drawn as pictures.

The same core as the window and the batch tool quorvane-cli: read a BMP or PNG picture (one
flat colour per material) or a drawing (SVG, DXF), or make a picture from a numpy array, name
the colours that form the section, give its real width and height in mm, and analyse. A result
gives the batch tool's JSON as a dict, its report, and the picture with the result overlay and
the stress map as numpy arrays.

    import quorvane
    picture = quorvane.read_picture("u-channel.bmp")
    library = quorvane.Library.load("properties.ini")
    result = quorvane.analyse(picture, 500, 650, ["clRed"], library=library, torsion=True)
    values = result.to_dict()
    print(values["ea"], values["extended"]["gj"])

Every refusal of the core (a picture or library that cannot be read, a colour not in the
picture, a value out of range) raises quorvane.Error with the core's message, which the batch
tool prints after the option it concerns; a wrong type or array shape raises TypeError or
ValueError. The work runs without the GIL, so analyses in several threads run at once.
help(quorvane.analyse) describes the analysis and its keywords.)";
  m.attr("__version__") = kProgramVersion;

  auto& error = py::register_exception<Error>(m, "Error");
  error.attr("__doc__") = R"(A refusal of the core, in the core's words.

Raised for a picture or library file that cannot be read, a colour not in the picture, a value
out of range: the message is the one the batch tool prints after the option it concerns.

Example:
    try:
        quorvane.analyse(picture, 500, 650, ["clRed"], torsion=True, nu={"clRed": 0.5})
    except quorvane.Error as refusal:
        print(refusal)  # The Poisson's ratio of clRed must be at least 0 and below 0.5, not 0.5.)";
  auto& cancelled = py::register_exception<CancelledError>(m, "Cancelled", error.ptr());
  cancelled.attr("__doc__") = R"(An analysis stopped by its progress callback.

Raised by analyse when `progress` returned False; a subclass of quorvane.Error.

Example:
    try:
        quorvane.analyse(picture, 500, 650, ["clRed"], torsion=True,
                         progress=lambda done: not stop_requested())
    except quorvane.Cancelled:
        print("stopped"))";

  py::class_<Picture>(m, "Picture", R"(A picture: width x height pixels of 24-bit colour.

Made by quorvane.read_picture(path) or Picture.from_array(rgb); it has no constructor of its
own. A picture never changes: every analysis works on its own copy of the pixels, so one
picture serves analyses in several threads. A drawing (SVG, DXF) read by read_picture is a
Picture too; its pixels are its outlines laid on the default cells.

Example:
    picture = quorvane.read_picture("examples/u-channel.bmp")
    print(picture.width, picture.height, picture.colours()))")
      .def_static("from_array", &FromArray, py::arg("rgb"), py::arg("name") = "array",
                  R"(A picture from a numpy array of pixels.

Arguments:
  rgb   a numpy array of shape (height, width, 3) and dtype uint8: red, green and blue,
        row 0 at the top; at most 1048576 pixels each way and 1073741824 in all
  name  what the picture is called in reports and messages, in place of a file's name

Returns a Picture with a copy of the pixels.

Raises TypeError for another type or dtype, ValueError for another shape, no pixels or too
many.

Example:
    rgb = numpy.full((200, 300, 3), 255, numpy.uint8)  # white
    rgb[60:180, 135:165] = (255, 0, 0)  # a web in clRed
    picture = quorvane.Picture.from_array(rgb, name="web"))")
      .def_property_readonly(
          "width", [](const Picture& p) { return p.pixels->Width(); },
          "Width in pixels (a drawing's: of its default cells).")
      .def_property_readonly(
          "height", [](const Picture& p) { return p.pixels->Height(); },
          "Height in pixels (a drawing's: of its default cells).")
      .def_readonly("name", &Picture::name,
                    "The file as given to read_picture, or the name given to from_array.")
      .def("colours", &Colours, py::arg("all") = false,
           R"(The picture's colours as `quorvane-cli colours` lists them.

Arguments:
  all  also the unnamed colours, whose labels begin with "$" (--all)

Returns a list of (label, xmin, xmax, ymin, ymax), one tuple per colour in the order the
window finds them, the box in pixels (a drawing's: in its cells).

Warns (UserWarning) with the batch tool's note when colours were left out: how many pixels in
how many unnamed colours, or what a drawing's cells blend.

Example:
    for label, xmin, xmax, ymin, ymax in picture.colours():
        print(label, xmax - xmin + 1, "x", ymax - ymin + 1, "pixels"))")
      .def_property_readonly("smoothing_note", &SmoothingNote,
                             R"(The batch tool's note on a picture saved with smoothing
(anti-aliasing), whose blended edge pixels belong to no material unless analysed with
edges="coverage"; None for a clean picture.)")
      .def(
          "to_array", [](const Picture& p) { return ToArray(*p.pixels); },
          R"(The pixels, as from_array takes them.

Returns a new numpy array of shape (height, width, 3) and dtype uint8 (red, green, blue), row 0
at the top; a drawing's are its default cells.

Example:
    rgb = picture.to_array()
    print((rgb == (255, 0, 0)).all(axis=2).sum(), "pixels in clRed"))")
      .def("__repr__", [](const Picture& p) {
        return "<quorvane.Picture " + Text(py::repr(py::str(p.name))) + " " +
               IntegerText(p.pixels->Width()) + " x " + IntegerText(p.pixels->Height()) + ">";
      });

  m.def("read_picture", &ReadPicture, py::arg("path"),
        R"(Reads a picture or drawing file.

Arguments:
  path  the file (str, bytes or os.PathLike): a BMP or PNG picture, whose content decides
        which, not its name; or a drawing named .svg or .dxf, read as its outlines, whose
        size analyse takes from them

Returns a Picture, named by `path` as given.

Raises quorvane.Error with the batch tool's message when the file cannot be read.

Example:
    picture = quorvane.read_picture("examples/u-channel.bmp")
    drawing = quorvane.read_picture("examples/ipe300.dxf"))");

  py::class_<Material>(m, "Material", R"(One material of a library, read-only.

Found in Library.materials and by a colour label, library["clRed"]; changed for one analysis by
analyse's keywords materials, nu, fy and laws, never in the library.

Example:
    steel = quorvane.Library.load("examples/properties.ini")["clRed"]
    print(steel.name, steel.e, steel.rho, steel.nu))")
      .def_readonly("id", &Material::id, "The entry's number in the library.")
      .def_readonly("label", &Material::label, "The colour label, such as 'clRed'.")
      .def_readonly("name", &Material::name, "The material's name.")
      .def_readonly("e", &Material::e, "Modulus of elasticity E, N/mm^2.")
      .def_readonly("rho", &Material::rho, "Density rho, kg/m^3.")
      .def_readonly("nu", &Material::nu,
                    "Poisson's ratio from the [poisson] section (0.3 without a line there).")
      .def_readonly("strength", &Material::strength,
                    "(compression, tension) strength in N/mm^2 from the [strength] section, or "
                    "None.")
      .def_readonly("law", &Material::law,
                    "The stress-strain law's text from the [law] section, or None.")
      .def("__repr__", [](const Material& mat) {
        return "<quorvane.Material " + mat.label + " " + Text(py::repr(py::str(mat.name))) +
               " E=" + FormatNumber(mat.e) + " rho=" + FormatNumber(mat.rho) + ">";
      });

  py::class_<Library>(m, "Library", R"(A material library.

Library() is empty, Library.load(path) reads a library file (properties.ini) with its
[poisson], [strength] and [law] sections. The file is never written; one library serves
analyses in several threads.

Example:
    library = quorvane.Library.load("examples/properties.ini")
    for material in library.materials:
        print(material.label, material.name, material.e))")
      .def(py::init([] {
             return Library{std::make_shared<const LibraryData>(), {}};
           }),
           R"(An empty library: every colour an analysis uses needs its material from
analyse's `materials`, or is analysed with E = rho = 1 and a warning.)")
      .def_static("load", &LoadLibrary, py::arg("path"),
                  R"(Reads a library file as `quorvane-cli --library` does.

Arguments:
  path  the library file (str, bytes or os.PathLike), such as properties.ini

Returns a Library of the file's materials with their Poisson's ratios, strengths and laws.

Raises quorvane.Error with the batch tool's message when the file is missing or cannot be
read.

Example:
    library = quorvane.Library.load("examples/properties.ini"))")
      .def_readonly("path", &Library::path, "The file read, or None.")
      .def_property_readonly("materials", &Materials,
                             "The materials in library order (oldest first), as a list of "
                             "Material.")
      .def(
          "__len__", [](const Library& l) { return l.data->materials.Count(); },
          "The number of materials.")
      .def(
          "__getitem__",
          [](const Library& l, const std::string& label) {
            const TPROPRec* entry = l.data->materials.FindByLabel(label);
            if (entry == nullptr) throw py::key_error(label);
            return MaterialOf(l, *entry);
          },
          py::arg("label"),
          R"(The Material of a colour label (the newest of equal labels); KeyError when the
library has none.)")
      .def("__repr__", [](const Library& l) {
        return "<quorvane.Library " +
               (l.path ? Text(py::repr(py::str(*l.path))) + " " : std::string()) +
               IntegerText(l.data->materials.Count()) + " materials>";
      });

  py::class_<Result>(m, "Result", R"(An analysed section, made by quorvane.analyse.

Its values do not change: each call below computes its answer from them anew, and several
threads may call them at once.

Example:
    result = quorvane.analyse(picture, 500, 650, ["clRed"], library=library, torsion=True)
    print(result.to_dict()["extended"]["gj"])
    print(result.report()))")
      .def("to_dict", &ToDict,
           R"(Every value of the analysis as `quorvane-cli analyse --json` prints it.

Returns a dict equal to json.loads of the batch tool's output: the same keys and the same
numbers; "extended" with torsion=True, "stress" with actions, "resistance" with resistance
and the like. A value that is not a finite number is None.

Example:
    values = result.to_dict()
    print(values["ea"], values["eiyy"], values["eizz"]))")
      .def(
          "to_json", [](const Result& r) { return AnalysisJsonText(*r.session, r.values.size); },
          R"(The batch tool's JSON text itself, as `quorvane-cli analyse --json` prints it.

Returns a str.)")
      .def(
          "report", [](const Result& r) { return r.session->FullReportText(); },
          R"(The report the batch tool prints without --json, as the window copies it.

Returns a str with CR LF line ends, with the extended values' block after torsion and the
stresses' block with actions.

Example:
    print(result.report()))")
      .def("overlay", &Overlay,
           R"(The picture with the window's result overlay: centres, axes, labels and, after
torsion, the shear centre.

Returns a numpy array of shape (height, width, 3), dtype uint8: the pixels
`quorvane-cli analyse --overlay` writes. The labels are painted with Qt, loaded for this
(QT_QPA_PLATFORM=offscreen unless set).

Warns (UserWarning) with its position when the shear centre lies off the picture.
Raises quorvane.Error when the overlay module cannot be loaded.

Example:
    rgb = result.overlay()  # matplotlib.pyplot.imshow(rgb) shows it)")
      .def("resistance", &ResistanceOf,
           R"(The ultimate resistance as to_dict()["resistance"] holds it, with arrays.

Returns a dict whose lists (interaction, moment-curvature, biaxial) are numpy float arrays of
one row per point, such as ["interaction"]["horizontal_axis"] with the columns n,
m_top_compressed, m_bottom_compressed; a value that is not finite is NaN.

Raises quorvane.Error with the reason when the analysis asked for no resistance (resistance,
interaction, moment_curvature or interaction_biaxial) or the section has none.

Example:
    result = quorvane.analyse(picture, 500, 650, ["clRed"], library=library,
                              fy={"clRed": 235}, interaction=True)
    curve = result.resistance()["interaction"]["horizontal_axis"]
    n, m_top = curve[:, 0], curve[:, 1])")
      .def("stress_map", &StressMap, py::kw_only(), py::arg("field") = "von_mises",
           R"(The map of the stresses under the analysis' actions.

Arguments:
  field  "sigma" (normal stress, on a scale centred on 0), "tau" or "von_mises" (from 0), as
         --stress-field takes it

Returns a numpy array of shape (height, width, 3), dtype uint8: the pixels
`quorvane-cli analyse --stress-map` writes: the section in colour, a colour bar, the extremes
marked, the picture's name and the actions. Painted with Qt, loaded for this.

Raises quorvane.Error when the analysis had no actions, for another field, or when the overlay
module cannot be loaded.

Example:
    result = quorvane.analyse(picture, 500, 650, ["clRed"], library=library,
                              actions={"N": -1e6, "My": 2e8})
    rgb = result.stress_map(field="sigma"))")
      .def("save_report", &SaveReport, py::arg("path"),
           R"(Writes the calculation report as a PDF file, as `quorvane-cli analyse --report` does.

Arguments:
  path  where to write it (str or os.PathLike), a name ending in .pdf

A4 pages with the title (picture, date, version), the section with the window's overlay and a
scale bar in mm, the inputs and each material (E, rho, nu, strengths, law, share), every block
of report() as tables of symbol, value, unit and meaning, the stress map when the analysis had
actions, the resistance's diagrams with interaction or moment_curvature, and the definitions of
the axes. Its text is text: searchable and copyable. The file is written whole or not at all,
and never over the analysed picture. Laid out with Qt, loaded for this.

Raises quorvane.Error for a name not ending in .pdf, the analysed picture itself, or a file
that cannot be written.

Example:
    result = quorvane.analyse(picture, 500, 650, ["clRed"], library=library, torsion=True)
    result.save_report("u-channel.pdf"))")
      .def("__repr__", [](const Result& r) {
        return "<quorvane.Result " + Text(py::repr(py::str(FileNameOf(r.picture.name)))) + ">";
      });

  m.def("analyse", &Analyse, py::arg("picture"), py::arg("width_mm") = py::none(),
        py::arg("height_mm") = py::none(), py::arg("use"), py::kw_only(),
        py::arg("library") = py::none(), py::arg("materials") = py::none(),
        py::arg("convention") = 0, py::arg("eps") = 1.0, py::arg("torsion") = false,
        py::arg("nu") = py::none(), py::arg("fy") = py::none(), py::arg("actions") = py::none(),
        py::arg("edges") = "flat", py::arg("laws") = py::none(), py::arg("resistance") = false,
        py::arg("interaction") = false, py::arg("moment_curvature") = false,
        py::arg("interaction_biaxial") = 0, py::arg("cracked") = false,
        py::arg("progress") = py::none(), py::arg("pixel_size_mm") = py::none(),
        py::arg("max_cells") = py::none(), py::arg("units") = "N-mm",
        R"(Analyses the section of a picture: the batch tool's `analyse`.

The section is made of the colours `use` of `picture`; the keywords are the batch tool's
options of the same meaning, filled into the analysis request the tool fills from its options
and checked by the same rules.

Arguments:
  picture              a Picture (read_picture, Picture.from_array)
  width_mm, height_mm  the real size of the section's box (--width, --height): a whole number
                       up to 100000 of any number type (int, numpy.int64, 650.0), or its text
                       ("0x1F"), shown in the report as given; or with a fraction of a mm
                       (650.5, "300.25"), at least 0.001. A drawing needs none: given, they
                       must agree with its outlines within 0.1 %
  use                  the colour labels that form the section, in order (--use), such as
                       ["clRed", "clBlue"]
  pixel_size_mm        instead of width_mm and height_mm (then None): mm per pixel of the
                       section's box, both ways (--pixel-size); the width is its columns
                       times the size, the height its rows. For a drawing: the size of its
                       cells
  library              a Library (--library); without one the library starts empty
  materials            {label: (name, E, rho)} (--material): the entry of that colour gets
                       them, or is added; a colour of `use` the library does not know has
                       E = rho = 1, with a warning
  convention           0 Dorvast/Pelkam or 1 EURO-code (--convention)
  eps                  angle precision of the principal axes in degrees (--eps)
  torsion              also GJ, the shear centre, section moduli and plastic moments
                       (--torsion)
  max_cells            the most cells the torsion solve takes on the pixels before it runs
                       on blocks of them (--max-cells), with torsion only; None as the
                       memory budget allows
  nu                   {label: Poisson's ratio} for this run (--nu), with torsion only
  fy                   {label: strength or (compression, tension)} in N/mm^2 (--fy), with
                       torsion or one of the resistance's keywords only
  actions              {name: value} (--action NAME=VALUE): the stresses under the actions
                       N (N), My, Mz (N mm, named as the convention names them), Vy, Vz (N)
                       and T (N mm), the shear forces and the torque with torsion only;
                       to_dict() gains "stress" and the report the stresses' block
  edges                "flat" or "coverage" (--edges): smoothed edge pixels belong to no
                       material, or count as their shares of the materials they blend
  laws                 {label: law text} (--law): "linear", "elastic-plastic,eu=0.0225",
                       "parabola-rectangle", "no-tension", "points:EPS/SIGMA;..."
  resistance           the ultimate resistance at the action N (--resistance); to_dict()
                       gains "resistance", and Result.resistance() gives it with arrays
  interaction          the N-M interaction lists: True for 60 points or their number
                       (--interaction POINTS)
  moment_curvature     the moment-curvature lists (--moment-curvature)
  interaction_biaxial  the number of directions of the biaxial list at the action N
                       (--interaction-biaxial ANGLES)
  cracked              the cracked service analysis under N, My and Mz (--cracked)
  units                "N-mm", "kN-m" or "kN-cm" (--units): the units of report();
                       to_dict() stays in N and mm
  units                "N-mm", "kN-m" or "kN-cm" (--units): the units of report() and of
                       save_report(); to_dict() stays in N and mm
  progress             progress(stage) with "colours", "analysis", "torsion" or "stresses"
                       when a stage begins, then progress(fraction) as it goes, on the calling
                       thread with the GIL held; returning False stops the run and raises
                       quorvane.Cancelled, and an exception it raises (KeyboardInterrupt too)
                       stops the run and is raised. The torsion solve stops at once, a scan
                       when it ends.

Returns a Result: its to_dict() is the JSON of `quorvane-cli analyse --json`, its report() the
tool's report.

Raises quorvane.Error with the core's message (the tool's without the option before it) for a
value the tool refuses, such as a colour not in the picture or a size out of range;
quorvane.Cancelled when `progress` returned False; TypeError for an argument of a wrong type,
for sizes given both ways or for none. Warns (UserWarning) with the tool's notes, such as a
colour of `use` without a material.

Example:
    picture = quorvane.read_picture("examples/u-channel.bmp")
    library = quorvane.Library.load("examples/properties.ini")
    result = quorvane.analyse(picture, 500, 650, ["clRed"], library=library, torsion=True,
                              actions={"N": -2e5, "My": 1.5e7})
    values = result.to_dict()
    print(values["ea"], values["extended"]["gj"], values["stress"])

The same analysis as
    quorvane-cli analyse examples/u-channel.bmp --width 500 --height 650 --use clRed \
        --library examples/properties.ini --torsion --action N=-2e5 --action My=1.5e7 --json)");

  FindOverlayModule();
  // SVG drawings are read by the module that holds Qt, loaded only when one is opened.
  InstallSvgReader(drawing::ReadSvgDrawing);
}
