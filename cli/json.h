// The JSON the CLI prints, and the one form it reads: the routes output.
#pragma once
#include <string>

namespace velmora {
struct StoredRouteList;
class RouteIntake;
}  // namespace velmora

namespace velmora::cli {

// A quoted JSON string of UTF-8 text: quotes, backslashes and control characters
// escaped (controls as \u00XX); bytes that are not valid UTF-8 become U+FFFD.
std::string JsonString(const std::string& utf8);
// The same for a CP1251 text of the core.
std::string JsonCp1251(const std::string& cp1251);

// {"routes": [{"designation": ..., "start": ..., "final": ..., "message": ...}, ...]} and a
// line end.
std::string RoutesJson(const StoredRouteList& stored);
// Reads that form (UTF-8) into `intake`: a missing key is an empty text, any other value
// than a string an error, other keys are passed over, a key given twice in one object is
// refused. False with the reason in `error`.
bool ReadRoutesJson(const std::string& utf8, RouteIntake& intake, std::string& error);

}  // namespace velmora::cli
