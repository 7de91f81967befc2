// The raw bit file (".rbf") that the stand-in assembler writes and the simulated Arria II GZ accepts
// through JTAG. The layout is written down in data/RBF_FORMAT.md; in short (little-endian):
//
//   any number of 0xFF padding bytes (the writer puts kRbfPadding of them)
//   64-byte header: "ZRBF", version 1, reserved, device name (32 bytes, NUL-padded), user code,
//                   payload length, reserved, CRC-32 of the header's first 60 bytes
//   payload (the configuration data)
//   CRC-32 of everything from "ZRBF" to the end of the payload
//   optional 0xFF padding
//
// RbfStreamParser reads the layout one byte at a time, so neither the reader nor the simulated
// device needs to hold the file in memory.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zolta/sim/crc32.h"

namespace zsim {

inline constexpr std::array<uint8_t, 4> kRbfMagic = {'Z', 'R', 'B', 'F'};
inline constexpr uint16_t kRbfVersion = 1;
inline constexpr size_t kRbfHeaderSize = 64;
inline constexpr size_t kRbfDeviceNameSize = 32;  // at most 31 characters and a NUL
inline constexpr size_t kRbfPadding = 16;          // 0xFF bytes the writer puts before the header

// The fields of a header.
struct RbfHeader {
  std::string deviceName;  // as written, for example "EP2AGZ225FF35C3"
  uint32_t userCode = 0;
  uint32_t payloadSize = 0;
};

// What readRbf() found in a valid file.
struct RbfInfo : RbfHeader {
  uint64_t fileSize = 0;
  uint64_t leadingPadding = 0;  // 0xFF bytes before the header
  uint32_t checksum = 0;        // the stored (and verified) CRC-32
};

// The file image: padding, header, payload, checksum. Throws SimError when the device name is empty,
// longer than 31 characters or holds anything but letters, digits, '_' and '-', or when the payload
// is 4 GiB or more.
std::vector<uint8_t> makeRbf(std::string_view deviceName, uint32_t userCode, std::span<const uint8_t> payload);

// Writes makeRbf() to `path` (replacing it). Throws SimError naming the file when it cannot be written.
void writeRbf(const std::filesystem::path& path, std::string_view deviceName, uint32_t userCode,
              std::span<const uint8_t> payload);

// Reads and verifies a whole file (header, both checksums, length, nothing but 0xFF after the
// checksum), streaming it. Throws SimError naming the file and the fault.
RbfInfo readRbf(const std::filesystem::path& path);

// Incremental reader of the layout, fed from the first byte of the magic onwards.
class RbfStreamParser {
 public:
  enum class Status {
    Header,    // still reading the header
    Payload,   // header valid, reading the payload
    Checksum,  // reading the final CRC
    Done,      // complete and valid; further bytes are not looked at
    Failed,    // invalid; error() says why; further bytes are not looked at
  };

  Status status() const { return status_; }
  // Valid once status() is past Header.
  const RbfHeader& header() const { return header_; }
  const std::string& error() const { return error_; }
  // Bytes taken so far, magic included.
  uint64_t consumed() const { return consumed_; }
  // The final CRC as stored in the stream; valid once status() is Done.
  uint32_t storedChecksum() const { return storedCrc_; }

  // Takes one byte; answers the status after it.
  Status feed(uint8_t byte) {
    if (status_ == Status::Payload) {
      crc_.update(byte);
      ++consumed_;
      if (--remaining_ == 0) status_ = Status::Checksum;
      return status_;
    }
    return feedSlow(byte);
  }
  // Takes bytes until the parser is Done or Failed; answers how many it took.
  size_t feed(const uint8_t* data, size_t size);

 private:
  Status feedSlow(uint8_t byte);
  void parseHeader();
  void fail(std::string message);

  Status status_ = Status::Header;
  RbfHeader header_;
  std::string error_;
  std::array<uint8_t, kRbfHeaderSize> headerBytes_{};
  size_t headerFill_ = 0;
  uint32_t remaining_ = 0;
  uint32_t storedCrc_ = 0;
  int crcBytes_ = 0;
  uint64_t consumed_ = 0;
  Crc32 crc_;
};

}  // namespace zsim
