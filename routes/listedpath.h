// Paths listed in Dorlan's files. Dorlan runs on Windows: its paths use "\" and drive
// letters and name files without regard to letter case. The resolver works on that
// Windows form (UTF-8); MapToFileSystem turns a result into a path this system can open.
#pragma once
#include <string>

namespace velmora {

// The full path of `listed` for a base folder ending in "\". Pure: no file is touched.
std::string ResolveListedPath(const std::string& baseFolder, const std::string& listed);

// The folder of a local path (made absolute) in the Windows form, ending in "\":
// "/home/u/grp/a.mrg" gives "\home\u\grp\".
std::string WindowsFormFolder(const std::string& localPath);

// On Windows the path as it is. Elsewhere "\" becomes "/" and each folder and file name
// that does not exist as written is looked up without regard to letter case. A path with
// a drive letter or a share gives "", a path that cannot be opened.
std::string MapToFileSystem(const std::string& windowsPath);

// The folder of a local path (made absolute) as the file system gives it, without a final separator
// except for a root.
std::string LocalFolderOf(const std::string& localPath);

// The path this system opens for a path listed in a file of `localFolder`: resolved as
// ResolveListedPath does, with only the listed part read in the Windows form and mapped as
// MapToFileSystem maps it; the folder's own name is taken as it is, whatever it holds. "" when the
// listed path cannot be opened here (a drive letter or a share elsewhere).
std::string LocalListedPath(const std::string& localFolder, const std::string& listed);

// Letter case folded for comparing names (ASCII, Latin-1 and Cyrillic); UTF-8 in.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

}  // namespace velmora
