#include "serialization/ref.h"

#include <gtest/gtest.h>

#include "serialization/test_graph.h"

namespace eb::v3 {
namespace {

using testing::Graph;
using testing::Node;

// Counts destructions, to see who destroys what.
class Counted : public Node {
 public:
  Counted(manager* owner, int& destroyed) : Node(owner), destroyed_(destroyed) {}
  ~Counted() override { ++destroyed_; }

 private:
  int& destroyed_;
};

class CountedGraph : public Graph {
 public:
  explicit CountedGraph(int& destroyed) : destroyed_(destroyed) {}
  ~CountedGraph() override { ++destroyed_; }

 private:
  int& destroyed_;
};

TEST(Ref, HandlesShareOneCountAndTheLastOneDestroysAnOwnedObject) {
  Graph graph;
  int destroyed = 0;
  ref<Node> first = make_ref<Counted>(&graph, destroyed);
  {
    ref<Node> copy = first;
    ref<Node> again(first.get());  // a handle made from the object joins the same count
    EXPECT_EQ(first.use_count(), 3);
    ref<Node> moved = std::move(copy);
    EXPECT_EQ(first.use_count(), 3);
  }
  EXPECT_EQ(first.use_count(), 1);
  EXPECT_EQ(graph.owned_count(), 1u);
  first.reset();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(graph.owned_count(), 0u);
}

TEST(Ref, AnObjectWithoutAManagerOutlivesItsHandles) {
  int destroyed = 0;
  auto* loose = new Counted(nullptr, destroyed);
  ref<Node>(loose).reset();
  EXPECT_EQ(destroyed, 0);
  // A later handle starts a new count.
  ref<Node> handle(loose);
  EXPECT_EQ(handle.use_count(), 1);
  handle.reset();
  delete loose;
  EXPECT_EQ(destroyed, 1);
}

TEST(Ref, DestroyingTheManagerDestroysItsObjectsAndNullsTheirHandles) {
  int destroyed = 0;
  ref<Node> survivor;
  {
    Graph graph;
    auto a = make_ref<Counted>(&graph, destroyed);
    auto b = make_ref<Counted>(&graph, destroyed);
    a->children = {b};
    b->children = {a};               // a cycle of counted handles does not keep them alive
    new Counted(&graph, destroyed);  // owned, no handle at all
    survivor = a;
  }
  EXPECT_EQ(destroyed, 3);
  EXPECT_FALSE(survivor);
  EXPECT_EQ(survivor.get(), nullptr);
  EXPECT_EQ(survivor.use_count(), 1);
}

TEST(Ref, TheLastHandleToAManagerDestroysTheWholeGraph) {
  int graphs = 0;
  int nodes = 0;
  ref<Graph> graph = make_ref<CountedGraph>(graphs);
  graph->nodes = {make_ref<Counted>(graph.get(), nodes), make_ref<Counted>(graph.get(), nodes)};
  graph.reset();
  EXPECT_EQ(graphs, 1);
  EXPECT_EQ(nodes, 2);
}

TEST(Ref, ObjectsDestroyedDirectlyLeaveNullHandles) {
  Graph graph;
  auto* node = new Node(&graph);
  ref<Node> handle(node);
  delete node;
  EXPECT_FALSE(handle);
  EXPECT_EQ(graph.owned_count(), 0u);
}

}  // namespace
}  // namespace eb::v3
