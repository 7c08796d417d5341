#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serialization/object_graph.h"
#include "serialization/test_graph.h"

namespace eb::v3 {
namespace {

using testing::Graph;
using testing::Node;
using testing::Other;
using testing::sample_graph;
using testing::Shade;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t u32_at(const Bytes& buffer, std::size_t at) {
  return buffer[at] | buffer[at + 1] << 8 | buffer[at + 2] << 16 |
         static_cast<std::uint32_t>(buffer[at + 3]) << 24;
}

TEST(NullModes, WriteNoFieldsAndReadNothing) {
  ref<Graph> graph = sample_graph();
  Bytes buffer;
  write_object_graph(*graph, buffer, ArchiveMode::null_write);
  // Header, three empty records and the root's table entry.
  EXPECT_EQ(buffer.size(), 60u + 12u);
  Graph read;
  read.u32 = 5;
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size(), ArchiveMode::null_read));
  EXPECT_EQ(read.u32, 5u);
  EXPECT_EQ(read.missingFields, 0);

  // A full buffer read in the null mode changes nothing either.
  write_object_graph(*graph, buffer);
  ASSERT_TRUE(read_object_graph(read, buffer.data(), buffer.size(), ArchiveMode::null_read));
  EXPECT_EQ(read.u32, 5u);
  EXPECT_TRUE(read.nodes.empty());
  EXPECT_EQ(read.missingFields, 0);
}

TEST(FlatModes, KeepValuesAndDropHandles) {
  ref<Graph> graph = sample_graph();
  Bytes flat;
  write_object_graph(*graph, flat, ArchiveMode::flat_write);
  EXPECT_EQ(u32_at(flat, 24), 1u);  // only the root is in the table
  // Nor is the string block of the Other object.
  EXPECT_EQ(std::string(flat.begin(), flat.end()).find(std::string("\x05\0\0\0other", 9)),
            std::string::npos);

  Graph read;
  read.nodes = {make_ref<Node>(&read)};
  read.one = read.nodes[0];
  ASSERT_TRUE(read_object_graph(read, flat.data(), flat.size(), ArchiveMode::flat_read));
  EXPECT_EQ(read.missingFields, 0);
  EXPECT_EQ(read.u32, graph->u32);
  EXPECT_EQ(read.shade, Shade::Dark);
  EXPECT_EQ(read.strs, graph->strs);
  EXPECT_TRUE(read.nodes.empty());
  EXPECT_FALSE(read.one);
  ASSERT_EQ(read.choice.index(), 1u);  // the alternative survives, its handle does not
  EXPECT_FALSE(std::get<1>(read.choice));

  // A buffer written with handles, read flat: values arrive, no object is created.
  Bytes full;
  write_object_graph(*graph, full);
  Graph flat_read;
  ASSERT_TRUE(read_object_graph(flat_read, full.data(), full.size(), ArchiveMode::flat_read));
  EXPECT_EQ(flat_read.str, "text");
  EXPECT_EQ(flat_read.owned_count(), 0u);
  EXPECT_EQ(flat_read.choice.index(), 1u);
}

TEST(ReadModes, AreRefusedForWritingAndTheOtherWayRound) {
  Graph graph;
  Bytes buffer;
  EXPECT_THROW(write_object_graph(graph, buffer, ArchiveMode::binary_read), std::invalid_argument);
  EXPECT_THROW(write_object_graph(graph, buffer, ArchiveMode::json_write), std::invalid_argument);
  write_object_graph(graph, buffer);
  EXPECT_THROW(read_object_graph(graph, buffer.data(), buffer.size(), ArchiveMode::binary_write),
               std::invalid_argument);
}

TEST(JsonModes, NestObjectsAndMarkCycles) {
  ref<Graph> graph = sample_graph();
  const std::string b_with_a =
      R"({"v":2,"name":"b","kids":[{"v":1,"name":"a","kids":["Recurring Object",)"
      R"("Recurring Object"],"up":null}],"up":null})";
  const std::string b_under_a = R"({"v":2,"name":"b","kids":["Recurring Object"],"up":null})";
  const std::string expected =
      R"({"u32":16777728,"i32":-2,"u64":18374686479671623680,"flag":true,"shade":-3,)"
      R"("str":"text","strs":["a","","ccc"],"nodes":[{"v":1,"name":"a","kids":[)" +
      b_under_a + "," + b_under_a + R"(],"up":null},)" + b_with_a +
      R"(],"choice":{"Variant Type":1,"Value":{"text":"other"}},"one":)" + b_with_a +
      R"(,"others":[{"text":"other"},null]})";
  EXPECT_EQ(write_object_json(*graph), expected);

  // Reading creates one object per JSON object; the cycle markers are not objects.
  Graph read;
  ASSERT_TRUE(read_object_json(read, expected));
  EXPECT_EQ(read.missingFields, 6);
  EXPECT_EQ(read.u64, graph->u64);
  ASSERT_EQ(read.nodes.size(), 2u);
  ASSERT_EQ(read.nodes[0]->children.size(), 2u);
  EXPECT_NE(read.nodes[0]->children[0].get(), read.nodes[0]->children[1].get());
  EXPECT_TRUE(read.nodes[0]->children[0]->children.empty());
}

TEST(JsonModes, AcyclicGraphRoundTripsToTheSameText) {
  Graph graph;
  graph.u32 = 4000000000u;
  graph.i32 = -2147483647 - 1;
  graph.u64 = 1;
  graph.str = std::string("quote\" and \\ and \0 zero", 23);
  graph.strs = {"x"};
  auto node = make_ref<Node>(&graph);
  node->children = {make_ref<Node>(&graph), nullptr};
  graph.nodes = {node, node};  // reached twice: written twice
  graph.choice = make_ref<Node>(&graph);
  const std::string text = write_object_json(graph);
  Graph read;
  ASSERT_TRUE(read_object_json(read, text));
  EXPECT_EQ(read.missingFields, 0);
  EXPECT_EQ(read.str, graph.str);
  EXPECT_EQ(write_object_json(read), text);
}

TEST(JsonModes, MembersOfTheWrongKindCountAsMissingAndChangeNothing) {
  struct Case {
    const char* json;
    int missing;
  };
  const Case cases[] = {
      {R"({"u32":-1})", 1},
      {R"({"u32":1.5})", 1},
      {R"({"i32":3000000000})", 1},
      {R"({"u64":-5})", 1},
      {R"({"flag":1})", 1},
      {R"({"str":5})", 1},
      {R"({"strs":"a"})", 1},
      {R"({"strs":["a",1]})", 1},
      {R"({"nodes":{}})", 1},
      {R"({"nodes":[1]})", 1},
      {R"({"choice":{"Variant Type":2,"Value":null}})", 1},
      {R"({"choice":{"Variant Type":1}})", 1},
      {R"({"choice":{"Variant Type":-1,"Value":null}})", 1},
      {R"({"one":"Recurring Object"})", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    Graph read;
    read.u32 = 7;
    read.i32 = 7;
    read.u64 = 7;
    read.str = "seven";
    read.strs = {"seven"};
    read.nodes = {make_ref<Node>(&read)};
    read.choice = make_ref<Other>(&read);
    read.one = read.nodes[0];
    ASSERT_TRUE(read_object_json(read, c.json));
    // Every absent member counts too: 11 fields, one present.
    EXPECT_EQ(read.missingFields, c.missing + 10);
    EXPECT_EQ(read.u32, 7u);
    EXPECT_EQ(read.i32, 7);
    EXPECT_EQ(read.u64, 7u);
    EXPECT_EQ(read.str, "seven");
    EXPECT_EQ(read.choice.index(), 1u);
    EXPECT_TRUE(read.one);
  }
  Graph read;
  ASSERT_TRUE(read_object_json(read, R"({"u32":4294967297,"one":null})"));
  EXPECT_EQ(read.u32, 1u);  // the low 32 bits
  EXPECT_FALSE(read.one);
  for (const char* bad : {"", "[]", "{", R"({"u32":1} x)", "\"text\""}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(read_object_json(read, bad));
  }
}

}  // namespace
}  // namespace eb::v3
