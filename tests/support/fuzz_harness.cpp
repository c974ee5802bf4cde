// The checks behind the fuzz targets: each runs an input through the real readers and writers and
// throws FuzzFailure when a property that must hold for every input does not.
#include "support/fuzz_harness.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

#include "core/base/colour_label.h"
#include "core/base/error.h"
#include "core/base/number_text.h"
#include "core/library/dd_props.h"
#include "core/library/library_and_settings.h"
#include "core/picture/bmp_reader.h"
#include "core/picture/picture_reader.h"
#include "core/picture/png_reader.h"
#include "core/scan/edge_smoothing.h"
#include "core/scan/inventory.h"
#include "core/session/session.h"
#include "core/settings/program_settings.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

void Require(bool condition, const std::string& what) {
  if (!condition) throw FuzzFailure(what);
}

// One private folder per process, removed at exit; every check starts its files afresh.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "qv-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw FuzzFailure("cannot create a scratch folder");
    mDir = fs::canonical(pattern);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(mDir, ec);
  }
  const fs::path& Dir() const { return mDir; }
  // An empty subfolder for one run.
  fs::path Fresh(const char* name) const {
    fs::path dir = mDir / name;
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directory(dir);
    return dir;
  }

 private:
  fs::path mDir;
};

const Scratch& ScratchFolder() {
  static const Scratch scratch;
  return scratch;
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Require(static_cast<bool>(out.flush()), "cannot write " + path.string());
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t U32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Width x height as the header declares them, or 0 when the header is too short to say.
std::int64_t DeclaredPixels(const std::uint8_t* data, std::size_t size) {
  if (size < 26) return 0;
  if (U32(data + 14) == 12)
    return std::int64_t{data[18] | (data[19] << 8)} * (data[20] | (data[21] << 8));
  const auto side = [](std::uint32_t v) {
    return std::min<std::int64_t>(std::llabs(static_cast<std::int32_t>(v)), v);
  };
  if (size < 30) return 0;
  return side(U32(data + 18)) * side(U32(data + 22));
}

bool SameNumber(double a, double b) { return a == b || FormatNumber(a) == FormatNumber(b); }

std::string Decimal(long long v) {
  char buffer[24];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

// A loaded library as comparable lines: label, name and the numbers at 15 digits.
std::vector<std::string> Entries(const TPROPClass& library) {
  std::vector<std::string> lines;
  for (const TPROPRec& e : library) {
    lines.push_back(e.prop.colorlabel + '\x01' + e.prop.name + '\x01' + FormatNumber(e.prop.E) +
                    '\x01' + FormatNumber(e.prop.rho));
  }
  return lines;
}

// Loads `path`; false when the load stopped on a conversion error.
bool LoadLibrary(TPROPClass& library) {
  try {
    library.Load();
    return true;
  } catch (const Error&) {
    Require(library.LoadFailed(), "a failed load is not marked");
    return false;
  }
}

void CheckSavedLibrary(const TPROPClass& first, const fs::path& path, const char* what) {
  TPROPClass again(path.string());
  Require(LoadLibrary(again), std::string("the library saved ") + what + " does not load");
  Require(Entries(again) == Entries(first),
          std::string("the library saved ") + what + " differs from the one loaded");
}

// Width x height as a PNG header declares them, or 0 when there is no header.
std::uint64_t DeclaredPngPixels(const std::uint8_t* data, std::size_t size) {
  if (size < 24) return 0;
  const auto big = [&](std::size_t at) {
    return (std::uint32_t{data[at]} << 24) | (std::uint32_t{data[at + 1]} << 16) |
           (std::uint32_t{data[at + 2]} << 8) | data[at + 3];
  };
  return std::uint64_t{big(16)} * big(20);
}

// What every decoded picture must satisfy, and the inventory and analysis on it. The session
// reads the same bytes from a file, through the reader entry: `bytes` are that file's contents
// and go to the reader that decoded `grid`.
void CheckDecodedPicture(PixelGrid grid, std::string_view bytes) {
  Require(grid.Width() > 0 && grid.Height() > 0 &&
              grid.Size() == static_cast<std::size_t>(grid.Width()) * grid.Height(),
          "an accepted picture without pixels");
  for (std::size_t i = 0; i < grid.Size(); ++i) {
    Require((grid.Data()[i] & 0xFF000000u) == 0, "a pixel with bits beyond 0x00BBGGRR");
  }

  const std::vector<FoundColour> colours = ScanColours(grid, false, {}, 1);
  Require(!colours.empty(), "a picture without colours");
  for (const FoundColour& c : colours) {
    Require(c.xmin >= 0 && c.xmin <= c.xmax && c.xmax < grid.Width() && c.ymin >= 0 &&
                c.ymin <= c.ymax && c.ymax < grid.Height(),
            "colour bounds outside the picture");
    Require(c.label == ColourToLabel(static_cast<ColourValue>(c.value)), "a wrong label");
  }

  // The same bytes through the session's own way in: a picture file.
  const fs::path file = ScratchFolder().Fresh("picture") / "fuzz.bmp";
  WriteBytes(file, bytes);
  SectionSession session;
  session.SetThreads(1);
  ProgramSettings settings = session.Settings();
  settings.IgnoreDollarColours = false;
  session.ChangeSettings(settings);
  session.SetLibrary(std::make_unique<TPROPClass>());
  Require(session.AcceptPicture(file.string()), "the session does not find the picture");
  Require(session.Picture() == grid, "the session reads the file differently from the bytes");
  session.ColourInventory();
  Require(session.FoundLabels().size() == colours.size() &&
              session.FoundLabels().front() == colours.front().label,
          "the session's inventory differs from the scan");
  Require(session.AddColourToMaterialList(session.FoundLabels().front()),
          "a found colour cannot become a material");
  const SectionSize sectionSize{100, 100, "100", "100"};
  Require(session.Analyse(sectionSize) == SectionSession::AnalyseOutcome::Done,
          "the analysis did not run");
  Require(session.Result().NC.x >= 0 && session.Result().NC.x < session.Picture().Width() &&
              session.Result().NC.y >= 0 && session.Result().NC.y < session.Picture().Height(),
          "the normal-force centre lies outside the picture");
  Require(!session.Report().empty(), "no report");

  // The batch tool's way: the file read a few rows at a time while the colours are listed.
  SectionSession streamed;
  streamed.SetThreads(1);
  streamed.ChangeSettings(settings);
  streamed.SetLibrary(std::make_unique<TPROPClass>());
  streamed.SetPictureStreaming(true);
  Require(streamed.AcceptPicture(file.string()), "the streaming session does not find the picture");
  streamed.ColourInventory();
  Require(streamed.FoundLabels() == session.FoundLabels(),
          "the streaming session lists other colours");
  streamed.AddColourToMaterialList(session.FoundLabels().front());
  Require(streamed.Analyse(sectionSize) == SectionSession::AnalyseOutcome::Done &&
              streamed.ReportText() == session.ReportText(),
          "the streaming session reports otherwise");
  Require(EdgeSmoothingNote(streamed.PictureEdgeSmoothing()) ==
              EdgeSmoothingNote(FindEdgeSmoothing(grid)),
          "the smoothing check of the file's rows differs from that of the picture");
}

// The outcome of a decoding: the picture, or the refusal's text.
struct Decoded {
  PixelGrid grid;
  std::string refusal;
};

template <typename Decode>
Decoded Outcome(const char* name, Decode decode) {
  Decoded d;
  try {
    d.grid = decode();
  } catch (const Error& e) {
    d.refusal = e.what();
    Require(d.refusal.starts_with("Cannot read picture " + std::string(name) + ": "),
            "a refusal without the file's name");
  }
  return d;
}

// The file of `bytes` read a few rows at a time, as the batch tool reads it, against the same
// file read whole: the same pixels, or the same refusal.
void CheckPictureRows(std::string_view bytes) {
  const fs::path file = ScratchFolder().Fresh("rows") / "fuzz.bmp";
  WriteBytes(file, bytes);
  const Decoded whole = Outcome(file.c_str(), [&] { return ReadPicture(file.string()); });
  Decoded rowwise;
  try {
    const std::unique_ptr<PixelRows> rows = OpenPictureRows(file.string());
    if (!rows) return;  // a compressed or PNG picture is always read whole
    rowwise.grid = PixelGrid(rows->Width(), rows->Height(), 0xFF000000u);
    rows->Visit(0, 0, rows->Height(), [&](const RowBlock& block) {
      for (int y = block.first; y < block.end; ++y) {
        std::copy(block.Row(y), block.Row(y) + block.width, rowwise.grid.Row(y));
      }
    });
    rows->ThrowIfFailed();
  } catch (const Error& e) {
    rowwise.refusal = e.what();
  }
  Require(rowwise.refusal == whole.refusal,
          "reading rows refuses differently from reading the file whole");
  Require(!whole.refusal.empty() || rowwise.grid == whole.grid,
          "reading rows gives other pixels than reading the file whole");
}

}  // namespace

void CheckPictureBytes(const std::uint8_t* data, std::size_t size) {
  if (DeclaredPixels(data, size) > kFuzzMaxPixels) return;
  CheckPictureRows(std::string_view(reinterpret_cast<const char*>(data), size));
  Decoded d = Outcome("fuzz.bmp", [&] { return DecodeBmp(data, size, "fuzz.bmp"); });
  // Bytes that begin like a PNG file are the PNG reader's when read from a file.
  if (d.refusal.empty() && !HasPngSignature(data, size)) {
    CheckDecodedPicture(std::move(d.grid),
                        std::string_view(reinterpret_cast<const char*>(data), size));
  }
}

void CheckPngBytes(const std::uint8_t* data, std::size_t size) {
  if (DeclaredPngPixels(data, size) > static_cast<std::uint64_t>(kFuzzMaxPixels)) return;
  Decoded d = Outcome("fuzz.png", [&] { return DecodePng(data, size, "fuzz.png"); });
  if (HasPngSignature(data, size)) {
    // The entry must hand these bytes to the PNG reader: the same picture or the same refusal.
    const Decoded entry =
        Outcome("fuzz.png", [&] { return DecodePicture(data, size, "fuzz.png"); });
    Require(entry.refusal == d.refusal && entry.grid == d.grid,
            "the reader entry and the PNG reader disagree");
  }
  if (d.refusal.empty() && HasPngSignature(data, size)) {
    CheckDecodedPicture(std::move(d.grid),
                        std::string_view(reinterpret_cast<const char*>(data), size));
  }
}

void CheckLibraryBytes(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const fs::path dir = ScratchFolder().Fresh("library");
  const fs::path original = dir / "properties.ini";
  const fs::path copy = dir / "copy.ini";
  WriteBytes(original, bytes);

  TPROPClass first(original.string());
  if (!LoadLibrary(first)) {
    first.Save();
    Require(ReadBytes(original) == bytes, "a library that failed to load was overwritten");
    return;
  }

  TPROPClass toCopy = first;
  toCopy.FileName = copy.string();
  try {
    toCopy.Save();
  } catch (const Error&) {
    // A material the file cannot hold (such as a name over 255 characters) is refused whole.
    Require(!fs::exists(copy), "a refused save wrote a file");
    Require(ReadBytes(original) == bytes, "a refused save changed another file");
    return;
  }
  CheckSavedLibrary(first, copy, "to a new file");

  first.Save();
  CheckSavedLibrary(first, original, "over its own file");
}

void CheckPropLineBytes(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const int fields = FieldCount(line, '@');
  Require(fields >= 1, "a field count below 1");
  for (int n = 0; n <= std::min(fields + 1, 7); ++n) ExtractField(n, line, '@');
  PROPRec record;
  int k = 0;
  try {
    k = ParsePropLine(line, record);
  } catch (const Error& e) {
    // The text that failed may hold a NUL byte, which ends what() early.
    Require(std::string_view(e.what()).starts_with("'"),
            "an unexpected message: " + std::string(e.what()));
    return;
  }
  if (fields != 5) {
    Require(k == 0 && record.colorlabel.empty() && record.E == 1,
            "a line without five fields changed the record");
    return;
  }
  Require(std::isfinite(record.E) && std::isfinite(record.rho), "a number that is not finite");
  DescribeProp(record);
}

void CheckNumberTextBytes(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const double v = ReadReal(text);
    Require(std::isfinite(v), "ReadReal gave a value that is not finite");
    const std::string written = FormatNumber(v);
    Require(FormatNumber(ReadReal(written)) == written, "FormatNumber does not read back");
  } catch (const Error& e) {
    Require(std::strcmp(e.what(), InvalidRealMessage(text).c_str()) == 0,
            "ReadReal: " + std::string(e.what()));
  }
  try {
    const std::int32_t i = ReadInteger(text);
    Require(ReadInteger(Decimal(i)) == i, "an integer does not read back");
  } catch (const Error& e) {
    Require(std::strcmp(e.what(), InvalidIntegerMessage(text).c_str()) == 0,
            "ReadInteger: " + std::string(e.what()));
  }
  try {
    const ColourValue c = LabelToColour(text);
    Require(LabelToColour(ColourToLabel(c)) == c, "a colour label does not read back");
  } catch (const Error& e) {
    Require(std::strcmp(e.what(), InvalidIntegerMessage(text).c_str()) == 0,
            "LabelToColour: " + std::string(e.what()));
  }
  PixelColourOfLabel(text);

  if (size < 10) return;
  double d = 0;
  std::memcpy(&d, data, sizeof d);
  // The two bytes as signed numbers, negative ones included.
  const int precision = data[8] < 128 ? data[8] : data[8] - 256;
  const int digits = data[9] < 128 ? data[9] : data[9] - 256;
  const std::string general = FormatGeneral(d, precision, digits);
  FormatFixed(d, precision, digits);
  FormatScaled(d, digits % 40);
  DecimalOrder(d);
  if (!std::isfinite(d)) {
    Require(general == "NAN" || general == "INF" || general == "-INF", "a non-finite text");
    return;
  }
  // Rounding to few digits may carry the largest doubles beyond the range.
  if (std::fabs(d) > 1e307) return;
  const int kept = std::clamp(precision, 2, 18);
  double back = 0;
  try {
    back = ReadReal(general);
  } catch (const Error&) {
    throw FuzzFailure("FormatGeneral wrote '" + general + "', which does not read");
  }
  // 15 digits identify their decimal, 17 identify the double; 16 do neither.
  // Denormals carry fewer digits than that, so only normal values are held to it.
  if (kept <= 15 && (std::isnormal(d) || d == 0) && (std::isnormal(back) || back == 0)) {
    Require(FormatGeneral(back, precision, digits) == general,
            "FormatGeneral's text does not read back: " + general);
  } else if (kept >= 17) {
    Require(back == d, "17 digits do not give the double back: " + general);
  }
}

void CheckSettingsBytes(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const fs::path dir = ScratchFolder().Fresh("settings");
  const std::string program = (dir / "quorvane").string();
  const fs::path file = SettingsFilePath(program);
  WriteBytes(file, bytes);

  ProgramSettings first;
  std::unique_ptr<TPROPClass> library;
  const std::vector<std::string> messages = LoadSettings(program, first, library);
  Require(library != nullptr, "no library");
  // A key that did not convert: the file as it was is kept before anything overwrites it.
  const bool conversionFailed = std::any_of(
      messages.begin(), messages.end(),
      [](const std::string& m) { return m.find("\" does not convert;") != std::string::npos; });
  if (conversionFailed && !first.SettingsFileUnreadable) {
    Require(ReadBytes(file.string() + ".bak") == bytes, "no backup of a file that did not convert");
  }
  // Paths come from the input: write nothing outside the scratch folder.
  std::error_code ec;
  const bool libraryInside =
      fs::weakly_canonical(library->FileName, ec).parent_path() == dir && !ec;
  try {
    SaveSettings(program, first, libraryInside ? library.get() : nullptr);
  } catch (const Error&) {
    // A library that cannot be saved is the library check's concern.
  }
  if (first.SettingsFileUnreadable) {
    Require(ReadBytes(file) == bytes, "a settings file that could not be read was overwritten");
    return;
  }

  ProgramSettings again;
  std::unique_ptr<TPROPClass> libraryAgain;
  LoadSettings(program, again, libraryAgain);
  Require(!again.SettingsFileUnreadable, "saved settings do not convert");
  Require(again.SignConvention == first.SignConvention && again.FontSize == first.FontSize &&
              again.FontStyle == first.FontStyle && again.AxesColour == first.AxesColour &&
              again.MassCentreColour == first.MassCentreColour &&
              again.PrincipalAxesColour == first.PrincipalAxesColour &&
              again.AutoStart == first.AutoStart &&
              again.CheckForUpdates == first.CheckForUpdates &&
              SameNumber(again.AngleTolerance, first.AngleTolerance),
          "saved settings read back differently");
  // Texts the file cannot hold are stored empty on purpose; the others come back as they were.
  const auto storable = [](const std::string& t) {
    return t.size() <= 2047 && t.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
  };
  if (storable(first.FontName)) {
    Require(again.FontName == first.FontName, "the font name read back differently");
  }
  if (storable(first.WorkingDir)) {
    Require(again.WorkingDir == first.WorkingDir, "the working folder read back differently");
    if (storable(first.PictureFile)) {
      Require(again.PictureFile == first.PictureFile, "the picture file read back differently");
    }
    if (storable(first.LibraryFile)) {
      Require(again.LibraryFile == first.LibraryFile, "the library file read back differently");
    }
  }
}

FuzzCheck FuzzCheckNamed(const std::string& name) {
  if (name == "picture") return CheckPictureBytes;
  if (name == "png") return CheckPngBytes;
  if (name == "library") return CheckLibraryBytes;
  if (name == "prop_line") return CheckPropLineBytes;
  if (name == "number_text") return CheckNumberTextBytes;
  if (name == "settings") return CheckSettingsBytes;
  return nullptr;
}

}  // namespace qv::test
