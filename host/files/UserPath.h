// Paths the user names (a script, the output folder, the item library, a
// snapshot), as the host opens them: exactly as named.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The full path in the \\?\ form, so that no device name (AUX, CON, ...)
// applies, trailing dots and blanks stay, and a path may pass 260
// characters. A path starting with / is a Unix path, on drive Z: (Wine's
// view of /). Relative paths start from the current folder; "." and ".."
// parts are resolved; nothing else is changed.
std::wstring UserPath(const std::wstring& typed);

// `name` inside the folder `full`, with one separator between them (the
// \\?\ form takes a path as written, doubled separators included).
std::wstring InFolder(const std::wstring& full, const std::wstring& name);

// Bytes of the text in UTF-8.
size_t Utf8Bytes(const std::wstring& text);

// What a file system takes as one name: at most 255 characters and 255
// bytes in UTF-8.
bool FitsNameLimits(const std::wstring& name);

// Whether a full path is within the file system's limits: every part at most
// 255 characters and 255 bytes in UTF-8, the whole at most 32767 characters
// and, under Wine, its Unix path at most 4095 bytes.
bool PathFitsLimits(const std::wstring& full);

// What stands at a full path: BrokenLink, a link that leads nowhere; Unknown
// when the system does not say (no permission to look, a path too long).
enum class PathKind { Nothing, File, Folder, PipeOrDevice, BrokenLink, Unknown };
PathKind KindAt(const std::wstring& full);
// "a file", "a folder", "a pipe or a device", "a broken link"; "" for the others.
std::wstring KindWords(PathKind kind);
// Something other than a regular file stands there: a folder, a pipe or a
// device, a broken link.
bool IsNoFile(PathKind kind);

// Why `full` could not be created after a failure with `error`, in words:
// "a folder of that name exists", "a pipe or a device of that name exists",
// "the path is too long", "no permission", ...
std::wstring WhyNotCreated(const std::wstring& full, DWORD error);

// Makes the folder `full` and the folders above it that are missing, adding
// each to `made`. On a failure it removes the folders it made and says why.
bool MakeFolders(const std::wstring& full, std::vector<std::wstring>* made, std::wstring* why);
// Removes folders MakeFolders made, the last first, those still empty only.
void RemoveFolders(const std::vector<std::wstring>& made);

// A name for a file on its way to `name`: no longer than it, with this
// process's id in it, ending in ~.
std::wstring TemporaryName(const std::wstring& name);
// Writes `bytes` to `path` whole: under a temporary name beside it, then
// renamed into place, so that the name holds the old file or the new one,
// never part of one. A link standing there is replaced, never written
// through. On a failure no temporary file stays and `why` says why in words.
bool WriteWholeFile(const std::wstring& path, const std::vector<BYTE>& bytes, std::wstring* why);
// Waits for a file write under way to end, and lets no other begin: for a
// process about to end.
void StopFileWrites();

// Opens a regular file for reading; a folder, a pipe or a device is refused
// (and not read: a pipe would wait for a writer), with `why` in words.
HANDLE OpenRegularFile(const std::wstring& full, std::wstring* why);
