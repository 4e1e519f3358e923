#include "routeimport.h"

#include <algorithm>

#include "Classline.h"
#include "base/cp1251.h"
#include "listedpath.h"

namespace velmora {

int ImportRouteGroup(const std::string& groupPath, StoredRouteList& stored, MessageSink& sink) {
  TRouteGroupFile group(groupPath);
  group.Load();  // whatever it returns, the entries read so far are imported
  return ImportRouteGroup(group, stored, sink);
}

int ImportRouteGroup(const TRouteGroupFile& group, StoredRouteList& stored, MessageSink& sink) {
  const std::vector<std::string>& entries = group.Entries();
  const std::size_t room = static_cast<std::size_t>(std::max(0, kStoredRoutes - stored.count));
  const std::size_t take = std::min(entries.size(), room);

  int imported = 0;
  for (std::size_t i = 0; i < take; ++i) {
    const std::string local = LocalListedPath(group.LocalFolder(), group.Listed()[i]);
    TRouteLineFile line(local);
    if (!local.empty()) line.Load();
    if (!line.DesignationText()) {
      // A file that is there but cannot be read says why; a missing one needs no reason.
      const bool refused =
          line.FileStatus() == ReadStatus::CannotOpen || line.FileStatus() == ReadStatus::ReadShort;
      sink.AppendLogLine(Cp("***Файл маршрута не прочитан: ") +
                             cp1251::FromUtf8(local.empty() ? entries[i] : local) +
                             (refused ? " " + cp1251::FromUtf8(line.FileError()) : std::string()),
                         kRed);
      continue;
    }
    line.Prepare();
    const std::vector<StopEntry>& stops = line.Stops();
    std::string start = line.StartStopText().value_or(std::string());
    if (start.empty() && !stops.empty()) start = stops.front().name;
    std::string final = line.FinalStopText().value_or(std::string());
    const int finalIndex = line.FinalStopIndex();
    if (final.empty() && finalIndex >= 0) final = stops[finalIndex].name;

    RouteRecord& record = stored.records[stored.count];
    record = RouteRecord();
    record.Set(kDesignation, line.Designation());
    record.Set(kStartStop, start.substr(0, kFieldCapacity[kStartStop]));
    record.Set(kFinalStop, final.substr(0, kFieldCapacity[kFinalStop]));
    ++stored.count;
    ++imported;
  }
  if (entries.size() > room)
    sink.AppendLogLine(Cp("***В группе больше 256 маршрутов, взяты первые 256"), kRed);
  return imported;
}

}  // namespace velmora
