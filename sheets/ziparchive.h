// Read access to a zip archive held in memory (a workbook), with every size bounded by
// the reader rather than by the archive's own headers.
#pragma once
#include <cstddef>
#include <map>
#include <memory>
#include <string>

namespace velmora {

struct ZipSource;

class ZipArchive {
 public:
  enum class Status { Ok, NotZip, Encrypted, TooManyEntries };
  enum class Entry { Ok, Missing, TooLarge, Broken };
  static constexpr std::size_t kMaxEntries = 10000;

  explicit ZipArchive(const std::string& bytes);  // `bytes` must outlive the archive
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  Status status() const { return status_; }
  // Entry names compare in any letter case, as the package formats say.
  bool Has(const std::string& name) const;
  // Whether any entry lies in the folder ("Basic/").
  bool HasUnder(const std::string& folder) const;
  // The entry's bytes, at most `limit` of them: a longer entry is TooLarge, one whose data
  // does not inflate or fails its check sum Broken.
  Entry Read(const std::string& name, std::size_t limit, std::string& out) const;

 private:
  std::unique_ptr<ZipSource> source_;
  void* zip_ = nullptr;
  Status status_ = Status::NotZip;
  std::map<std::string, std::pair<unsigned long long, unsigned long long>> entries_;
};

}  // namespace velmora
