// VerifyUpdater on libsodium's Ed25519.
#include "util/update_signature.h"

#include <sodium.h>

#include <QFile>
#include <vector>

namespace qv {
namespace {

// Decodes standard base64 (with padding) into exactly `size` bytes; false for anything else.
bool DecodeExactly(const QByteArray& base64, unsigned char* out, std::size_t size) {
  const QByteArray text = base64.trimmed();
  std::size_t length = 0;
  return !text.isEmpty() &&
         sodium_base642bin(out, size, text.constData(), static_cast<std::size_t>(text.size()),
                           nullptr, &length, nullptr, sodium_base64_VARIANT_ORIGINAL) == 0 &&
         length == size;
}

}  // namespace

QByteArray BuiltInUpdateKey() { return QByteArrayLiteral(QV_UPDATE_PUBLIC_KEY); }

bool VerifyUpdater(const QString& path, const QByteArray& signatureBase64,
                   const QByteArray& publicKeyBase64, qint64 maxBytes) {
  if (sodium_init() < 0) return false;
  unsigned char key[crypto_sign_PUBLICKEYBYTES];
  unsigned char signature[crypto_sign_BYTES];
  if (!DecodeExactly(publicKeyBase64, key, sizeof key)) return false;
  if (!DecodeExactly(signatureBase64, signature, sizeof signature)) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > maxBytes) return false;
  const QByteArray bytes = file.readAll();
  if (bytes.size() != file.size()) return false;
  return crypto_sign_verify_detached(signature,
                                     reinterpret_cast<const unsigned char*>(bytes.constData()),
                                     static_cast<unsigned long long>(bytes.size()), key) == 0;
}

}  // namespace qv
