// The launcher's strict JSON layer: every structured text it reads or writes (service
// requests and answers, manifests, stored releases, the install journal) becomes a document
// and back only through here. Every failure is Failure(Text::InvalidMetadata) with an empty
// detail, whether the text was malformed or a member was missing or of the wrong kind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <rapidjson/document.h>

namespace zyr::update {

// UTF-8, memory-pool allocator. Build one with `JsonDocument document(rapidjson::kObjectType)`
// and add members with AddMember, copying names and strings into document.GetAllocator().
using JsonDocument =
    rapidjson::GenericDocument<rapidjson::UTF8<>, rapidjson::MemoryPoolAllocator<>>;
using JsonValue = JsonDocument::ValueType;

// The text must be a single JSON object of at most 32 MiB (a UTF-8 byte-order mark is
// ignored), nested no deeper than 32 levels below the root, with no two members of one object
// sharing a name after unescaping, and with valid UTF-8 in every string.
JsonDocument parse_json_object(std::string_view text);

// Fails when `value` is not an object or lacks the member.
const JsonValue& require_member(const JsonValue& value, const char* name);

// A copy of a string member's bytes, which must not contain NUL. With `optional`, a missing
// member reads as the empty string (a member that is present must still be a string).
std::string read_string_member(const JsonValue& value, const char* name, bool optional = false);

// A number written without fraction or exponent, 0 to 2^64 - 1. With `optional`, a missing
// member reads as 0.
std::uint64_t read_uint64_member(const JsonValue& value, const char* name, bool optional = false);

// Compact text: no whitespace, members in stored order, control characters escaped, all other
// bytes as they are.
std::string write_json(const JsonValue& root);

}  // namespace zyr::update
