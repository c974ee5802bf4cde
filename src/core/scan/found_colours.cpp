// FoundColours: labels and entries made on demand.
#include "core/scan/found_colours.h"

#include "core/base/colour_label.h"

namespace qv {

std::string FoundColours::Label(std::size_t index) const {
  return ColourToLabel(static_cast<ColourValue>(mColours[index].value));
}

std::vector<std::string> FoundColours::Labels() const {
  std::vector<std::string> labels;
  labels.reserve(mColours.size());
  for (std::size_t i = 0; i < mColours.size(); ++i) labels.push_back(Label(i));
  return labels;
}

std::optional<std::size_t> FoundColours::Find(std::string_view label) const {
  // A label names one pixel value exactly; comparing values is a plain scan, quick enough for a
  // user's click even on ten million colours.
  const std::optional<std::uint32_t> value = PixelColourOfLabel(label);
  if (!value) return std::nullopt;
  for (std::size_t i = 0; i < mColours.size(); ++i) {
    if (mColours[i].value == *value) return i;
  }
  return std::nullopt;
}

TPROPRec FoundColours::Entry(std::size_t index) const {
  const ColourBounds& c = mColours[index];
  TPROPRec entry;
  entry.id = static_cast<int>(index) + 1;
  entry.prop.colorlabel = Label(index);
  entry.prop.xmin = c.xmin;
  entry.prop.xmax = c.xmax;
  entry.prop.ymin = c.ymin;
  entry.prop.ymax = c.ymax;
  return entry;
}

TPROPClass FoundColours::AsContainer() const {
  TPROPClass list;
  for (std::size_t i = 0; i < mColours.size(); ++i) list.Add(Entry(i));
  return list;
}

}  // namespace qv
