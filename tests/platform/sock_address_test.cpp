#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/sock.h"

namespace {

std::string octetsOf(std::uint32_t netAddress) {
    unsigned char octets[4];
    std::memcpy(octets, &netAddress, sizeof octets);
    return std::to_string(octets[0]) + " " + std::to_string(octets[1]) + " " +
           std::to_string(octets[2]) + " " + std::to_string(octets[3]);
}

TEST(SockAddress, DottedDecimalIsReadInWireOrder) {
    std::uint32_t address = 0;
    ASSERT_TRUE(sock::inetPton("198.51.100.7", &address));
    EXPECT_EQ(octetsOf(address), "198 51 100 7");
    ASSERT_TRUE(sock::inetPton("0.0.0.0", &address));
    EXPECT_EQ(address, 0u);
    ASSERT_TRUE(sock::inetPton("255.255.255.255", &address));
    EXPECT_EQ(address, 0xFFFFFFFFu);
    EXPECT_TRUE(sock::inetPton("10.0.0.1", nullptr));
}

TEST(SockAddress, AnythingButFourPlainOctetsIsRefusedAndLeavesTheOutputAlone) {
    const char* refused[] = {"",           "1.2.3",     "1.2.3.4.5", "1.2.3.",     ".1.2.3",
                             "1..2.3",     "256.1.1.1", "1.2.3.300", "01.2.3.4",   "1.2.3.04",
                             "1.2.3.4 ",   " 1.2.3.4",  "1.2.3.a",   "0x1.2.3.4",  "-1.2.3.4",
                             "1.2.3.1000", "localhost", "1234",      "1.2.3.4/24", "1,2,3,4"};
    for (const char* text : refused) {
        std::uint32_t address = 0x12345678;
        EXPECT_FALSE(sock::inetPton(text, &address)) << '"' << text << '"';
        EXPECT_EQ(address, 0x12345678u) << '"' << text << '"';
    }
    std::uint32_t address = 0;
    EXPECT_FALSE(sock::inetPton(std::string("1.2.3.4\0", 8), &address));
}

TEST(SockAddress, TextOfEveryOctetValueRoundTrips) {
    for (unsigned value = 0; value < 256; ++value) {
        const std::string text = "1." + std::to_string(value) + ".0." + std::to_string(255 - value);
        std::uint32_t address = 0;
        ASSERT_TRUE(sock::inetPton(text, &address)) << text;
        EXPECT_EQ(sock::inetNtoa(address), text);
    }
}

TEST(SockAddress, ByteOrderPutsTheHighByteFirstOnTheWire) {
    const std::uint32_t net = (sock::htonl)(0xC0A80A03u);
    EXPECT_EQ(octetsOf(net), "192 168 10 3");
    const std::uint16_t port = (sock::htons)(0xABCD);
    unsigned char bytes[2];
    std::memcpy(bytes, &port, sizeof bytes);
    EXPECT_EQ(bytes[0], 0xAB);
    EXPECT_EQ(bytes[1], 0xCD);
    EXPECT_EQ((sock::ntohs)(port), 0xABCD);
}

}  // namespace
