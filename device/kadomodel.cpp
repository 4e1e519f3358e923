#include "kadomodel.h"

#include <algorithm>

#include "base/fileio.h"
#include "kado.h"
#include "transport.h"

namespace velmora {

namespace {

constexpr std::size_t kReplyLength = kReportBufferSize;

// Short items of the HID report descriptor: the prefix byte, then 1 or 2 data bytes.
void Item(std::vector<uint8_t>& out, uint8_t prefix, unsigned value, int bytes) {
  out.push_back(static_cast<uint8_t>(prefix | (bytes == 2 ? 2 : 1)));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  if (bytes == 2) out.push_back(static_cast<uint8_t>(value >> 8 & 0xFF));
}

}  // namespace

std::vector<uint8_t> KadoReportDescriptor(int blockSize) {
  const unsigned payload = static_cast<unsigned>(std::clamp(blockSize, 0, 65535 - 3)) + 3;
  std::vector<uint8_t> d;
  Item(d, 0x04, 0xFF00, 2);   // Usage Page (vendor)
  Item(d, 0x08, 0x01, 1);     // Usage 1
  Item(d, 0xA0, 0x01, 1);     // Collection (Application)
  Item(d, 0x14, 0x00, 1);     //   Logical Minimum 0
  Item(d, 0x24, 0xFF, 2);     //   Logical Maximum 255
  Item(d, 0x74, 0x08, 1);     //   Report Size 8
  for (unsigned id : {1u, 2u}) {
    Item(d, 0x84, id, 1);       //   Report ID
    Item(d, 0x94, payload, 2);  //   Report Count
    Item(d, 0x08, 0x01, 1);     //   Usage 1
    Item(d, 0xB0, 0x02, 1);     //   Feature (Data, Variable, Absolute)
  }
  d.push_back(0xC0);          // End Collection
  return d;
}

KadoModel::KadoModel(SimKadoOptions options) : options_(std::move(options)) { EnsureMemory(); }

uint16_t KadoModel::ProductId() const { return options_.boot ? KadoBootProductId : KadoProductId; }

std::size_t KadoModel::ReportLength() const {
  return static_cast<std::size_t>(std::max(options_.blockSize, 0)) + 4;
}

void KadoModel::SetBoot(bool boot) {
  if (options_.boot == boot) return;
  options_.boot = boot;
  memory_.clear();
  EnsureMemory();
}

void KadoModel::EnsureMemory() {
  const std::size_t size =
      static_cast<std::size_t>(std::clamp(options_.EffectiveMemorySize(), 0, kMaxKadoMemory));
  if (memory_.size() != size) memory_.assign(size, 0xFF);
}

const std::vector<uint8_t>& KadoModel::Memory() {
  EnsureMemory();
  return memory_;
}

// The КАДО's parameter reply. Its MemorySize field (bytes 3-6) overlaps the version
// bytes 5 and 6, so a host reads the version as the upper half of MemorySize; the
// model's own memory keeps the configured size.
void KadoModel::FillParamReply(uint8_t* reply) const {
  std::fill(reply, reply + kReplyLength, 0);
  reply[0] = 1;
  EncodeLittleEndian(&reply[1], static_cast<uint32_t>(options_.blockSize), 2);
  EncodeLittleEndian(&reply[3], static_cast<uint32_t>(options_.EffectiveMemorySize()), 2);
  reply[5] = static_cast<uint8_t>(options_.versionMajor);
  reply[6] = static_cast<uint8_t>(options_.versionMinor);
}

bool KadoModel::GetFeature(Handle& handle, uint8_t* buffer, std::size_t& length) {
  if (length == 0 || buffer[0] != 1 || options_.failParamRead) return false;
  uint8_t reply[kReplyLength];
  FillParamReply(reply);
  const int wanted = options_.replyLength;
  const std::size_t answered = std::min(
      length, wanted >= 0 ? std::min(static_cast<std::size_t>(wanted), kReplyLength) : kReplyLength);
  std::copy(reply, reply + answered, buffer);
  length = answered;
  reports_.push_back(SimReport{true, std::vector<uint8_t>(buffer, buffer + answered)});
  handle.blocks = 0;
  dataBlocks_ = 0;
  return true;
}

bool KadoModel::SetFeature(Handle& handle, const uint8_t* buffer, std::size_t length) {
  if (length == 0) return false;
  if (buffer[0] == 2) {
    ++handle.blocks;
    if (options_.failBlock > 0 && handle.blocks == options_.failBlock) return false;
    reports_.push_back(SimReport{false, std::vector<uint8_t>(buffer, buffer + length)});
    dataBlocks_ = handle.blocks;
    if (length > 4) {
      EnsureMemory();
      const std::size_t offset = DecodeLittleEndian(&buffer[2], 2);
      for (std::size_t i = 4; i < length; ++i) {
        const std::size_t at = offset + (i - 4);
        if (at < memory_.size()) memory_[at] = buffer[i];
      }
    }
    if (options_.unplugAfterBlock > 0 && handle.blocks == options_.unplugAfterBlock && unplug_)
      unplug_();
    return true;
  }
  if (buffer[0] == 1) {
    reports_.push_back(SimReport{false, std::vector<uint8_t>(buffer, buffer + length)});
    // What a write left in the device, for a demo or a test that looks from outside.
    Save();
    return true;
  }
  return false;
}

bool KadoModel::Save() {
  if (options_.saveFile.empty()) return true;
  EnsureMemory();
  return WriteFileAtomic(options_.saveFile, std::string(memory_.begin(), memory_.end())).empty();
}

}  // namespace velmora
