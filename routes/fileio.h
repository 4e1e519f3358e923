// Whole-file reads and atomic writes. Paths are UTF-8.
#pragma once
#include <cstddef>
#include <string>

namespace velmora {

enum class ReadStatus { Ok, CannotOpen, TooLarge, ReadShort };

struct FileRead {
  ReadStatus status = ReadStatus::CannotOpen;
  std::string bytes;
};

FileRead ReadWholeFile(const std::string& path, std::size_t maxSize);

// Writes under a temporary name in the same folder and renames it over `path` only when
// every write succeeded. Returns an empty string on success, else the system's error text
// (UTF-8). The earlier file is never damaged.
std::string WriteFileAtomic(const std::string& path, const std::string& bytes);

bool FileExists(const std::string& path);
// Path parts on "/" and "\".
std::string FolderOf(const std::string& path);
std::string FileNameOf(const std::string& path);
std::string ExtensionOf(const std::string& path);   // with its dot, "" when none
std::string ReplaceExtension(const std::string& path, const std::string& extension);

}  // namespace velmora
