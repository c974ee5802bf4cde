// Authenticity of a downloaded updater: an Ed25519 signature of its bytes, checked with the
// public key the build was configured with.
#pragma once

#include <QByteArray>
#include <QString>

namespace qv {

/// The update signing key this build trusts (CMake option QV_UPDATE_PUBLIC_KEY, base64 of the 32
/// key bytes); empty when the build was configured without one, and then no updater is ever
/// started.
QByteArray BuiltInUpdateKey();

/// True when `signatureBase64` (the descriptor's "upd_sig": base64 of a 64-byte Ed25519
/// signature) is a valid signature of the whole file at `path` under `publicKeyBase64`. False for
/// a missing or malformed key or signature, a file that cannot be read, or one larger than
/// `maxBytes`.
bool VerifyUpdater(const QString& path, const QByteArray& signatureBase64,
                   const QByteArray& publicKeyBase64, qint64 maxBytes);

}  // namespace qv
