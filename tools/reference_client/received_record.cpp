#include "received_record.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

namespace zyr::shell {
namespace {

std::string hex(const std::vector<std::uint8_t>& bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text.push_back(digits[byte >> 4]);
    text.push_back(digits[byte & 15]);
  }
  return text;
}

}  // namespace

std::string received_record_json(const ReceivedHandshake& received) {
  rapidjson::StringBuffer buffer;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
  const auto key = [&](const char* name) { writer.Key(name); };
  const auto text = [&](const std::string& value) {
    writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
  };
  writer.StartObject();
  key("processId");
  writer.Uint(received.process_id);
  key("commandLine");
  text(received.command_line);
  key("workingDirectory");
  text(received.working_directory);
  if (received.header) {
    key("header");
    text(std::to_string(*received.header));
  }
  key("answer");
  text(hex(received.answer));
  if (received.configuration_length) {
    key("configurationLength");
    writer.Uint(*received.configuration_length);
  }
  key("objectGraph");
  text(hex(received.object_graph));
  key("configuration");
  rapidjson::Document configuration;
  if (!received.configuration_json.empty() &&
      !configuration.Parse(received.configuration_json.c_str()).HasParseError()) {
    configuration.Accept(writer);
  } else {
    writer.Null();
  }
  key("endOfInput");
  writer.Bool(received.end_of_input);
  key("error");
  text(received.error);
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

}  // namespace zyr::shell
