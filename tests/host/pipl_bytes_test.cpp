// The PiPL resource bytes of both builds, read back by a parser written here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "resources/pipl_bytes.h"

namespace {

struct Property {
    std::string vendor;  // as it reads after undoing the reversed byte order
    std::string key;
    uint32_t id = 0;
    uint32_t length = 0;        // as declared
    std::vector<uint8_t> data;  // as long as the declared length
    std::vector<uint8_t> padding;
};

struct Parsed {
    uint16_t version = 0;
    uint32_t reserved = 0;
    uint32_t count = 0;
    std::vector<Property> properties;
    bool trailingBytes = false;
};

uint32_t le32(const std::vector<uint8_t> &b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

std::string reversedCode(const std::vector<uint8_t> &b, size_t at) {
    return std::string{char(b[at + 3]), char(b[at + 2]), char(b[at + 1]), char(b[at])};
}

Parsed parse(const std::vector<uint8_t> &b) {
    Parsed p;
    if (b.size() < 10) return p;
    p.version = uint16_t(b[0] | b[1] << 8);
    p.reserved = le32(b, 2);
    p.count = le32(b, 6);
    size_t at = 10;
    for (uint32_t i = 0; i < p.count && at + 16 <= b.size(); ++i) {
        Property prop;
        prop.vendor = reversedCode(b, at);
        prop.key = reversedCode(b, at + 4);
        prop.id = le32(b, at + 8);
        prop.length = le32(b, at + 12);
        // The data is padded to whole 32-bit words after the declared length.
        const uint32_t padded = (prop.length + 3) & ~3u;
        at += 16;
        if (at + padded > b.size()) break;
        prop.data.assign(b.begin() + at, b.begin() + at + prop.length);
        prop.padding.assign(b.begin() + at + prop.length, b.begin() + at + padded);
        at += padded;
        p.properties.push_back(prop);
    }
    p.trailingBytes = at != b.size();
    return p;
}

std::vector<uint8_t> bytesOf(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) bytes.push_back(uint8_t(v));
    return bytes;
}

std::vector<uint8_t> textOf(const std::string &text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct ExpectedProperty {
    const char *key;
    std::vector<uint8_t> data;
};

std::vector<ExpectedProperty> expectedProperties(bool x86) {
    return {
        {"kind", textOf("TKFe")},
        {"name", concat(bytesOf({15}), textOf("VomrelPathBloom"))},
        {"catg", concat(concat(bytesOf({6}), textOf("Vomrel")), bytesOf({0}))},
        {x86 ? "wx86" : "8664", concat(textOf("EntryPointFunc"), bytesOf({0, 0}))},
        {"ePVR", bytesOf({0, 0, 2, 0})},
        {"eSVR", x86 ? bytesOf({10, 0, 12, 0}) : bytesOf({0, 0, 13, 0})},
        {"eVER", bytesOf({0x01, 0x06, 0x08, 0x00})},
        {"eINF", bytesOf({0, 0})},
        {"eGLO", bytesOf({0x00, 0x00, 0x00, 0x06})},
        {"eGL2", bytesOf({0x00, 0x14, 0x00, 0x00})},
        {"eMNA", concat(concat(bytesOf({28}), textOf("VomrelPathBloom by Orbenvail")), bytesOf({0, 0, 0}))},
        {"aeFL", bytesOf({8, 0, 0, 0})},
    };
}

class PiplBytes : public ::testing::TestWithParam<PiplProfile> {};

TEST_P(PiplBytes, LayoutAndContent) {
    const bool x86 = GetParam() == PiplProfile::X86;
    const std::vector<uint8_t> bytes = piplBytes(GetParam());
    const Parsed parsed = parse(bytes);
    EXPECT_EQ(parsed.version, 1);
    EXPECT_EQ(parsed.reserved, 0u);
    EXPECT_EQ(parsed.count, 12u);
    EXPECT_FALSE(parsed.trailingBytes);
    const std::vector<ExpectedProperty> expected = expectedProperties(x86);
    ASSERT_EQ(parsed.properties.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Property &got = parsed.properties[i];
        SCOPED_TRACE(expected[i].key);
        EXPECT_EQ(got.vendor, "8BIM");
        EXPECT_EQ(got.key, expected[i].key);
        EXPECT_EQ(got.id, 0u);
        EXPECT_EQ(got.data, expected[i].data);
        EXPECT_EQ((got.data.size() + got.padding.size()) % 4, 0u);
        EXPECT_EQ(got.padding, std::vector<uint8_t>(got.padding.size(), 0));
        // Strings count their padding in the length; only the 16-bit
        // information flags leave padding after the declared length.
        EXPECT_EQ(got.padding.size(), std::string(got.key) == "eINF" ? 2u : 0u);
    }
}

TEST_P(PiplBytes, VendorCodeStoredReversed) {
    const std::vector<uint8_t> bytes = piplBytes(GetParam());
    ASSERT_GE(bytes.size(), 14u);
    EXPECT_EQ(std::string(bytes.begin() + 10, bytes.begin() + 14), "MIB8");
}

INSTANTIATE_TEST_SUITE_P(Profiles, PiplBytes, ::testing::Values(PiplProfile::X64, PiplProfile::X86),
                         [](const ::testing::TestParamInfo<PiplProfile> &info) {
                             return info.param == PiplProfile::X86 ? "X86" : "X64";
                         });

TEST(PiplBytesProfiles, DifferOnlyInEntryKeyAndSpecVersion) {
    const std::vector<uint8_t> x64 = piplBytes(PiplProfile::X64);
    const std::vector<uint8_t> x86 = piplBytes(PiplProfile::X86);
    ASSERT_EQ(x64.size(), x86.size());
    int differing = 0;
    for (size_t i = 0; i < x64.size(); ++i) differing += x64[i] != x86[i];
    EXPECT_EQ(differing, 4 + 2) << "four key bytes, minor and major version low bytes";
}

}  // namespace
