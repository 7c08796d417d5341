#include "serialization/object_graph.h"

#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "serialization/field_entry.h"
#include "serialization/graph_records.h"

namespace eb::v3 {

using detail::append_bytes;
using detail::get_le;
using detail::put_le;

// The per-call state of the manager: set up for one write or read, cleared on every way out.
struct GraphSession {
  explicit GraphSession(manager& graph) : graph(graph) { clear(); }
  ~GraphSession() { clear(); }
  GraphSession(const GraphSession&) = delete;
  GraphSession& operator=(const GraphSession&) = delete;

  void clear() {
    graph.objectTable.clear();
    graph.write_pool_ = nullptr;
    graph.read_begin_ = nullptr;
    graph.read_size_ = 0;
    graph.record_starts_.clear();
    graph.search_budget_ = 0;
  }

  static void write_binary(manager& graph, std::vector<std::uint8_t>& out, ArchiveMode mode);
  static bool read_binary(manager& graph, const std::uint8_t* data, std::size_t size,
                          ArchiveMode mode);
  static std::string write_json(manager& graph);
  static bool read_json(manager& graph, std::string_view text);

  manager& graph;
};

namespace {

constexpr std::size_t root_id_at = 4;
constexpr std::size_t subfiles_at = 12;
constexpr std::size_t ingresses_at = 16;
constexpr std::size_t table_at = 20;
constexpr std::size_t table_count_at = 24;
constexpr std::size_t format_flag_at = 28;
constexpr std::size_t table_entry_size = 12;

std::uint32_t offset_of_end(const std::vector<std::uint8_t>& out) {
  if (out.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("object graph exceeds 4 GiB");
  }
  return static_cast<std::uint32_t>(out.size());
}

bool is_mode(ArchiveMode mode, std::initializer_list<ArchiveMode> allowed) {
  return std::find(allowed.begin(), allowed.end(), mode) != allowed.end();
}

}  // namespace

void GraphSession::write_binary(manager& graph, std::vector<std::uint8_t>& out, ArchiveMode mode) {
  if (!is_mode(mode,
               {ArchiveMode::binary_write, ArchiveMode::flat_write, ArchiveMode::null_write})) {
    throw std::invalid_argument("write_object_graph needs a binary writing mode");
  }
  GraphSession session(graph);
  out.clear();
  out.reserve(graph_header_size + 100 * graph.owned_count());
  std::uint8_t header[graph_header_size] = {};
  put_le(header, graph_magic, 4);
  const std::uint64_t root_id = object_id(&graph);
  put_le(header + root_id_at, root_id, 8);
  header[format_flag_at] = 1;
  append_bytes(out, header, graph_header_size);
  graph.write_pool_ = &out;
  graph.objectTable[root_id] = {0, &graph, false};

  std::vector<std::uint8_t> record;
  {
    Archive archive(graph, mode, record);
    graph.serialize(archive);
  }
  graph.objectTable[root_id].offset = offset_of_end(out);
  append_bytes(out, record.data(), record.size());

  record.clear();
  {
    Archive archive(graph, mode, record);
    field("s", graph.subfiles, archive);
  }
  put_le(out.data() + subfiles_at, offset_of_end(out), 4);
  append_bytes(out, record.data(), record.size());

  record.clear();
  {
    Archive archive(graph, mode, record);
    field("i", graph.ingresses, archive);
  }
  put_le(out.data() + ingresses_at, offset_of_end(out), 4);
  append_bytes(out, record.data(), record.size());

  put_le(out.data() + table_count_at, graph.objectTable.size(), 4);
  put_le(out.data() + table_at, offset_of_end(out), 4);
  for (const auto& [id, entry] : graph.objectTable) {  // ascending ids
    std::uint8_t bytes[table_entry_size];
    put_le(bytes, id, 8);
    put_le(bytes + 8, entry.offset, 4);
    append_bytes(out, bytes, table_entry_size);
  }
}

bool GraphSession::read_binary(manager& graph, const std::uint8_t* data, std::size_t size,
                               ArchiveMode mode) {
  if (!is_mode(mode, {ArchiveMode::binary_read, ArchiveMode::flat_read, ArchiveMode::null_read})) {
    throw std::invalid_argument("read_object_graph needs a binary reading mode");
  }
  if (data == nullptr || size < graph_header_size) return false;
  if (get_le(data, 4) != graph_magic || data[format_flag_at] == 0) return false;
  const std::uint64_t table = get_le(data + table_at, 4);
  const std::uint64_t count = get_le(data + table_count_at, 4);
  if (table + count * table_entry_size > size) return false;

  GraphSession session(graph);
  graph.missingFields = 0;
  graph.read_begin_ = data;
  graph.read_size_ = size;
  graph.search_budget_ = search_budget_bytes(size);
  std::vector<std::uint32_t>& starts = graph.record_starts_;
  starts.reserve(count + 3);
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = data + table + i * table_entry_size;
    const auto offset = static_cast<std::uint32_t>(get_le(entry + 8, 4));
    graph.objectTable.try_emplace(get_le(entry, 8), manager::TableEntry{offset, nullptr, false});
    starts.push_back(offset);
  }
  const auto subfiles = static_cast<std::uint32_t>(get_le(data + subfiles_at, 4));
  const auto ingresses = static_cast<std::uint32_t>(get_le(data + ingresses_at, 4));
  starts.push_back(subfiles);
  starts.push_back(ingresses);
  starts.push_back(static_cast<std::uint32_t>(table));
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

  const auto root = graph.objectTable.find(get_le(data + root_id_at, 8));
  if (root == graph.objectTable.end()) return false;
  root->second.loaded = true;
  root->second.object = &graph;
  {
    Archive archive(graph, mode, root->second.offset);
    graph.serialize(archive);
  }
  {
    Archive archive(graph, mode, subfiles);
    field("s", graph.subfiles, archive);
  }
  {
    Archive archive(graph, mode, ingresses);
    field("i", graph.ingresses, archive);
  }
  return true;
}

std::string GraphSession::write_json(manager& graph) {
  GraphSession session(graph);
  rapidjson::Document document(rapidjson::kObjectType);
  graph.objectTable[object_id(&graph)] = {0, &graph, false};
  {
    Archive archive(graph, document, document.GetAllocator());
    graph.serialize(archive);
  }
  rapidjson::StringBuffer text;
  rapidjson::Writer<rapidjson::StringBuffer> writer(text);
  document.Accept(writer);
  return std::string(text.GetString(), text.GetSize());
}

bool GraphSession::read_json(manager& graph, std::string_view text) {
  rapidjson::Document document;
  document.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(
      text.data(), text.size());
  if (document.HasParseError() || !document.IsObject()) return false;
  GraphSession session(graph);
  graph.missingFields = 0;
  Archive archive(graph, static_cast<const rapidjson::Value&>(document));
  graph.serialize(archive);
  return true;
}

void write_object_graph(manager& graph, std::vector<std::uint8_t>& out, ArchiveMode mode) {
  GraphSession::write_binary(graph, out, mode);
}

bool read_object_graph(manager& graph, const std::uint8_t* data, std::size_t size,
                       ArchiveMode mode) {
  return GraphSession::read_binary(graph, data, size, mode);
}

std::string write_object_json(manager& graph) { return GraphSession::write_json(graph); }

bool read_object_json(manager& graph, std::string_view text) {
  return GraphSession::read_json(graph, text);
}

}  // namespace eb::v3
