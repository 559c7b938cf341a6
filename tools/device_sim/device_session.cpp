#include "device_sim/device_session.h"

#include <chrono>
#include <deque>
#include <functional>
#include <random>

#include "device_sim/device_link.h"
#include "device_sim/incoming.h"
#include "device_sim/reply_model.h"

namespace devsim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string describe(const ExpectedReply& reply) {
    Bytes bytes{reply.kind, reply.value};
    std::string text = formatHex(bytes);
    if (reply.knownBits != 0xFF) {
        text +=
            " in the bits " + formatHex(Bytes{reply.knownBits}) + " (other inputs not known yet)";
    }
    return text;
}

class DeviceSession {
public:
    DeviceSession(const Options& options, const std::vector<Action>& actions, Printer& printer)
        : options_(options),
          actions_(actions),
          printer_(printer),
          model_(options.variant),
          garbage_(options.seed) {
        for (const auto& action : actions) {
            if (action.kind == Action::Kind::Expect) keepsMessages_ = true;
        }
    }

    int run() {
        std::string failure =
            link_.open(options_.connectAddress, options_.connectPort, options_.bindAddress);
        if (!failure.empty()) {
            printer_.error(failure);
            return exitNetwork;
        }
        printer_.event("connected to " + options_.connectAddress + ":" +
                       std::to_string(options_.connectPort));
        bool ended = false;
        for (const auto& action : actions_) {
            if (networkFailed_) break;
            ended = perform(action);
        }
        if (!ended && !networkFailed_) finish();
        link_.close();
        return report();
    }

private:
    // Performs one action; true when it ended the connection.
    bool perform(const Action& action) {
        switch (action.kind) {
            case Action::Kind::Send:
                sendBytes(action.bytes, "");
                return false;
            case Action::Kind::SendSplit:
                for (std::size_t i = 0; i < action.bytes.size() && !networkFailed_; ++i) {
                    if (i > 0) pumpFor(milliseconds(splitGapMs_));
                    sendBytes(Bytes{action.bytes[i]}, "");
                }
                return false;
            case Action::Kind::SplitGap:
                splitGapMs_ = action.number;
                return false;
            case Action::Kind::Pause:
                pumpFor(milliseconds(action.number));
                return false;
            case Action::Kind::Garbage:
                sendBytes(garbageBytes(action.number), "  (garbage)");
                return false;
            case Action::Kind::Wait:
                awaitReplies();
                return false;
            case Action::Kind::Expect:
                expectMessage(action.bytes);
                return false;
            case Action::Kind::ExpectClose:
                expectClose();
                return true;
            case Action::Kind::Close:
                link_.close();
                printer_.event("closed the connection");
                return true;
            case Action::Kind::Reset:
                if (!link_.reset()) printer_.error("the reset may not have gone out as a reset");
                printer_.event("reset the connection");
                return true;
        }
        return false;
    }

    // Bytes below F0 neither start a frame nor complete one that needs a
    // marker; whatever they do to a frame in progress, the model follows.
    Bytes garbageBytes(int count) {
        std::uniform_int_distribution<int> byte(0x00, 0xEF);
        Bytes bytes;
        for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(byte(garbage_)));
        return bytes;
    }

    void sendBytes(const Bytes& bytes, const char* note) {
        if (closedByPeer_ || !link_.isOpen()) {
            printer_.error("cannot send " + formatHex(bytes) + ": the connection is closed");
            networkFailed_ = true;
            return;
        }
        for (std::uint8_t b : bytes) {
            if (auto reply = model_.feed(b)) {
                pending_.push_back(*reply);
                ++framesSent_;
            }
        }
        printer_.event("-> " + formatHex(bytes) + note);
        if (!link_.send(bytes)) {
            printer_.error("send failed: error " + std::to_string(link_.lastError()));
            networkFailed_ = true;
        }
    }

    // Reads what arrives until the deadline or until done() holds.
    void pumpUntil(Clock::time_point deadline, const std::function<bool()>& done) {
        while (!(done && done()) && !closedByPeer_ && link_.isOpen()) {
            auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return;
            Bytes bytes;
            switch (link_.read(left, bytes)) {
                case DeviceLink::ReadResult::Data:
                    for (std::uint8_t b : bytes) {
                        if (auto message = parser_.feed(b)) handle(*message);
                    }
                    break;
                case DeviceLink::ReadResult::Timeout:
                    break;
                case DeviceLink::ReadResult::Closed:
                    closedByPeer_ = true;
                    printer_.event("the monitor closed the connection");
                    break;
                case DeviceLink::ReadResult::Failed:
                    closedByPeer_ = true;
                    printer_.event("the connection failed: error " +
                                   std::to_string(link_.lastError()));
                    break;
            }
        }
    }

    void pumpFor(milliseconds span) { pumpUntil(Clock::now() + span, nullptr); }

    milliseconds replyTimeout() const { return milliseconds(options_.replyTimeoutMs); }

    void handle(const Incoming& message) {
        std::string text = "<- " + formatHex(message.bytes);
        switch (message.kind) {
            case Incoming::Kind::Reply:
                text += checkReply(message.bytes[0], message.bytes[1]);
                break;
            case Incoming::Kind::OutputFrame:
                ++outputFrames_;
                text += "  output frame";
                break;
            case Incoming::Kind::Stray:
                text += "  stray";
                if (options_.expectReplies) {
                    text += ": no monitor sends this";
                    ++mismatches_;
                }
                break;
        }
        printer_.event(text);
        if (keepsMessages_) received_.push_back(message.bytes);
    }

    std::string checkReply(std::uint8_t kind, std::uint8_t value) {
        ++replies_;
        std::string verdict = "  reply";
        if (options_.expectReplies) {
            if (pending_.empty()) {
                ++unasked_;
                verdict += " NOT ASKED FOR";
            } else if (pending_.front().matches(kind, value)) {
                verdict += " ok";
            } else {
                ++mismatches_;
                verdict += " MISMATCH, expected " + describe(pending_.front());
            }
        }
        if (!pending_.empty()) pending_.pop_front();
        model_.learn(kind, value);
        return verdict;
    }

    void awaitReplies() {
        pumpUntil(Clock::now() + replyTimeout(), [&] { return pending_.empty(); });
    }

    void expectMessage(const Bytes& wanted) {
        pumpUntil(Clock::now() + replyTimeout(), [&] { return !received_.empty(); });
        if (received_.empty()) {
            printer_.event("expect " + formatHex(wanted) + ": FAILED, nothing arrived");
            ++failedExpects_;
            return;
        }
        Bytes got = received_.front();
        received_.pop_front();
        if (got == wanted) {
            printer_.event("expect " + formatHex(wanted) + ": ok");
        } else {
            printer_.event("expect " + formatHex(wanted) + ": FAILED, got " + formatHex(got));
            ++failedExpects_;
        }
    }

    void expectClose() {
        pumpUntil(Clock::now() + replyTimeout(), nullptr);
        if (closedByPeer_) {
            printer_.event("expect close: ok");
        } else {
            printer_.event("expect close: FAILED, the connection is still open");
            ++failedExpects_;
        }
    }

    // The end of a script that did not close: outstanding replies, then a
    // quiet time for replies nobody asked for, then the hold.
    void finish() {
        awaitReplies();
        if (options_.expectReplies) pumpFor(milliseconds(options_.settleMs));
        if (options_.holdMs < 0) {
            while (!closedByPeer_ && link_.isOpen()) pumpFor(milliseconds(1000));
        } else if (options_.holdMs > 0) {
            pumpFor(milliseconds(options_.holdMs));
        }
    }

    int report() {
        long missing = static_cast<long>(pending_.size());
        std::string text = "frames sent " + std::to_string(framesSent_) + ", replies " +
                           std::to_string(replies_) + ", output frames " +
                           std::to_string(outputFrames_);
        if (options_.expectReplies) {
            text += ", mismatches " + std::to_string(mismatches_) + ", missing " +
                    std::to_string(missing) + ", not asked for " + std::to_string(unasked_);
        }
        if (failedExpects_ > 0) text += ", failed expects " + std::to_string(failedExpects_);
        printer_.summary(text);
        if (networkFailed_) return exitNetwork;
        bool replyFault =
            options_.expectReplies && (mismatches_ > 0 || missing > 0 || unasked_ > 0);
        return replyFault || failedExpects_ > 0 ? exitCheckFailed : exitOk;
    }

    const Options& options_;
    const std::vector<Action>& actions_;
    Printer& printer_;
    DeviceLink link_;
    ReplyModel model_;
    IncomingParser parser_;
    std::mt19937 garbage_;
    std::deque<ExpectedReply> pending_;
    std::deque<Bytes> received_;
    bool keepsMessages_ = false;
    int splitGapMs_ = defaultSplitGapMs;
    bool closedByPeer_ = false;
    bool networkFailed_ = false;
    long framesSent_ = 0, replies_ = 0, outputFrames_ = 0;
    long mismatches_ = 0, unasked_ = 0, failedExpects_ = 0;
};

}  // namespace

int runDevice(const Options& options, const std::vector<Action>& actions, Printer& printer) {
    return DeviceSession(options, actions, printer).run();
}

}  // namespace devsim
