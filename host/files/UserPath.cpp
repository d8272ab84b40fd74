// Paths the user names, opened exactly as named.
#include "UserPath.h"

#include <vector>

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
  int separators = StartsWith(full, L"\\\\?\\UNC\\") ? 3 : 1;
  while (at < full.size() && separators > 0) {
    if (full[at++] == L'\\')
      --separators;
  }
  return at;
}

// The folder's parts, "." and ".." resolved, empty parts dropped.
std::wstring Resolve(const std::wstring& root, const std::wstring& rest) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find(L'\\', start);
    if (end == std::wstring::npos)
      end = rest.size();
    std::wstring part = rest.substr(start, end - start);
    start = end + 1;
    if (part == L"..") {
      if (!parts.empty())
        parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
  }
  std::wstring full = root;
  for (size_t i = 0; i < parts.size(); ++i)
    full += (i ? L"\\" : L"") + parts[i];
  return full;
}

// Bytes of the Unix path Wine opens for the root: Wine reaches a drive
// through the prefix, "<prefix>/dosdevices/z:/" for "\\?\Z:\" (and
// "<prefix>/dosdevices/unc/server/share/" for a share), not through the
// folder the drive stands for. 0 outside Wine.
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
  size_t bytes = name ? strlen(name) : 0, start = wcslen(longPrefix);
  if (name)
    HeapFree(GetProcessHeap(), 0, name);
  if (bytes == 0)
    return 0;
  return bytes + strlen("/dosdevices/") + Utf8Bytes(full.substr(start, RootLength(full) - start));
}

std::wstring SystemWords(DWORD error) {
  wchar_t text[256] = L"";
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, text, 256, nullptr);
  while (n > 0 && (text[n - 1] == L'\n' || text[n - 1] == L'\r' || text[n - 1] == L'.'))
    --n;
  return n > 0 ? std::wstring(text, n) : L"error " + std::to_wstring(error);
}

// The reasons a path can fail for, whatever was being done with it.
std::wstring Reason(const std::wstring& full, DWORD error) {
  if (!PathFitsLimits(full) || error == ERROR_FILENAME_EXCED_RANGE)
    return L"the path is too long";
  if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
    return L"no permission";
  return SystemWords(error);
}

}  // namespace

std::wstring UserPath(const std::wstring& typed) {
  std::wstring p = typed;
  for (wchar_t& c : p) {
    if (c == L'/')
      c = L'\\';
  }
  if (StartsWith(p, longPrefix) || StartsWith(p, L"\\\\.\\"))
    return p;  // as the system takes it
  if (!typed.empty() && typed[0] == L'/')
    p = L"Z:" + p;
  if (StartsWith(p, L"\\\\")) {
    std::wstring unc = std::wstring(longPrefix) + L"UNC\\" + p.substr(2);
    size_t root = RootLength(unc);
    return Resolve(unc.substr(0, root), unc.substr(root));
  }
  if (p.size() >= 3 && p[1] == L':' && p[2] == L'\\') {
    return Resolve(longPrefix + p.substr(0, 3), p.substr(3));
  }
  wchar_t base[MAX_PATH];
  DWORD n = p.size() >= 2 && p[1] == L':'
                ? GetFullPathNameW(p.substr(0, 2).c_str(), MAX_PATH, base, nullptr)  // "C:rest"
                : GetCurrentDirectoryW(MAX_PATH, base);
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
  if (full.size() > longestPath)
    return false;
  size_t rootBytes = UnixRootBytes(full), unixBytes = rootBytes;  // the root ends in '/'
  for (size_t start = RootLength(full); start < full.size();) {
    size_t end = full.find(L'\\', start);
    if (end == std::wstring::npos)
      end = full.size();
    std::wstring part = full.substr(start, end - start);
    if (!FitsNameLimits(part))
      return false;
    unixBytes += Utf8Bytes(part) + (start > RootLength(full) ? 1 : 0);
    start = end + 1;
  }
  return rootBytes == 0 || unixBytes <= longestUnixPath;
}

PathKind KindAt(const std::wstring& full) {
  // A name of the device namespace itself: "\\.\CONIN$", "\\?\NUL".
  if ((StartsWith(full, L"\\\\.\\") || StartsWith(full, longPrefix)) &&
      full.find(L'\\', wcslen(longPrefix)) == std::wstring::npos) {
    return PathKind::PipeOrDevice;
  }
  DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Folder : PathKind::File;
  }
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
  if (error != ERROR_INVALID_PARAMETER)
    return PathKind::Unknown;
  // Wine's answer for a pipe or a device. Opened for its attributes only, a
  // pipe does not wait for a writer.
  AutoCloseHandle file(CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
  return file.IsValid() && GetFileType(file) == FILE_TYPE_DISK ? PathKind::File
                                                               : PathKind::PipeOrDevice;
}

std::wstring KindWords(PathKind kind) {
  // In the order of PathKind.
  const wchar_t* words[] = {L"", L"a file", L"a folder", L"a pipe or a device", L"a broken link",
                            L""};
  return words[(int)kind];
}

bool IsNoFile(PathKind kind) {
  return kind == PathKind::Folder || kind == PathKind::PipeOrDevice || kind == PathKind::BrokenLink;
}

std::wstring WhyNotCreated(const std::wstring& full, DWORD error) {
  PathKind kind = KindAt(full);
  if (IsNoFile(kind))
    return KindWords(kind) + L" of that name exists";
  if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
    return L"no permission";
  if (kind == PathKind::File)
    return L"a file of that name exists";
  if (error == ERROR_PATH_NOT_FOUND && PathFitsLimits(full))
    return L"its folder does not exist";
  // Linux answers "not found" for a new name where nothing may be made (/proc).
  if (error == ERROR_FILE_NOT_FOUND && PathFitsLimits(full))
    return L"nothing may be made there";
  return Reason(full, error);
}

bool MakeFolders(const std::wstring& full, std::vector<std::wstring>* made, std::wstring* why) {
  bool ok = true;
  for (size_t end = RootLength(full); ok && end <= full.size(); ++end) {
    if (end < full.size() && full[end] != L'\\')
      continue;
    std::wstring folder = full.substr(0, end);
    PathKind kind = KindAt(folder);
    if (kind == PathKind::File || kind == PathKind::PipeOrDevice || kind == PathKind::BrokenLink) {
      *why =
          KindWords(kind) + (end < full.size() ? L" stands in its path" : L" of that name exists");
      ok = false;
    } else if (kind != PathKind::Folder) {
      ok = CreateDirectoryW(folder.c_str(), nullptr);
      DWORD error = GetLastError();
      // Another host may make the same folder at the same moment.
      if (ok)
        made->push_back(folder);
      else
        ok = KindAt(folder) == PathKind::Folder;
      if (!ok)
        *why = WhyNotCreated(folder, error);
    }
  }
  if (!ok)
    RemoveFolders(*made);
  return ok;
}

void RemoveFolders(const std::vector<std::wstring>& made) {
  // RemoveDirectoryW takes only empty folders: what another program put in stays.
  for (size_t i = made.size(); i > 0; --i)
    RemoveDirectoryW(made[i - 1].c_str());
}

std::wstring TemporaryName(const std::wstring& name) {
  wchar_t tag[16];
  _snwprintf(tag, 16, L"%08lx~", GetCurrentProcessId());
  tag[15] = 0;
  size_t keep = name.size() > wcslen(tag) ? name.size() - wcslen(tag) : 0;
  if (keep > 0 && IS_HIGH_SURROGATE(name[keep - 1]))
    --keep;  // not half a pair
  std::wstring temporary = name.substr(0, keep) + tag;
  return temporary.substr(temporary.size() > name.size() ? temporary.size() - name.size() : 0);
}

bool WriteWholeFile(const std::wstring& path, const std::vector<BYTE>& bytes, std::wstring* why) {
  size_t name = path.find_last_of(L"\\/") + 1;
  std::wstring temporary = path.substr(0, name) + TemporaryName(path.substr(name));
  AcquireSRWLockExclusive(&writing);
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0, written = 0;
  if (error)
    *why = WhyNotCreated(temporary, error);
  if (!error && (!WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) ||
                 written != bytes.size())) {
    error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    *why = Reason(path, error);
  }
  if (file != INVALID_HANDLE_VALUE)
    CloseHandle(file);
  if (!error && !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = GetLastError();
    *why = WhyNotCreated(path, error);
  }
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
  if (IsNoFile(kind)) {
    *why = kind == PathKind::PipeOrDevice ? L"it is not a regular file (a pipe or a device)"
                                          : L"it is " + KindWords(kind) + L", not a file";
    return INVALID_HANDLE_VALUE;
  }
  // Wine opens a pipe without waiting for its writer; its type refuses one
  // that appeared since, before any read could wait.
  HANDLE file =
      CreateFileW(full.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    *why = missing && PathFitsLimits(full) ? L"there is no such file" : Reason(full, error);
    return file;
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    *why = L"it is not a regular file (a pipe or a device)";
    return INVALID_HANDLE_VALUE;
  }
  return file;
}
