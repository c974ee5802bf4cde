// What the batch tool's tests share: the rectangle every one of them can compute by hand, the
// command line that analyses it, and the reading of the JSON the tool writes.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/picture_image.h"
#include "support/cli_run.h"
#include "support/grid_builder.h"

namespace qv::test {

/// `a` followed by `b`.
inline std::vector<std::string> Concat(std::vector<std::string> a,
                                       const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

/// The JSON object of `text`; a parse error or another value fails the test, naming the text.
inline QJsonObject ParseJson(const std::string& text) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n"
                                                   << text;
  EXPECT_TRUE(doc.isObject());
  return doc.object();
}

/// The picture the tool wrote at `path` (PNG or BMP).
inline PixelGrid ReadPng(const std::string& path) {
  return FromQImage(QImage(QString::fromStdString(path)));
}

/// Some pixel of x0..x1, y0..y1 (inclusive) has `colour`.
inline bool AnyPixel(const PixelGrid& g, int x0, int y0, int x1, int y1, std::uint32_t colour) {
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      if (g.At(x, y) == colour) return true;
    }
  }
  return false;
}

/// The member `key` of `o` as an object (empty when it is none).
inline QJsonObject At(const QJsonObject& o, const char* key) { return o[key].toObject(); }

/// A red 10 x 4 pixel rectangle at x 2..11, y 3..6 in a 20 x 10 white picture. At 100 x 40 mm
/// each pixel is 10 x 10 mm, so I = 100 * 40^3 / 12 and the numbers follow by hand.
class RectangleRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rect = dir.WritePicture("rect.bmp", MakeGrid(20, 10, kWhite, {{2, 3, 11, 6, kRed}}));
  }
  /// The analysis of the rectangle in steel, with `more` options after it.
  std::vector<std::string> Analyse(const std::vector<std::string>& more = {}) const {
    return Concat({"analyse", rect, "--width", "100", "--height", "40", "--use", "clRed",
                   "--material", "clRed@steel@210000@7850"},
                  more);
  }

  TempDir dir;
  std::string rect;
};

}  // namespace qv::test
