#include "store/log_file_gate.h"

#include <utility>

namespace store {

namespace {

class GatedFile final : public fs::TextFile {
public:
    GatedFile(std::unique_ptr<fs::TextFile> file, std::shared_ptr<std::mutex> gate,
              std::unique_lock<std::mutex> turn)
        : gate_(std::move(gate)), turn_(std::move(turn)), file_(std::move(file)) {}

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
    // Destroyed in reverse: a file not closed closes before the turn ends,
    // and the gate outlives the turn that locks it.
    std::shared_ptr<std::mutex> gate_;
    std::unique_lock<std::mutex> turn_;
    std::unique_ptr<fs::TextFile> file_;
};

}  // namespace

std::shared_ptr<std::mutex> LogFileGates::at(const std::string& path) {
    std::lock_guard lock(mutex_);
    std::erase_if(gates_, [](const auto& entry) { return entry.second.expired(); });
    auto& slot = gates_[path];
    auto gate = slot.lock();
    if (!gate) {
        gate = std::make_shared<std::mutex>();
        slot = gate;
    }
    return gate;
}

LogOpener gatedOpener(LogOpener inner, std::shared_ptr<LogFileGates> gates) {
    return [inner = std::move(inner),
            gates = std::move(gates)](const std::string& path) -> std::unique_ptr<fs::TextFile> {
        auto gate = gates->at(path);
        std::unique_lock turn(*gate);
        auto file = inner(path);
        if (!file) return nullptr;
        return std::make_unique<GatedFile>(std::move(file), std::move(gate), std::move(turn));
    };
}

}  // namespace store
