// Material records, the ordered material container and its library file.
#pragma once

#include <list>
#include <string>
#include <string_view>

namespace qv {

/// One material. The bounds describe the colour's pixels in the current picture; -1 = not set.
struct PROPRec {
  double E = 1;    ///< modulus of elasticity, N/mm^2
  double rho = 1;  ///< mass density, kg/m^3
  int xmin = -1;
  int xmax = -1;
  int ymin = -1;
  int ymax = -1;
  std::string colorlabel;  ///< ColourLabel of the material's colour: the key of the entry
  std::string name;        ///< free text chosen by the user, may be empty
};

/// One container entry.
struct TPROPRec {
  int id = 0;  ///< unique within its container; new entries get MaxId() + 1
  PROPRec prop;
  bool inUse = false;  ///< the colour is on the material list for the current picture
};

/// Ordered container of materials. Library order is oldest first; lookups run newest first, so
/// of two entries with one label the later one wins. References to entries stay valid until that
/// entry is deleted or the container cleared.
class TPROPClass {
 public:
  using Entries = std::list<TPROPRec>;

  /// An empty container for `fileName`; runs Load() at once when `load` is set (and then throws
  /// what Load throws, with the entries read so far kept).
  explicit TPROPClass(std::string fileName = {}, bool load = false);

  std::string FileName;  ///< path of the library file; empty for the found-colours list

  int Count() const { return static_cast<int>(mEntries.size()); }
  /// Largest id, or 0 when empty (also when every id is below 1).
  int MaxId() const;
  /// Newest entry whose label equals `label` byte for byte, or nullptr.
  TPROPRec* FindByLabel(std::string_view label);
  const TPROPRec* FindByLabel(std::string_view label) const;
  /// Newest entry with this id, or nullptr.
  TPROPRec* FindById(int id);
  /// Appends a copy as the newest entry; checks nothing.
  TPROPRec& Add(const TPROPRec& entry);
  /// Removes the entry FindById(id) finds; nothing when there is none.
  void Delete(int id);
  void Clear();

  /// Library order (oldest first).
  Entries::iterator begin() { return mEntries.begin(); }
  Entries::iterator end() { return mEntries.end(); }
  Entries::const_iterator begin() const { return mEntries.begin(); }
  Entries::const_iterator end() const { return mEntries.end(); }
  const TPROPRec* Newest() const { return mEntries.empty() ? nullptr : &mEntries.back(); }
  const TPROPRec* Oldest() const { return mEntries.empty() ? nullptr : &mEntries.front(); }

  /// Appends the materials of FileName (see library_file.cpp). Throws Error on a count,
  /// sequence number or number that does not convert; the library then refuses to Save, so
  /// the file that could not be read survives for a later run.
  void Load();
  /// Rewrites the section "properties" of FileName atomically. Does nothing after a failed
  /// Load. Throws Error "Unable to write to <path>" when the file cannot be written, and
  /// refuses (throws, writing nothing) when a material could not be read back as written.
  void Save() const;
  /// True after a Load that stopped on a conversion error.
  bool LoadFailed() const { return mLoadFailed; }

  static void InitProp(PROPRec& record);
  static void InitEntry(TPROPRec& entry);

 private:
  Entries mEntries;
  int mMaxId = 0;  // cached: MaxId() is called for every entry a file load adds
  bool mLoadFailed = false;
};

/// Fills colorlabel, name, E and rho of `record` from one library value "k@label@name@E@rho" and
/// returns k, or 0 (changing nothing) when the value does not have exactly five fields. Throws
/// Error when k or a number does not convert, with the fields before it already filled in.
int ParsePropLine(std::string_view value, PROPRec& record);
/// Number of separators in `text` plus 1; an empty text has 1 field.
int FieldCount(std::string_view text, char separator);
/// Field n (from 1) of the trimmed text; n < 1 gives the whole trimmed text, n beyond the last
/// field gives the last field. Fields themselves are not trimmed.
std::string ExtractField(int n, std::string_view text, char separator);
/// `text` without leading and trailing space, CR, LF, form feed and backspace (not tab).
std::string TrimBlanks(std::string_view text);
/// "colorlabel=..   name=..\rxmin=..   xmax=..\rymin=..   ymax=..\rE=..   rpho=..".
std::string DescribeProp(const PROPRec& record);

/// Why `name` cannot be stored as a material name (it could not be read back from the library
/// file), or an empty text when it can.
std::string MaterialNameProblem(std::string_view name);

/// Why a material name a user gives (in the property dialog, with --material, in the Python
/// module's materials) is refused, or an empty text: what MaterialNameProblem refuses, and
/// control characters (tab, escape, C1 codes), which would garble the report's columns or a
/// terminal. A library file keeps whatever names it holds.
std::string MaterialNameInputProblem(std::string_view name);
/// Why E (N/mm^2) is refused where a user gives it: outside the property dialog's field,
/// 0..kMaxModulus, in the field's own words; empty when it is taken.
std::string ModulusProblem(double E);
/// The same for rho (kg/m^3), 0..kMaxDensity.
std::string DensityProblem(double rho);
/// The first of the three problems above, or an empty text: the one check of a material given
/// by a user, whichever front end takes it.
std::string MaterialInputProblem(std::string_view name, double E, double rho);

}  // namespace qv
