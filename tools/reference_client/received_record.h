// What the reference client received, written beside it as "ZYR_Shell.received.json" for
// tests and for a person checking a launcher by hand.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zyr::shell {

struct ReceivedHandshake {
  std::uint32_t process_id = 0;
  std::string command_line;
  std::string working_directory;
  std::optional<std::uint64_t> header;
  std::vector<std::uint8_t> answer;  // the bytes written back, right or wrong
  std::optional<std::uint32_t> configuration_length;
  std::vector<std::uint8_t> object_graph;  // decrypted
  std::string configuration_json;          // the graph read back, as JSON text
  bool end_of_input = false;               // the input ended right after the configuration
  std::string error;                       // empty when the handshake succeeded
};

// Members: processId, commandLine, workingDirectory, header (decimal text, absent when
// none arrived), answer (hex), configurationLength, objectGraph (hex), configuration (the
// object, or null), endOfInput, error.
std::string received_record_json(const ReceivedHandshake& received);

}  // namespace zyr::shell
