#include "common/json.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include <rapidjson/memorystream.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "common/failure.h"

namespace zyr::update {
namespace {

constexpr std::size_t kMaxTextBytes = 33'554'432;
constexpr unsigned kMaxDepth = 32;
// Iterative: hostile nesting costs heap, never the worker thread's stack.
constexpr unsigned kParseFlags =
    rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

[[noreturn]] void throw_invalid() { throw_failure(Text::InvalidMetadata); }

std::string_view view_of(const JsonValue& string) {
  return {string.GetString(), string.GetStringLength()};
}

// The parser validates raw UTF-8 but stores an escaped lone low surrogate (\uDC00 to \uDFFF)
// as its three-byte encoding. Raw surrogate encodings were already refused, so any encoded
// surrogate left in a decoded string came from such an escape.
bool holds_encoded_surrogate(std::string_view bytes) {
  for (std::size_t i = bytes.find('\xED'); i != std::string_view::npos;
       i = bytes.find('\xED', i + 1)) {
    if (i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) >= 0xA0) {
      return true;
    }
  }
  return false;
}

bool has_duplicate(std::vector<std::string_view>& names) {
  // Most objects have a handful of members: compare pairwise before paying for a sort.
  if (names.size() <= 16) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      for (std::size_t k = i + 1; k < names.size(); ++k) {
        if (names[i] == names[k]) {
          return true;
        }
      }
    }
    return false;
  }
  std::sort(names.begin(), names.end());
  return std::adjacent_find(names.begin(), names.end()) != names.end();
}

// Depth limit, unique member names and well-formed strings, walked with an explicit stack
// of containers. A value may lie at most 32 levels below the root object, so a container at
// depth 32 must be empty.
void check_structure(const JsonValue& root) {
  std::vector<std::pair<const JsonValue*, unsigned>> containers{{&root, 0}};
  std::vector<std::string_view> names;
  const auto visit = [&containers](const JsonValue& value, unsigned depth) {
    if (depth > kMaxDepth) {
      throw_invalid();
    }
    if (value.IsObject() || value.IsArray()) {
      containers.emplace_back(&value, depth);
    } else if (value.IsString() && holds_encoded_surrogate(view_of(value))) {
      throw_invalid();
    }
  };
  while (!containers.empty()) {
    const auto [container, depth] = containers.back();
    containers.pop_back();
    if (container->IsArray()) {
      for (const auto& element : container->GetArray()) {
        visit(element, depth + 1);
      }
      continue;
    }
    names.clear();
    for (const auto& member : container->GetObject()) {
      const std::string_view name = view_of(member.name);
      if (holds_encoded_surrogate(name)) {
        throw_invalid();
      }
      names.push_back(name);
      visit(member.value, depth + 1);
    }
    if (has_duplicate(names)) {
      throw_invalid();
    }
  }
}

// Passes parse events to the document, refusing containers nested deeper than the structure
// check allows. The check would refuse such a document anyway; cutting it off here keeps
// hostile nesting from costing hundreds of megabytes of parser state first.
class DepthLimitedHandler {
 public:
  using Ch = char;
  explicit DepthLimitedHandler(JsonDocument& document) : document_(document) {}

  bool Null() { return document_.Null(); }
  bool Bool(bool value) { return document_.Bool(value); }
  bool Int(int value) { return document_.Int(value); }
  bool Uint(unsigned value) { return document_.Uint(value); }
  bool Int64(std::int64_t value) { return document_.Int64(value); }
  bool Uint64(std::uint64_t value) { return document_.Uint64(value); }
  bool Double(double value) { return document_.Double(value); }
  bool RawNumber(const Ch* text, rapidjson::SizeType length, bool copy) {
    return document_.RawNumber(text, length, copy);
  }
  bool String(const Ch* text, rapidjson::SizeType length, bool copy) {
    return document_.String(text, length, copy);
  }
  bool Key(const Ch* text, rapidjson::SizeType length, bool copy) {
    return document_.Key(text, length, copy);
  }
  bool StartObject() { return open() && document_.StartObject(); }
  bool EndObject(rapidjson::SizeType members) {
    --open_containers_;
    return document_.EndObject(members);
  }
  bool StartArray() { return open() && document_.StartArray(); }
  bool EndArray(rapidjson::SizeType elements) {
    --open_containers_;
    return document_.EndArray(elements);
  }

 private:
  // The root is the first container and lies at depth 0.
  bool open() { return ++open_containers_ <= kMaxDepth + 1; }

  JsonDocument& document_;
  unsigned open_containers_ = 0;
};

const JsonValue* find_member(const JsonValue& value, const char* name) {
  if (!value.IsObject()) {
    throw_invalid();
  }
  const auto member = value.FindMember(name);
  return member == value.MemberEnd() ? nullptr : &member->value;
}

}  // namespace

JsonDocument parse_json_object(std::string_view text) {
  if (text.empty() || text.size() > kMaxTextBytes) {
    throw_invalid();
  }
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
  }
  // The parser's stream reports NUL at its end, so a NUL byte would end the text early and
  // hide whatever follows. NUL is never valid outside a string, nor raw inside one.
  if (text.find('\0') != std::string_view::npos) {
    throw_invalid();
  }
  JsonDocument document;
  bool parsed = false;
  auto parse = [&text, &parsed](JsonDocument& target) {
    rapidjson::MemoryStream stream(text.data(), text.size());
    rapidjson::Reader reader;
    DepthLimitedHandler handler(target);
    parsed = !reader.Parse<kParseFlags>(stream, handler).IsError();
    return parsed;
  };
  document.Populate(parse);
  if (!parsed || !document.IsObject()) {
    throw_invalid();
  }
  check_structure(document);
  return document;
}

const JsonValue& require_member(const JsonValue& value, const char* name) {
  const JsonValue* member = find_member(value, name);
  if (member == nullptr) {
    throw_invalid();
  }
  return *member;
}

std::string read_string_member(const JsonValue& value, const char* name, bool optional) {
  const JsonValue* member = find_member(value, name);
  if (member == nullptr) {
    if (optional) {
      return {};
    }
    throw_invalid();
  }
  if (!member->IsString()) {
    throw_invalid();
  }
  const std::string_view bytes = view_of(*member);
  if (bytes.find('\0') != std::string_view::npos) {
    throw_invalid();
  }
  return std::string(bytes);
}

std::uint64_t read_uint64_member(const JsonValue& value, const char* name, bool optional) {
  const JsonValue* member = find_member(value, name);
  if (member == nullptr) {
    if (optional) {
      return 0;
    }
    throw_invalid();
  }
  // Numbers with a fraction or exponent, and integers beyond 64 bits, are stored as doubles.
  if (!member->IsUint64()) {
    throw_invalid();
  }
  return member->GetUint64();
}

std::string write_json(const JsonValue& root) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  if (!root.Accept(writer)) {
    throw_invalid();
  }
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace zyr::update
