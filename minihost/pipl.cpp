// Parsing and validation of a plug-in property list (PiPL): header, properties
// with reversed four-character codes, and the values an effect must declare.
#include <cstring>
#include <map>

#include "minihost/host_state.h"

namespace minihost {
namespace {

struct Reader {
    const std::vector<uint8_t> &bytes;
    std::size_t at = 0;

    bool has(std::size_t count) const { return count <= bytes.size() && at <= bytes.size() - count; }
    uint16_t u16() {
        const uint16_t v = static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
        at += 2;
        return v;
    }
    uint32_t u32() {
        const uint32_t v = static_cast<uint32_t>(bytes[at]) | (static_cast<uint32_t>(bytes[at + 1]) << 8) |
                           (static_cast<uint32_t>(bytes[at + 2]) << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
        at += 4;
        return v;
    }
    // Four-character codes are stored with their bytes reversed.
    std::string code() {
        std::string c(4, ' ');
        for (int i = 3; i >= 0; --i) c[static_cast<std::size_t>(i)] = static_cast<char>(bytes[at++]);
        return c;
    }
};

uint32_t le32(const std::vector<uint8_t> &data) {
    return static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
           (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
}

bool allZero(const std::vector<uint8_t> &data, std::size_t from) {
    for (std::size_t i = from; i < data.size(); ++i)
        if (data[i] != 0) return false;
    return true;
}

// One length byte, the characters, zero bytes up to a multiple of 4.
bool lengthPrefixed(const std::vector<uint8_t> &data, std::string &text) {
    if (data.empty() || data.size() % 4 != 0) return false;
    const std::size_t length = data[0];
    if (length == 0 || 1 + length > data.size() || !allZero(data, 1 + length)) return false;
    text.assign(reinterpret_cast<const char *>(data.data()) + 1, length);
    return true;
}

// Zero-terminated within the data, zero bytes after the terminator.
bool zeroTerminated(const std::vector<uint8_t> &data, std::string &text) {
    if (data.empty()) return false;  // and no buffer to search: data() may be null
    const void *end = std::memchr(data.data(), 0, data.size());
    if (!end) return false;
    const std::size_t length = static_cast<std::size_t>(static_cast<const uint8_t *>(end) - data.data());
    if (length == 0 || !allZero(data, length)) return false;
    text.assign(reinterpret_cast<const char *>(data.data()), length);
    return true;
}

bool fail(std::string &error, const std::string &text) {
    error = "property list: " + text;
    return false;
}

}  // namespace

bool parsePipl(const std::vector<uint8_t> &bytes, PiplInfo &info, std::string &error) {
    info = PiplInfo{};
    Reader reader{bytes};
    if (!reader.has(10)) return fail(error, "shorter than its header");
    const uint16_t version = reader.u16();
    const uint32_t reserved = reader.u32();
    const uint32_t count = reader.u32();
    if (version != 1) return fail(error, "version " + std::to_string(version) + ", expected 1");
    if (reserved != 0) return fail(error, "reserved header word is not 0");
    if (count == 0) return fail(error, "no properties");

    std::map<std::string, std::vector<uint8_t>> properties;
    for (uint32_t i = 0; i < count; ++i) {
        const std::string where = "property " + std::to_string(i + 1) + " of " + std::to_string(count);
        if (!reader.has(16)) return fail(error, where + " is truncated");
        const std::string vendor = reader.code();
        const std::string key = reader.code();
        const uint32_t id = reader.u32();
        const uint32_t length = reader.u32();
        if (vendor != "8BIM") return fail(error, where + " has vendor \"" + vendor + "\", expected \"8BIM\"");
        if (id != 0) return fail(error, where + " (" + key + ") has identifier " + std::to_string(id) + ", expected 0");
        const std::size_t padded = (static_cast<std::size_t>(length) + 3) & ~static_cast<std::size_t>(3);
        if (padded < length || !reader.has(padded)) return fail(error, where + " (" + key + ") is truncated");
        std::vector<uint8_t> data(bytes.begin() + static_cast<std::ptrdiff_t>(reader.at),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(reader.at + length));
        for (std::size_t p = reader.at + length; p < reader.at + padded; ++p)
            if (bytes[p] != 0) return fail(error, where + " (" + key + ") has non-zero padding");
        reader.at += padded;
        if (!properties.emplace(key, std::move(data)).second) return fail(error, "property " + key + " appears twice");
    }
    if (reader.at != bytes.size())
        return fail(error, "bytes after the last of " + std::to_string(count) + " properties");

    const auto property = [&](const char *key, std::size_t length, std::vector<uint8_t> &data) {
        const auto found = properties.find(key);
        if (found == properties.end()) return fail(error, std::string("no \"") + key + "\" property");
        if (length && found->second.size() != length)
            return fail(error, std::string("\"") + key + "\" has " + std::to_string(found->second.size()) +
                                   " bytes, expected " + std::to_string(length));
        data = found->second;
        return true;
    };
    std::vector<uint8_t> data;

    if (!property("kind", 4, data)) return false;
    info.kind.assign(data.rbegin(), data.rend());
    if (info.kind != "eFKT") return fail(error, "kind \"" + info.kind + "\" is not an effect (\"eFKT\")");

    if (!property("name", 0, data)) return false;
    if (!lengthPrefixed(data, info.name)) return fail(error, "malformed \"name\" string");
    if (!property("catg", 0, data)) return false;
    if (!lengthPrefixed(data, info.category)) return fail(error, "malformed \"catg\" string");
    if (!property("eMNA", 0, data)) return false;
    if (!lengthPrefixed(data, info.matchName)) return fail(error, "malformed \"eMNA\" match name");

    // The entry point of the host's own pointer size is preferred; the other
    // is accepted too, because a 64-bit build also tests the 32-bit profile.
    const char *ownKey = sizeof(void *) == 8 ? "8664" : "wx86";
    const char *otherKey = sizeof(void *) == 8 ? "wx86" : "8664";
    const char *entryKey = properties.count(ownKey) ? ownKey : properties.count(otherKey) ? otherKey : nullptr;
    if (!entryKey) return fail(error, "no entry point (\"8664\" or \"wx86\")");
    if (!zeroTerminated(properties[entryKey], info.entryPointName))
        return fail(error, std::string("malformed entry point name under \"") + entryKey + "\"");
    info.entryPointKey = entryKey;

    if (!property("ePVR", 4, data)) return false;
    info.piplVersionMajor = static_cast<uint16_t>(le32(data) >> 16);
    info.piplVersionMinor = static_cast<uint16_t>(le32(data) & 0xFFFF);
    if (!property("eSVR", 4, data)) return false;
    info.specVersionMajor = static_cast<uint16_t>(le32(data) >> 16);
    info.specVersionMinor = static_cast<uint16_t>(le32(data) & 0xFFFF);
    if (!property("eVER", 4, data)) return false;
    info.effectVersion = le32(data);
    if (!property("eINF", 2, data)) return false;
    info.infoFlags = static_cast<uint32_t>(data[0] | (data[1] << 8));
    if (!property("eGLO", 4, data)) return false;
    info.outFlags = le32(data);
    if (!property("eGL2", 4, data)) return false;
    info.outFlags2 = le32(data);
    if (!property("aeFL", 4, data)) return false;
    info.aeFlags = le32(data);
    error.clear();
    return true;
}

}  // namespace minihost
