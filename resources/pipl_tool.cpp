// pipl_tool X64|X86 OUTFILE: writes the PiPL resource bytes of one build, for
// the Windows resource compiler or to lie beside a Linux library.
#include <cstdio>
#include <cstring>

#include "resources/pipl_bytes.h"

int main(int argc, char **argv) {
    if (argc != 3 || (std::strcmp(argv[1], "X64") != 0 && std::strcmp(argv[1], "X86") != 0)) {
        std::fprintf(stderr, "usage: pipl_tool X64|X86 OUTFILE\n");
        return 2;
    }
    const PiplProfile profile = std::strcmp(argv[1], "X86") == 0 ? PiplProfile::X86 : PiplProfile::X64;
    const std::vector<uint8_t> bytes = piplBytes(profile);
    std::FILE *file = std::fopen(argv[2], "wb");
    if (!file) {
        std::perror(argv[2]);
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "pipl_tool: could not write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
