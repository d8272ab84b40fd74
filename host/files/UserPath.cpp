// Paths the user names, opened exactly as named.
#include "UserPath.h"

#include <algorithm>

#include "ScopedWin.h"

namespace {

const wchar_t longPrefix[] = L"\\\\?\\";
const size_t longestPath = 32767;     // characters of a \\?\ path
const size_t longestUnixPath = 4095;  // bytes, under Wine
const size_t longestName = 255;       // characters, and bytes in UTF-8
SRWLOCK writing = SRWLOCK_INIT;       // held while a file is written and renamed

bool StartsWith(const std::wstring& text, const wchar_t* start) {
  return text.compare(0, wcslen(start), start) == 0;
}

// "\\?\Z:\" or "\\?\UNC\server\share\": what precedes the first part.
size_t RootLength(const std::wstring& full) {
  size_t at = wcslen(longPrefix);
  for (int separators = StartsWith(full, L"\\\\?\\UNC\\") ? 3 : 1; at < full.size() && separators;)
    separators -= full[at++] == L'\\';
  return at;
}

// `root` and the parts of `rest`, "." and ".." resolved, empty parts dropped.
std::wstring Resolve(std::wstring full, const std::wstring& rest) {
  const size_t root = full.size();
  for (size_t start = 0, end = 0; start <= rest.size(); start = end + 1) {
    end = std::min(rest.find(L'\\', start), rest.size());
    std::wstring part = rest.substr(start, end - start);
    if (part == L"..")
      full.resize(std::max(root, full.rfind(L'\\')));
    else if (!part.empty() && part != L".")
      full += (full.size() > root ? L"\\" : L"") + part;
  }
  return full;
}

// Bytes of the Unix path Wine opens for the root, through the prefix (such as
// "<prefix>/dosdevices/z:/" for "\\?\Z:\"); 0 outside Wine.
size_t UnixRootBytes(const std::wstring& full) {
  typedef char*(CDECL * UnixName)(const wchar_t*);
  auto unixName =
      (UnixName)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  wchar_t prefix[MAX_PATH];  // "\??\Z:\...\prefix", as Wine sets it
  DWORD n = GetEnvironmentVariableW(L"WINECONFIGDIR", prefix, MAX_PATH);
  if (!unixName || n < 4 || n >= MAX_PATH)
    return 0;
  prefix[1] = L'\\';  // the same folder in the \\?\ form
  char* name = unixName(prefix);
  size_t bytes = name ? strlen(name) + strlen("/dosdevices/") : 0, start = wcslen(longPrefix);
  HeapFree(GetProcessHeap(), 0, name);
  return bytes ? bytes + Utf8Bytes(full.substr(start, RootLength(full) - start)) : 0;
}

// The reasons a path can fail for, whatever was being done with it.
std::wstring Reason(const std::wstring& full, DWORD error) {
  if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
    return L"no permission";
  if (!PathFitsLimits(full) || error == ERROR_FILENAME_EXCED_RANGE)
    return L"the path is too long";
  wchar_t text[256] = L"";
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, text, 256, nullptr);
  while (n > 0 && wcschr(L"\r\n.", text[n - 1]))
    --n;
  return n > 0 ? std::wstring(text, n) : L"error " + std::to_wstring(error);
}

}  // namespace

std::wstring UserPath(const std::wstring& typed) {
  std::wstring p = typed;
  std::replace(p.begin(), p.end(), L'/', L'\\');
  if (StartsWith(p, longPrefix) || StartsWith(p, L"\\\\.\\"))
    return p;  // as the system takes it
  if (!typed.empty() && typed[0] == L'/')
    p = L"Z:" + p;
  if (StartsWith(p, L"\\\\") || (p.size() >= 3 && p[1] == L':' && p[2] == L'\\')) {
    std::wstring full = longPrefix + (p[0] == L'\\' ? L"UNC" + p.substr(1) : p);
    size_t root = RootLength(full);
    return Resolve(full.substr(0, root), full.substr(root));
  }
  wchar_t base[MAX_PATH];  // the current folder, of the drive for "C:rest"
  DWORD n = GetFullPathNameW(p.size() >= 2 && p[1] == L':' ? p.substr(0, 2).c_str() : L".",
                             MAX_PATH, base, nullptr);
  std::wstring folder(base, n > 0 && n < MAX_PATH ? n : 0);
  if (folder.empty())
    return std::wstring(longPrefix) + p;
  if (!p.empty() && p[0] == L'\\')
    return UserPath(folder.substr(0, 2) + p);  // from the root
  return UserPath(folder + L"\\" + (p.size() >= 2 && p[1] == L':' ? p.substr(2) : p));
}

size_t Utf8Bytes(const std::wstring& text) {
  return WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr,
                             nullptr);
}

std::wstring InFolder(const std::wstring& full, const std::wstring& name) {
  return full + (full.empty() || full.back() == L'\\' ? L"" : L"\\") + name;
}

bool FitsNameLimits(const std::wstring& name) {
  return name.size() <= longestName && Utf8Bytes(name) <= longestName;
}

bool PathFitsLimits(const std::wstring& full) {
  size_t root = RootLength(full), rootBytes = UnixRootBytes(full);
  for (size_t start = root, end = 0; start < full.size(); start = end + 1) {
    end = std::min(full.find(L'\\', start), full.size());
    if (!FitsNameLimits(full.substr(start, end - start)))
      return false;
  }
  return full.size() <= longestPath &&
         (rootBytes == 0 || rootBytes + Utf8Bytes(full.substr(root)) <= longestUnixPath);
}

PathKind KindAt(const std::wstring& full) {
  // A name of the device namespace itself: "\\.\CONIN$", "\\?\NUL".
  if ((StartsWith(full, L"\\\\.\\") || StartsWith(full, longPrefix)) &&
      full.find(L'\\', wcslen(longPrefix)) == std::wstring::npos) {
    return PathKind::PipeOrDevice;
  }
  DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Folder : PathKind::File;
  DWORD error = GetLastError();
  bool pattern = full.find_first_of(L"*?", RootLength(full)) != std::wstring::npos;
  if (error == ERROR_FILE_NOT_FOUND && !pattern) {
    // Wine finds a link that leads nowhere in its folder but gives no entry.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(full.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
      FindClose(search);
    else if (GetLastError() == ERROR_NO_MORE_FILES)
      return PathKind::BrokenLink;
  }
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    return PathKind::Nothing;
  // Wine's answer for a pipe or a device.
  return error == ERROR_INVALID_PARAMETER ? PathKind::PipeOrDevice : PathKind::Unknown;
}

std::wstring KindWords(PathKind kind) {
  const wchar_t* words[] = {L"", L"a file", L"a folder", L"a pipe or a device", L"a broken link",
                            L""};  // in the order of PathKind
  return words[(int)kind];
}

bool IsNoFile(PathKind kind) {
  return kind == PathKind::Folder || kind == PathKind::PipeOrDevice || kind == PathKind::BrokenLink;
}

std::wstring WhyNotCreated(const std::wstring& full, DWORD error) {
  PathKind kind = KindAt(full);
  bool denied = error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
  if (IsNoFile(kind) || (kind == PathKind::File && !denied))
    return KindWords(kind) + L" of that name exists";
  if (error == ERROR_PATH_NOT_FOUND && PathFitsLimits(full))
    return L"its folder does not exist";
  // Linux answers "not found" for a new name where nothing may be made (/proc).
  return error == ERROR_FILE_NOT_FOUND && PathFitsLimits(full) ? L"nothing may be made there"
                                                               : Reason(full, error);
}

bool MakeFolders(const std::wstring& full, std::vector<std::wstring>* made, std::wstring* why) {
  for (size_t end = RootLength(full); end <= full.size(); ++end) {
    if (end < full.size() && full[end] != L'\\')
      continue;
    std::wstring folder = full.substr(0, end);
    if (CreateDirectoryW(folder.c_str(), nullptr)) {
      made->push_back(folder);
      continue;
    }
    DWORD error = GetLastError();
    PathKind kind = KindAt(folder);  // there already, or just made by another host
    if (kind == PathKind::Folder)
      continue;
    bool inPath = end < full.size() && (kind == PathKind::File || IsNoFile(kind));
    *why = inPath ? KindWords(kind) + L" stands in its path" : WhyNotCreated(folder, error);
    RemoveFolders(*made);
    return false;
  }
  return true;
}

void RemoveFolders(const std::vector<std::wstring>& made) {
  // RemoveDirectoryW takes only empty folders: what another program put in stays.
  for (size_t i = made.size(); i > 0; --i)
    RemoveDirectoryW(made[i - 1].c_str());
}

std::wstring TemporaryName(const std::wstring& name) {
  wchar_t tag[10];
  _snwprintf(tag, 10, L"%08lx~", GetCurrentProcessId());  // 9 characters
  size_t keep = name.size() > 9 ? name.size() - 9 : 0;
  keep -= keep > 0 && IS_HIGH_SURROGATE(name[keep - 1]);  // not half a pair
  std::wstring temporary = name.substr(0, keep) + std::wstring(tag, 9);
  return temporary.substr(temporary.size() > name.size() ? temporary.size() - name.size() : 0);
}

bool WriteWholeFile(const std::wstring& path, const std::vector<BYTE>& bytes, std::wstring* why) {
  size_t name = path.find_last_of(L"\\/") + 1;
  std::wstring temporary = path.substr(0, name) + TemporaryName(path.substr(name));
  AcquireSRWLockExclusive(&writing);
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0, written = 0;
  if (error) {
    *why = WhyNotCreated(temporary, error);
  } else if (!WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) ||
             written != bytes.size()) {
    error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    *why = Reason(path, error);
  }
  if (file != INVALID_HANDLE_VALUE)
    CloseHandle(file);
  if (!error && !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
    *why = WhyNotCreated(path, error = GetLastError());
  if (error)
    DeleteFileW(temporary.c_str());
  ReleaseSRWLockExclusive(&writing);
  return !error;
}

void StopFileWrites() {
  AcquireSRWLockExclusive(&writing);
}

HANDLE OpenRegularFile(const std::wstring& full, std::wstring* why) {
  PathKind kind = KindAt(full);
  // Wine opens a pipe without waiting for its writer; its type refuses one
  // that appeared since, before any read could wait.
  HANDLE file = IsNoFile(kind) ? INVALID_HANDLE_VALUE
                               : CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
  DWORD error = GetLastError();
  if (file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK)
    return file;
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    kind = PathKind::PipeOrDevice;
  }
  bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  *why = kind == PathKind::PipeOrDevice    ? L"it is not a regular file (a pipe or a device)"
         : IsNoFile(kind)                  ? L"it is " + KindWords(kind) + L", not a file"
         : missing && PathFitsLimits(full) ? L"there is no such file"
                                           : Reason(full, error);
  return INVALID_HANDLE_VALUE;
}
