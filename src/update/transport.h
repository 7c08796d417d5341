// The launcher's one way onto the network: a JSON POST to the update service and a GET of
// one file to disk, both under the same fixed policy (HTTPS with TLS 1.2 only, no
// redirects, no automatic credentials, revocation checking, no content encoding, strict
// limits on sizes and times, and request headers the server's data cannot override).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/context.h"

namespace zyr::update {

// Where one file of a package is fetched from, as the package manifest states it.
struct Download {
  std::string url;                             // absolute "https://" URL, UTF-8
  std::map<std::string, std::string> headers;  // extra request headers, UTF-8
};

class Transport {
 public:
  virtual ~Transport();

  // POSTs `body` (JSON) to the update service at `path` and returns the whole answer.
  virtual std::string post(std::wstring_view path, std::string_view body,
                           const Context& context) = 0;

  // Fetches `source` into a file at `target` that must not exist yet; returns once the file
  // holds exactly `expected_size` bytes and is flushed. A failed download may leave a
  // partial file, which the caller removes with the job directory that holds it.
  virtual void download(const Download& source, const std::wstring& target,
                        std::uint64_t expected_size, const Context& context) = 0;
};

// Receives the response body one block at a time.
using BodySink = std::function<void(std::span<const std::byte> block)>;

inline constexpr std::uint16_t update_service_port = 25556;

// "https://" + the build's update service host + ":25556", without a trailing slash.
std::wstring update_service_origin();

inline constexpr wchar_t user_agent[] = L"ZYR-Engine-Updater/1";
inline constexpr std::size_t max_url_units = 8192;
inline constexpr std::size_t max_extra_headers = 32;
inline constexpr std::size_t max_header_name_bytes = 128;
inline constexpr std::size_t max_header_value_bytes = 8192;
inline constexpr std::size_t max_response_header_bytes = 65536;
inline constexpr std::uint64_t max_post_bytes = 33554432;        // request and answer
inline constexpr std::uint64_t max_download_bytes = 4294967296;  // 4 GiB
inline constexpr std::size_t read_block_bytes = 262144;
inline constexpr std::uint32_t network_timeout_ms = 15000;
inline constexpr std::uint32_t post_deadline_seconds = 120;
inline constexpr std::uint32_t download_deadline_seconds = 3600;

// Throws Failure(Text::InvalidMetadata) unless `headers` may be sent as extra request
// headers: at most 32, names of 1 to 128 letters, digits and "-" that do not name a header
// the transport sets itself, values of at most 8192 bytes without control characters.
void check_extra_headers(const std::map<std::string, std::string>& headers);

// A Content-Length value: plain decimal digits only, the whole text, no overflow.
std::optional<std::uint64_t> parse_content_length(std::string_view text);

// Whether a URL may be handed to the request routine at all: at most 8192 UTF-16 units and
// no CR or LF (they would end the request line).
bool is_acceptable_url_text(std::wstring_view url);

}  // namespace zyr::update
