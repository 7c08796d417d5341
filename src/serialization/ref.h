// Counted handles between the objects of a graph.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

namespace eb::v3 {

class base;

// One per object that has (or had) handles; every handle to the object shares it. It
// outlives the object when handles remain, so that they read as null afterwards.
struct control_block {
  std::int32_t count = 0;
  base* object = nullptr;
};

namespace detail {
// Joins (or starts) the object's control block and counts one more handle. Null gives null.
control_block* acquire_block(base* object);
// Counts one handle less. The last one frees the block and destroys the object when it still
// exists and has a manager.
void release_block(control_block* block) noexcept;
}  // namespace detail

template <class T>
class ref {
 public:
  ref() noexcept = default;
  ref(std::nullptr_t) noexcept {}  // NOLINT: a null handle converts implicitly
  explicit ref(T* object) : block_(detail::acquire_block(object)) {}

  ref(const ref& other) noexcept : block_(other.block_) { add_handle(); }
  ref(ref&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  template <class U>
  requires std::is_convertible_v<U*, T*> ref(const ref<U>& other)
      : ref(static_cast<T*>(other.get())) {}  // NOLINT
  ~ref() { reset(); }

  ref& operator=(ref other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }

  void reset() noexcept { detail::release_block(std::exchange(block_, nullptr)); }

  // Null for a null handle and for a handle whose object was destroyed by its manager.
  T* get() const noexcept {
    return block_ != nullptr && block_->object != nullptr ? static_cast<T*>(block_->object)
                                                          : nullptr;
  }
  T* operator->() const noexcept { return get(); }
  T& operator*() const noexcept { return *get(); }
  explicit operator bool() const noexcept { return get() != nullptr; }

  // Handles to one object share one count.
  std::int32_t use_count() const noexcept { return block_ != nullptr ? block_->count : 0; }

  friend bool operator==(const ref& a, const ref& b) noexcept { return a.get() == b.get(); }

 private:
  void add_handle() noexcept {
    if (block_ != nullptr) ++block_->count;
  }

  control_block* block_ = nullptr;
};

// Creates an object and its first handle. Meant for objects that have a manager (and for
// managers): releasing the last handle of an object without a manager does not destroy it.
template <class T, class... Args>
ref<T> make_ref(Args&&... args) {
  auto object = std::make_unique<T>(std::forward<Args>(args)...);
  ref<T> handle(object.get());
  object.release();
  return handle;
}

// A reference that neither counts nor owns. It is serialized by identity only: the object it
// names must be written or read through a counted handle of the same graph.
template <class T>
class weak_ref {
 public:
  weak_ref() noexcept = default;
  weak_ref(std::nullptr_t) noexcept {}  // NOLINT
  explicit weak_ref(T* object) noexcept : object_(object) {}
  weak_ref(const ref<T>& handle) noexcept : object_(handle.get()) {}  // NOLINT

  T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace eb::v3
