// Records by which a graph names other files and entry points. Every buffer carries a list
// of each (possibly empty) after its root record.
#pragma once

#include <string>
#include <vector>

#include "serialization/archive.h"
#include "serialization/base.h"
#include "serialization/ref.h"

namespace eb::v3 {

class refIngress : public base {
 public:
  explicit refIngress(manager* owner) : base(owner) {}
  ~refIngress() override;
  void serialize(Archive& archive) override;

  weak_ref<base> p;
  std::string k;
  std::string t;
};

class Subfile;

class Egress : public base {
 public:
  explicit Egress(manager* owner) : base(owner) {}
  ~Egress() override;
  void serialize(Archive& archive) override;

  ref<base> object;  // not serialized
  std::string keyword;
  std::string type;
  ref<Subfile> subfile;  // not serialized: the Subfile whose list holds this entry, after a read
};

class Subfile : public base {
 public:
  explicit Subfile(manager* owner) : base(owner) {}
  ~Subfile() override;
  void serialize(Archive& archive) override;

  std::vector<ref<Egress>> vec;
  std::string fileName;
  ref<base> link;  // not serialized
};

}  // namespace eb::v3
