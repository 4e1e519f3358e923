#include "ziparchive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cstring>

namespace velmora {

// minizip reads through these functions from the bytes in memory.
struct ZipSource {
  const std::string& bytes;
  std::size_t at = 0;
};

namespace {

std::string Lowered(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return name;
}

}  // namespace

extern "C" {
static voidpf ZCALLBACK MemOpen(voidpf opaque, const void*, int) { return opaque; }
static uLong ZCALLBACK MemRead(voidpf, voidpf stream, void* buf, uLong size) {
  auto* s = static_cast<ZipSource*>(stream);
  const std::size_t left = s->at < s->bytes.size() ? s->bytes.size() - s->at : 0;
  const std::size_t n = std::min<std::size_t>(size, left);
  if (n > 0) std::memcpy(buf, s->bytes.data() + s->at, n);
  s->at += n;
  return static_cast<uLong>(n);
}
static uLong ZCALLBACK MemWrite(voidpf, voidpf, const void*, uLong) { return 0; }
static ZPOS64_T ZCALLBACK MemTell(voidpf, voidpf stream) {
  return static_cast<ZipSource*>(stream)->at;
}
static long ZCALLBACK MemSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<ZipSource*>(stream);
  ZPOS64_T base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = s->at;
  if (origin == ZLIB_FILEFUNC_SEEK_END) base = s->bytes.size();
  if (offset > s->bytes.size() || base + offset > s->bytes.size()) return -1;
  s->at = static_cast<std::size_t>(base + offset);
  return 0;
}
static int ZCALLBACK MemClose(voidpf, voidpf) { return 0; }
static int ZCALLBACK MemError(voidpf, voidpf) { return 0; }
}

ZipArchive::ZipArchive(const std::string& bytes) : source_(new ZipSource{bytes}) {
  zlib_filefunc64_def io{};
  io.zopen64_file = MemOpen;
  io.zread_file = MemRead;
  io.zwrite_file = MemWrite;
  io.ztell64_file = MemTell;
  io.zseek64_file = MemSeek;
  io.zclose_file = MemClose;
  io.zerror_file = MemError;
  io.opaque = source_.get();
  zip_ = unzOpen2_64("", &io);
  if (zip_ == nullptr) return;

  // The directory is listed once: names, places and whether anything is encrypted. The
  // entry count in the archive's header is not believed; the listing stops at the limit.
  status_ = Status::Ok;
  for (int at = unzGoToFirstFile(zip_); at == UNZ_OK; at = unzGoToNextFile(zip_)) {
    if (entries_.size() >= kMaxEntries) {
      status_ = Status::TooManyEntries;
      return;
    }
    unz_file_info64 info{};
    char name[512];
    if (unzGetCurrentFileInfo64(zip_, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
      status_ = Status::NotZip;
      return;
    }
    if (info.flag & 1U) status_ = Status::Encrypted;
    if (info.size_filename >= sizeof name) continue;  // no part of a workbook is named so long
    unz64_file_pos pos{};
    if (unzGetFilePos64(zip_, &pos) != UNZ_OK) continue;
    entries_.emplace(Lowered(std::string(name, info.size_filename)),
                     std::make_pair(pos.pos_in_zip_directory, pos.num_of_file));
  }
  if (entries_.empty() && status_ == Status::Ok) status_ = Status::NotZip;
}

ZipArchive::~ZipArchive() {
  if (zip_ != nullptr) unzClose(zip_);
}

bool ZipArchive::Has(const std::string& name) const { return entries_.count(Lowered(name)) > 0; }

bool ZipArchive::HasUnder(const std::string& folder) const {
  const std::string lowered = Lowered(folder);
  const auto it = entries_.lower_bound(lowered);
  return it != entries_.end() && it->first.compare(0, lowered.size(), lowered) == 0;
}

ZipArchive::Entry ZipArchive::Read(const std::string& name, std::size_t limit,
                                   std::string& out) const {
  out.clear();
  const auto it = entries_.find(Lowered(name));
  if (zip_ == nullptr || status_ != Status::Ok || it == entries_.end()) return Entry::Missing;
  unz64_file_pos pos{it->second.first, it->second.second};
  if (unzGoToFilePos64(zip_, &pos) != UNZ_OK || unzOpenCurrentFile(zip_) != UNZ_OK)
    return Entry::Broken;
  // The sizes in the headers may lie: the data is read in pieces, up to the limit.
  char piece[16384];
  Entry result = Entry::Ok;
  for (;;) {
    const int n = unzReadCurrentFile(zip_, piece, sizeof piece);
    if (n < 0) {
      result = Entry::Broken;
      break;
    }
    if (n == 0) break;
    if (out.size() + static_cast<std::size_t>(n) > limit) {
      result = Entry::TooLarge;
      break;
    }
    out.append(piece, static_cast<std::size_t>(n));
  }
  // Only an entry read to its end has its check sum compared.
  if (unzCloseCurrentFile(zip_) != UNZ_OK && result == Entry::Ok) result = Entry::Broken;
  if (result != Entry::Ok) out.clear();
  return result;
}

}  // namespace velmora
