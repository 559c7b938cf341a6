#include "store/log_file_gate.h"

#include <utility>

namespace store {

namespace {

class GatedFile final : public fs::TextFile {
public:
    GatedFile(std::unique_ptr<fs::TextFile> file, std::unique_lock<std::mutex> turn)
        : file_(std::move(file)), turn_(std::move(turn)) {}

    std::optional<std::string> readLine(std::size_t maxBytes) override {
        return file_->readLine(maxBytes);
    }
    bool write(std::string_view text) override { return file_->write(text); }
    std::int64_t size() override { return file_->size(); }
    bool truncate(std::int64_t size) override { return file_->truncate(size); }
    bool failed() const override { return file_->failed(); }
    bool close() override {
        const bool closed = file_->close();
        if (turn_.owns_lock()) turn_.unlock();
        return closed;
    }

private:
    std::unique_ptr<fs::TextFile> file_;
    std::unique_lock<std::mutex> turn_;
};

}  // namespace

LogOpener gatedOpener(LogOpener inner, std::mutex& gate) {
    return [inner = std::move(inner),
            &gate](const std::string& path) -> std::unique_ptr<fs::TextFile> {
        std::unique_lock turn(gate);
        auto file = inner(path);
        if (!file) return nullptr;
        return std::make_unique<GatedFile>(std::move(file), std::move(turn));
    };
}

}  // namespace store
