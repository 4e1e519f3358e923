// The route group import on any bytes. The input is split on "#~#": the first part
// becomes the group file, the next parts the line files 1.mrl to 4.mrl beside it and
// Lines/5.mrl to Lines/8.mrl in a folder below, so that a group can list them by name
// (in any letter case, with "\" or "/").
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "routes/Classline.h"
#include "routes/listedpath.h"
#include "routes/routeimport.h"

using namespace velmora;

namespace {

constexpr int kLineFiles = 8;
const std::string kSeparator = "#~#";

const std::string& Folder() {
  const std::string& folder = fuzz::ScratchFolder();
  static const bool lines = mkdir((folder + "/Lines").c_str(), 0700) == 0;
  (void)lines;
  return folder;
}

void Put(const std::string& path, const std::string& bytes, bool present) {
  std::remove(path.c_str());
  if (!present) return;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) fuzz::Fail("cannot write a temporary file");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void CheckLine(const std::string& localPath) {
  TRouteLineFile line(localPath);
  const bool loaded = line.Load();
  fuzz::Check(loaded == line.Loaded(), "Load and Loaded disagree");
  line.Prepare();
  const std::vector<StopEntry>& stops = line.Stops();
  for (std::size_t i = 0; i < stops.size(); ++i) {
    fuzz::Check(stops[i].index == static_cast<int>(i), "stop indices out of order");
  }
  const int final = line.FinalStopIndex();
  if (stops.empty()) {
    fuzz::Check(final == -1, "a final stop on a line without stops");
  } else {
    fuzz::Check(final >= 0 && final < static_cast<int>(stops.size()), "final stop out of range");
  }
  if (stops.size() < 2) fuzz::Check(!line.HasMarkA() && !line.HasMarkB(), "marks on < 2 stops");
  fuzz::Check(line.DesignationField().back() == 0, "designation field not terminated");
  fuzz::Check(line.Designation().size() <= kFieldCapacity[kDesignation], "designation > 4");
  if (loaded) fuzz::Check(line.Load(), "a second Load of a loaded line fails");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  for (std::size_t from = 0;;) {
    const std::size_t at = input.find(kSeparator, from);
    parts.push_back(input.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos || parts.size() == kLineFiles + 1) break;
    from = at + kSeparator.size();
  }

  const std::string& folder = Folder();
  const std::string groupPath = folder + "/group.mrg";
  Put(groupPath, parts[0], true);
  for (int k = 1; k <= kLineFiles; ++k) {
    const std::string path = folder + (k > 4 ? "/Lines/" : "/") + std::to_string(k) + ".mrl";
    const bool present = k < static_cast<int>(parts.size());
    Put(path, present ? parts[k] : std::string(), present);
  }

  fuzz::NullSink sink;
  StoredRouteList stored;
  const int imported = ImportRouteGroup(groupPath, stored, sink);
  fuzz::Check(imported >= 0 && imported == stored.count, "import count differs from the list");
  fuzz::CheckStoredList(stored);
  for (int i = 0; i < stored.count; ++i) {
    fuzz::Check(stored.records[i].Get(kMessage).empty(), "an imported route has a message");
  }

  // Into a list that is nearly full: the stored count must stop at 256.
  StoredRouteList nearlyFull;
  nearlyFull.count = kStoredRoutes - static_cast<int>(size % 4);
  const int more = ImportRouteGroup(groupPath, nearlyFull, sink);
  fuzz::Check(more >= 0 && more <= static_cast<int>(size % 4), "imported past the list's room");
  fuzz::CheckStoredList(nearlyFull);

  TRouteGroupFile group(groupPath);
  const bool complete = group.Load();
  if (complete) {
    fuzz::Check(!group.Folder().empty() && group.Folder().back() == '\\', "group folder form");
    fuzz::Check(!group.Entries().empty(), "a complete group without entries");
  }
  fuzz::Check(group.Listed().size() == group.Entries().size(), "an entry without its listed path");
  std::size_t checked = 0;
  for (const std::string& listed : group.Listed()) {
    if (++checked > 16) break;
    CheckLine(LocalListedPath(group.LocalFolder(), listed));
  }
  return 0;
}
