#include <chrono>
#include <cwctype>
#include <vector>

#include "common/encoding.h"
#include "common/failure.h"
#include "common/scoped_handle.h"
#include "common/windows_api.h"
#include "install/file_operations.h"
#include "install/path_rules.h"
#include "update/winhttp_transport.h"

namespace zyr::update {

namespace {

// The target path without trailing separators and without its last component.
std::wstring parent_directory(const std::wstring& target) {
  std::wstring path = target;
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) {
    path.pop_back();
  }
  const auto last = path.find_last_of(L"\\/");
  return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}

void set_option(HINTERNET handle, DWORD option, DWORD value) {
  if (!WinHttpSetOption(handle, option, &value, sizeof(value))) {
    throw_last_error(Text::HttpsFailed);
  }
}

// The value of one response header; empty when the server did not send it.
std::wstring query_header(HINTERNET request, DWORD query) {
  DWORD bytes = 0;
  if (WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                          &bytes, WINHTTP_NO_HEADER_INDEX)) {
    return {};
  }
  const DWORD error = GetLastError();
  if (error == ERROR_WINHTTP_HEADER_NOT_FOUND) {
    return {};
  }
  if (error != ERROR_INSUFFICIENT_BUFFER) {
    throw_last_error(Text::HttpsFailed);
  }
  if (bytes > max_response_header_bytes) {
    throw Failure(Text::HttpsFailed, with_error_code({}, ERROR_INSUFFICIENT_BUFFER));
  }
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    throw_last_error(Text::HttpsFailed);
  }
  value.resize(size / sizeof(wchar_t));
  return value;
}

bool equals_ignoring_case(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) {
      return false;
    }
  }
  return true;
}

struct RequestTarget {
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path_and_query;
};

RequestTarget split_url(const std::wstring& url) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUserNameLength = static_cast<DWORD>(-1);
  parts.dwPasswordLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
      parts.nScheme != INTERNET_SCHEME_HTTPS || parts.dwHostNameLength == 0 ||
      parts.dwUserNameLength != 0 || parts.dwPasswordLength != 0 ||
      url.find(L'#') != std::wstring::npos) {
    throw_failure(Text::HttpsFailed);
  }
  RequestTarget target;
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  target.port = parts.nPort;
  if (parts.dwUrlPathLength == 0) {
    target.path_and_query = L"/";
  } else {
    target.path_and_query.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  }
  if (parts.dwExtraInfoLength != 0) {
    target.path_and_query.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  return target;
}

std::wstring header_block(std::wstring_view verb,
                          const std::map<std::string, std::string>& extra_headers) {
  std::wstring block = L"Accept-Encoding: identity\r\n";
  if (verb == L"POST") {
    block += L"Content-Type: application/json\r\nCache-Control: no-cache\r\n";
  }
  check_extra_headers(extra_headers);
  for (const auto& [name, value] : extra_headers) {
    block += to_utf16(name) + L": " + to_utf16(value) + L"\r\n";
  }
  return block;
}

void report_download_progress(const Context& context, std::uint64_t done, std::uint64_t total) {
  if (context.byte_progress) {
    context.byte_progress(static_cast<std::size_t>(done), static_cast<std::size_t>(total), {});
  } else if (context.progress) {
    context.progress(Text::DownloadingUpdate, static_cast<std::size_t>(done),
                     static_cast<std::size_t>(total), {});
  }
}

}  // namespace

void send_request(const std::wstring& url, std::wstring_view verb, std::string_view body,
                  const std::map<std::string, std::string>& extra_headers, std::uint64_t limit,
                  bool exact, const Context& context, const BodySink& sink) {
  throw_if_cancelled(context);
  if (!is_acceptable_url_text(url)) {
    throw_failure(Text::InvalidMetadata);
  }
  const RequestTarget target = split_url(url);

  const ScopedWinHttpHandle session(WinHttpOpen(user_agent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                                WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) {
    throw_last_error(Text::HttpsFailed);
  }
  if (!WinHttpSetTimeouts(session.get(), network_timeout_ms, network_timeout_ms, network_timeout_ms,
                          network_timeout_ms)) {
    throw_last_error(Text::HttpsFailed);
  }
  set_option(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2);

  const ScopedWinHttpHandle connection(
      WinHttpConnect(session.get(), target.host.c_str(), target.port, 0));
  if (!connection) {
    throw_last_error(Text::HttpsFailed);
  }
  const std::wstring verb_text(verb);
  const ScopedWinHttpHandle request(WinHttpOpenRequest(
      connection.get(), verb_text.c_str(), target.path_and_query.c_str(), nullptr,
      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  if (!request) {
    throw_last_error(Text::HttpsFailed);
  }
  set_option(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER);
  set_option(request.get(), WINHTTP_OPTION_AUTOLOGON_POLICY, WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH);
  set_option(request.get(), WINHTTP_OPTION_ENABLE_FEATURE, WINHTTP_ENABLE_SSL_REVOCATION);

  const std::wstring headers = header_block(verb, extra_headers);
  const auto body_length = static_cast<DWORD>(body.size());
  void* const body_data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
  if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                          body_data, body_length, body_length, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr)) {
    throw_last_error(Text::HttpsFailed);
  }

  DWORD status = 0;
  DWORD status_size = sizeof(status);
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &status_size,
                           WINHTTP_NO_HEADER_INDEX)) {
    throw_last_error(Text::HttpsFailed);
  }
  // Redirects are never followed: they arrive here as their own status and fail.
  if (status != HTTP_STATUS_OK) {
    throw_failure(Text::HttpsFailed, L"HTTP " + std::to_wstring(status));
  }

  const std::wstring encoding = query_header(request.get(), WINHTTP_QUERY_CONTENT_ENCODING);
  if (!encoding.empty() && !equals_ignoring_case(encoding, L"identity")) {
    throw_failure(Text::HttpsFailed);
  }

  std::optional<std::uint64_t> declared_length;
  const std::wstring length_text = query_header(request.get(), WINHTTP_QUERY_CONTENT_LENGTH);
  if (!length_text.empty()) {
    try {
      declared_length = parse_content_length(to_utf8(length_text));
    } catch (const Failure&) {
      declared_length.reset();  // not convertible: as unparsable as any other bad value
    }
    if (!declared_length || *declared_length > limit || (exact && *declared_length != limit)) {
      throw_failure(Text::DigestMismatch);
    }
  }

  std::vector<std::byte> block(read_block_bytes);
  const auto deadline =
      std::chrono::steady_clock::now() +
      std::chrono::seconds(exact ? download_deadline_seconds : post_deadline_seconds);
  std::uint64_t total = 0;
  for (;;) {
    throw_if_cancelled(context);
    if (std::chrono::steady_clock::now() > deadline) {
      throw_failure(Text::HttpsFailed);
    }
    DWORD read = 0;
    if (!WinHttpReadData(request.get(), block.data(), static_cast<DWORD>(block.size()), &read)) {
      throw_last_error(Text::HttpsFailed);
    }
    if (read == 0) {
      break;
    }
    if (read > limit - total) {
      throw_failure(Text::DigestMismatch);
    }
    sink(std::span<const std::byte>(block.data(), read));
    total += read;
    if (exact) {
      report_download_progress(context, total, limit);
    }
  }
  // A connection that closes before the announced length would otherwise pass a cut body
  // off as complete.
  if ((exact && total != limit) || (declared_length && total != *declared_length)) {
    throw_failure(Text::DigestMismatch);
  }
}

std::string WinHttpTransport::post(std::wstring_view path, std::string_view body,
                                   const Context& context) {
  if (body.size() > max_post_bytes) {
    throw_failure(Text::InvalidMetadata);
  }
  std::string answer;
  send_request(update_service_origin() + std::wstring(path), L"POST", body, {}, max_post_bytes,
               false, context, [&answer](std::span<const std::byte> block) {
                 answer.append(reinterpret_cast<const char*>(block.data()), block.size());
               });
  return answer;
}

void WinHttpTransport::download(const Download& source, const std::wstring& target,
                                std::uint64_t expected_size, const Context& context) {
  if (expected_size > max_download_bytes) {
    throw_failure(Text::InvalidMetadata);
  }
  ensure_no_reparse_points(target);
  const std::wstring parent = parent_directory(target);
  if (!parent.empty()) {
    create_directories_checked(parent);
  }
  ScopedFileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    throw_last_error(Text::FileOperationFailed, target);
  }
  send_request(to_utf16(source.url), L"GET", {}, source.headers, expected_size, true, context,
               [&](std::span<const std::byte> block) {
                 while (!block.empty()) {
                   DWORD written = 0;
                   if (!WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()),
                                  &written, nullptr) ||
                       written == 0) {
                     throw_last_error(Text::FileOperationFailed, target);
                   }
                   block = block.subspan(written);
                 }
               });
  if (!FlushFileBuffers(file.get())) {
    throw_last_error(Text::FileOperationFailed, target);
  }
}

}  // namespace zyr::update
