// Property-list parsing: a well-formed effect list is read field by field, and
// each kind of damage is refused with a message.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"

namespace minihost {
namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes &b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(Bytes &b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putCode(Bytes &b, const std::string &code) {
    for (int i = 3; i >= 0; --i) b.push_back(uint8_t(code[size_t(i)]));
}

Bytes lengthPrefixed(const std::string &text) {
    Bytes d((text.size() + 4) & ~size_t(3), 0);
    d[0] = uint8_t(text.size());
    std::copy(text.begin(), text.end(), d.begin() + 1);
    return d;
}
Bytes word(uint32_t v) {
    Bytes d;
    put32(d, v);
    return d;
}
Bytes zeroTerminated(const std::string &text, size_t size) {
    Bytes d(text.begin(), text.end());
    d.resize(size, 0);
    return d;
}

struct Property {
    std::string vendor = "8BIM";
    std::string key;
    Bytes data;
    uint32_t id = 0;
};

std::vector<Property> effectProperties(const std::string &entryKey = "8664") {
    return {
        {"8BIM", "kind", Bytes{'T', 'K', 'F', 'e'}},
        {"8BIM", "name", lengthPrefixed("VomrelPathBloom")},
        {"8BIM", "catg", lengthPrefixed("Vomrel")},
        {"8BIM", entryKey, zeroTerminated("EntryPointFunc", 16)},
        {"8BIM", "ePVR", word(2u << 16 | 0)},
        {"8BIM", "eSVR", word(13u << 16 | 0)},
        {"8BIM", "eVER", word(0x80601)},
        {"8BIM", "eINF", Bytes{0, 0}},
        {"8BIM", "eGLO", word(0x06000000)},
        {"8BIM", "eGL2", word(0x1400)},
        {"8BIM", "eMNA", lengthPrefixed("VomrelPathBloom by Orbenvail")},
        {"8BIM", "aeFL", word(8)},
    };
}

Bytes encode(const std::vector<Property> &properties, uint32_t count, uint16_t version = 1, uint32_t reserved = 0) {
    Bytes b;
    put16(b, version);
    put32(b, reserved);
    put32(b, count);
    for (const Property &p : properties) {
        putCode(b, p.vendor);
        putCode(b, p.key);
        put32(b, p.id);
        put32(b, uint32_t(p.data.size()));
        b.insert(b.end(), p.data.begin(), p.data.end());
        while (b.size() % 4 != 2) b.push_back(0);  // the 10-byte header shifts alignment by 2
    }
    return b;
}

Bytes encode(const std::vector<Property> &properties) { return encode(properties, uint32_t(properties.size())); }

TEST(PiplParse, ReadsEveryFieldOfAnEffectList) {
    PiplInfo info;
    std::string error;
    ASSERT_TRUE(parsePipl(encode(effectProperties()), info, error)) << error;
    EXPECT_EQ(info.kind, "eFKT");
    EXPECT_EQ(info.name, "VomrelPathBloom");
    EXPECT_EQ(info.category, "Vomrel");
    EXPECT_EQ(info.matchName, "VomrelPathBloom by Orbenvail");
    EXPECT_EQ(info.entryPointKey, "8664");
    EXPECT_EQ(info.entryPointName, "EntryPointFunc");
    EXPECT_EQ(info.piplVersionMajor, 2);
    EXPECT_EQ(info.piplVersionMinor, 0);
    EXPECT_EQ(info.specVersionMajor, 13);
    EXPECT_EQ(info.specVersionMinor, 0);
    EXPECT_EQ(info.effectVersion, 0x80601u);
    EXPECT_EQ(info.infoFlags, 0u);
    EXPECT_EQ(info.outFlags, 0x06000000u);
    EXPECT_EQ(info.outFlags2, 0x1400u);
    EXPECT_EQ(info.aeFlags, 8u);
    EXPECT_TRUE(error.empty());
}

TEST(PiplParse, AcceptsTheThirtyTwoBitEntryPointAndSaysWhichKeyItUsed) {
    std::vector<Property> properties = effectProperties("wx86");
    properties[5].data = word(12u << 16 | 10);
    PiplInfo info;
    std::string error;
    ASSERT_TRUE(parsePipl(encode(properties), info, error)) << error;
    EXPECT_EQ(info.entryPointKey, "wx86");
    EXPECT_EQ(info.specVersionMajor, 12);
    EXPECT_EQ(info.specVersionMinor, 10);
}

TEST(PiplParse, PrefersTheEntryPointOfTheHostsOwnPointerSize) {
    std::vector<Property> properties = effectProperties("8664");
    properties.push_back({"8BIM", "wx86", zeroTerminated("OtherEntry", 12)});
    PiplInfo info;
    std::string error;
    ASSERT_TRUE(parsePipl(encode(properties), info, error)) << error;
    EXPECT_EQ(info.entryPointKey, sizeof(void *) == 8 ? "8664" : "wx86");
    EXPECT_EQ(info.entryPointName, sizeof(void *) == 8 ? "EntryPointFunc" : "OtherEntry");
}

struct Damage {
    const char *what;
    std::function<Bytes()> make;
    const char *messagePart;
};

std::vector<Property> without(const std::string &key) {
    std::vector<Property> properties = effectProperties();
    for (auto it = properties.begin(); it != properties.end(); ++it)
        if (it->key == key) {
            properties.erase(it);
            break;
        }
    return properties;
}

std::vector<Property> changed(size_t index, std::function<void(Property &)> change) {
    std::vector<Property> properties = effectProperties();
    change(properties[index]);
    return properties;
}

const Damage damages[] = {
    {"empty", [] { return Bytes{}; }, "header"},
    {"version 2", [] { return encode(effectProperties(), 12, 2); }, "version"},
    {"reserved word set", [] { return encode(effectProperties(), 12, 1, 7); }, "reserved"},
    {"count too large", [] { return encode(effectProperties(), 13); }, "truncated"},
    {"count too small", [] { return encode(effectProperties(), 11); }, "after the last"},
    {"count zero", [] { return encode(effectProperties(), 0); }, "no properties"},
    {"wrong vendor", [] { return encode(changed(2, [](Property &p) { p.vendor = "ABCD"; })); }, "vendor"},
    {"property id", [] { return encode(changed(2, [](Property &p) { p.id = 3; })); }, "identifier"},
    {"cut in a header",
     [] {
         Bytes b = encode(effectProperties());
         b.resize(10 + 8);
         return b;
     },
     "truncated"},
    {"cut in the data",
     [] {
         Bytes b = encode(effectProperties());
         b.resize(b.size() - 2);
         return b;
     },
     "truncated"},
    {"non-zero padding",
     [] {
         Bytes b = encode(effectProperties());
         // eINF is 2 bytes of data and 2 of padding; find it and spoil the padding.
         for (size_t i = 10; i + 20 <= b.size(); ++i)
             if (b[i] == 'F' && b[i + 1] == 'N' && b[i + 2] == 'I' && b[i + 3] == 'e') {
                 b[i + 4 + 4 + 4 + 2] = 1;
                 break;
             }
         return b;
     },
     "padding"},
    {"wrong kind", [] { return encode(changed(0, [](Property &p) {
                            p.data = {'R', 'T', 'L', 'F'};
                        })); }, "kind"},
    {"kind missing", [] { return encode(without("kind")); }, "kind"},
    {"name missing", [] { return encode(without("name")); }, "name"},
    {"category missing", [] { return encode(without("catg")); }, "catg"},
    {"match name missing", [] { return encode(without("eMNA")); }, "eMNA"},
    {"entry point missing", [] { return encode(without("8664")); }, "entry point"},
    {"entry point unterminated",
     [] { return encode(changed(3, [](Property &p) {
              p.data = Bytes{'E', 'n', 't', 'r'};
          })); }, "entry point"},
    {"entry point empty", [] { return encode(changed(3, [](Property &p) { p.data.clear(); })); }, "entry point"},
    {"string longer than its data", [] { return encode(changed(1, [](Property &p) { p.data[0] = 40; })); }, "name"},
    {"eINF not 2 bytes", [] { return encode(changed(7, [](Property &p) { p.data = word(0); })); }, "eINF"},
    {"version not 4 bytes", [] { return encode(changed(4, [](Property &p) {
                                     p.data = Bytes{2, 0};
                                 })); }, "ePVR"},
    {"duplicate key",
     [] {
         std::vector<Property> properties = effectProperties();
         properties.push_back(properties[1]);
         return encode(properties);
     },
     "twice"},
};

TEST(PiplParse, RefusesDamagedLists) {
    for (const Damage &damage : damages) {
        PiplInfo info;
        std::string error;
        EXPECT_FALSE(parsePipl(damage.make(), info, error)) << damage.what;
        EXPECT_NE(error.find(damage.messagePart), std::string::npos)
            << damage.what << ": \"" << error << "\" lacks \"" << damage.messagePart << "\"";
    }
}

}  // namespace
}  // namespace minihost
