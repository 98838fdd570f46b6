// Integer texts in each syntax a reader uses; every table shows where its syntax differs from
// the others (blanks, hexadecimal, text after the digits, range).
#include "platform/numbers/IntegerText.h"

#include <gtest/gtest.h>

#include <string>

using kelpa::IntegerSyntax;
using kelpa::parseInteger;

namespace {

struct Case {
    std::string text;
    std::optional<std::int32_t> value;
};

void expectAll(IntegerSyntax syntax, std::initializer_list<Case> cases)
{
    for (const Case &c : cases)
        EXPECT_EQ(parseInteger(c.text, syntax), c.value) << '"' << c.text << '"';
}

constexpr auto none = std::nullopt;
constexpr std::int32_t kMin = INT32_MIN;

TEST(IntegerText, Decimal)
{
    expectAll(IntegerSyntax::Decimal, {
        {"12", 12}, {"+3", 3}, {"-0", 0}, {"007", 7}, {" -7 ", -7}, {"\t12\r\n", 12}, {"\v\f5", 5},
        {"2147483647", INT32_MAX}, {"-2147483648", kMin}, {"2147483648", none}, {"-2147483649", none},
        {"99999999999999999999", none}, {"", none}, {"  ", none}, {"-", none}, {"+", none},
        {"+-1", none}, {"1 2", none}, {"12a", none}, {"1.5", none}, {"1e3", none}, {"1,000", none},
        {"$10", none}, {"0x10", none}, {"\xc2\xa0" "12", none}, {"\xd9\xa1", none},
        {std::string("12\0", 3), none},
    });
}

TEST(IntegerText, Prefixed)
{
    expectAll(IntegerSyntax::Prefixed, {
        {"12", 12}, {"  -7", -7}, {"+3", 3}, {"$1f", 31}, {"$1F", 31}, {"0x10", 16}, {"0X10", 16},
        {"-$10", -16}, {"+$10", 16}, {"$FFFFFFFF", -1}, {"$80000000", kMin}, {"-$FFFFFFFF", 1},
        {"-$80000001", INT32_MAX}, {"$000000001", 1}, {"$100000000", none},
        {"2147483647", INT32_MAX}, {"-2147483648", kMin}, {"2147483648", none},
        {"", none}, {"-", none}, {"$", none}, {"0x", none}, {"0xg", none}, {"$ 1", none},
        {"12 ", none}, {"\t12", none}, {"1.5", none}, {"abc", none}, {"1$F", none}, {"$-1", none},
        {"0", 0}, {"00x1", none},
    });
}

TEST(IntegerText, PrefixedSigned)
{
    expectAll(IntegerSyntax::PrefixedSigned, {
        {"0", 0}, {"25", 25}, {"-13", -13}, {"+4", 4}, {"  9", 9}, {"$1F", 31}, {"0x10", 16},
        {"$FFFFFFFF", -1}, {"-$10", -16}, {"-$80000000", kMin}, {"-$80000001", none},
        {"-$FFFFFFFF", none}, {"-2147483648", kMin}, {"2147483647", INT32_MAX},
        {"2147483648", none}, {"", none}, {"-", none}, {"12.5", none}, {"9 ", none},
        {"\t9", none}, {"abc", none}, {"99999999999999999999", none}, {"$", none},
    });
}

TEST(IntegerText, PrefixedLeading)
{
    expectAll(IntegerSyntax::PrefixedLeading, {
        {"12", 12}, {"12a", 12}, {"12 3", 12}, {"  7", 7}, {"-3", -3}, {"+4", 4}, {"$1F", 31},
        {"0x10", 16}, {"-$10", -16}, {"$1Fg", 31}, {"0x1.5", 1}, {"0", 0},
        {"2147483647", INT32_MAX}, {"-2147483647", -INT32_MAX}, {"2147483648", none},
        {"-2147483648", none}, {"$7FFFFFFF", INT32_MAX}, {"$80000000", none},
        {"99999999999abc", none}, {"", none}, {"   ", none}, {"a1", none}, {"-", none},
        {"$", none}, {"0x", none}, {"0xg", none}, {"\t1", none},
    });
}

} // namespace
