#include "Classline.h"

#include <algorithm>
#include <cstring>

#include "base/cp1251.h"
#include "base/fileio.h"
#include "listedpath.h"
#include "routerecord.h"

namespace velmora {
namespace {

// Dorlan's files are a few kilobytes; anything this large is not one of them.
constexpr std::size_t kMaxDorlanFile = 16u * 1024u * 1024u;
const char kCountPrefix[] = "Count=";

bool ReadItem(ByteReader& in, std::string& bytes) {
  uint8_t length = 0;
  return in.ReadByte(length) && in.ReadBytes(length, bytes);
}

}  // namespace

bool ByteReader::ReadByte(uint8_t& byte) {
  if (pos_ >= bytes_.size()) return false;
  byte = static_cast<uint8_t>(bytes_[pos_++]);
  return true;
}

bool ByteReader::ReadBytes(std::size_t n, std::string& out) {
  if (n > Remaining()) return false;
  out.assign(bytes_, pos_, n);
  pos_ += n;
  return true;
}

bool ReadShortString(ByteReader& in, std::string& value) {
  std::string bytes;
  if (!ReadItem(in, bytes)) return false;
  value = bytes.substr(0, bytes.find('\0'));
  return true;
}

bool ReadLineString(ByteReader& in, LineString& out, bool withFlag) {
  std::string bytes;
  if (!ReadItem(in, bytes)) return false;
  out = LineString();
  std::size_t from = 0;
  if (withFlag && !bytes.empty() && static_cast<uint8_t>(bytes[0]) < 0x20) {
    out.flag = static_cast<uint8_t>(bytes[0]);
    from = 1;
  }
  const std::size_t zero = bytes.find('\0', from);
  if (zero == std::string::npos) {
    out.value = bytes.substr(from);
  } else {
    out.value = bytes.substr(from, zero - from);
    out.second = bytes.substr(zero + 1);
  }
  while (out.value.size() > 1 && out.value.back() == ' ') out.value.pop_back();
  return true;
}

std::string LineFileVersion(const std::string& signature) {
  return signature.size() < 4 ? std::string("0000") : signature.substr(0, 4);
}

bool ParseCountLine(const std::string& item, long& count) {
  const std::size_t prefix = sizeof(kCountPrefix) - 1;
  if (item.size() < prefix + 1 || item.compare(0, prefix, kCountPrefix) != 0) return false;
  std::size_t i = prefix;
  bool negative = false;
  if (item[i] == '+' || item[i] == '-') {
    negative = item[i] == '-';
    ++i;
  }
  if (i == item.size()) return false;
  // Bounded to 32 bits whatever the width of long (32 bits on Windows).
  int64_t value = 0;
  for (; i < item.size(); ++i) {
    if (item[i] < '0' || item[i] > '9') return false;
    value = value * 10 + (item[i] - '0');
    if (value > 0x7FFFFFFF) return false;
  }
  count = static_cast<long>(negative ? -value : value);
  return true;
}

// ---------------------------------------------------------------- group file

TRouteGroupFile::TRouteGroupFile(std::string path) : path_(std::move(path)) {}

bool TRouteGroupFile::Load() {
  const FileRead file = ReadWholeFile(path_, kMaxDorlanFile);
  fileStatus_ = file.status;
  fileError_ = file.error;
  if (file.status != ReadStatus::Ok) return false;
  ByteReader in(file.bytes);
  std::string signature, name, countLine;
  if (!ReadShortString(in, signature)) return false;
  if (!ReadShortString(in, name)) return false;
  groupName_ = name;
  if (!ReadShortString(in, countLine)) return false;
  long count = 0;
  if (!ParseCountLine(countLine, count) || count < 1) return false;

  entries_.clear();
  listed_.clear();
  folder_ = WindowsFormFolder(path_);
  localFolder_ = LocalFolderOf(path_);
  for (long i = 0; i < count; ++i) {
    std::string listed;
    if (!ReadShortString(in, listed)) return false;
    // The import takes 256 routes; one entry more tells it that the group had more.
    if (entries_.size() <= static_cast<std::size_t>(kStoredRoutes)) {
      listed_.push_back(cp1251::ToUtf8(listed));
      entries_.push_back(ResolveListedPath(folder_, listed_.back()));
    }
  }
  return true;
}

// ---------------------------------------------------------------- line file

TRouteLineFile::TRouteLineFile(std::string path) : path_(std::move(path)) {}

void TRouteLineFile::Close() { open_ = false; }

bool TRouteLineFile::Load() {
  if (loaded_ || open_) return true;
  folder_ = WindowsFormFolder(path_);
  const FileRead file = ReadWholeFile(path_, kMaxDorlanFile);
  fileStatus_ = file.status;
  fileError_ = file.error;
  if (file.status != ReadStatus::Ok) return false;
  open_ = true;
  ByteReader in(file.bytes);
  LineString item;
  if (!ReadLineString(in, item)) {
    Close();
    return false;
  }
  signature_ = item.value;
  if (!ReadLineString(in, item)) {
    Close();
    loaded_ = false;
    return false;
  }
  designationText_ = item.value;
  loaded_ = ReadItems(in);
  Close();
  return loaded_;
}

// Items 3 onward. False only for a malformed count line; a file that ends early keeps
// what was read and counts as read.
bool TRouteLineFile::ReadItems(ByteReader& in) {
  LineString item;
  if (!ReadLineString(in, item)) return true;
  ResolveListedPath(folder_, cp1251::ToUtf8(item.value));  // a further file, not used here
  for (int i = 4; i <= 8; ++i)
    if (!ReadLineString(in, item)) return true;

  const std::string version = LineFileVersion(*signature_);
  if (version >= "0204") {
    if (!ReadLineString(in, item) || !ReadLineString(in, item)) return true;
  }
  // The count line may be the last item read (item 8 below 0209, item 13 from 0209 on).
  std::string last = item.value;
  if (version >= "0209") {
    if (!ReadLineString(in, item)) return true;
    startStopText_ = item.value;
    if (!ReadLineString(in, item)) return true;
    finalStopText_ = item.value;
    if (!ReadLineString(in, item)) return true;  // a number, not used
    last = item.value;
  }
  std::string countLine = last;
  if (last.compare(0, sizeof(kCountPrefix) - 1, kCountPrefix) != 0) {
    if (!ReadLineString(in, item)) return true;
    countLine = item.value;
  }
  long count = 0;
  if (!ParseCountLine(countLine, count) || count < 0) return false;

  // Each stop takes at least three bytes, which bounds what a count can reserve.
  stops_.reserve(std::min<std::size_t>(
      {static_cast<std::size_t>(count), in.Remaining() / 3, kMaxStopsKept + 1}));
  // Past kMaxStopsKept stops only what the import can still use is kept: the first stop with
  // each end mark and the last stop (the list's last entry then rolls along the file).
  bool keptA = false, keptB = false;   // marks of the entries before the last
  for (long i = 0; i < count; ++i) {
    LineString name, flagged, third;
    if (!ReadLineString(in, name) || !ReadLineString(in, flagged, true) ||
        !ReadLineString(in, third))
      return true;
    StopEntry stop;
    stop.name = name.value;
    stop.nameSecond = name.second;
    stop.text = flagged.value;
    stop.bit0 = (flagged.flag & 0x01) != 0;
    stop.bit2 = (flagged.flag & 0x04) != 0;
    stop.markA = (flagged.flag & 0x08) != 0;
    stop.markB = (flagged.flag & 0x10) != 0;
    stop.index = static_cast<int>(i);
    if (stops_.size() > kMaxStopsKept) {
      StopEntry& tail = stops_.back();
      const bool tailNeeded = (tail.markA && !keptA) || (tail.markB && !keptB);
      keptA = keptA || tail.markA;
      keptB = keptB || tail.markB;
      if (!tailNeeded) {
        tail = std::move(stop);
        continue;
      }
    } else if (!stops_.empty()) {
      keptA = keptA || stops_.back().markA;
      keptB = keptB || stops_.back().markB;
    }
    stops_.push_back(std::move(stop));
  }
  return true;
}

void TRouteLineFile::Prepare() {
  designationField_.fill(0);
  const std::string text = designationText_.value_or(std::string());
  const std::size_t n = std::min<std::size_t>(text.size(), designationField_.size() - 1);
  std::memcpy(designationField_.data(), text.data(), n);
  for (std::size_t i = n; n >= 1 && i < 4; ++i) designationField_[i] = ' ';

  hasMarkA_ = hasMarkB_ = false;
  if (stops_.size() >= 2) {
    for (const StopEntry& s : stops_) {
      hasMarkA_ = hasMarkA_ || s.markA;
      hasMarkB_ = hasMarkB_ || s.markB;
    }
  }
}

int TRouteLineFile::FinalStopIndex() const {
  if (stops_.empty()) return -1;
  const int last = static_cast<int>(stops_.size()) - 1;
  if (hasMarkA_ || hasMarkB_) {
    // End mark A rules over B in the whole line; a mark on the last stop changes nothing.
    for (int i = 0; i < last; ++i)
      if (hasMarkA_ ? stops_[i].markA : stops_[i].markB) return i;
  }
  return last;
}

std::string TRouteLineFile::Designation() const {
  const char* f = designationField_.data();
  const void* zero = std::memchr(f, 0, 4);
  return std::string(f, zero ? static_cast<const char*>(zero) - f : 4);
}

}  // namespace velmora
