#include "serialization/object_graph.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serialization/bytes.h"
#include "serialization/graph_records.h"
#include "serialization/test_graph.h"

namespace eb::v3 {
namespace {

using testing::Bytes;
using testing::concat;
using testing::Graph;
using testing::le;
using testing::Node;
using testing::Other;
using testing::sample_graph;
using testing::Shade;
using testing::text;

Bytes header(std::uint64_t root, std::uint32_t s, std::uint32_t i, std::uint32_t table,
             std::uint32_t count) {
  Bytes bytes = concat(
      {{0x17, 0x3A, 0x56, 0x64}, le(root, 8), le(s, 4), le(i, 4), le(table, 4), le(count, 4), {1}});
  bytes.resize(60, 0);
  return bytes;
}

class Small : public manager {
 public:
  void serialize(Archive& archive) override {
    field("slot", slot, archive);
    field("ai", ai, archive);
    field("n", name, archive);
    field("c", choice, archive);
  }
  std::uint32_t slot = 3;
  bool ai = true;
  std::string name = "ab";
  std::variant<ref<Node>, ref<Other>> choice;
};

TEST(ObjectGraph, RootOnlyGraphIsLaidOutByteForByte) {
  Small graph;
  Bytes buffer;
  write_object_graph(graph, buffer);
  const std::uint64_t root = object_id(&graph);
  const Bytes expected =
      concat({header(root, 0x73, 0x7B, 0x83, 1),
              // 0x3C: string block "ab"; 0x42: the choice's block holding a null id.
              le(2, 4),
              text("ab"),
              le(8, 4),
              le(0, 8),
              // 0x4E: the root record.
              text("slot"),
              {0x00, 0xF1, 0x03, 0xFF, 0xFF, 0xFF, 0x00},
              text("ai"),
              {0x00, 0xFF, 0x01, 0x00},
              text("n"),
              {0x00, 0xF1, 0x3C, 0xFF, 0xFF, 0xFF, 0x00},
              text("c"),
              {0x00, 0x01, 0x42, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00},
              // 0x73: "s" and 0x7B: "i", each an empty list.
              text("s"),
              {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00},
              text("i"),
              {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00},
              // 0x83: the table.
              le(root, 8),
              le(0x4E, 4)});
  EXPECT_EQ(buffer, expected);

  Small read;
  read.slot = 0;
  read.ai = false;
  read.name.clear();
  read.choice = make_ref<Other>(&read);
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  EXPECT_EQ(read.missingFields, 0);
  EXPECT_EQ(read.slot, 3u);
  EXPECT_TRUE(read.ai);
  EXPECT_EQ(read.name, "ab");
  ASSERT_EQ(read.choice.index(), 0u);
  EXPECT_FALSE(std::get<0>(read.choice));
}

class Leaf : public base {
 public:
  explicit Leaf(manager* owner) : base(owner) {}
  void serialize(Archive& archive) override { field("v", value, archive); }
  std::uint32_t value = 0;
};

class Holder : public manager {
 public:
  void serialize(Archive& archive) override { field("k", leaves, archive); }
  std::vector<ref<Leaf>> leaves;
};

TEST(ObjectGraph, SharedObjectIsWrittenOnceBeforeTheBlockAndRecordThatNameIt) {
  Holder graph;
  auto leaf = make_ref<Leaf>(&graph);
  graph.leaves = {leaf, leaf};
  Bytes buffer;
  write_object_graph(graph, buffer);
  const std::uint64_t root = object_id(&graph);
  const std::uint64_t child = object_id(leaf.get());
  const Bytes root_entry = concat({le(root, 8), le(0x58, 4)});
  const Bytes child_entry = concat({le(child, 8), le(0x3C, 4)});
  const Bytes expected =
      concat({header(root, 0x60, 0x68, 0x70, 2),
              // 0x3C: the leaf's record; 0x44: the list block naming it twice; 0x58: the root.
              text("v"),
              {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00},
              le(16, 4),
              le(child, 8),
              le(child, 8),
              text("k"),
              {0x00, 0xF1, 0x44, 0xFF, 0xFF, 0xFF, 0x00},
              text("s"),
              {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00},
              text("i"),
              {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00},
              // Ascending ids.
              child < root ? child_entry : root_entry,
              child < root ? root_entry : child_entry});
  EXPECT_EQ(buffer, expected);

  Holder read;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  ASSERT_EQ(read.leaves.size(), 2u);
  ASSERT_TRUE(read.leaves[0]);
  EXPECT_EQ(read.leaves[0].get(), read.leaves[1].get());
  EXPECT_EQ(read.owned_count(), 1u);
}

TEST(ObjectGraph, EveryKindRoundTripsWithSharingAndCycles) {
  ref<Graph> written = sample_graph();
  Bytes buffer;
  write_object_graph(*written, buffer);

  ref<Graph> read = make_ref<Graph>();
  ASSERT_TRUE(read_object_graph(*read, buffer.data(), buffer.size()));
  EXPECT_EQ(read->missingFields, 0);
  EXPECT_EQ(read->u32, 0x01000200u);
  EXPECT_EQ(read->i32, -2);
  EXPECT_EQ(read->u64, 0xFF00000000000000ull);
  EXPECT_TRUE(read->flag);
  EXPECT_EQ(read->shade, Shade::Dark);
  EXPECT_EQ(read->str, "text");
  EXPECT_EQ(read->strs, (std::vector<std::string>{"a", "", "ccc"}));
  ASSERT_EQ(read->nodes.size(), 2u);
  Node* a = read->nodes[0].get();
  Node* b = read->nodes[1].get();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->name, "a");
  EXPECT_EQ(b->name, "b");
  ASSERT_EQ(a->children.size(), 2u);
  EXPECT_EQ(a->children[0].get(), b);
  EXPECT_EQ(a->children[1].get(), b);
  ASSERT_EQ(b->children.size(), 1u);
  EXPECT_EQ(b->children[0].get(), a);  // the cycle closes on the same object
  EXPECT_EQ(b->parent.get(), a);
  EXPECT_EQ(read->one.get(), b);
  ASSERT_EQ(read->choice.index(), 1u);
  Other* other = std::get<1>(read->choice).get();
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->text, "other");
  ASSERT_EQ(read->others.size(), 2u);
  EXPECT_EQ(read->others[0].get(), other);
  EXPECT_FALSE(read->others[1]);
  EXPECT_EQ(read->owned_count(), 3u);

  // Writing what was read gives a buffer of the same size (ids differ, layout does not).
  Bytes again;
  write_object_graph(*read, again);
  EXPECT_EQ(again.size(), buffer.size());
}

TEST(ObjectGraph, UnknownKeysAreSkippedAndMissingKeysCountedOnce) {
  // A record from a writer with one more field and without "i32".
  class Newer : public manager {
   public:
    void serialize(Archive& archive) override {
      field("u32", u32, archive);
      field("extra", extra, archive);
      field("str", str, archive);
    }
    std::uint32_t u32 = 7;
    std::string extra = "not known to the reader";
    std::string str = "kept";
  } newer;
  Bytes buffer;
  write_object_graph(newer, buffer);

  Graph read;
  read.i32 = 42;
  read.u64 = 9;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  EXPECT_EQ(read.u32, 7u);
  EXPECT_EQ(read.str, "kept");
  EXPECT_EQ(read.i32, 42);  // left as it was
  EXPECT_EQ(read.u64, 9u);
  // Every member of Graph but u32 and str.
  EXPECT_EQ(read.missingFields, 9);
}

TEST(ObjectGraph, FieldsInAnotherOrderAreFoundFromTheRecordStart) {
  class Reversed : public manager {
   public:
    void serialize(Archive& archive) override {
      field("str", str, archive);
      field("flag", flag, archive);
      field("u32", u32, archive);
    }
    std::uint32_t u32 = 5;
    bool flag = true;
    std::string str = "x";
  } reversed;
  Bytes buffer;
  write_object_graph(reversed, buffer);
  Graph read;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  EXPECT_EQ(read.u32, 5u);
  EXPECT_TRUE(read.flag);
  EXPECT_EQ(read.str, "x");
}

TEST(ObjectGraph, KeySearchStopsAtTheNextRecord) {
  // The root record lacks "text", which the Other record right before it has. The search
  // of one record never reads another record's fields.
  class Mixed : public manager {
   public:
    void serialize(Archive& archive) override {
      field("one", other, archive);
      field("u32", u32, archive);
    }
    ref<Other> other;
    std::uint32_t u32 = 1;
  };
  class Reader : public manager {
   public:
    void serialize(Archive& archive) override {
      field("one", other, archive);
      field("u32", u32, archive);
      field("text", text, archive);
    }
    ref<Other> other;
    std::uint32_t u32 = 0;
    std::string text = "unchanged";
  };
  Mixed mixed;
  mixed.other = make_ref<Other>(&mixed);
  mixed.other->text = "child";
  Bytes buffer;
  write_object_graph(mixed, buffer);
  Reader read;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  ASSERT_TRUE(read.other);
  EXPECT_EQ(read.other->text, "child");
  EXPECT_EQ(read.u32, 1u);
  EXPECT_EQ(read.text, "unchanged");
  EXPECT_EQ(read.missingFields, 1);
}

TEST(ObjectGraph, UnacceptableBuffersAreRejected) {
  Small graph;
  Bytes good;
  write_object_graph(graph, good);
  struct Case {
    const char* name;
    Bytes buffer;
  };
  Bytes magic = good;
  magic[3] = 0x65;
  Bytes flag = good;
  flag[28] = 0;
  Bytes table_past_end = good;
  table_past_end[24] = 2;  // two entries, only one present
  Bytes no_root = good;
  no_root[4] ^= 0x01;
  const Case cases[] = {
      {"empty", {}},
      {"59 bytes", Bytes(good.begin(), good.begin() + 59)},
      {"wrong magic", magic},
      {"format flag 0", flag},
      {"table past the end", table_past_end},
      {"cut inside the table", Bytes(good.begin(), good.end() - 1)},
      {"root not in the table", no_root},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Small read;
    EXPECT_FALSE(read_object_graph(read, c.buffer.data(), c.buffer.size()));
  }
  Small read;
  EXPECT_TRUE(read_object_graph(read, good.data(), good.size()));
}

TEST(ObjectGraph, BlocksOutsideTheBufferReadAsEmptyAndMissing) {
  Graph graph;
  graph.str = "abc";
  graph.strs = {"x"};
  Bytes buffer;
  write_object_graph(graph, buffer);
  // The string block "abc" is the first block of the pool.
  ASSERT_EQ(Bytes(buffer.begin() + 60, buffer.begin() + 67), concat({le(3, 4), text("abc")}));
  struct Case {
    const char* name;
    std::uint32_t length;
  };
  for (const Case& c : {Case{"one past the end", 0}, Case{"huge", 0xFFFFFFFFu}}) {
    SCOPED_TRACE(c.name);
    Bytes hostile = buffer;
    const std::uint32_t length =
        c.length != 0 ? c.length : static_cast<std::uint32_t>(hostile.size() - 64 + 1);
    const Bytes word = le(length, 4);
    std::copy(word.begin(), word.end(), hostile.begin() + 60);
    Graph read;
    read.str = "before";
    ASSERT_TRUE(read_object_graph(read, hostile.data(), hostile.size()));
    EXPECT_EQ(read.str, "");
    EXPECT_EQ(read.strs, std::vector<std::string>{"x"});
    EXPECT_EQ(read.missingFields, 1);
  }
}

TEST(ObjectGraph, AnIdReachedThroughAHandleOfAnotherTypeReadsAsNull) {
  // "nodes" names a Node; "others" names the same id, which must not become an Other.
  class Forger : public manager {
   public:
    void serialize(Archive& archive) override {
      field("nodes", nodes, archive);
      field("others", nodes_as_others, archive);
    }
    std::vector<ref<Node>> nodes;
    std::vector<ref<Node>> nodes_as_others;
  } forger;
  auto forged = make_ref<Node>(&forger);
  forger.nodes = {forged};
  forger.nodes_as_others = {forged};
  Bytes buffer;
  write_object_graph(forger, buffer);

  Graph read;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  ASSERT_EQ(read.nodes.size(), 1u);
  EXPECT_TRUE(read.nodes[0]);
  ASSERT_EQ(read.others.size(), 1u);
  EXPECT_FALSE(read.others[0]);
  EXPECT_GE(read.missingFields, 1);
}

TEST(ObjectGraph, ObjectsOfAnotherManagerAreLeftOut) {
  Graph graph;
  Graph stranger;
  auto own = make_ref<Node>(&graph);
  auto foreign = make_ref<Node>(&stranger);
  foreign->name = "foreign";
  graph.nodes = {foreign, own};
  Bytes buffer;
  write_object_graph(graph, buffer);
  Graph read;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  ASSERT_EQ(read.nodes.size(), 1u);
  EXPECT_TRUE(read.nodes[0]);
  EXPECT_EQ(read.owned_count(), 1u);
}

TEST(ObjectGraph, NestingDeeperThanTheReadLimitIsCutThere) {
  Graph graph;
  auto top = make_ref<Node>(&graph);
  graph.nodes = {top};
  Node* last = top.get();
  for (int i = 0; i < max_read_depth + 10; ++i) {
    auto next = make_ref<Node>(&graph);
    last->children = {next};
    last = next.get();
  }
  Bytes buffer;
  write_object_graph(graph, buffer);
  Graph read;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  EXPECT_EQ(read.owned_count(), static_cast<std::size_t>(max_read_depth));
  EXPECT_EQ(read.missingFields, 1);
}

TEST(ObjectGraph, SubfilesAndIngressesTravelInTheirOwnRecords) {
  Graph graph;
  auto node = make_ref<Node>(&graph);
  graph.nodes = {node};
  auto subfile = make_ref<Subfile>(&graph);
  subfile->fileName = "maps.bin";
  auto egress = make_ref<Egress>(&graph);
  egress->keyword = "start";
  egress->type = "Node";
  subfile->vec = {egress};
  graph.subfiles = {subfile};
  auto ingress = make_ref<refIngress>(&graph);
  ingress->p = weak_ref<base>(node.get());
  ingress->k = "key";
  ingress->t = "Node";
  auto unreached = make_ref<Node>(&graph);  // reached by no counted handle
  auto dangling = make_ref<refIngress>(&graph);
  dangling->p = weak_ref<base>(unreached.get());
  graph.ingresses = {ingress, dangling};
  Bytes buffer;
  write_object_graph(graph, buffer);

  Graph read;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size()));
  EXPECT_EQ(read.missingFields, 0);
  ASSERT_EQ(read.subfiles.size(), 1u);
  EXPECT_EQ(read.subfiles[0]->fileName, "maps.bin");
  ASSERT_EQ(read.subfiles[0]->vec.size(), 1u);
  const ref<Egress>& read_egress = read.subfiles[0]->vec[0];
  EXPECT_EQ(read_egress->keyword, "start");
  EXPECT_EQ(read_egress->type, "Node");
  EXPECT_EQ(read_egress->subfile.get(), read.subfiles[0].get());
  ASSERT_EQ(read.ingresses.size(), 2u);
  EXPECT_EQ(read.ingresses[0]->p.get(), read.nodes[0].get());
  EXPECT_EQ(read.ingresses[0]->k, "key");
  // A weak reference never writes its object: one that nothing else reaches is null.
  EXPECT_EQ(read.ingresses[1]->p.get(), nullptr);
}

TEST(ObjectGraph, ChoiceWithoutAnAlternativeCannotBeWritten) {
  // Converts to a handle only by throwing, which leaves an emplaced variant empty.
  struct Throws {
    operator ref<Other>() const { throw std::runtime_error("no handle"); }  // NOLINT
  };
  class Broken : public manager {
   public:
    void serialize(Archive& archive) override { field("c", choice, archive); }
    std::variant<ref<Node>, ref<Other>> choice;
  } broken;
  EXPECT_THROW(broken.choice.emplace<1>(Throws{}), std::runtime_error);
  ASSERT_TRUE(broken.choice.valueless_by_exception());
  Bytes buffer;
  EXPECT_THROW(write_object_graph(broken, buffer), std::bad_variant_access);
}

}  // namespace
}  // namespace eb::v3
