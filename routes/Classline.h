// Readers of Dorlan's files: the route group file (.mrg) and the line files it lists.
// Both are sequences of length-prefixed CP1251 strings. Each file is read whole into
// memory (at most 16 MiB) and parsed from there; no length byte is trusted beyond the
// bytes present.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/fileio.h"

namespace velmora {

// A cursor over the bytes of one file.
class ByteReader {
 public:
  explicit ByteReader(const std::string& bytes) : bytes_(bytes) {}
  bool ReadByte(uint8_t& byte);
  bool ReadBytes(std::size_t n, std::string& out);
  std::size_t Remaining() const { return bytes_.size() - pos_; }

 private:
  const std::string& bytes_;
  std::size_t pos_ = 0;
};

// Group file strings: the L bytes up to the first zero byte.
bool ReadShortString(ByteReader& in, std::string& value);

struct LineString {
  std::string value;   // up to the first zero, trailing blanks removed (the first byte stays)
  std::string second;  // the bytes after that zero
  uint8_t flag = 0;    // a leading byte below 0x20, when asked for
};
// Line file strings. With `withFlag`, a first byte below 0x20 is the flag byte.
bool ReadLineString(ByteReader& in, LineString& out, bool withFlag = false);

// The format version of a line file: the signature's first four characters; a shorter
// signature has no version and counts as "0000".
std::string LineFileVersion(const std::string& signature);

// "Count=" followed by a decimal number (optional sign); the item has at least 7
// characters. False when malformed or out of range.
bool ParseCountLine(const std::string& item, long& count);

struct StopEntry {
  int index = 0;  // 0 for the first stop of the line
  std::string name;
  std::string nameSecond;
  std::string text;
  bool bit0 = false;
  bool bit2 = false;
  bool markA = false;  // flag bit 3
  bool markB = false;  // flag bit 4
};

// A Dorlan route group file. The path is a local (UTF-8) path; the entries are the
// listed line files resolved against the group's folder, in the Windows form (UTF-8).
class TRouteGroupFile {
 public:
  explicit TRouteGroupFile(std::string path);
  // True when the file was read to its end; the entries read before a failure stay.
  bool Load();

  const std::string& Path() const { return path_; }
  const std::string& Folder() const { return folder_; }  // Windows form, ends in "\"
  // The group file's folder as the file system gives it (absolute, UTF-8).
  const std::string& LocalFolder() const { return localFolder_; }
  const std::optional<std::string>& GroupName() const { return groupName_; }
  const std::vector<std::string>& Entries() const { return entries_; }
  // The paths as the group lists them (UTF-8), one for each entry.
  const std::vector<std::string>& Listed() const { return listed_; }
  // How reading the file itself went; the error is the system's reason.
  ReadStatus FileStatus() const { return fileStatus_; }
  const std::string& FileError() const { return fileError_; }

 private:
  std::string path_;
  std::string folder_;
  std::string localFolder_;
  ReadStatus fileStatus_ = ReadStatus::Missing;
  std::string fileError_;
  std::vector<std::string> listed_;
  std::optional<std::string> groupName_;
  std::vector<std::string> entries_;
};

// One Dorlan line file, read for its route designation, stop texts and stops.
class TRouteLineFile {
 public:
  // A line file can promise millions of stops; this many are kept whole.
  static constexpr std::size_t kMaxStopsKept = 4096;

  explicit TRouteLineFile(std::string path);
  ~TRouteLineFile() { Close(); }

  // True when read; a failure part way keeps what was read. A second Load of a loaded
  // file returns true without reading.
  bool Load();
  // Fills the route designation field and the two mark summaries.
  void Prepare();
  // The stop that serves as the final stop; -1 when the line has no stops.
  int FinalStopIndex() const;
  void Close();

  const std::string& Path() const { return path_; }
  const std::string& Folder() const { return folder_; }
  bool Loaded() const { return loaded_; }
  ReadStatus FileStatus() const { return fileStatus_; }
  const std::string& FileError() const { return fileError_; }
  const std::optional<std::string>& Signature() const { return signature_; }
  const std::optional<std::string>& DesignationText() const { return designationText_; }
  const std::optional<std::string>& StartStopText() const { return startStopText_; }
  const std::optional<std::string>& FinalStopText() const { return finalStopText_; }
  const std::vector<StopEntry>& Stops() const { return stops_; }
  bool HasMarkA() const { return hasMarkA_; }
  bool HasMarkB() const { return hasMarkB_; }
  // The designation as the import takes it: the field's first four characters.
  std::string Designation() const;
  const std::array<char, 8>& DesignationField() const { return designationField_; }

 private:
  bool ReadItems(ByteReader& in);

  std::string path_;
  std::string folder_;
  bool open_ = false;
  bool loaded_ = false;
  ReadStatus fileStatus_ = ReadStatus::Missing;
  std::string fileError_;
  std::optional<std::string> signature_;
  std::optional<std::string> designationText_;
  std::optional<std::string> startStopText_;
  std::optional<std::string> finalStopText_;
  std::array<char, 8> designationField_{};
  std::vector<StopEntry> stops_;
  bool hasMarkA_ = false;
  bool hasMarkB_ = false;
};

}  // namespace velmora
