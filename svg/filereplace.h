// glimshape — svg
// Purpose: replacing a file's contents as a careful editor saves: the whole new contents or
// the old file, with the target's permissions, links and kind respected.
#ifndef GLIM_SVG_FILEREPLACE_H
#define GLIM_SVG_FILEREPLACE_H

#include <string>

/// @brief Makes @p fileName hold exactly @p content.
///
/// - A new or ordinary file: the content goes into a new file beside it, which is renamed
///   over it only when everything was written, so a failed save leaves the old file whole.
///   A new file gets the permissions of any new file (0666 less the umask); an existing one
///   keeps its permission bits, its owner and its group.
/// - A symbolic link is followed to the file it names, and that file is replaced (the
///   temporary file beside it); a dangling link creates the file it names. The link stays.
/// - A target that exists and is not a regular file (a directory, named pipe, device or
///   socket), or that the user may not write, is refused and left alone.
/// - A file with more than one hard link, or whose owner or group a new file could not
///   keep, or beside which no file can be made (a folder the user may not write to) while
///   the file itself is writable, is written in place from memory, so its links and owner
///   stay. Only then can a failed write leave it damaged, and the reason says so.
///
/// The temporary name is short (".glim" and six characters), so the longest legal file
/// name can be replaced; it never reuses an existing file.
/// @param fileName the file to write.
/// @param content the complete new contents.
/// @param reason on failure, why: the system's reason ("No space left on device"), the kind
///        of a refused target ("it is a directory, not a regular file"), followed by "; the
///        file may be damaged" when an in-place write failed half-way.
/// @return true when the file holds @p content.
bool replaceFileContents(const std::string& fileName, const std::string& content,
                         std::string& reason);

/// @brief Creates @p fileName holding exactly @p content, never replacing a file.
///
/// The content goes into a new file beside it, which is then linked under the name, so the
/// name shows either nothing or the whole content, and a file that appeared meanwhile is kept.
/// @param reason on failure, why: "the file exists already", or the system's reason.
/// @return true when the file was created with @p content.
bool createFileWithContents(const std::string& fileName, const std::string& content,
                            std::string& reason);

#endif
