#include "net/port_field.h"

#include <gtest/gtest.h>

namespace {

using net::PortField;

TEST(PortField, ValidValuesAfterTrimming) {
    EXPECT_EQ(net::readPortField("10003").port, 10003);
    const PortField padded = net::readPortField(" \t10003  ");
    EXPECT_EQ(padded.kind, PortField::Kind::Valid);
    EXPECT_EQ(padded.port, 10003);
    EXPECT_EQ(net::readPortField("1024").port, 1024);
    EXPECT_EQ(net::readPortField("65535").port, 65535);
    EXPECT_EQ(net::readPortField("5000x").port, 5000);
    EXPECT_EQ(net::readPortField("+2000").port, 2000);
}

TEST(PortField, InvalidValues) {
    for (const char* text : {"1023", "65536", "abc", "-5", "0", "x5000", "99999999999999",
                             "4294977296", "\x82\x54\x82\x4f\x82\x4f\x82\x4f"}) {
        EXPECT_EQ(net::readPortField(text).kind, PortField::Kind::Invalid) << text;
    }
}

TEST(PortField, BlankFieldIsSkipped) {
    EXPECT_EQ(net::readPortField("").kind, PortField::Kind::Blank);
    EXPECT_EQ(net::readPortField("  \t ").kind, PortField::Kind::Blank);
}

TEST(PortField, AtoiReading) {
    EXPECT_EQ(net::atoiValue("  42abc"), 42);
    EXPECT_EQ(net::atoiValue("-17"), -17);
    EXPECT_EQ(net::atoiValue(""), 0);
    EXPECT_EQ(net::atoiValue("- 5"), 0);
    EXPECT_EQ(net::atoiValue("99999999999999999999"), 2147483647);
    EXPECT_EQ(net::atoiValue("-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
