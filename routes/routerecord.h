// The route record and the stored route list: fixed fields, CP1251 bytes, zero-terminated.
#pragma once
#include <array>
#include <cstddef>
#include <string>

namespace velmora {

enum RouteField { kDesignation = 0, kStartStop = 1, kFinalStop = 2, kMessage = 3 };
constexpr int kRouteFields = 4;
constexpr int kStoredRoutes = 256;
// Characters a field can hold (its width less the terminator).
constexpr std::size_t kFieldCapacity[kRouteFields] = {4, 16, 16, 256};
// Characters the operator may type into a cell.
constexpr std::size_t kTypingLimit[kRouteFields] = {4, 15, 15, 127};
// The grid's column headers of the four fields (UTF-8; Cp() gives the CP1251 text). Tables
// carry them as their first line.
constexpr const char* kFieldHeader[kRouteFields] = {"Маршрут", "Начальная остановка",
                                                    "Конечная остановка",
                                                    "Дополнительное сообщение"};

using RouteTexts = std::array<std::string, kRouteFields>;

struct RouteRecord {
  std::array<char, 5> designation{};
  std::array<char, 17> startStop{};
  std::array<char, 17> finalStop{};
  std::array<char, 257> message{};

  std::string Get(int field) const;                  // up to the first zero byte
  void Set(int field, const std::string& text);      // cut to the field's capacity
  RouteTexts Texts() const;
  void SetTexts(const RouteTexts& texts);
  bool IsEmpty() const;
};

struct StoredRouteList {
  std::array<RouteRecord, kStoredRoutes> records{};
  int count = 0;
  void Clear();
};

}  // namespace velmora
