// Lines of the CSV event log as CP932 bytes, each ending in "\n" (the text
// file writes CR LF). Fields are never quoted or escaped.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

namespace store {

// The column titles followed by the current signal names, inputs first.
std::string csvHeaderLine(std::span<const std::string> inputNames,
                          std::span<const std::string> outputNames);

// The local time as the log's first two columns: "2024/05/01,09:30:00".
std::string csvTimestamp(const std::tm& localTime);

// One record: timestamp, peer address, then 1 or 0 for every input and output.
std::string csvDataLine(std::string_view timestamp, std::string_view peerAddress,
                        std::span<const std::int32_t> inputs,
                        std::span<const std::int32_t> outputs);
// The same record without its timestamp, appended to a line that has it.
void appendCsvRecordAfterTimestamp(std::string& line, std::string_view peerAddress,
                                   std::span<const std::int32_t> inputs,
                                   std::span<const std::int32_t> outputs);

}  // namespace store
