#include "serialization/archive.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "serialization/field_entry.h"

namespace eb::v3 {

using detail::append_bytes;
using detail::get_le;
using detail::put_le;
namespace {

template <class V>
std::uint64_t to_bits(V value) {
  if constexpr (std::is_same_v<V, bool>) {
    return value ? 1 : 0;
  } else {
    return static_cast<std::make_unsigned_t<V>>(value);
  }
}

template <class V>
V from_bits(std::uint64_t bits) {
  if constexpr (std::is_same_v<V, bool>) {
    return bits != 0;
  } else {
    return static_cast<V>(static_cast<std::make_unsigned_t<V>>(bits));
  }
}

template <class V>
rapidjson::Value to_json(V value) {
  rapidjson::Value json;
  if constexpr (std::is_same_v<V, bool>) {
    json.SetBool(value);
  } else if constexpr (std::is_same_v<V, std::uint32_t>) {
    json.SetUint(value);
  } else if constexpr (std::is_same_v<V, std::int32_t>) {
    json.SetInt(value);
  } else {
    json.SetUint64(value);
  }
  return json;
}

// Unsigned members take any unsigned integer (a u32 keeps its low 32 bits); enumerations
// need a signed 32-bit integer.
template <class V>
bool from_json(const rapidjson::Value& json, V& value) {
  if constexpr (std::is_same_v<V, bool>) {
    if (!json.IsBool()) return false;
    value = json.GetBool();
  } else if constexpr (std::is_same_v<V, std::int32_t>) {
    if (!json.IsInt()) return false;
    value = json.GetInt();
  } else {
    if (!json.IsUint64()) return false;
    value = static_cast<V>(json.GetUint64());
  }
  return true;
}

constexpr std::size_t offset_width = 4;
constexpr std::size_t id_width = 8;

}  // namespace

Archive::Archive(manager& graph, ArchiveMode mode, std::vector<std::uint8_t>& record)
    : graph_(&graph), mode_(mode), record_(&record) {}

Archive::Archive(manager& graph, ArchiveMode mode, std::size_t record_offset, int depth)
    : graph_(&graph),
      mode_(mode),
      depth_(depth),
      record_start_(record_offset),
      cursor_(record_offset) {
  // Records carry no length: a search for a key runs at most up to the next record (or the
  // object table) that the buffer announces, and never past the buffer's end. Records that
  // this framework writes end before the next one starts, so this never hides a field of
  // theirs, and one record's missing key cannot make the search wander through the rest of
  // the buffer. A made-up buffer can still name one long record through many ids; all the
  // searches of one read together walk at most search_budget_bytes (set per read from the
  // buffer's size, far more than any record written here needs), after which fields read
  // as missing.
  const auto& starts = graph.record_starts_;
  const auto next = std::upper_bound(starts.begin(), starts.end(), record_offset);
  search_limit_ =
      next == starts.end() ? graph.read_size_ : std::min<std::size_t>(*next, graph.read_size_);
}

Archive::Archive(manager& graph, rapidjson::Value& object, JsonAllocator& allocator)
    : graph_(&graph), mode_(ArchiveMode::json_write), json_out_(&object), allocator_(&allocator) {
  if (!json_out_->IsObject()) json_out_->SetObject();
}

Archive::Archive(manager& graph, const rapidjson::Value& object, int depth)
    : graph_(&graph), mode_(ArchiveMode::json_read), depth_(depth), json_in_(&object) {}

bool Archive::is_null() const noexcept {
  return mode_ == ArchiveMode::null_write || mode_ == ArchiveMode::null_read;
}

bool Archive::follows_handles() const noexcept {
  return mode_ == ArchiveMode::binary_write || mode_ == ArchiveMode::binary_read;
}

void Archive::count_missing() noexcept { ++graph_->missingFields; }

// ---- Binary entries and blocks

void Archive::write_entry(std::string_view key, const std::uint8_t* value, std::size_t width) {
  if (record_ == nullptr) throw std::logic_error("archive has no record to write");
  detail::append_field_entry(*record_, key, value, width);
}

bool Archive::read_entry(std::string_view key, std::uint8_t* value, std::size_t width) {
  const std::uint8_t* buffer = graph_->read_begin_;
  std::size_t flag = detail::no_entry;
  std::size_t& budget = graph_->search_budget_;
  const auto search = [&](std::size_t from) {
    if (from >= search_limit_) return detail::no_entry;
    std::size_t walked = 0;
    const std::size_t found = detail::find_field_entry(
        buffer, std::min(search_limit_, from + budget), from, key, width, &walked);
    budget -= std::min(walked, budget);
    return found;
  };
  if (buffer != nullptr) {
    flag = search(cursor_);
    if (flag == detail::no_entry) flag = search(record_start_);
  }
  if (flag == detail::no_entry) {
    cursor_ = record_start_;
    count_missing();
    return false;
  }
  detail::decode_field_value(buffer + flag, width, value);
  cursor_ = flag + 1 + width + 1;
  return true;
}

std::uint32_t Archive::append_block(const std::uint8_t* data, std::size_t size, std::size_t count) {
  std::vector<std::uint8_t>* pool = graph_->write_pool_;
  if (pool == nullptr) throw std::logic_error("archive has no pool to write blocks to");
  if (pool->size() > std::numeric_limits<std::uint32_t>::max() ||
      count > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("object graph exceeds 4 GiB");
  }
  const auto offset = static_cast<std::uint32_t>(pool->size());
  std::uint8_t count_word[offset_width];
  put_le(count_word, count, offset_width);
  append_bytes(*pool, count_word, offset_width);
  append_bytes(*pool, data, size);
  return offset;
}

bool Archive::block_at(std::uint32_t offset, std::size_t element_size,
                       const std::uint8_t*& elements, std::size_t& count) const noexcept {
  const std::size_t size = graph_->read_size_;
  if (graph_->read_begin_ == nullptr || offset > size || size - offset < offset_width) {
    return false;
  }
  const std::uint64_t bytes = get_le(graph_->read_begin_ + offset, offset_width);
  count = static_cast<std::size_t>(bytes / element_size);
  if (count * element_size > size - offset - offset_width) return false;
  elements = graph_->read_begin_ + offset + offset_width;
  return true;
}

std::uint32_t Archive::write_string_block(const std::string& value) {
  if (value.empty()) return 0;
  return append_block(reinterpret_cast<const std::uint8_t*>(value.data()), value.size(),
                      value.size());
}

void Archive::read_string_block(std::uint32_t block, std::string& value) {
  const std::uint8_t* bytes = nullptr;
  std::size_t length = 0;
  if (block == 0) {
    value.clear();
  } else if (block_at(block, 1, bytes, length)) {
    value.assign(reinterpret_cast<const char*>(bytes), length);
  } else {
    value.clear();
    count_missing();
  }
}

// ---- Numbers and bools

template <class V>
void Archive::scalar(std::string_view key, V& value) {
  constexpr std::size_t width = std::is_same_v<V, bool> ? 1 : sizeof(V);
  std::uint8_t bytes[width];
  switch (mode_) {
    case ArchiveMode::binary_write:
    case ArchiveMode::flat_write:
      put_le(bytes, to_bits(value), width);
      write_entry(key, bytes, width);
      break;
    case ArchiveMode::binary_read:
    case ArchiveMode::flat_read:
      if (read_entry(key, bytes, width)) value = from_bits<V>(get_le(bytes, width));
      break;
    case ArchiveMode::json_write: {
      rapidjson::Value json = to_json(value);
      json_add(key, json);
      break;
    }
    case ArchiveMode::json_read: {
      const rapidjson::Value* json = json_member(key);
      if (json == nullptr || !from_json(*json, value)) count_missing();
      break;
    }
    case ArchiveMode::null_write:
    case ArchiveMode::null_read:
      break;
  }
}

void Archive::scalar_u32(std::string_view key, std::uint32_t& value) { scalar(key, value); }
void Archive::scalar_i32(std::string_view key, std::int32_t& value) { scalar(key, value); }
void Archive::scalar_u64(std::string_view key, std::uint64_t& value) { scalar(key, value); }
void Archive::scalar_bool(std::string_view key, bool& value) { scalar(key, value); }

// ---- Strings

void Archive::string_field(std::string_view key, std::string& value) {
  if (is_null()) return;
  if (mode_ == ArchiveMode::json_write) {
    rapidjson::Value json(value.data(), static_cast<rapidjson::SizeType>(value.size()),
                          *allocator_);
    json_add(key, json);
    return;
  }
  if (mode_ == ArchiveMode::json_read) {
    const rapidjson::Value* json = json_member(key);
    if (json == nullptr || !json->IsString()) {
      count_missing();
      return;
    }
    value.assign(json->GetString(), json->GetStringLength());
    return;
  }
  std::uint8_t offset[offset_width];
  if (!reading()) {
    put_le(offset, write_string_block(value), offset_width);
    write_entry(key, offset, offset_width);
    return;
  }
  if (!read_entry(key, offset, offset_width)) return;
  read_string_block(static_cast<std::uint32_t>(get_le(offset, offset_width)), value);
}

void Archive::string_list_field(std::string_view key, std::vector<std::string>& value) {
  if (is_null()) return;
  if (mode_ == ArchiveMode::json_write) {
    rapidjson::Value array(rapidjson::kArrayType);
    for (const std::string& element : value) {
      array.PushBack(
          rapidjson::Value(element.data(), static_cast<rapidjson::SizeType>(element.size()),
                           *allocator_),
          *allocator_);
    }
    json_add(key, array);
    return;
  }
  if (mode_ == ArchiveMode::json_read) {
    const rapidjson::Value* json = json_member(key);
    if (json == nullptr || !json->IsArray()) {
      count_missing();
      return;
    }
    value.clear();
    for (const rapidjson::Value& element : json->GetArray()) {
      if (element.IsString()) {
        value.emplace_back(element.GetString(), element.GetStringLength());
      } else {
        count_missing();
      }
    }
    return;
  }
  std::uint8_t offset[offset_width];
  if (!reading()) {
    std::uint32_t block = 0;
    if (!value.empty()) {
      std::vector<std::uint8_t> offsets(value.size() * offset_width);
      for (std::size_t i = 0; i < value.size(); ++i) {
        put_le(offsets.data() + i * offset_width, write_string_block(value[i]), offset_width);
      }
      block = append_block(offsets.data(), offsets.size(), offsets.size());
    }
    put_le(offset, block, offset_width);
    write_entry(key, offset, offset_width);
    return;
  }
  if (!read_entry(key, offset, offset_width)) return;
  value.clear();
  const auto block = static_cast<std::uint32_t>(get_le(offset, offset_width));
  if (block == 0) return;
  const std::uint8_t* elements = nullptr;
  std::size_t count = 0;
  if (!block_at(block, offset_width, elements, count)) {
    count_missing();
    return;
  }
  value.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    read_string_block(static_cast<std::uint32_t>(get_le(elements + i * offset_width, offset_width)),
                      value.emplace_back());
  }
}

// ---- Handles

bool Archive::write_handle(base* object, std::uint64_t& id) {
  id = 0;
  if (object == nullptr) return true;
  if (object->owner() != graph_) return false;
  id = object_id(object);
  const auto [entry, added] = graph_->objectTable.try_emplace(id);
  if (!added) return true;  // written already, or being written (a cycle)
  std::vector<std::uint8_t> record;
  record.reserve(256);
  Archive child(*graph_, mode_, record);
  object->serialize(child);
  std::vector<std::uint8_t>& pool = *graph_->write_pool_;
  if (pool.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("object graph exceeds 4 GiB");
  }
  entry->second.offset = static_cast<std::uint32_t>(pool.size());
  append_bytes(pool, record.data(), record.size());
  return true;
}

base* Archive::read_handle(std::uint64_t id, const detail::HandleType& type) {
  if (id == 0) return nullptr;
  const auto entry = graph_->objectTable.find(id);
  if (entry == graph_->objectTable.end()) {
    count_missing();
    return nullptr;
  }
  if (entry->second.loaded) {
    // One id reached through handles of unrelated types must not alias objects of the
    // wrong class.
    if (entry->second.object != nullptr && type.holds(entry->second.object)) {
      return entry->second.object;
    }
    count_missing();
    return nullptr;
  }
  if (depth_ >= max_read_depth) {
    count_missing();
    return nullptr;
  }
  base* object = type.create(*graph_);
  if (object == nullptr) {
    count_missing();
    return nullptr;
  }
  // Marked loaded before its members are read, so that cycles come back to this object.
  entry->second.loaded = true;
  entry->second.object = object;
  Archive child(*graph_, mode_, entry->second.offset, depth_ + 1);
  object->serialize(child);
  return object;
}

std::uint64_t Archive::weak_id(base* object) const {
  if (object == nullptr) return 0;
  const std::uint64_t id = object_id(object);
  return graph_->objectTable.count(id) != 0 ? id : 0;
}

void Archive::handle_list_field(std::string_view key, const HandleList& list) {
  if (is_null()) return;
  if (mode_ == ArchiveMode::json_write) {
    rapidjson::Value array(rapidjson::kArrayType);
    const std::size_t size = list.size(list.list);
    for (std::size_t i = 0; i < size; ++i) {
      rapidjson::Value element;
      if (json_write_handle(list.at(list.list, i), element)) {
        array.PushBack(element, *allocator_);
      }
    }
    json_add(key, array);
    return;
  }
  if (mode_ == ArchiveMode::json_read) {
    const rapidjson::Value* json = json_member(key);
    if (json == nullptr || !json->IsArray()) {
      count_missing();
      return;
    }
    list.clear(list.list);
    for (const rapidjson::Value& element : json->GetArray()) {
      base* object = nullptr;
      if (json_read_handle(element, *list.type, object)) {
        list.push(list.list, object);
      } else {
        count_missing();
      }
    }
    return;
  }
  std::uint8_t offset[offset_width];
  if (!reading()) {
    std::uint32_t block = 0;
    if (follows_handles()) {
      std::vector<std::uint8_t> ids;
      const std::size_t size = list.size(list.list);
      for (std::size_t i = 0; i < size; ++i) {
        std::uint64_t id = 0;
        if (write_handle(list.at(list.list, i), id)) {
          ids.resize(ids.size() + id_width);
          put_le(ids.data() + ids.size() - id_width, id, id_width);
        }
      }
      // The block follows the records of the objects it names.
      if (!ids.empty()) block = append_block(ids.data(), ids.size(), ids.size());
    }
    put_le(offset, block, offset_width);
    write_entry(key, offset, offset_width);
    return;
  }
  if (!read_entry(key, offset, offset_width)) return;
  list.clear(list.list);
  const auto block = static_cast<std::uint32_t>(get_le(offset, offset_width));
  if (block == 0 || !follows_handles()) return;
  const std::uint8_t* elements = nullptr;
  std::size_t count = 0;
  if (!block_at(block, id_width, elements, count)) {
    count_missing();
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t id = get_le(elements + i * id_width, id_width);
    list.push(list.list, read_handle(id, *list.type));
  }
}

void Archive::choice_field(std::string_view key, const Choice& choice) {
  if (is_null()) return;
  if (mode_ == ArchiveMode::json_write) {
    const std::uint32_t index = choice.index(choice.choice);
    rapidjson::Value json(rapidjson::kObjectType);
    rapidjson::Value handle;
    if (!json_write_handle(choice.held(choice.choice), handle)) handle.SetNull();
    json.AddMember("Variant Type", rapidjson::Value(index), *allocator_);
    json.AddMember("Value", handle, *allocator_);
    json_add(key, json);
    return;
  }
  if (mode_ == ArchiveMode::json_read) {
    const rapidjson::Value* json = json_member(key);
    if (json == nullptr || !json->IsObject()) {
      count_missing();
      return;
    }
    const auto index = json->FindMember("Variant Type");
    const auto value = json->FindMember("Value");
    if (index == json->MemberEnd() || value == json->MemberEnd() || !index->value.IsUint() ||
        index->value.GetUint() > 1) {
      count_missing();
      return;
    }
    const std::uint32_t alternative = index->value.GetUint();
    base* object = nullptr;
    if (!json_read_handle(value->value, *choice.types[alternative], object)) {
      count_missing();
      return;
    }
    choice.set(choice.choice, alternative, object);
    return;
  }
  std::uint8_t entry[2 * offset_width];
  if (!reading()) {
    const std::uint32_t index = choice.index(choice.choice);
    std::uint32_t block = 0;
    if (follows_handles()) {
      std::uint64_t id = 0;
      write_handle(choice.held(choice.choice), id);  // another graph's object: id 0
      std::uint8_t bytes[id_width];
      put_le(bytes, id, id_width);
      block = append_block(bytes, id_width, id_width);
    }
    put_le(entry, block, offset_width);
    put_le(entry + offset_width, index, offset_width);
    write_entry(key, entry, sizeof entry);
    return;
  }
  if (!read_entry(key, entry, sizeof entry)) return;
  const auto block = static_cast<std::uint32_t>(get_le(entry, offset_width));
  const auto index = static_cast<std::uint32_t>(get_le(entry + offset_width, offset_width));
  if (index > 1) {
    count_missing();
    return;
  }
  choice.set(choice.choice, index, nullptr);
  if (block == 0 || !follows_handles()) return;
  const std::uint8_t* elements = nullptr;
  std::size_t count = 0;
  if (!block_at(block, id_width, elements, count)) {
    count_missing();
    return;
  }
  if (count == 0) return;
  choice.set(choice.choice, index, read_handle(get_le(elements, id_width), *choice.types[index]));
}

void Archive::reference_field(std::string_view key, const Reference& reference) {
  if (is_null()) return;
  if (mode_ == ArchiveMode::json_write) {
    rapidjson::Value json;
    if (reference.weak || !json_write_handle(reference.get(reference.slot), json)) {
      json.SetNull();
    }
    json_add(key, json);
    return;
  }
  if (mode_ == ArchiveMode::json_read) {
    if (reference.weak) return;  // weak references are not carried in JSON
    const rapidjson::Value* json = json_member(key);
    base* object = nullptr;
    if (json == nullptr || !json_read_handle(*json, *reference.type, object)) {
      count_missing();
      return;
    }
    reference.set(reference.slot, object);
    return;
  }
  std::uint8_t bytes[id_width];
  if (!reading()) {
    std::uint64_t id = 0;
    if (follows_handles()) {
      base* object = reference.get(reference.slot);
      if (reference.weak) {
        id = weak_id(object);
      } else {
        write_handle(object, id);
      }
    }
    put_le(bytes, id, id_width);
    write_entry(key, bytes, id_width);
    return;
  }
  if (!read_entry(key, bytes, id_width)) return;
  const std::uint64_t id = get_le(bytes, id_width);
  if (!follows_handles() || id == 0) {
    reference.set(reference.slot, nullptr);
    return;
  }
  if (!reference.weak) {
    reference.set(reference.slot, read_handle(id, *reference.type));
    return;
  }
  // A weak reference never creates an object: it links to one already read, stays as it is
  // while its object is still to come, and is cut when the id is unknown.
  const auto entry = graph_->objectTable.find(id);
  if (entry == graph_->objectTable.end()) {
    reference.set(reference.slot, nullptr);
    count_missing();
  } else if (entry->second.loaded) {
    base* object = entry->second.object;
    if (object != nullptr && reference.type->holds(object)) {
      reference.set(reference.slot, object);
    } else {
      reference.set(reference.slot, nullptr);
      count_missing();
    }
  }
}

// ---- JSON

void Archive::json_add(std::string_view key, rapidjson::Value& value) {
  key = detail::cut_key(key);
  json_out_->AddMember(
      rapidjson::Value(key.data(), static_cast<rapidjson::SizeType>(key.size()), *allocator_),
      value, *allocator_);
}

const rapidjson::Value* Archive::json_member(std::string_view key) const {
  if (json_in_ == nullptr || !json_in_->IsObject()) return nullptr;
  key = detail::cut_key(key);
  const rapidjson::Value name(rapidjson::StringRef(key.data(), key.size()));
  const auto member = json_in_->FindMember(name);
  return member == json_in_->MemberEnd() ? nullptr : &member->value;
}

bool Archive::json_write_handle(base* object, rapidjson::Value& out) {
  if (object == nullptr) {
    out.SetNull();
    return true;
  }
  if (object->owner() != graph_) return false;
  const std::uint64_t id = object_id(object);
  // The table holds the objects on the current path: a handle back to one of them is a cycle.
  if (!graph_->objectTable.try_emplace(id).second) {
    out.SetString(rapidjson::StringRef(recurring_object.data(), recurring_object.size()));
    return true;
  }
  out.SetObject();
  Archive child(*graph_, out, *allocator_);
  object->serialize(child);
  graph_->objectTable.erase(id);
  return true;
}

bool Archive::json_read_handle(const rapidjson::Value& in, const detail::HandleType& type,
                               base*& object) {
  if (in.IsNull()) {
    object = nullptr;
    return true;
  }
  if (!in.IsObject() || depth_ >= max_read_depth) return false;
  object = type.create(*graph_);
  if (object == nullptr) return false;
  Archive child(*graph_, in, depth_ + 1);
  object->serialize(child);
  return true;
}

}  // namespace eb::v3
