// SigningKey on libsodium, as the maker's signing tool does it.
#include "support/signing_key.h"

#include <sodium.h>

namespace qv::test {

SigningKey::SigningKey() : mSecret(crypto_sign_SECRETKEYBYTES, '\0') {
  if (sodium_init() < 0) return;
  unsigned char pk[crypto_sign_PUBLICKEYBYTES];
  crypto_sign_keypair(pk, reinterpret_cast<unsigned char*>(mSecret.data()));
  mPublic = QByteArray(reinterpret_cast<const char*>(pk), sizeof pk).toBase64();
}

QByteArray SigningKey::Sign(const QByteArray& bytes) const {
  unsigned char signature[crypto_sign_BYTES];
  crypto_sign_detached(signature, nullptr,
                       reinterpret_cast<const unsigned char*>(bytes.constData()),
                       static_cast<unsigned long long>(bytes.size()),
                       reinterpret_cast<const unsigned char*>(mSecret.constData()));
  return QByteArray(reinterpret_cast<const char*>(signature), sizeof signature).toBase64();
}

}  // namespace qv::test
