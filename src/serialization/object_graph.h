// Whole graphs to and from binary buffers and JSON text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serialization/archive.h"
#include "serialization/base.h"

namespace eb::v3 {

inline constexpr std::uint32_t graph_magic = 0x64563A17;
inline constexpr std::size_t graph_header_size = 60;

// What all field searches of one read of a `size`-byte buffer may walk together: a record
// read in its written order costs its own length, a key it lacks at most twice that.
constexpr std::size_t search_budget_bytes(std::size_t size) { return 64 * size + 64 * 1024; }

// Replaces `out` with the buffer of `graph` and every object reachable from it. `mode` is
// binary_write, or flat_write (handles not followed) or null_write (no fields).
void write_object_graph(manager& graph, std::vector<std::uint8_t>& out,
                        ArchiveMode mode = ArchiveMode::binary_write);

// Fills `graph` and the objects it reaches from a buffer. False when the buffer is not one
// (too short, wrong magic, zero format flag, object table outside it, root not in the table);
// the graph may then hold part of the buffer and should be discarded. Fields that are not
// found count in missingFields and leave their members unchanged. The buffer is only read,
// never past `size`, whatever it holds. `mode` is binary_read, flat_read or null_read.
bool read_object_graph(manager& graph, const std::uint8_t* data, std::size_t size,
                       ArchiveMode mode = ArchiveMode::binary_read);

// The graph's root as one JSON object text (objects nested in place; a handle back to an
// object on the current path is "Recurring Object").
std::string write_object_json(manager& graph);

// Fills `graph` from JSON text written by write_object_json. False when the text is not a
// JSON object; missing or mistyped members count in missingFields.
bool read_object_json(manager& graph, std::string_view text);

}  // namespace eb::v3
