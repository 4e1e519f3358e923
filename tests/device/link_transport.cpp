// The feature-report protocol against the simulated КАДО, byte by byte.
#include <gtest/gtest.h>

#include <numeric>

#include "base/cp1251.h"
#include "device/simkado.h"
#include "device/transport.h"
#include "link_fakes.h"

namespace velmora {
namespace {

using testing::FakeClock;
using testing::FakeHost;
using Bytes = std::vector<uint8_t>;

const std::string kBlockFailure = Cp("***Ошибка записи блока данных: ");
const std::string kParamFailure = Cp("***Ошибка чтения параметров КАДО: ");

// A device whose MemorySize field reads as `memory` (version bytes 0 and 0).
SimKadoOptions Plain(int blockSize, int memory) {
  SimKadoOptions o;
  o.blockSize = blockSize;
  o.memorySize = memory;
  o.versionMajor = 0;
  o.versionMinor = 0;
  return o;
}

Bytes Pattern(std::size_t size) {
  Bytes image(size);
  for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return image;
}

struct Rig {
  explicit Rig(SimKadoOptions o) : sim(std::move(o)), device(sim.Open(sim.Path(), true)) {}
  int Write(const Bytes& image, int first, int end) {
    return WriteDeviceMemory(*device, image.data(), image.size(), first, end, host, clock);
  }
  std::vector<SimReport> Sets() const {
    std::vector<SimReport> sets;
    for (const auto& r : sim.Reports())
      if (!r.get) sets.push_back(r);
    return sets;
  }
  SimKado sim;
  std::unique_ptr<HidDevice> device;
  FakeHost host;
  FakeClock clock;
};

Bytes ParamReplyOf(const SimKadoOptions& o) {
  Bytes reply(132, 0);
  reply[0] = 1;
  reply[1] = o.blockSize & 0xFF;
  reply[2] = (o.blockSize >> 8) & 0xFF;
  reply[3] = o.EffectiveMemorySize() & 0xFF;
  reply[4] = (o.EffectiveMemorySize() >> 8) & 0xFF;
  reply[5] = static_cast<uint8_t>(o.versionMajor);
  reply[6] = static_cast<uint8_t>(o.versionMinor);
  return reply;
}

TEST(LinkTransport, RangeThatAlignsToNothingSendsOnlyTheClosingReport) {
  Rig rig(Plain(128, 8192));
  ASSERT_EQ(rig.Write(Pattern(512), 256, 256), kStatusOk);

  ASSERT_EQ(rig.sim.Reports().size(), 2u);
  EXPECT_TRUE(rig.sim.Reports()[0].get);
  EXPECT_EQ(rig.sim.Reports()[0].bytes, ParamReplyOf(rig.sim.Options()));
  Bytes closing = ParamReplyOf(rig.sim.Options());
  closing[0] = 1;
  closing[1] = 0;
  EXPECT_EQ(rig.Sets()[0].bytes, closing);
  EXPECT_TRUE(rig.host.progress.empty());
  EXPECT_TRUE(rig.clock.sleeps.empty());
  EXPECT_TRUE(rig.host.log.empty());
}

TEST(LinkTransport, BlockSizeZeroSendsAFourByteClosingReport) {
  SimKadoOptions o = Plain(0, 0x1234);
  o.versionMajor = 1;  // MemorySize far above the range
  Rig rig(o);
  ASSERT_EQ(rig.Write(Pattern(5000), 100, 5000), kStatusOk);
  ASSERT_EQ(rig.Sets().size(), 1u);
  EXPECT_EQ(rig.Sets()[0].bytes, (Bytes{1, 0, 0x00, 0x34}));
}

TEST(LinkTransport, TwoHundredFiftySixBlocksWrapTheSequenceNumber) {
  Rig rig(Plain(128, 32768));
  const Bytes image = Pattern(32768);
  ASSERT_EQ(rig.Write(image, 0, 32768), kStatusOk);

  const auto sets = rig.Sets();
  ASSERT_EQ(sets.size(), 257u);
  for (int i = 0; i < 256; ++i) {
    const Bytes& b = sets[i].bytes;
    ASSERT_EQ(b.size(), 132u);
    EXPECT_EQ(b[0], 2);
    EXPECT_EQ(b[1], i);
    EXPECT_EQ(DecodeLittleEndian(&b[2], 2), static_cast<uint32_t>(i * 128));
    EXPECT_TRUE(std::equal(b.begin() + 4, b.end(), image.begin() + i * 128)) << "block " << i;
  }
  // The closing report: the block count modulo 256, then the last block's bytes.
  Bytes closing = sets[255].bytes;
  closing[0] = 1;
  closing[1] = 0;
  EXPECT_EQ(sets[256].bytes, closing);
  EXPECT_EQ(rig.sim.Memory(), image);
  ASSERT_EQ(rig.host.progress.size(), 256u);
  EXPECT_EQ(rig.host.progress.front(), 128);
  EXPECT_EQ(rig.host.progress.back(), 32768);
  EXPECT_EQ(rig.clock.sleeps.size(), 256u);
  EXPECT_EQ(rig.clock.ms, 256);
}

TEST(LinkTransport, OffsetsAlignOutwardAndBytesPastTheImageAreErased) {
  Rig rig(Plain(128, 8192));
  const Bytes image = Pattern(200);
  ASSERT_EQ(rig.Write(image, 100, 200), kStatusOk);

  const auto sets = rig.Sets();
  ASSERT_EQ(sets.size(), 3u);
  EXPECT_EQ(DecodeLittleEndian(&sets[0].bytes[2], 2), 0u);
  EXPECT_EQ(DecodeLittleEndian(&sets[1].bytes[2], 2), 128u);
  EXPECT_TRUE(std::equal(sets[0].bytes.begin() + 4, sets[0].bytes.end(), image.begin()));
  for (int i = 0; i < 128; ++i) {
    const uint8_t expected = 128 + i < 200 ? image[128 + i] : 0xFF;
    EXPECT_EQ(sets[1].bytes[4 + i], expected) << i;
  }
  EXPECT_EQ(sets[2].bytes[1], 2);

  // An end already on a block boundary is not moved.
  rig.sim.ClearReports();
  ASSERT_EQ(rig.Write(Pattern(256), 0, 256), kStatusOk);
  EXPECT_EQ(rig.Sets().size(), 3u);
}

TEST(LinkTransport, OffsetsPast65535CarryTheirLow16Bits) {
  SimKadoOptions o = Plain(128, 8192);
  o.versionMajor = 1;  // MemorySize 0x10000 + 8192
  Rig rig(o);
  ASSERT_EQ(rig.Write(Pattern(65792), 65408, 65792), kStatusOk);
  const auto sets = rig.Sets();
  ASSERT_EQ(sets.size(), 4u);
  EXPECT_EQ((Bytes{sets[0].bytes[1], sets[0].bytes[2], sets[0].bytes[3]}), (Bytes{0, 0x80, 0xFF}));
  EXPECT_EQ((Bytes{sets[1].bytes[1], sets[1].bytes[2], sets[1].bytes[3]}), (Bytes{1, 0x00, 0x00}));
  EXPECT_EQ((Bytes{sets[2].bytes[1], sets[2].bytes[2], sets[2].bytes[3]}), (Bytes{2, 0x80, 0x00}));
  EXPECT_EQ(rig.host.progress, (std::vector<int>{65536, 65664, 65792}));
}

TEST(LinkTransport, FailedThirdBlockEndsTheWriteWithoutClosingReport) {
  SimKadoOptions o = Plain(128, 8192);
  o.failBlock = 3;
  Rig rig(o);
  EXPECT_EQ(rig.Write(Pattern(1024), 0, 1024), kStatusIoError);

  const auto sets = rig.Sets();
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_EQ(sets[0].bytes[0], 2);
  EXPECT_EQ(sets[1].bytes[0], 2);
  ASSERT_EQ(rig.host.log.size(), 1u);
  EXPECT_EQ(rig.host.log[0].text, kBlockFailure + "Communication error with device\n");
  EXPECT_EQ(rig.host.status[kPanelStatus], rig.host.log[0].text);
  EXPECT_EQ(rig.host.progress, (std::vector<int>{128, 256}));
}

TEST(LinkTransport, BlockSizesAtAndAroundTheDataArea) {
  struct Case {
    int blockSize;
    int status;
    std::size_t blocks;
    std::size_t reportLength;
  };
  // A range of 256 bytes, MemorySize far above it.
  const Case cases[] = {
      {0, kStatusOk, 0, 4},       {1, kStatusOk, 256, 5},    {2, kStatusOk, 128, 6},
      {127, kStatusOk, 3, 131},   {128, kStatusOk, 2, 132},  {129, kStatusBlockTooLarge, 0, 0},
      {65535, kStatusBlockTooLarge, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blockSize);
    SimKadoOptions o = Plain(c.blockSize, 8192);
    o.versionMajor = 1;
    Rig rig(o);
    const Bytes image = Pattern(256);
    ASSERT_EQ(rig.Write(image, 0, 256), c.status);
    const auto sets = rig.Sets();
    if (c.status != kStatusOk) {
      EXPECT_TRUE(sets.empty());
      ASSERT_EQ(rig.host.log.size(), 1u);
      EXPECT_EQ(rig.host.log[0].text, kBlockFailure + "Block size not supported by the program\n");
      continue;
    }
    ASSERT_EQ(sets.size(), c.blocks + 1);
    for (const auto& s : sets) EXPECT_EQ(s.bytes.size(), c.reportLength);
    EXPECT_EQ(sets.back().bytes[0], 1);
    EXPECT_EQ(sets.back().bytes[1], c.blocks % 256);
    if (c.blocks > 0) {
      std::size_t covered = 0;
      for (std::size_t i = 0; i < c.blocks; ++i) {
        EXPECT_EQ(DecodeLittleEndian(&sets[i].bytes[2], 2), covered);
        covered += c.blockSize;
      }
      EXPECT_GE(covered, 256u);
      EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.sim.Memory().begin()));
    }
  }
}

TEST(LinkTransport, MemorySizeBelowTheRangeIsRefusedBeforeAnyBlock) {
  {
    Rig rig(Plain(128, 0));
    EXPECT_EQ(rig.Write(Pattern(256), 0, 256), kStatusMemoryTooSmall);
    EXPECT_TRUE(rig.Sets().empty());
    ASSERT_EQ(rig.host.log.size(), 1u);
    EXPECT_EQ(rig.host.log[0].text, kBlockFailure + "Device memory too small\n");
    // An empty range fits a device without memory.
    EXPECT_EQ(rig.Write(Pattern(256), 0, 0), kStatusOk);
    EXPECT_EQ(rig.Sets().size(), 1u);
  }
  {
    SimKadoOptions o = Plain(128, 8192);
    o.versionMinor = -128;  // byte 6 = 0x80: MemorySize negative
    Rig rig(o);
    EXPECT_EQ(rig.Write(Pattern(256), 0, 0), kStatusMemoryTooSmall);
    EXPECT_TRUE(rig.Sets().empty());
  }
  {
    Rig rig(Plain(128, 100));
    EXPECT_EQ(rig.Write(Pattern(256), 0, 101), kStatusMemoryTooSmall);
    EXPECT_TRUE(rig.Sets().empty());
    EXPECT_EQ(rig.Write(Pattern(256), 0, 100), kStatusOk);
    EXPECT_EQ(rig.Sets().size(), 2u);
  }
  {
    Rig rig(Plain(128, 32768));
    EXPECT_EQ(rig.Write(Pattern(32769), 0, 32769), kStatusMemoryTooSmall);
    EXPECT_TRUE(rig.Sets().empty());
  }
}

TEST(LinkTransport, ShortAndFailedParameterReplies) {
  {
    SimKadoOptions o;
    o.replyLength = 5;
    Rig rig(o);
    EXPECT_EQ(rig.Write(Pattern(256), 0, 256), kStatusShortReply);
    EXPECT_TRUE(rig.Sets().empty());
    ASSERT_EQ(rig.host.log.size(), 1u);
    EXPECT_EQ(rig.host.log[0].text, Cp("***Не все байты сообщения переданы из КАДО (5 из 7)\n"));

    auto reply = ReadDeviceParams(*rig.device, rig.host);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->length, 5u);
  }
  // Seven bytes hold BlockSize and MemorySize: one fewer is refused, seven or more write.
  for (const int length : {6, 7, 8}) {
    SimKadoOptions o;
    o.replyLength = length;
    Rig rig(o);
    const bool complete = length >= 7;
    EXPECT_EQ(rig.Write(Pattern(256), 0, 256), complete ? kStatusOk : kStatusShortReply)
        << length;
    EXPECT_EQ(rig.Sets().size(), complete ? 3u : 0u) << length;
    EXPECT_EQ(rig.host.Lines(),
              complete ? std::vector<std::string>{}
                       : std::vector<std::string>{
                             Cp("***Не все байты сообщения переданы из КАДО (6 из 7)\n")})
        << length;
  }
  {
    SimKadoOptions o;
    o.failParamRead = true;
    Rig rig(o);
    EXPECT_EQ(rig.Write(Pattern(256), 0, 256), kStatusIoError);
    EXPECT_FALSE(ReadDeviceParams(*rig.device, rig.host).has_value());
    EXPECT_TRUE(rig.sim.Reports().empty());
    const std::string line = kParamFailure + "Communication error with device\n";
    EXPECT_EQ(rig.host.Lines(), (std::vector<std::string>{line, line}));
    EXPECT_EQ(rig.host.status[kPanelStatus], line);
  }
}

TEST(LinkTransport, ParameterReplyFields) {
  SimKadoOptions o;
  o.blockSize = 64;
  o.memorySize = 8192;
  o.versionMajor = 1;
  o.versionMinor = 5;
  Rig rig(o);
  auto reply = ReadDeviceParams(*rig.device, rig.host);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->length, 132u);
  EXPECT_EQ(reply->BlockSize(), 64);
  // The version bytes are the upper half of MemorySize.
  EXPECT_EQ(reply->MemorySize(), 8192 + (1 << 16) + (5 << 24));
  EXPECT_EQ(VersionText(reply->bytes.data()), " (v1.05)");
}

TEST(LinkTransport, ErrorTexts) {
  EXPECT_EQ(DeviceErrorText(1), "Access to device denied");
  EXPECT_EQ(DeviceErrorText(2), "The specified device was not found");
  EXPECT_EQ(DeviceErrorText(5), "Communication error with device");
  EXPECT_EQ(DeviceErrorText(16), "The device is used by another application");
  EXPECT_EQ(DeviceErrorText(kStatusBlockTooLarge), "Block size not supported by the program");
  EXPECT_EQ(DeviceErrorText(kStatusMemoryTooSmall), "Device memory too small");
  EXPECT_EQ(DeviceErrorText(7), "Unknown USB error 7");
  EXPECT_EQ(DeviceErrorText(0), "Unknown USB error 0");
  EXPECT_EQ(DeviceErrorText(kStatusShortReply), "Unknown USB error -1");
}

TEST(LinkTransport, VersionTexts) {
  auto text = [](int major, int minor) {
    uint8_t reply[7] = {1, 0, 0, 0, 0, static_cast<uint8_t>(major), static_cast<uint8_t>(minor)};
    return VersionText(reply);
  };
  EXPECT_EQ(text(1, 5), " (v1.05)");
  EXPECT_EQ(text(12, 34), " (v12.34)");
  EXPECT_EQ(text(0, 0), " (v0.00)");
  EXPECT_EQ(text(9, 99), " (v9.99)");
  EXPECT_EQ(text(10, 0), " (v10.00)");
  EXPECT_EQ(text(99, 99), " (v99.99)");
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// A clock in microseconds, and a window whose messages take `cost` of each pause.
struct MicroClock : FakeClock {
  int64_t us = 0;
  int64_t MonotonicMs() const override { return us / 1000; }
  int64_t MonotonicUs() const override { return us; }
  void SleepUntilUs(int64_t deadline) override { us = std::max(us, deadline); }
};
struct BusyWindow : FakeHost {
  MicroClock* clock = nullptr;
  int cost = 0;
  std::vector<int> budgets;
  void PumpEventsFor(int microseconds) override {
    budgets.push_back(microseconds);
    clock->us += cost;
  }
};

TEST(LinkTransport, WindowMessagesRunInsideTheBlockPauseNotOnTopOfIt) {
  for (int cost : {0, 400, 999, 1500}) {
    SimKado sim(Plain(128, 8192));
    auto device = sim.Open(sim.Path(), true);
    MicroClock clock;
    BusyWindow host;
    host.clock = &clock;
    host.cost = cost;
    const Bytes image = Pattern(1024);
    ASSERT_EQ(WriteDeviceMemory(*device, image.data(), image.size(), 0, 1024, host, clock),
              kStatusOk);
    EXPECT_EQ(host.budgets, std::vector<int>(8, 1000)) << cost;
    // Eight blocks, each followed by a pause of 1 ms or by the messages when they take longer.
    EXPECT_EQ(clock.us, 8 * std::max(1000, cost)) << cost;
  }
}

}  // namespace
}  // namespace velmora
