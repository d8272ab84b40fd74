// Paths the user names, as the host opens them: exactly as named.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The full path in the \\?\ form: no device name (AUX, CON, ...) applies,
// trailing dots and blanks stay, a path may pass 260 characters, "." and ".."
// are resolved. A path starting with / is a Unix path, on drive Z:.
std::wstring UserPath(const std::wstring& typed);
// `name` inside the folder `full`, with one separator between them.
std::wstring InFolder(const std::wstring& full, const std::wstring& name);

size_t Utf8Bytes(const std::wstring& text);
// One name: at most 255 characters and 255 bytes in UTF-8.
bool FitsNameLimits(const std::wstring& name);
// Every part fits FitsNameLimits, the whole at most 32767 characters and,
// under Wine, its Unix path at most 4095 bytes.
bool PathFitsLimits(const std::wstring& full);

// Unknown when the system does not say (no permission to look, a path too long).
enum class PathKind { Nothing, File, Folder, PipeOrDevice, BrokenLink, Unknown };
PathKind KindAt(const std::wstring& full);
std::wstring KindWords(PathKind kind);  // "a file", ...; "" for Nothing and Unknown
// A folder, a pipe or a device, or a broken link: no regular file.
bool IsNoFile(PathKind kind);

// Why `full` could not be created after `error`, in words.
std::wstring WhyNotCreated(const std::wstring& full, DWORD error);

// Makes the folder `full` and those missing above it, adding each to `made`;
// on a failure it removes them again and says why.
bool MakeFolders(const std::wstring& full, std::vector<std::wstring>* made, std::wstring* why);
// Removes the folders made that are still empty, the last first.
void RemoveFolders(const std::vector<std::wstring>& made);

// A name for a file on its way to `name`: no longer, ending in this process's id.
std::wstring TemporaryName(const std::wstring& name);
// Writes `bytes` under a temporary name beside `path`, then renames it into
// place (replacing a link, never writing through it); none stays on a failure.
bool WriteWholeFile(const std::wstring& path, const std::vector<BYTE>& bytes, std::wstring* why);
// Waits for a write under way and lets no other begin: for a process ending.
void StopFileWrites();

// Opens a regular file for reading; anything else is refused, never read (a
// pipe would wait for a writer), with `why` in words.
HANDLE OpenRegularFile(const std::wstring& full, std::wstring* why);
