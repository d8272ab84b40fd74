// Paths the user names (a script, the output folder, the item library, a
// snapshot), as the host opens them: exactly as named.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The full path in the \\?\ form, so that no device name (AUX, CON, ...)
// applies, trailing dots and blanks stay, and a path may pass 260
// characters. A path starting with / is a Unix path, on drive Z: (Wine's
// view of /). "." and ".." parts are resolved; nothing else is changed.
std::wstring UserPath(const std::wstring& typed);
// `name` inside the folder `full`, with one separator between them.
std::wstring InFolder(const std::wstring& full, const std::wstring& name);

size_t Utf8Bytes(const std::wstring& text);
// One name: at most 255 characters and 255 bytes in UTF-8.
bool FitsNameLimits(const std::wstring& name);
// Every part fits FitsNameLimits, the whole at most 32767 characters and,
// under Wine, its Unix path at most 4095 bytes.
bool PathFitsLimits(const std::wstring& full);

// What stands at a full path: BrokenLink, a link that leads nowhere; Unknown
// when the system does not say (no permission to look, a path too long).
enum class PathKind { Nothing, File, Folder, PipeOrDevice, BrokenLink, Unknown };
PathKind KindAt(const std::wstring& full);
// "a file", "a folder", "a pipe or a device", "a broken link"; "" for the others.
std::wstring KindWords(PathKind kind);
// A folder, a pipe or a device, or a broken link: no regular file.
bool IsNoFile(PathKind kind);

// Why `full` could not be created after `error`, in words ("a folder of that
// name exists", "the path is too long", "no permission", ...).
std::wstring WhyNotCreated(const std::wstring& full, DWORD error);

// Makes the folder `full` and those above it that are missing, adding each to
// `made`; on a failure it removes them again and says why.
bool MakeFolders(const std::wstring& full, std::vector<std::wstring>* made, std::wstring* why);
// Removes the folders made, the last first, those still empty only.
void RemoveFolders(const std::vector<std::wstring>& made);

// A name for a file on its way to `name`: no longer than it, ending in this
// process's id and ~.
std::wstring TemporaryName(const std::wstring& name);
// Writes `bytes` under a temporary name beside `path`, then renames it into
// place (replacing a link, never writing through it): the name holds the old
// file or the new one. On a failure no temporary file stays.
bool WriteWholeFile(const std::wstring& path, const std::vector<BYTE>& bytes, std::wstring* why);
// Waits for a write under way and lets no other begin: for a process ending.
void StopFileWrites();

// Opens a regular file for reading; a folder, a pipe or a device is refused
// (never read: a pipe would wait for a writer), with `why` in words.
HANDLE OpenRegularFile(const std::wstring& full, std::wstring* why);
