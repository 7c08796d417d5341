#include "serialization/base.h"

namespace eb::v3 {

namespace detail {

control_block* acquire_block(base* object) {
  if (object == nullptr) return nullptr;
  if (object->block_ == nullptr) object->block_ = new control_block{0, object};
  ++object->block_->count;
  return object->block_;
}

void release_block(control_block* block) noexcept {
  if (block == nullptr || --block->count > 0) return;
  base* object = block->object;
  if (object != nullptr) object->block_ = nullptr;
  delete block;
  if (object != nullptr && object->manager_ != nullptr) delete object;
}

}  // namespace detail

base::base(manager* owner) : manager_(owner) {
  if (owner != nullptr) owner->owned_.insert(this);
}

base::~base() {
  // Remaining handles now read as null.
  if (block_ != nullptr) block_->object = nullptr;
  if (manager_ != nullptr && manager_ != this) manager_->owned_.erase(this);
}

manager::manager() : base(nullptr) { manager_ = this; }

manager::~manager() {
  // Handles to the manager held by its own objects must not destroy it again.
  if (block_ != nullptr) {
    block_->object = nullptr;
    block_ = nullptr;
  }
  // Detach everything first, so that objects releasing their handles to one another while
  // they are destroyed do not destroy them a second time.
  std::vector<base*> owned(owned_.begin(), owned_.end());
  owned_.clear();
  for (base* object : owned) {
    object->manager_ = nullptr;
    if (object->block_ != nullptr) {
      object->block_->object = nullptr;
      object->block_ = nullptr;
    }
  }
  for (base* object : owned) delete object;
}

}  // namespace eb::v3
