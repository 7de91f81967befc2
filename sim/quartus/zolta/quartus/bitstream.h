// The configuration data the Assembler puts in the raw bit file: a design block (design, device, pins),
// then one frame per configuration frame of the die. Frames of LAB columns in use and the I/O frames carry
// data derived from the netlist and the placement; the rest are zero, as in a real bit stream of a small
// design. With on-chip decompression the data is run-length coded.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zolta/quartus/device.h"
#include "zolta/quartus/placement.h"
#include "zolta/quartus/synthesis.h"

namespace zquartus {

inline constexpr size_t kFrameBytes = 256;

std::vector<uint8_t> configurationData(const MappedDesign& design, const Placement& placement, const Device& device);

// Run-length coding: a control byte c < 0x80 is followed by c + 1 literal bytes; c >= 0x80 by one byte
// repeated (c & 0x7F) + 3 times.
std::vector<uint8_t> compressData(std::span<const uint8_t> data);
// The inverse; nothing when `coded` is not a valid coding.
std::optional<std::vector<uint8_t>> decompressData(std::span<const uint8_t> coded);

// A JTAG user code written as up to eight hexadecimal digits ("0x", "$" or "h" prefixes and a trailing
// "h" allowed); nothing when the text is not one.
std::optional<uint32_t> parseUserCode(const std::string& text);

}  // namespace zquartus
