// The transport over WinHTTP. It keeps no state: every request opens and closes its own
// session, connection and request, so one object serves any number of sequential requests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "update/transport.h"

namespace zyr::update {

class WinHttpTransport final : public Transport {
 public:
  std::string post(std::wstring_view path, std::string_view body, const Context& context) override;
  void download(const Download& source, const std::wstring& target, std::uint64_t expected_size,
                const Context& context) override;
};

// The request routine behind both operations. With `exact` false the body may be at most
// `limit` bytes; with `exact` true it must be exactly `limit` bytes, and download progress
// is reported through the context.
void send_request(const std::wstring& url, std::wstring_view verb, std::string_view body,
                  const std::map<std::string, std::string>& extra_headers, std::uint64_t limit,
                  bool exact, const Context& context, const BodySink& sink);

}  // namespace zyr::update
