// The part of a text file held for exclusive use that is the same on every
// platform: lines read through a buffer, and "\n" written as CR LF. Each
// platform's file layer derives from it and gives the raw reads, writes and
// the close of its own handle.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/fs.h"

namespace fs::detail {

// The text as a text file holds it: every "\n" written as CR LF.
std::string withCrLf(std::string_view text);

class BufferedTextFile : public TextFile {
public:
    explicit BufferedTextFile(bool writable) : writable_(writable) {}

    std::optional<std::string> readLine(std::size_t maxBytes) final;
    bool write(std::string_view text) final;
    bool failed() const final { return failed_; }

protected:
    virtual bool isOpen() const = 0;
    // How many bytes one read brought (0 at the end of the file); nothing
    // after a read error.
    virtual std::optional<std::size_t> readSome(char* buffer, std::size_t capacity) = 0;
    // How many bytes of data one write took; 0 after a write error.
    virtual std::size_t writeSome(std::string_view data) = 0;
    void markFailed() { failed_ = true; }

private:
    bool fill();

    bool writable_;
    bool failed_ = false;
    char buffer_[4096];
    std::size_t readPos_ = 0;
    std::size_t readEnd_ = 0;
};

}  // namespace fs::detail
