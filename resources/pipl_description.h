// The effect's identity and declared capabilities: what the property list
// carries and what global setup declares again, from one place.
#pragma once

#include <cstdint>

namespace pipl {

constexpr const char *kName = "VomrelPathBloom";
constexpr const char *kCategory = "Vomrel";
constexpr const char *kMatchName = "VomrelPathBloom by Orbenvail";
constexpr const char *kEntryPointName = "EntryPointFunc";

// Version 1.0.0, release stage, build 1, in the host's packing.
constexpr uint32_t kEffectVersion = 0x80601;
// Deep colour aware | send update-params-UI.
constexpr uint32_t kOutFlags = 0x06000000;
// Supports smart render | float colour aware.
constexpr uint32_t kOutFlags2 = 0x1400;

constexpr uint16_t kPiplVersionMajor = 2, kPiplVersionMinor = 0;
// The effect interface version each build is written against.
constexpr uint16_t kSpecVersionMajorX64 = 13, kSpecVersionMinorX64 = 0;
constexpr uint16_t kSpecVersionMajorX86 = 12, kSpecVersionMinorX86 = 10;
constexpr uint16_t kInfoFlags = 0;
constexpr uint32_t kAeReservedInfo = 8;

// The PiPL resource's type and identifier in a Windows library, and the
// file that carries the same bytes beside a Linux library.
constexpr int kResourceId = 16000;
constexpr const char *kLinuxFileName = "VomrelPathBloom.pipl";

}  // namespace pipl
