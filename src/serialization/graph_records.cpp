#include "serialization/graph_records.h"

namespace eb::v3 {

refIngress::~refIngress() = default;

void refIngress::serialize(Archive& archive) {
  field("p", p, archive);
  field("k", k, archive);
  field("t", t, archive);
}

Egress::~Egress() = default;

void Egress::serialize(Archive& archive) {
  field("keyword", keyword, archive);
  field("type", type, archive);
}

Subfile::~Subfile() = default;

void Subfile::serialize(Archive& archive) {
  field("vec", vec, archive);
  if (archive.reading()) {
    for (const ref<Egress>& entry : vec) {
      if (entry) entry->subfile = ref<Subfile>(this);
    }
  }
  field("fileName", fileName, archive);
}

}  // namespace eb::v3
