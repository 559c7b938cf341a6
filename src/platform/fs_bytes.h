// Files as bytes, for the signal history: a log read in pieces while the
// program may be appending to it, and a picture written whole. Each call
// opens, uses and closes the file; paths are CP932.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fs {

// The file's length; nothing when it cannot be looked at.
std::optional<std::int64_t> fileSize(std::string_view cp932Path);
// Up to maxBytes from offset, shared with a writer, which is not kept out
// for longer than the read. Nothing when the file cannot be opened or read
// (on Windows also while a writer holds it for itself).
std::optional<std::string> readBytes(std::string_view cp932Path, std::int64_t offset,
                                     std::size_t maxBytes);
// Creates or empties the file, held for exclusive use, and writes bytes;
// false when any of it did not reach the file.
bool writeBytes(std::string_view cp932Path, std::string_view bytes);

}  // namespace fs
