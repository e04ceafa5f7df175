// PiPL resource bytes: a small header, then twelve vendor/key/length
// properties whose data is zero-padded to whole 32-bit words.
#include "resources/pipl_bytes.h"

#include <cstring>
#include <string>

#include "resources/pipl_description.h"

namespace {

struct Writer {
    std::vector<uint8_t> bytes;

    void u16(uint16_t value) {
        bytes.push_back(static_cast<uint8_t>(value));
        bytes.push_back(static_cast<uint8_t>(value >> 8));
    }
    void u32(uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
    // Four-character codes go out in reversed byte order ("8BIM" as "MIB8").
    void fourCc(const char *code) {
        for (int i = 3; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(code[i]));
    }
};

// Data of one property before padding.
using Data = std::vector<uint8_t>;

Data word(uint32_t value) {
    Writer writer;
    writer.u32(value);
    return writer.bytes;
}

// Major in the high half, minor in the low half of one 32-bit word.
Data version(uint16_t major, uint16_t minor) { return word((static_cast<uint32_t>(major) << 16) | minor); }

Data fourCcData(const char *code) {
    Writer writer;
    writer.fourCc(code);
    return writer.bytes;
}

// One length byte, then the characters, no terminator.
Data pascalString(const char *text) {
    const size_t length = std::strlen(text);
    Data data;
    data.push_back(static_cast<uint8_t>(length));
    data.insert(data.end(), text, text + length);
    return data;
}

Data cString(const char *text) { return Data(text, text + std::strlen(text) + 1); }

// Strings count their padding to whole words in the data length; the 16-bit
// information flags declare length 2 and are padded after it.
void property(Writer &writer, const char *key, Data data, bool lengthCountsPadding = true) {
    const size_t length = data.size();
    while (data.size() % 4 != 0) data.push_back(0);
    writer.fourCc("8BIM");
    writer.fourCc(key);
    writer.u32(0);
    writer.u32(static_cast<uint32_t>(lengthCountsPadding ? data.size() : length));
    writer.bytes.insert(writer.bytes.end(), data.begin(), data.end());
}

}  // namespace

std::vector<uint8_t> piplBytes(PiplProfile profile) {
    const bool x86 = profile == PiplProfile::X86;
    Writer writer;
    writer.u16(1);   // resource version
    writer.u32(0);   // reserved
    writer.u32(12);  // property count

    property(writer, "kind", fourCcData("eFKT"));
    property(writer, "name", pascalString(pipl::kName));
    property(writer, "catg", pascalString(pipl::kCategory));
    property(writer, x86 ? "wx86" : "8664", cString(pipl::kEntryPointName));
    property(writer, "ePVR", version(pipl::kPiplVersionMajor, pipl::kPiplVersionMinor));
    property(writer, "eSVR",
             x86 ? version(pipl::kSpecVersionMajorX86, pipl::kSpecVersionMinorX86)
                 : version(pipl::kSpecVersionMajorX64, pipl::kSpecVersionMinorX64));
    property(writer, "eVER", word(pipl::kEffectVersion));
    property(writer, "eINF", Data{static_cast<uint8_t>(pipl::kInfoFlags), static_cast<uint8_t>(pipl::kInfoFlags >> 8)},
             false);
    property(writer, "eGLO", word(pipl::kOutFlags));
    property(writer, "eGL2", word(pipl::kOutFlags2));
    property(writer, "eMNA", pascalString(pipl::kMatchName));
    property(writer, "aeFL", word(pipl::kAeReservedInfo));
    return writer.bytes;
}
