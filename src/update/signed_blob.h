// The signed members of the get-package document: a base64url blob, its SHA-256 and an
// Ed25519 signature made with one of the trusted release-signing keys.
#pragma once

#include <span>
#include <string>

#include "common/json.h"
#include "update/release_manifest.h"

namespace zyr::update {

// Returns the decoded bytes of `blob_member` once its digest and signature check out.
// Anything wrong with digest or signature is Text::SignatureInvalid.
std::string verify_signed_blob(const JsonValue& document, const char* blob_member,
                               const char* digest_member, const char* signature_member,
                               std::span<const TrustedKey> keys);

}  // namespace zyr::update
