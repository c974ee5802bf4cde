// A signing key of the test's own, standing in for the maker's key of a real build.
#pragma once

#include <QByteArray>

namespace qv::test {

class SigningKey {
 public:
  /// A fresh Ed25519 key pair.
  SigningKey();
  /// The public key as the build option takes it (base64).
  const QByteArray& PublicKey() const { return mPublic; }
  /// The descriptor's "upd_sig" for `bytes` (base64).
  QByteArray Sign(const QByteArray& bytes) const;

 private:
  QByteArray mPublic;
  QByteArray mSecret;
};

}  // namespace qv::test
