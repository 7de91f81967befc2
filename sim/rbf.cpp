#include "zolta/sim/rbf.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>

#include "zolta/sim/error.h"

namespace zsim {

namespace {

// Header field offsets.
constexpr size_t kOffVersion = 4;
constexpr size_t kOffName = 8;
constexpr size_t kOffUserCode = 40;
constexpr size_t kOffPayloadSize = 44;
constexpr size_t kOffHeaderCrc = 60;

void put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

std::string hex32(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

void checkDeviceName(std::string_view name) {
  if (name.empty()) throw SimError("bit file device name is empty");
  if (name.size() >= kRbfDeviceNameSize)
    throw SimError("bit file device name '" + std::string(name) + "' is longer than " +
                   std::to_string(kRbfDeviceNameSize - 1) + " characters");
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!ok) throw SimError("bit file device name '" + std::string(name) + "' holds a character other than letters, digits, '_' and '-'");
  }
}

}  // namespace

std::vector<uint8_t> makeRbf(std::string_view deviceName, uint32_t userCode, std::span<const uint8_t> payload) {
  checkDeviceName(deviceName);
  if (payload.size() > std::numeric_limits<uint32_t>::max())
    throw SimError("bit file payload of " + std::to_string(payload.size()) + " bytes is too large (limit 4 GiB - 1)");

  std::vector<uint8_t> image(kRbfPadding + kRbfHeaderSize + payload.size() + 4, 0);
  std::memset(image.data(), 0xFF, kRbfPadding);
  uint8_t* h = image.data() + kRbfPadding;
  std::memcpy(h, kRbfMagic.data(), kRbfMagic.size());
  put16(h + kOffVersion, kRbfVersion);
  std::memcpy(h + kOffName, deviceName.data(), deviceName.size());
  put32(h + kOffUserCode, userCode);
  put32(h + kOffPayloadSize, static_cast<uint32_t>(payload.size()));
  put32(h + kOffHeaderCrc, Crc32::of(h, kOffHeaderCrc));
  if (!payload.empty()) std::memcpy(h + kRbfHeaderSize, payload.data(), payload.size());
  put32(h + kRbfHeaderSize + payload.size(), Crc32::of(h, kRbfHeaderSize + payload.size()));
  return image;
}

void writeRbf(const std::filesystem::path& path, std::string_view deviceName, uint32_t userCode,
              std::span<const uint8_t> payload) {
  const std::vector<uint8_t> image = makeRbf(deviceName, userCode, payload);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw SimError("cannot create bit file " + path.string() + ": " + std::strerror(errno));
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out) throw SimError("cannot write bit file " + path.string() + ": " + std::strerror(errno));
}

RbfInfo readRbf(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw SimError("cannot open bit file " + path.string() + ": " + std::strerror(errno));
  const std::string where = "bit file " + path.string() + ": ";

  RbfInfo info;
  RbfStreamParser parser;
  std::vector<uint8_t> buf(1 << 16);
  bool inPadding = true;
  bool trailingGarbage = false;
  for (;;) {
    in.read(reinterpret_cast<char*>(buf.data()), static_cast<std::streamsize>(buf.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    if (got == 0) break;
    size_t i = 0;
    if (inPadding) {
      while (i < got && buf[i] == 0xFF) ++i;
      info.leadingPadding += i;
      if (i < got) inPadding = false;
    }
    if (!inPadding && parser.status() != RbfStreamParser::Status::Done &&
        parser.status() != RbfStreamParser::Status::Failed)
      i += parser.feed(buf.data() + i, got - i);
    if (parser.status() == RbfStreamParser::Status::Failed) throw SimError(where + parser.error());
    if (parser.status() == RbfStreamParser::Status::Done)
      for (; i < got; ++i)
        if (buf[i] != 0xFF) trailingGarbage = true;
    if (trailingGarbage) break;
  }
  if (in.bad()) throw SimError(where + "read error: " + std::strerror(errno));

  switch (parser.status()) {
    case RbfStreamParser::Status::Done: break;
    case RbfStreamParser::Status::Header:
      if (parser.consumed() == 0) throw SimError(where + "no header (the file holds only 0xFF padding or is empty)");
      throw SimError(where + "truncated header (" + std::to_string(parser.consumed()) + " of " +
                     std::to_string(kRbfHeaderSize) + " bytes)");
    case RbfStreamParser::Status::Payload:
      throw SimError(where + "truncated: the header declares " + std::to_string(parser.header().payloadSize) +
                     " payload bytes, the file holds " + std::to_string(parser.consumed() - kRbfHeaderSize));
    case RbfStreamParser::Status::Checksum: throw SimError(where + "truncated: the checksum is missing");
    case RbfStreamParser::Status::Failed: throw SimError(where + parser.error());
  }
  if (trailingGarbage) throw SimError(where + "unexpected data after the checksum");

  static_cast<RbfHeader&>(info) = parser.header();
  info.fileSize = std::filesystem::file_size(path);
  info.checksum = parser.storedChecksum();
  return info;
}

// ---- streaming parser -------------------------------------------------------------------------------

size_t RbfStreamParser::feed(const uint8_t* data, size_t size) {
  size_t i = 0;
  while (i < size && status_ != Status::Done && status_ != Status::Failed) {
    if (status_ == Status::Payload) {
      // Bulk path: the payload only goes through the CRC.
      const size_t n = std::min<size_t>(size - i, remaining_);
      crc_.update(data + i, n);
      consumed_ += n;
      remaining_ -= static_cast<uint32_t>(n);
      i += n;
      if (remaining_ == 0) status_ = Status::Checksum;
    } else {
      feedSlow(data[i++]);
    }
  }
  return i;
}

RbfStreamParser::Status RbfStreamParser::feedSlow(uint8_t byte) {
  switch (status_) {
    case Status::Header:
      ++consumed_;
      headerBytes_[headerFill_++] = byte;
      if (headerFill_ <= kRbfMagic.size() && byte != kRbfMagic[headerFill_ - 1]) {
        fail("no ZRBF header where one is expected");
        break;
      }
      if (headerFill_ == kRbfHeaderSize) parseHeader();
      break;
    case Status::Payload: feed(byte); break;
    case Status::Checksum:
      ++consumed_;
      storedCrc_ |= static_cast<uint32_t>(byte) << (8 * crcBytes_);
      if (++crcBytes_ == 4) {
        const uint32_t computed = crc_.value();
        if (computed != storedCrc_)
          fail("checksum mismatch (stored " + hex32(storedCrc_) + ", computed " + hex32(computed) + ")");
        else
          status_ = Status::Done;
      }
      break;
    case Status::Done:
    case Status::Failed: break;
  }
  return status_;
}

void RbfStreamParser::parseHeader() {
  const uint8_t* h = headerBytes_.data();
  const uint32_t storedHeaderCrc = get32(h + kOffHeaderCrc);
  const uint32_t headerCrc = Crc32::of(h, kOffHeaderCrc);
  if (storedHeaderCrc != headerCrc) {
    fail("header checksum mismatch (stored " + hex32(storedHeaderCrc) + ", computed " + hex32(headerCrc) + ")");
    return;
  }
  const uint16_t version = get16(h + kOffVersion);
  if (version != kRbfVersion) {
    fail("unsupported format version " + std::to_string(version) + " (this reader knows version " +
         std::to_string(kRbfVersion) + ")");
    return;
  }
  const char* name = reinterpret_cast<const char*>(h + kOffName);
  const size_t nameLength = strnlen(name, kRbfDeviceNameSize);
  if (nameLength == 0 || nameLength == kRbfDeviceNameSize) {
    fail(nameLength == 0 ? "the header names no device" : "the header's device name is not terminated");
    return;
  }
  header_.deviceName.assign(name, nameLength);
  header_.userCode = get32(h + kOffUserCode);
  header_.payloadSize = get32(h + kOffPayloadSize);
  crc_.update(h, kRbfHeaderSize);
  remaining_ = header_.payloadSize;
  status_ = remaining_ == 0 ? Status::Checksum : Status::Payload;
}

void RbfStreamParser::fail(std::string message) {
  status_ = Status::Failed;
  error_ = std::move(message);
}

}  // namespace zsim
