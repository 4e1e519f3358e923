#include "routerecord.h"

#include <algorithm>
#include <cstring>

namespace velmora {
namespace {

template <std::size_t N>
std::string Read(const std::array<char, N>& field) {
  const char* end = static_cast<const char*>(std::memchr(field.data(), 0, N));
  return std::string(field.data(), end ? static_cast<std::size_t>(end - field.data()) : N - 1);
}

// The last byte always stays zero, so a field can never run into the next one.
template <std::size_t N>
void Write(std::array<char, N>& field, const std::string& text) {
  field.fill(0);
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(field.data(), text.data(), n);
}

}  // namespace

std::string RouteRecord::Get(int field) const {
  switch (field) {
    case kDesignation: return Read(designation);
    case kStartStop: return Read(startStop);
    case kFinalStop: return Read(finalStop);
    case kMessage: return Read(message);
    default: return std::string();
  }
}

void RouteRecord::Set(int field, const std::string& text) {
  switch (field) {
    case kDesignation: Write(designation, text); break;
    case kStartStop: Write(startStop, text); break;
    case kFinalStop: Write(finalStop, text); break;
    case kMessage: Write(message, text); break;
    default: break;
  }
}

RouteTexts RouteRecord::Texts() const {
  RouteTexts texts;
  for (int f = 0; f < kRouteFields; ++f) texts[f] = Get(f);
  return texts;
}

void RouteRecord::SetTexts(const RouteTexts& texts) {
  for (int f = 0; f < kRouteFields; ++f) Set(f, texts[f]);
}

bool RouteRecord::IsEmpty() const {
  auto zero = [](const auto& a) {
    return std::all_of(a.begin(), a.end(), [](char c) { return c == 0; });
  };
  return zero(designation) && zero(startStop) && zero(finalStop) && zero(message);
}

void StoredRouteList::Clear() {
  for (auto& r : records) r = RouteRecord{};
  count = 0;
}

}  // namespace velmora
