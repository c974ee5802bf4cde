// Tests of the strict libjpeg decoder: the carried definitions picture, colour pictures, and
// damaged data that must give an Error instead of a guessed picture or a crash.
#include "imaging/jpeg_reader.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <algorithm>
#include <functional>
#include <ostream>
#include <string>

#include "core/base/error.h"
#include "support/row_name.h"

namespace qv::test {
namespace {

const QString kCarriedPicture =
    QStringLiteral(QV_TEST_DATA_DIR "/../../src/imaging/resources/definitions.jpg");

QByteArray CarriedPicture() {
  QFile file(kCarriedPicture);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// A JPEG written by Qt's own encoder, so the decoder is checked against another implementation.
QByteArray QtJpeg(const QImage& image, int quality = 95) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", quality);
  return bytes;
}

// The error message of decoding `data`, empty when it decoded.
std::string DecodeError(const QByteArray& data) {
  try {
    DecodeJpeg(data);
  } catch (const Error& e) {
    return e.what();
  }
  return {};
}

struct DamagedCase {
  const char* name;
  std::function<QByteArray(const QByteArray& good)> damage;
};

void PrintTo(const DamagedCase& damaged, std::ostream* out) { *out << damaged.name; }

// Plain tests use the fixture too, so that all cases share one suite name.
class JpegReaderTest : public ::testing::TestWithParam<DamagedCase> {};

TEST_F(JpegReaderTest, CarriedDefinitionsPictureDecodesToGreyscale) {
  const QByteArray data = CarriedPicture();
  ASSERT_FALSE(data.isEmpty()) << kCarriedPicture.toStdString();
  const QImage image = DecodeJpeg(data);
  EXPECT_EQ(image.width(), 640);
  EXPECT_EQ(image.height(), 482);
  EXPECT_EQ(image.format(), QImage::Format_Grayscale8);
  // White paper with black lettering: the corners are white, the heading is dark.
  EXPECT_GE(qGray(image.pixel(0, 0)), 245);
  EXPECT_GE(qGray(image.pixel(639, 481)), 245);
  int darkest = 255;
  for (int y = 10; y < 40; ++y) {
    for (int x = 15; x < 160; ++x) darkest = std::min(darkest, qGray(image.pixel(x, y)));
  }
  EXPECT_LT(darkest, 40);
}

TEST_F(JpegReaderTest, CarriedPictureLeavesTheButtonAreaBlank) {
  // The definitions dialog lays its button over (360, 400)-(619, 425) of the picture.
  const QImage image = DecodeJpeg(CarriedPicture());
  ASSERT_FALSE(image.isNull());
  int darkest = 255;
  for (int y = 398; y < 428; ++y) {
    for (int x = 358; x < 622; ++x) darkest = std::min(darkest, qGray(image.pixel(x, y)));
  }
  EXPECT_GE(darkest, 235);
}

TEST_F(JpegReaderTest, ColourPictureDecodesToRgb) {
  QImage source(32, 16, QImage::Format_RGB32);
  source.fill(QColor(200, 30, 40));
  for (int y = 0; y < 16; ++y) {
    for (int x = 16; x < 32; ++x) source.setPixel(x, y, qRgb(20, 60, 220));
  }
  const QImage image = DecodeJpeg(QtJpeg(source));
  ASSERT_EQ(image.size(), source.size());
  EXPECT_EQ(image.format(), QImage::Format_RGB888);
  // Lossy, but well inside each half the colours are close to the originals.
  const QColor left = image.pixelColor(4, 8);
  const QColor right = image.pixelColor(27, 8);
  EXPECT_NEAR(left.red(), 200, 12);
  EXPECT_NEAR(left.green(), 30, 12);
  EXPECT_NEAR(left.blue(), 40, 12);
  EXPECT_NEAR(right.red(), 20, 12);
  EXPECT_NEAR(right.green(), 60, 12);
  EXPECT_NEAR(right.blue(), 220, 12);
}

TEST_P(JpegReaderTest, DamagedDataIsAnError) {
  const QByteArray good = CarriedPicture();
  ASSERT_FALSE(good.isEmpty());
  const std::string message = DecodeError(GetParam().damage(good));
  ASSERT_FALSE(message.empty()) << "decoded without complaint";
  EXPECT_EQ(message.rfind("The JPEG picture cannot be read: ", 0), 0u) << message;
}

// Offset of the first byte after the start-of-scan header: the entropy-coded data begin there.
qsizetype ScanDataStart(const QByteArray& jpeg) {
  const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
  if (sos < 0) return -1;
  const int length =
      (static_cast<unsigned char>(jpeg[sos + 2]) << 8) | static_cast<unsigned char>(jpeg[sos + 3]);
  return sos + 2 + length;
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, JpegReaderTest,
    ::testing::Values(
        // Nothing at all.
        DamagedCase{"Empty", [](const QByteArray&) { return QByteArray(); }},
        // A BMP header is not a JPEG.
        DamagedCase{"NotJpeg", [](const QByteArray&) { return QByteArray("BM\x36\0\0\0\0\0", 8); }},
        // Only the start-of-image marker.
        DamagedCase{"OnlyStartMarker", [](const QByteArray& good) { return good.left(2); }},
        // The headers end before the scan begins.
        DamagedCase{"EndsInHeaders", [](const QByteArray& good) { return good.left(100); }},
        // Half the scan data: libjpeg would pad with grey and only warn.
        DamagedCase{"TruncatedHalfway",
                    [](const QByteArray& good) { return good.left(good.size() / 2); }},
        // All but the end-of-image marker and the last scan bytes.
        DamagedCase{"TruncatedNearEnd",
                    [](const QByteArray& good) { return good.left(good.size() - 40); }},
        // Zero height in the frame header.
        DamagedCase{"ZeroHeight",
                    [](const QByteArray& good) {
                      QByteArray bad = good;
                      const qsizetype sof = bad.indexOf(QByteArray("\xFF\xC0", 2));
                      bad[sof + 5] = 0;
                      bad[sof + 6] = 0;
                      return bad;
                    }},
        // Bytes that are no Huffman code right at the start of the scan.
        DamagedCase{"GarbledScan",
                    [](const QByteArray& good) {
                      QByteArray bad = good;
                      const qsizetype start = ScanDataStart(bad);
                      for (qsizetype i = start; i < start + 64; ++i) bad[i] = '\xFF';
                      return bad;
                    }}),
    RowName);

}  // namespace
}  // namespace qv::test
