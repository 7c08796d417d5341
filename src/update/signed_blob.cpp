#include "update/signed_blob.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <memory>

#include "common/encoding.h"
#include "common/failure.h"

namespace zyr::update {
namespace {

constexpr std::size_t ed25519_key_bytes = 32;
constexpr std::size_t ed25519_signature_bytes = 64;

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

[[noreturn]] void signature_invalid() { throw_failure(Text::SignatureInvalid); }

bool ed25519_verifies(const std::vector<std::uint8_t>& public_key, const std::string& signature,
                      const std::string& message) {
  if (OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) != 1) return false;
  std::unique_ptr<EVP_PKEY, PkeyFree> key(
      EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, public_key.data(), public_key.size()));
  if (!key) return false;
  std::unique_ptr<EVP_MD_CTX, MdContextFree> context(EVP_MD_CTX_new());
  if (!context) return false;
  // Pure Ed25519: no digest of our own, the whole message goes in at once.
  if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
    return false;
  }
  return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                          signature.size(), reinterpret_cast<const unsigned char*>(message.data()),
                          message.size()) == 1;
}

}  // namespace

std::string verify_signed_blob(const JsonValue& document, const char* blob_member,
                               const char* digest_member, const char* signature_member,
                               std::span<const TrustedKey> keys) {
  std::string blob = base64url_decode(read_string_member(document, blob_member, false));
  const Digest digest = parse_digest_text(read_string_member(document, digest_member, false));
  if (sha256_of(blob) != digest) signature_invalid();

  const JsonValue& signature = require_member(document, signature_member);
  if (read_string_member(signature, "algorithm", false) != "Ed25519") signature_invalid();
  const std::string key_id = read_string_member(signature, "key_id", false);
  const TrustedKey* key = nullptr;
  for (const TrustedKey& candidate : keys) {
    if (candidate.key_id == key_id) {
      key = &candidate;
      break;
    }
  }
  if (key == nullptr) signature_invalid();
  const std::string value = base64url_decode(read_string_member(signature, "value", false));
  if (key->public_key.size() != ed25519_key_bytes || value.size() != ed25519_signature_bytes) {
    signature_invalid();
  }
  if (!ed25519_verifies(key->public_key, value, blob)) signature_invalid();
  return blob;
}

}  // namespace zyr::update
