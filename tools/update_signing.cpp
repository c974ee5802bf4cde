// The maker's side of signed updates: creates an Ed25519 key pair and signs an updater, writing
// the descriptor lines the update check reads ("upd_size", "upd_sig").
//
//   qv_update_signing keygen SECRET_FILE        writes the secret key (base64) to SECRET_FILE,
//                                               owner-only, and prints the public key to
//                                               configure with -DQV_UPDATE_PUBLIC_KEY=...
//   qv_update_signing sign SECRET_FILE UPDATER  prints "upd_size=<bytes>" and "upd_sig=<base64>"
#include <sodium.h>
#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string Base64(const unsigned char* bytes, std::size_t size) {
  std::string text(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
  text.resize(text.find('\0'));
  return text;
}

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

int Usage() {
  std::cerr << "usage: qv_update_signing keygen SECRET_FILE\n"
               "       qv_update_signing sign SECRET_FILE UPDATER\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (sodium_init() < 0) return 1;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "keygen") {
    unsigned char pk[crypto_sign_PUBLICKEYBYTES];
    unsigned char sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    const mode_t old = ::umask(077);
    std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
    ::umask(old);
    out << Base64(sk, sizeof sk) << '\n';
    sodium_memzero(sk, sizeof sk);
    if (!out.flush()) {
      std::cerr << "cannot write " << args[1] << '\n';
      return 1;
    }
    std::cout << Base64(pk, sizeof pk) << '\n';
    return 0;
  }
  if (args.size() == 3 && args[0] == "sign") {
    std::string keyText;
    std::string updater;
    if (!ReadFile(args[1], keyText) || !ReadFile(args[2], updater)) {
      std::cerr << "cannot read the key or the updater\n";
      return 1;
    }
    while (!keyText.empty() && (keyText.back() == '\n' || keyText.back() == '\r'))
      keyText.pop_back();
    unsigned char sk[crypto_sign_SECRETKEYBYTES];
    std::size_t length = 0;
    if (sodium_base642bin(sk, sizeof sk, keyText.data(), keyText.size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != sizeof sk) {
      std::cerr << args[1] << " holds no secret key\n";
      return 1;
    }
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(updater.data()),
                         updater.size(), sk);
    sodium_memzero(sk, sizeof sk);
    std::cout << "upd_size=" << updater.size()
              << "\nupd_sig=" << Base64(signature, sizeof signature) << '\n';
    return 0;
  }
  return Usage();
}
