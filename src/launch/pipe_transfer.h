// Exact transfers over the launcher's ends of the client's pipes, each bounded by a
// deadline that holds even when the other side never reads or never writes. The handles
// are Windows pipe handles (HANDLE).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zyr::update {

// Reads exactly `size` bytes. False on a timeout (logged), when the other end is closed
// first, or when the pipe fails.
bool read_exact(void* pipe, void* buffer, std::size_t size, std::uint32_t timeout_ms);

// Writes all `size` bytes. False on a timeout (logged) or when the pipe fails or the reader
// is gone. Puts `pipe` into non-blocking mode: a blocking write into a full pipe would not
// return before the client reads.
bool write_all(void* pipe, const void* data, std::size_t size, std::uint32_t timeout_ms);

}  // namespace zyr::update
