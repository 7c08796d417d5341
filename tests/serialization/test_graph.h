// Small serializable classes that exercise every field kind.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "serialization/archive.h"
#include "serialization/base.h"
#include "serialization/ref.h"

namespace eb::v3::testing {

class Node : public base {
 public:
  explicit Node(manager* owner) : base(owner) {}
  void serialize(Archive& archive) override {
    field("v", value, archive);
    field("name", name, archive);
    field("kids", children, archive);
    field("up", parent, archive);
  }

  std::uint32_t value = 0;
  std::string name;
  std::vector<ref<Node>> children;
  weak_ref<Node> parent;
};

class Other : public base {
 public:
  explicit Other(manager* owner) : base(owner) {}
  void serialize(Archive& archive) override { field("text", text, archive); }

  std::string text;
};

enum class Shade : std::int32_t { Light = 0, Dark = -3 };

class Graph : public manager {
 public:
  void serialize(Archive& archive) override {
    field("u32", u32, archive);
    field("i32", i32, archive);
    field("u64", u64, archive);
    field("flag", flag, archive);
    field("shade", shade, archive);
    field("str", str, archive);
    field("strs", strs, archive);
    field("nodes", nodes, archive);
    field("choice", choice, archive);
    field("one", one, archive);
    field("others", others, archive);
  }

  std::uint32_t u32 = 0;
  std::int32_t i32 = 0;
  std::uint64_t u64 = 0;
  bool flag = false;
  Shade shade = Shade::Light;
  std::string str;
  std::vector<std::string> strs;
  std::vector<ref<Node>> nodes;
  std::variant<ref<Node>, ref<Other>> choice;
  ref<Node> one;
  std::vector<ref<Other>> others;
};

// A graph that uses every kind, with a shared node, a cycle and a weak back-reference.
inline ref<Graph> sample_graph() {
  ref<Graph> graph = make_ref<Graph>();
  graph->u32 = 0x01000200;
  graph->i32 = -2;
  graph->u64 = 0xFF00000000000000ull;
  graph->flag = true;
  graph->shade = Shade::Dark;
  graph->str = "text";
  graph->strs = {"a", "", "ccc"};
  auto a = make_ref<Node>(graph.get());
  auto b = make_ref<Node>(graph.get());
  a->value = 1;
  // Move-assigned: GCC 12 at -O3 warns falsely (-Wrestrict) on assigning short literals.
  a->name = std::string("a");
  b->value = 2;
  b->name = std::string("b");
  a->children = {b, b};
  b->children = {a};  // a cycle
  b->parent = weak_ref<Node>(a.get());
  graph->nodes = {a, b};
  auto other = make_ref<Other>(graph.get());
  other->text = "other";
  graph->choice = other;
  graph->one = b;
  graph->others = {other, nullptr};
  return graph;
}

}  // namespace eb::v3::testing
