#include "routeimage.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/cp1251.h"

#include "base/textbytes.h"

namespace velmora {
namespace {

constexpr int kHeaderSize = 8;
constexpr int kIndexEntrySize = 4;
constexpr int kImageAlign = 32;

constexpr uint8_t kTagDesignation = 0x01;
constexpr uint8_t kTagMessage = 0x02;
constexpr uint8_t kTagStartStop = 0x0B;
constexpr uint8_t kTagFinalStop = 0x0C;

// A field's text runs up to its zero byte, never past the field's capacity.
template <std::size_t N>
std::size_t TextLength(const std::array<char, N>& field, std::size_t capacity) {
  const std::size_t limit = std::min(N, capacity);
  const void* zero = std::memchr(field.data(), 0, limit);
  return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field.data()) : limit;
}

struct RecordTexts {
  std::size_t designation, start, final, message;
};

RecordTexts Measure(const RouteRecord& r) {
  return {TextLength(r.designation, kFieldCapacity[kDesignation]),
          TextLength(r.startStop, kFieldCapacity[kStartStop]),
          TextLength(r.finalStop, kFieldCapacity[kFinalStop]),
          TextLength(r.message, kFieldCapacity[kMessage])};
}

int RecordLength(const RecordTexts& t) {
  int length = 11 + static_cast<int>(t.start + t.final);
  if (t.message > 0) length += 2 + static_cast<int>(t.message);
  return length;
}

int AlignUp(int value) { return (value + kImageAlign - 1) / kImageAlign * kImageAlign; }

int FirstRecordOffset(int routes) { return kHeaderSize + kIndexEntrySize * (routes + 1); }

void Put16(uint8_t* at, int value) { EncodeLittleEndian(at, static_cast<uint32_t>(value), 2); }

uint8_t* PutText(uint8_t* at, const char* text, std::size_t length) {
  std::memcpy(at, text, length);
  at[length] = 0;
  return at + length + 1;
}

// Lays out one record at `at`; returns the byte behind it.
uint8_t* PutRecord(uint8_t* at, const RouteRecord& r, const RecordTexts& t) {
  *at++ = kTagDesignation;
  std::memset(at, ' ', 4);
  std::memcpy(at, r.designation.data(), t.designation);
  at += 4;
  *at++ = 0x00;
  *at++ = kTagStartStop;
  at = PutText(at, r.startStop.data(), t.start);
  *at++ = kTagFinalStop;
  at = PutText(at, r.finalStop.data(), t.final);
  if (t.message > 0) {
    *at++ = kTagMessage;
    at = PutText(at, r.message.data(), t.message);
  }
  *at++ = 0x00;
  return at;
}

using RouteTextsList = std::array<RecordTexts, kStoredRoutes>;

// The image keeps the first N routes whose records, behind an index of N + 1 entries,
// end at most at 8192 once rounded up to 32 bytes. Measuring first means the buffer is
// written only once and never beyond the image.
RouteImageLayout Plan(const StoredRouteList& stored, RouteTextsList& texts) {
  const int count = std::clamp(stored.count, 0, kStoredRoutes);
  int recordsEnd = FirstRecordOffset(count);
  for (int i = 0; i < count; ++i) {
    texts[i] = Measure(stored.records[i]);
    recordsEnd += RecordLength(texts[i]);
  }
  const int wanted = AlignUp(recordsEnd);
  int routes = count;
  while (routes > 0 && AlignUp(recordsEnd) > kMaxRouteImageSize) {
    --routes;
    recordsEnd -= RecordLength(texts[routes]) + kIndexEntrySize;
  }
  return {routes, AlignUp(recordsEnd), wanted};
}

}  // namespace

RouteImageLayout MeasureRouteImage(const StoredRouteList& stored) {
  RouteTextsList texts;
  return Plan(stored, texts);
}

RouteImageLayout BuildRouteImage(const StoredRouteList& stored, WorkBuffer& work) {
  RouteTextsList texts;
  const RouteImageLayout layout = Plan(stored, texts);
  const int routes = layout.routes;
  const int length = layout.length;

  work.fill(0xFF);
  uint8_t* image = work.data();
  uint8_t* at = image + FirstRecordOffset(routes);
  for (int i = 0; i < routes; ++i) {
    uint8_t* entry = image + kHeaderSize + kIndexEntrySize * i;
    const int offset = static_cast<int>(at - image);
    at = PutRecord(at, stored.records[i], texts[i]);
    Put16(entry, offset);
    Put16(entry + 2, static_cast<int>(at - image) - offset);
  }

  image[0] = 0;
  image[1] = 0;
  Put16(image + 2, length);
  Put16(image + 4, routes);
  uint8_t sum = 0, x = 0;
  for (int i = 0; i < length; ++i) {
    sum = static_cast<uint8_t>(sum + image[i]);
    x ^= image[i];
  }
  image[0] = sum;
  image[1] = x;
  return layout;
}

void ReportRoutesLeftOut(const RouteImageLayout& layout, const StoredRouteList& stored,
                         MessageSink& sink) {
  if (layout.routes >= stored.count) return;
  sink.AppendLogLine(Cp("Поместилось только ") + std::to_string(layout.routes) + Cp(" маршрутов"),
                     kRed);
}

}  // namespace velmora
