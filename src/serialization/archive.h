// Archives and the field codecs that serializable classes call from `serialize`.
//
//   void RosterSlot::serialize(eb::v3::Archive& archive) {
//     eb::v3::field("slot", slot, archive);
//     eb::v3::field("ai", ai, archive);
//   }
//
// The same visit writes or reads a binary record, writes or reads a JSON object, or does
// nothing, depending on the archive's mode.
#pragma once

#include <rapidjson/document.h>

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "serialization/base.h"
#include "serialization/ref.h"

namespace eb::v3 {

// Even modes write, odd modes read.
enum class ArchiveMode : std::uint8_t {
  binary_write = 0,
  binary_read = 1,
  null_write = 2,
  null_read = 3,
  flat_write = 4,  // as binary, but handles are not followed
  flat_read = 5,
  json_write = 6,
  json_read = 7,
};

using JsonAllocator = rapidjson::MemoryPoolAllocator<rapidjson::CrtAllocator>;

// The string written in JSON for a handle to an object on the current path (a cycle).
inline constexpr std::string_view recurring_object = "Recurring Object";

// Deepest nesting of objects a read follows; a handle below it reads as null and counts as a
// missing field, so that a hostile buffer cannot exhaust the stack.
inline constexpr int max_read_depth = 256;

namespace detail {
// What the handle codecs need of a handle's static type, without templates in the archive.
struct HandleType {
  base* (*create)(manager& owner);
  bool (*holds)(const base* object);
};

template <class T>
const HandleType& handle_type() {
  static constexpr HandleType type{
      [](manager& owner) -> base* {
        if constexpr (std::is_constructible_v<T, manager*> && !std::is_abstract_v<T>) {
          return new T(&owner);
        } else {
          return nullptr;  // such handles read as null
        }
      },
      [](const base* object) { return dynamic_cast<const T*>(object) != nullptr; }};
  return type;
}
}  // namespace detail

class Archive {
 public:
  // Binary modes (and null and flat) writing: entries go to `record`, blocks to the graph's
  // pool.
  Archive(manager& graph, ArchiveMode mode, std::vector<std::uint8_t>& record);
  // Binary modes reading: the record at `record_offset` of the graph's buffer.
  Archive(manager& graph, ArchiveMode mode, std::size_t record_offset, int depth = 0);
  // json_write: members are added to `object`.
  Archive(manager& graph, rapidjson::Value& object, JsonAllocator& allocator);
  // json_read: members are read from `object`.
  Archive(manager& graph, const rapidjson::Value& object, int depth = 0);

  ArchiveMode mode() const noexcept { return mode_; }
  bool reading() const noexcept { return (static_cast<int>(mode_) & 1) != 0; }
  manager& graph() const noexcept { return *graph_; }

  // The codecs. Each takes the key, the member and the archive; see the free functions below.
  void scalar_u32(std::string_view key, std::uint32_t& value);
  void scalar_i32(std::string_view key, std::int32_t& value);
  void scalar_u64(std::string_view key, std::uint64_t& value);
  void scalar_bool(std::string_view key, bool& value);
  void string_field(std::string_view key, std::string& value);
  void string_list_field(std::string_view key, std::vector<std::string>& value);

  // Type-erased access to a list of handles, a choice and a single or weak reference.
  struct HandleList {
    void* list;
    std::size_t (*size)(void* list);
    base* (*at)(void* list, std::size_t index);
    void (*clear)(void* list);
    void (*push)(void* list, base* object);
    const detail::HandleType* type;
  };
  struct Choice {
    void* choice;
    std::uint32_t (*index)(void* choice);
    base* (*held)(void* choice);
    void (*set)(void* choice, std::uint32_t index, base* object);
    const detail::HandleType* types[2];
  };
  struct Reference {
    void* slot;
    base* (*get)(void* slot);
    void (*set)(void* slot, base* object);
    const detail::HandleType* type;
    bool weak;
  };
  void handle_list_field(std::string_view key, const HandleList& list);
  void choice_field(std::string_view key, const Choice& choice);
  void reference_field(std::string_view key, const Reference& reference);

 private:
  template <class V>
  void scalar(std::string_view key, V& value);
  bool is_null() const noexcept;
  bool follows_handles() const noexcept;
  void count_missing() noexcept;

  // Binary.
  void write_entry(std::string_view key, const std::uint8_t* value, std::size_t width);
  bool read_entry(std::string_view key, std::uint8_t* value, std::size_t width);
  std::uint32_t append_block(const std::uint8_t* data, std::size_t size, std::size_t count);
  // The block at `offset` whose length word counts `element_size`-byte elements: its element
  // count, or false when it does not lie inside the buffer.
  bool block_at(std::uint32_t offset, std::size_t element_size, const std::uint8_t*& elements,
                std::size_t& count) const noexcept;
  // A string's block (none and 0 for an empty string), and back: a block outside the buffer
  // gives the empty string and counts as missing.
  std::uint32_t write_string_block(const std::string& value);
  void read_string_block(std::uint32_t block, std::string& value);
  // Writes the object (once per buffer) and gives its id; false when it belongs to another
  // graph and is left out.
  bool write_handle(base* object, std::uint64_t& id);
  base* read_handle(std::uint64_t id, const detail::HandleType& type);
  std::uint64_t weak_id(base* object) const;

  // JSON.
  void json_add(std::string_view key, rapidjson::Value& value);
  const rapidjson::Value* json_member(std::string_view key) const;
  bool json_write_handle(base* object, rapidjson::Value& out);
  // False (and nothing changed) when `in` is neither an object nor null.
  bool json_read_handle(const rapidjson::Value& in, const detail::HandleType& type, base*& object);

  manager* graph_;
  ArchiveMode mode_;
  int depth_ = 0;
  std::vector<std::uint8_t>* record_ = nullptr;
  std::size_t record_start_ = 0;
  std::size_t cursor_ = 0;
  std::size_t search_limit_ = 0;
  rapidjson::Value* json_out_ = nullptr;
  const rapidjson::Value* json_in_ = nullptr;
  JsonAllocator* allocator_ = nullptr;
};

inline void field(std::string_view key, std::uint32_t& value, Archive& archive) {
  archive.scalar_u32(key, value);
}
inline void field(std::string_view key, std::int32_t& value, Archive& archive) {
  archive.scalar_i32(key, value);
}
inline void field(std::string_view key, std::uint64_t& value, Archive& archive) {
  archive.scalar_u64(key, value);
}
inline void field(std::string_view key, bool& value, Archive& archive) {
  archive.scalar_bool(key, value);
}
inline void field(std::string_view key, std::string& value, Archive& archive) {
  archive.string_field(key, value);
}
inline void field(std::string_view key, std::vector<std::string>& value, Archive& archive) {
  archive.string_list_field(key, value);
}

// Enumerations travel as signed 32-bit numbers.
template <class E>
requires std::is_enum_v<E> &&
    (sizeof(E) == sizeof(std::int32_t)) void field(std::string_view key, E& value,
                                                   Archive& archive) {
  auto number = static_cast<std::int32_t>(value);
  archive.scalar_i32(key, number);
  if (archive.reading()) value = static_cast<E>(number);
}

template <class T>
void field(std::string_view key, std::vector<ref<T>>& list, Archive& archive) {
  using List = std::vector<ref<T>>;
  const Archive::HandleList access{
      &list,
      [](void* l) { return static_cast<List*>(l)->size(); },
      [](void* l, std::size_t i) -> base* { return (*static_cast<List*>(l))[i].get(); },
      [](void* l) { static_cast<List*>(l)->clear(); },
      [](void* l, base* object) {
        static_cast<List*>(l)->push_back(ref<T>(dynamic_cast<T*>(object)));
      },
      &detail::handle_type<T>()};
  archive.handle_list_field(key, access);
}

// A choice between two alternatives. A choice that holds no alternative cannot be written
// (std::bad_variant_access).
template <class A, class B>
void field(std::string_view key, std::variant<ref<A>, ref<B>>& choice, Archive& archive) {
  using Choice = std::variant<ref<A>, ref<B>>;
  const Archive::Choice access{&choice,
                               [](void* c) {
                                 auto& value = *static_cast<Choice*>(c);
                                 if (value.valueless_by_exception())
                                   throw std::bad_variant_access();
                                 return static_cast<std::uint32_t>(value.index());
                               },
                               [](void* c) -> base* {
                                 return std::visit(
                                     [](const auto& handle) -> base* { return handle.get(); },
                                     *static_cast<Choice*>(c));
                               },
                               [](void* c, std::uint32_t index, base* object) {
                                 auto& value = *static_cast<Choice*>(c);
                                 if (index == 0) {
                                   value.template emplace<0>(dynamic_cast<A*>(object));
                                 } else {
                                   value.template emplace<1>(dynamic_cast<B*>(object));
                                 }
                               },
                               {&detail::handle_type<A>(), &detail::handle_type<B>()}};
  archive.choice_field(key, access);
}

template <class T>
void field(std::string_view key, ref<T>& handle, Archive& archive) {
  const Archive::Reference access{
      &handle, [](void* h) -> base* { return static_cast<ref<T>*>(h)->get(); },
      [](void* h, base* object) { *static_cast<ref<T>*>(h) = ref<T>(dynamic_cast<T*>(object)); },
      &detail::handle_type<T>(), false};
  archive.reference_field(key, access);
}

template <class T>
void field(std::string_view key, weak_ref<T>& reference, Archive& archive) {
  const Archive::Reference access{
      &reference, [](void* r) -> base* { return static_cast<weak_ref<T>*>(r)->get(); },
      [](void* r, base* object) {
        *static_cast<weak_ref<T>*>(r) = weak_ref<T>(dynamic_cast<T*>(object));
      },
      &detail::handle_type<T>(), true};
  archive.reference_field(key, access);
}

}  // namespace eb::v3
