// Whole-file reads and atomic writes. Paths are UTF-8.
#pragma once
#include <cstddef>
#include <string>

namespace velmora {

// Missing: there is no file by that name. CannotOpen: there is one, but it cannot be opened or it
// is no regular file (a folder, FIFO, socket or device). ReadShort: a read failed part way.
enum class ReadStatus { Ok, Missing, CannotOpen, TooLarge, ReadShort };

struct FileRead {
  ReadStatus status = ReadStatus::CannotOpen;
  std::string bytes;  // what was read; kept after a ReadShort
  std::string error;  // the system's reason when status is not Ok (UTF-8)
};

// Every file the program takes in is read through these two. Only a regular file is read; nothing
// blocks on a FIFO or a device. ReadWholeFile refuses a file of more than `maxSize` bytes
// (TooLarge, nothing kept); ReadFileStart reads its first `count` bytes.
FileRead ReadWholeFile(const std::string& path, std::size_t maxSize);
FileRead ReadFileStart(const std::string& path, std::size_t count);

// Writes under a temporary name in the same folder and renames it over `path` only when
// every write succeeded. Returns an empty string on success, else the system's error text
// (UTF-8). The earlier file is never damaged.
std::string WriteFileAtomic(const std::string& path, const std::string& bytes);

bool FileExists(const std::string& path);
// Both paths name the same existing file (through links, letter case or "..").
bool SameFile(const std::string& a, const std::string& b);
// Path parts on "/" and "\".
std::string FolderOf(const std::string& path);
std::string FileNameOf(const std::string& path);
std::string ExtensionOf(const std::string& path);   // with its dot, "" when none
std::string LowerExtensionOf(const std::string& path);   // the same in small letters
std::string ReplaceExtension(const std::string& path, const std::string& extension);
// `name` in `folder`, joined by "/" unless the folder ends in "/" or "\"; `name` for no folder.
std::string JoinPath(const std::string& folder, const std::string& name);

// Path parts on this system's own separators only ("/", and "\" too on Windows), for paths the
// system or the operator gives: the folder ("." when there is none, the root for a file in it,
// nothing else trimmed) and the name.
std::string ParentFolder(const std::string& path);
std::string BaseName(const std::string& path);

}  // namespace velmora
