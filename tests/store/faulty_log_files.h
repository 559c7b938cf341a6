// A file layer for the event log that fails on demand: opens refused (a
// file held by another program, a folder gone), opens that hang (a network
// share that stops answering), and a disk that fills up, so that a write
// stops part-way through a line.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/fs.h"
#include "store/log_writer.h"

namespace store_test {

class FaultyLogFiles {
public:
    // Paths that start with this are affected; every path when empty.
    void affect(std::string prefix) { prefix_ = std::move(prefix); }
    std::atomic<bool> refuseOpen{false};
    // Each affected open takes this long before it goes on.
    std::atomic<int> openDelayMilliseconds{0};
    // Bytes the disk still takes; negative: no limit.
    std::atomic<long long> spaceLeft{-1};
    // Closes that report a failure after closing, as a share may do when
    // the data it took never reached its disk.
    std::atomic<int> closesToFail{0};
    std::atomic<int> opensStarted{0};
    std::atomic<int> opensEnded{0};

    store::LogOpener opener() {
        return [this](const std::string& path) -> std::unique_ptr<fs::TextFile> {
            const bool affected = path.starts_with(prefix_);
            ++opensStarted;
            if (affected && openDelayMilliseconds.load() > 0) {
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(openDelayMilliseconds.load()));
            }
            std::unique_ptr<fs::TextFile> file;
            if (!affected || !refuseOpen.load()) {
                file = fs::TextFile::open(path, fs::OpenMode::Append);
                if (file && affected) file = std::make_unique<Filling>(std::move(file), *this);
            }
            ++opensEnded;
            return file;
        };
    }

private:
    // A file on a disk with spaceLeft bytes free: a write that does not fit
    // writes what fits and fails.
    class Filling : public fs::TextFile {
    public:
        Filling(std::unique_ptr<fs::TextFile> file, FaultyLogFiles& files)
            : file_(std::move(file)),
              spaceLeft_(files.spaceLeft),
              closesToFail_(files.closesToFail) {}
        std::optional<std::string> readLine(std::size_t maxBytes) override {
            return file_->readLine(maxBytes);
        }
        std::int64_t size() override { return file_->size(); }
        bool truncate(std::int64_t size) override { return file_->truncate(size); }
        bool failed() const override { return failed_ || file_->failed(); }
        bool close() override {
            const bool closed = file_->close() && !failed_;
            return closesToFail_.fetch_sub(1) > 0 ? false : closed;
        }
        bool write(std::string_view text) override {
            std::size_t fits = text.size();
            for (long long left = spaceLeft_.load(); left >= 0;) {
                fits = 0;
                long long bytes = 0;
                while (fits < text.size() && bytes + (text[fits] == '\n' ? 2 : 1) <= left) {
                    bytes += text[fits] == '\n' ? 2 : 1;
                    ++fits;
                }
                if (spaceLeft_.compare_exchange_weak(left, left - bytes)) break;
            }
            if (fits < text.size()) {
                file_->write(text.substr(0, fits));
                failed_ = true;
                return false;
            }
            return file_->write(text);
        }

    private:
        std::unique_ptr<fs::TextFile> file_;
        std::atomic<long long>& spaceLeft_;
        std::atomic<int>& closesToFail_;
        bool failed_ = false;
    };

    std::string prefix_;
};

}  // namespace store_test
