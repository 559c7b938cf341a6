// The one queued hand-over to the window thread that the repaints, the
// trace and the peer labels share.
#include "platform/hand_over.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Adds one text unless it is the last one gathered.
auto adding(const std::string& text) {
    return [text](std::vector<std::string>& gathered) {
        if (!gathered.empty() && gathered.back() == text) return false;
        gathered.push_back(text);
        return true;
    };
}

std::vector<std::string> takeAll(ui::HandOver<std::vector<std::string>>& handOver) {
    return handOver.take(
        [](std::vector<std::string>& gathered) { return std::exchange(gathered, {}); });
}

TEST(HandOver, ManyGiversQueueOneDeliveryThatTakesEverythingUntilItRuns) {
    ui::HandOver<std::vector<std::string>> handOver;
    std::atomic<int> posts{0};
    std::vector<std::thread> givers;
    for (int t = 0; t < 4; ++t) {
        givers.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                handOver.give(adding(std::to_string(t) + ":" + std::to_string(i)),
                              [&] { ++posts; });
            }
        });
    }
    for (auto& giver : givers) giver.join();
    EXPECT_EQ(posts.load(), 1);
    EXPECT_EQ(takeAll(handOver).size(), 2000u);

    // Nothing new queues nothing; something new after the take queues again.
    handOver.give([](std::vector<std::string>&) { return false; }, [&] { ++posts; });
    EXPECT_EQ(posts.load(), 1);
    handOver.give(adding("after"), [&] { ++posts; });
    EXPECT_EQ(posts.load(), 2);
}

TEST(HandOver, WhatAFailedPostLeftIsPostedByTheNextGiveEvenWhenItAddsNothing) {
    ui::HandOver<std::vector<std::string>> handOver;
    EXPECT_THROW(handOver.give(adding("lamp 1"), [] { throw std::runtime_error("queue full"); }),
                 std::runtime_error);
    int posts = 0;
    handOver.give(adding("lamp 1"), [&] { ++posts; });
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(takeAll(handOver), (std::vector<std::string>{"lamp 1"}));
}

}  // namespace
