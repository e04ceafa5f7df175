// Turns the property-list description into the bytes of the PiPL resource.
#pragma once

#include <cstdint>
#include <vector>

enum class PiplProfile { X64, X86 };

// The whole resource, little-endian, for one build.
std::vector<uint8_t> piplBytes(PiplProfile profile);
