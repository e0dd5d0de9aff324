// Path conventions of script runs. Backslash is the separator; a backslash or colon that is the
// second byte of a double-byte character does not count. Pure text: the file system is never
// asked.
#pragma once

#include <string>

namespace velmora {

// Up to and including the last backslash or colon; empty when there is neither.
std::string DirectoryPart(const std::string& path);
// The text after the last backslash or colon.
std::string FileNamePart(const std::string& path);
// From the last '.' after the last backslash or colon, dot included; empty when there is none.
std::string Extension(const std::string& path);
// `name` without its extension (when it has one), followed by `extension` (may be empty).
std::string ReplaceExtension(const std::string& name, const std::string& extension);
// One level up from a directory ending with a backslash: D:\a\b\ gives D:\a\; a root such as
// C:\ stays C:\.
std::string OneLevelUp(const std::string& dir);
// Applies a #SrcPath or #DestPath value: the empty text, or one or more ".." joined by single
// backslashes with an optional trailing backslash. On success `base_dir` moves up; on failure
// it is left as it was.
bool ResolveRelativePath(std::string& base_dir, const std::string& relative);

// A front-end on a system whose separator is '/' says so (Velmora.exe never does): paths the run
// built are then shown with '/', and the folder keys #SrcPath and #DestPath accept '/' as every
// other path does. Texts the script wrote (rule lines, #RunBegin, #RunEnd) are shown as written.
void SetSlashSeparatesFolders(bool slashes);
bool SlashSeparatesFolders();

// A path the run built, as messages show it: as it is, or with '/' for every backslash that is a
// character of its own while a slash separates folders.
std::string ShownPath(const std::string& path);

// The value of #SrcPath or #DestPath with every '/' read as '\' while a slash separates folders.
std::string FolderKeyValue(const std::string& value);

// The path of the file that the value of #SrcFile or #DestFile names in the folder `dir` (ending
// with a backslash): `dir` followed by the value. While a slash separates folders, a value that
// begins with '/' is a path from that system's root and is taken as it is (with '\' for '/'),
// and a value that names a drive or a network share ("C:...", "\\server..."), which such a
// system does not have, is refused: false.
bool FileKeyPath(const std::string& dir, const std::string& value, std::string* path);

}  // namespace velmora
