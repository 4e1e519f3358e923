// Route group import: one route from each line file that a Dorlan .mrg lists.
#pragma once
#include <string>

#include "base/messagesink.h"
#include "routerecord.h"

namespace velmora {

class TRouteGroupFile;

// Appends the imported routes to `stored` (the caller has cleared it). Problems are reported as red
// log lines through `sink`. Returns the number of routes imported.
int ImportRouteGroup(const std::string& groupPath, StoredRouteList& stored, MessageSink& sink);
// The same with a group file already loaded.
int ImportRouteGroup(const TRouteGroupFile& group, StoredRouteList& stored, MessageSink& sink);

}  // namespace velmora
