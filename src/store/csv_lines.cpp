#include "store/csv_lines.h"

#include <array>

#include "platform/text.h"

namespace store {

std::string csvHeaderLine(std::span<const std::string> inputNames,
                          std::span<const std::string> outputNames) {
    std::string line = text::jp("日付,時刻,接続元IPアドレス");
    for (const auto& name : inputNames) line.append(",").append(name);
    for (const auto& name : outputNames) line.append(",").append(name);
    line.push_back('\n');
    return line;
}

std::string csvTimestamp(const std::tm& localTime) {
    std::array<char, 128> buffer{};
    const std::size_t length =
        std::strftime(buffer.data(), buffer.size(), "%Y/%m/%d,%H:%M:%S", &localTime);
    return std::string(buffer.data(), length);
}

std::string csvDataLine(std::string_view timestamp, std::string_view peerAddress,
                        std::span<const std::int32_t> inputs,
                        std::span<const std::int32_t> outputs) {
    std::string line(timestamp);
    appendCsvRecordAfterTimestamp(line, peerAddress, inputs, outputs);
    return line;
}

void appendCsvRecordAfterTimestamp(std::string& line, std::string_view peerAddress,
                                   std::span<const std::int32_t> inputs,
                                   std::span<const std::int32_t> outputs) {
    line.append(",").append(peerAddress);
    for (const auto state : inputs) line.append(state != 0 ? ",1" : ",0");
    for (const auto state : outputs) line.append(state != 0 ? ",1" : ",0");
    line.push_back('\n');
}

}  // namespace store
