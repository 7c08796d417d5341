// Serializable objects and the manager that owns a graph of them.
#pragma once

#include <cstdint>
#include <map>
#include <unordered_set>
#include <vector>

#include "serialization/ref.h"

namespace eb::v3 {

class Archive;
class manager;
class Subfile;
class refIngress;

class base {
 public:
  // Registers with `owner` (which may be null); the manager then destroys this object when
  // it is destroyed itself.
  explicit base(manager* owner);
  base(const base&) = delete;
  base& operator=(const base&) = delete;
  virtual ~base();

  // Visits the members in declaration order, each through the field codec of its kind.
  virtual void serialize(Archive& archive) = 0;

  manager* owner() const noexcept { return manager_; }

 private:
  friend class manager;
  friend control_block* detail::acquire_block(base* object);
  friend void detail::release_block(control_block* block) noexcept;

  control_block* block_ = nullptr;
  manager* manager_ = nullptr;
};

// The root of a graph. Its own manager is itself.
class manager : public base {
 public:
  manager();
  ~manager() override;

  std::size_t owned_count() const noexcept { return owned_.size(); }

  // Fields not found by the last read; reset at the start of every read.
  std::int32_t missingFields = 0;
  // Files and entry points named by the graph (keys "s" and "i"). Written in every buffer.
  std::vector<ref<Subfile>> subfiles;
  std::vector<ref<refIngress>> ingresses;

 private:
  friend class base;
  friend class Archive;
  friend struct GraphSession;

  struct TableEntry {
    std::uint32_t offset = 0;
    base* object = nullptr;
    bool loaded = false;
  };

  std::unordered_set<base*> owned_;
  // Valid only while one buffer is written or read (and, in JSON writing, the objects on the
  // current path).
  std::map<std::uint64_t, TableEntry> objectTable;
  std::vector<std::uint8_t>* write_pool_ = nullptr;
  const std::uint8_t* read_begin_ = nullptr;
  std::size_t read_size_ = 0;
  // Ascending offsets of every record and of the object table of the buffer being read: a
  // field search never runs past the next one. Bytes that field searches may still walk in
  // this read. (Both explained in the Archive constructor for reading.)
  std::vector<std::uint32_t> record_starts_;
  std::size_t search_budget_ = 0;
};

// The identity written for an object: its address.
inline std::uint64_t object_id(const base* object) noexcept {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(object));
}

}  // namespace eb::v3
