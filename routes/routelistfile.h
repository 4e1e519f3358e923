// The .mrp route list file: reader and writer on bytes.
#pragma once
#include <string>
#include <vector>

#include "base/clock.h"
#include "routerecord.h"
#include "version.h"

namespace velmora {

constexpr std::size_t kMaxRouteListFileSize = 16u * 1024u * 1024u;

// The maker's notice of the version line; readers ignore it.
constexpr const char* kMakersNotice = "Velmora " VELMORA_VERSION " ";

// The red log line when a file holds more routes than the stored route list (CP1251).
std::string TooManyRoutesText();

struct RouteListParse {
  int routes = 0;           // route lines stored (at most 256)
  bool truncated = false;   // more than 256 route lines were in the file
  int inFile = 0;           // route lines in the file, those past 256 included
};

// Parses the file's bytes into `stored` (cleared first), by the reading rules.
RouteListParse ParseRouteList(const std::string& bytes, StoredRouteList& stored);

// The whole file as the save command writes it: the routes in their order, `when` formatted by
// `format`.
std::string WriteRouteList(const std::vector<RouteTexts>& routes, const DateTimeFormat& format,
                           const DateTime& when);
// The same for the first `stored.count` routes of the stored route list.
std::string WriteRouteList(const StoredRouteList& stored, const DateTimeFormat& format,
                           const DateTime& when);
// One route line with its CR LF.
std::string RouteLine(const RouteTexts& texts);
// Lines 1 and 2 (one write), and line 3.
std::string RouteListHeader(const DateTimeFormat& format, const DateTime& when);
std::string RouteCountLine(int count);

}  // namespace velmora
