// Install and uninstall as a list of changes, each with its undo. A run makes
// its changes one by one; when one fails the undos run backwards, and when
// all succeed the run commits (replaced files' old copies are deleted). A file
// is never deleted or overwritten in place: it is first renamed to a backup
// beside it, so the undo can always rename it back.
#include "DeviceInstaller.h"

#include <vector>

#include "DeviceFiles.h"
#include "ScopedWin.h"

namespace {

struct SavedValue {
  std::wstring key, name;  // "HKLM\Software\...", value name
  bool existed;
  DWORD type;
  std::vector<BYTE> data;
};

// What an install added: removed again by the uninstall, in reverse order.
struct Record {
  std::vector<std::wstring> folders, files, keys;  // device paths; "HKLM\..." keys
  std::vector<SavedValue> values;                  // each value set, as it was before
};

enum class UndoKind { RemoveFolder, DeleteFile, RestoreFile, DeleteKey, MakeKey,
                      RestoreValue };

struct Undo {
  UndoKind kind;
  std::wstring path, backup;  // desktop paths, or a "HKLM\..." key
  SavedValue value;
};

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool Contains(const std::vector<std::wstring>& list, const std::wstring& item) {
  for (const std::wstring& s : list) {
    if (SameText(s, item)) return true;
  }
  return false;
}

std::wstring DesktopPath(const std::wstring& devicePath) {
  wchar_t path[MAX_PATH];
  return DeviceFilePath(devicePath.c_str(), path, MAX_PATH) ? path : L"";
}

bool Exists(const std::wstring& path, bool* folder = nullptr) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (folder) *folder = attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_DIRECTORY);
  return attributes != INVALID_FILE_ATTRIBUTES;
}

// "HKLM\Software\X" -> root and "Software\X".
HKEY SplitKey(const std::wstring& key, std::wstring* path) {
  size_t slash = key.find(L'\\');
  *path = slash == std::wstring::npos ? L"" : key.substr(slash + 1);
  return RegistryRoot(key.substr(0, slash));
}

bool KeyExists(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  ScopedRegKey k;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.Out()) == ERROR_SUCCESS;
}

bool KeyIsEmpty(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  ScopedRegKey k;
  DWORD subkeys = 1, values = 1;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.Out()) == ERROR_SUCCESS &&
         RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

bool MakeKey(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  ScopedRegKey k;
  return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, k.Out(),
                         nullptr) == ERROR_SUCCESS;
}

bool DeleteKey(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  return RegDeleteKeyW(root, path.c_str()) == ERROR_SUCCESS;
}

SavedValue ReadValue(const std::wstring& key, const std::wstring& name) {
  SavedValue v = {key, name, false, REG_NONE, {}};
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  ScopedRegKey k;
  DWORD bytes = 0;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.Out()) != ERROR_SUCCESS ||
      RegQueryValueExW(k, name.c_str(), nullptr, &v.type, nullptr, &bytes) != ERROR_SUCCESS) {
    return v;
  }
  v.data.resize(bytes);
  v.existed = RegQueryValueExW(k, name.c_str(), nullptr, &v.type, v.data.data(), &bytes) ==
              ERROR_SUCCESS;
  v.data.resize(bytes);
  return v;
}

// Puts a value as `v` describes it: set to its data, or removed.
bool WriteValue(const SavedValue& v) {
  std::wstring path;
  HKEY root = SplitKey(v.key, &path);
  ScopedRegKey k;
  LONG r = RegOpenKeyExW(root, path.c_str(), 0, KEY_WRITE, k.Out());
  if (r != ERROR_SUCCESS) return !v.existed && r == ERROR_FILE_NOT_FOUND;
  if (!v.existed) {
    r = RegDeleteValueW(k, v.name.c_str());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
  }
  return RegSetValueExW(k, v.name.c_str(), 0, v.type, v.data.data(), (DWORD)v.data.size()) ==
         ERROR_SUCCESS;
}

// --- The record ------------------------------------------------------------

std::wstring RecordKey(const InfManifest& manifest) {
  return L"HKCU\\" INSTALLED_RECORDS_KEY L"\\" + manifest.appName;
}

void WriteList(HKEY key, const wchar_t* name, const std::vector<std::wstring>& list) {
  std::wstring multi;
  for (const std::wstring& s : list) multi += s + L'\0';
  multi += L'\0';
  RegSetValueExW(key, name, 0, REG_MULTI_SZ, (const BYTE*)multi.data(),
                 (DWORD)(multi.size() * sizeof(wchar_t)));
}

// A record's text: a string value that ends in its one NUL.
bool ReadText(const std::wstring& key, const wchar_t* name, std::wstring* text) {
  SavedValue v = ReadValue(key, name);
  size_t chars = v.data.size() / sizeof(wchar_t);
  const wchar_t* data = (const wchar_t*)v.data.data();
  if (!v.existed || v.type != REG_SZ || v.data.size() % sizeof(wchar_t) || chars == 0 ||
      data[chars - 1] != L'\0') {
    return false;
  }
  text->assign(data, chars - 1);
  return text->find(L'\0') == std::wstring::npos;
}

// A list of the record, each entry checked by `valid`.
bool ReadList(const std::wstring& key, const wchar_t* name, bool (*valid)(const std::wstring&),
              std::vector<std::wstring>* list) {
  SavedValue v = ReadValue(key, name);
  std::wstring text((const wchar_t*)v.data.data(), v.data.size() / sizeof(wchar_t));
  if (!v.existed || v.type != REG_MULTI_SZ || v.data.size() % sizeof(wchar_t)) return false;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(L'\0', start);
    if (end == std::wstring::npos) end = text.size();
    if (end > start) list->push_back(text.substr(start, end - start));
    if (end > start && !valid(list->back())) return false;
    start = end + 1;
  }
  return true;
}

bool IsRecordedPath(const std::wstring& path) {
  return path.size() > 1 && IsPlainDevicePath(path.c_str()) && path.back() != L'\\';
}

bool IsRecordedKey(const std::wstring& key) {
  std::wstring path;
  return SplitKey(key, &path) && !path.empty();
}

enum class RecordState { Missing, Damaged, Loaded };

// The record as the install left it; anything else in it is damage, which
// no uninstall acts on: its paths and keys would name someone else's things.
RecordState LoadRecord(const std::wstring& key, Record* record) {
  if (!KeyExists(key)) return RecordState::Missing;
  if (!ReadList(key, L"Folders", IsRecordedPath, &record->folders) ||
      !ReadList(key, L"Files", IsRecordedPath, &record->files) ||
      !ReadList(key, L"Keys", IsRecordedKey, &record->keys)) {
    return RecordState::Damaged;
  }
  for (int n = 1;; ++n) {
    std::wstring valueKey = key + L"\\Values\\" + std::to_wstring(n);
    if (!KeyExists(valueKey)) break;
    SavedValue v = ReadValue(valueKey, L"Previous");
    if (!ReadText(valueKey, L"Key", &v.key) || !IsRecordedKey(v.key) ||
        !ReadText(valueKey, L"Name", &v.name)) {
      return RecordState::Damaged;
    }
    record->values.push_back(v);
  }
  return RecordState::Loaded;
}

bool RecordDamaged(const std::wstring& key, RecordState state, std::wstring* report) {
  if (state == RecordState::Damaged) {
    *report = L"the install record " + key +
              L" is damaged; nothing was changed (remove the product's files and the record "
              L"by hand)";
  }
  return state == RecordState::Damaged;
}

bool SaveRecord(const std::wstring& key, const Record& record) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  RegDeleteTreeW(root, path.c_str());
  ScopedRegKey k;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, k.Out(), nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  WriteList(k, L"Folders", record.folders);
  WriteList(k, L"Files", record.files);
  WriteList(k, L"Keys", record.keys);
  for (size_t i = 0; i < record.values.size(); ++i) {
    const SavedValue& v = record.values[i];
    ScopedRegKey entry;
    std::wstring name = L"Values\\" + std::to_wstring(i + 1);
    if (RegCreateKeyExW(k, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, entry.Out(),
                        nullptr) != ERROR_SUCCESS ||
        RegSetValueExW(entry, L"Key", 0, REG_SZ, (const BYTE*)v.key.c_str(),
                       (DWORD)((v.key.size() + 1) * 2)) != ERROR_SUCCESS ||
        RegSetValueExW(entry, L"Name", 0, REG_SZ, (const BYTE*)v.name.c_str(),
                       (DWORD)((v.name.size() + 1) * 2)) != ERROR_SUCCESS ||
        (v.existed && RegSetValueExW(entry, L"Previous", 0, v.type, v.data.data(),
                                     (DWORD)v.data.size()) != ERROR_SUCCESS)) {
      return false;
    }
  }
  return true;
}

void DropRecord(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  RegDeleteTreeW(root, path.c_str());
  // The records' own parent keys go when the last record does.
  for (std::wstring parent = key; (parent = parent.substr(0, parent.rfind(L'\\'))) !=
                                  L"HKCU\\Software";) {
    if (!KeyIsEmpty(parent) || !DeleteKey(parent)) break;
  }
}

// --- One run: changes with their undos -----------------------------------

class Run {
public:
  explicit Run(std::wstring* report) : report_(report) {}

  bool MakeFolders(const std::wstring& deviceFolder, Record* record);
  bool PlaceFile(const InfFile& file);
  bool RemoveFile(const std::wstring& devicePath);
  bool MakeKeys(const std::wstring& key, Record* record);
  bool SetValue(const SavedValue& value);
  void RemoveKeyIfEmpty(const std::wstring& key);

  InstallResult Fail(const std::wstring& what);
  InstallResult Commit(const std::wstring& what);

private:
  bool Failed(const std::wstring& what) {
    *report_ = what;
    return false;
  }
  void UndoAll();
  bool MoveAside(const std::wstring& devicePath, const wchar_t* doing);

  std::wstring* report_;
  std::vector<Undo> undos_;
};

bool Run::MakeFolders(const std::wstring& deviceFolder, Record* record) {
  for (size_t slash = 1; slash != std::wstring::npos;) {
    slash = deviceFolder.find(L'\\', slash + 1);
    std::wstring device = deviceFolder.substr(0, slash), path = DesktopPath(device);
    bool folder;
    if (Exists(path, &folder)) {
      if (!folder) return Failed(device + L" is a file, not a folder");
      continue;
    }
    if (!CreateDirectoryW(path.c_str(), nullptr)) {
      return Failed(L"cannot make the folder " + device + L" (error " +
                    std::to_wstring(GetLastError()) + L")");
    }
    undos_.push_back({UndoKind::RemoveFolder, path, L"", {}});
    if (!Contains(record->folders, device)) record->folders.push_back(device);
  }
  return true;
}

// Renames a file to a backup beside it; the undo renames it back. A read-only
// file is refused: the commit could not delete its backup.
bool Run::MoveAside(const std::wstring& devicePath, const wchar_t* doing) {
  std::wstring path = DesktopPath(devicePath), backup = path + L".~undo";
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    return Failed(std::wstring(L"cannot ") + doing + L" " + devicePath + L": it is read-only");
  }
  DeleteFileW(backup.c_str());
  if (!MoveFileExW(path.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return Failed(std::wstring(L"cannot ") + doing + L" " + devicePath + L" (error " +
                  std::to_wstring(GetLastError()) + L"); is it in use?");
  }
  undos_.push_back({UndoKind::RestoreFile, path, backup, {}});
  return true;
}

bool Run::PlaceFile(const InfFile& file) {
  std::wstring path = DesktopPath(file.target);
  if (Exists(path) && !MoveAside(file.target, L"replace")) return false;
  if (!CopyFileW(file.source.c_str(), path.c_str(), TRUE)) {
    return Failed(L"cannot copy " + file.source + L" to " + file.target + L" (error " +
                  std::to_wstring(GetLastError()) + L")");
  }
  undos_.push_back({UndoKind::DeleteFile, path, L"", {}});
  return true;
}

bool Run::RemoveFile(const std::wstring& devicePath) {
  return !Exists(DesktopPath(devicePath)) || MoveAside(devicePath, L"remove");
}

bool Run::MakeKeys(const std::wstring& key, Record* record) {
  for (size_t slash = key.find(L'\\'); slash != std::wstring::npos;) {
    slash = key.find(L'\\', slash + 1);
    std::wstring level = key.substr(0, slash);
    if (KeyExists(level)) continue;
    if (!MakeKey(level)) return Failed(L"cannot create the registry key " + level);
    undos_.push_back({UndoKind::DeleteKey, level, L"", {}});
    if (record && !Contains(record->keys, level)) record->keys.push_back(level);
  }
  return true;
}

bool Run::SetValue(const SavedValue& value) {
  SavedValue before = ReadValue(value.key, value.name);
  if (!WriteValue(value)) return Failed(L"cannot write " + value.key + L" " + value.name);
  undos_.push_back({UndoKind::RestoreValue, L"", L"", before});
  return true;
}

void Run::RemoveKeyIfEmpty(const std::wstring& key) {
  if (KeyIsEmpty(key) && DeleteKey(key)) undos_.push_back({UndoKind::MakeKey, key, L"", {}});
}

void Run::UndoAll() {
  for (size_t i = undos_.size(); i-- > 0;) {
    const Undo& u = undos_[i];
    switch (u.kind) {
      case UndoKind::RemoveFolder: RemoveDirectoryW(u.path.c_str()); break;
      case UndoKind::DeleteFile: DeleteFileW(u.path.c_str()); break;
      case UndoKind::RestoreFile:
        DeleteFileW(u.path.c_str());
        MoveFileExW(u.backup.c_str(), u.path.c_str(), MOVEFILE_REPLACE_EXISTING);
        break;
      case UndoKind::DeleteKey: DeleteKey(u.path); break;
      case UndoKind::MakeKey: MakeKey(u.path); break;
      case UndoKind::RestoreValue: WriteValue(u.value); break;
    }
  }
  undos_.clear();
}

InstallResult Run::Fail(const std::wstring& what) {
  UndoAll();
  *report_ = what + L"; everything it had changed is put back";
  return InstallResult::RolledBack;
}

InstallResult Run::Commit(const std::wstring& what) {
  for (const Undo& u : undos_) {
    if (u.kind == UndoKind::RestoreFile) DeleteFileW(u.backup.c_str());
  }
  undos_.clear();
  *report_ = what;
  return InstallResult::Done;
}

bool DeviceRootReady(std::wstring* report) {
  bool folder;
  if (Exists(DesktopPath(L"\\"), &folder) && folder) return true;
  *report = L"the device's file system (" DEVICE_ROOT_DRIVE
            L") is not there: start the session with build/wine-session start";
  return false;
}

}  // namespace

InstallResult InstallManifest(const InfManifest& manifest, std::wstring* report) {
  if (!DeviceRootReady(report)) return InstallResult::Refused;
  std::wstring recordKey = RecordKey(manifest);
  Record old, record;
  RecordState state = LoadRecord(recordKey, &old);
  if (RecordDamaged(recordKey, state, report)) return InstallResult::Refused;
  bool installed = state == RecordState::Loaded;
  record = old;
  // Checks that change nothing: every source is there, and no file of someone
  // else's would be overwritten.
  for (const InfFile& f : manifest.files) {
    bool folder;
    if (!Exists(f.source, &folder) || folder) {
      *report = L"line " + std::to_wstring(f.line) + L": the source file " + f.source +
                L" is missing; nothing was changed";
      return InstallResult::Refused;
    }
    if (Exists(DesktopPath(f.target)) && !Contains(old.files, f.target)) {
      *report = L"line " + std::to_wstring(f.line) + L": " + f.target +
                L" is already on the device and is not " + manifest.appName +
                L"'s; nothing was changed";
      return InstallResult::Refused;
    }
  }
  Run run(report);
  for (const InfValue& v : manifest.values) {
    SavedValue value = {v.key, v.name, true, v.type, {}};
    if (v.type == REG_DWORD) {
      value.data.assign((const BYTE*)&v.number, (const BYTE*)&v.number + sizeof(DWORD));
    } else {
      value.data.assign((const BYTE*)v.text.c_str(),
                        (const BYTE*)(v.text.c_str() + v.text.size() + 1));
    }
    SavedValue before = ReadValue(v.key, v.name);
    if (v.keepExisting && before.existed) continue;
    bool known = false;
    for (const SavedValue& s : record.values) known = known || (SameText(s.key, v.key) &&
                                                               SameText(s.name, v.name));
    if (!run.MakeKeys(v.key, &record) || !run.SetValue(value)) return run.Fail(*report);
    if (!known) record.values.push_back(before);
  }
  for (const InfFile& f : manifest.files) {
    if (!run.MakeFolders(f.target.substr(0, f.target.rfind(L'\\')), &record) ||
        !run.PlaceFile(f)) {
      return run.Fail(*report);
    }
    if (!Contains(record.files, f.target)) record.files.push_back(f.target);
  }
  // The record is written last: a run that fails before it leaves the old one.
  if (!run.MakeKeys(recordKey.substr(0, recordKey.rfind(L'\\')), nullptr) ||
      !SaveRecord(recordKey, record)) {
    if (installed) SaveRecord(recordKey, old);
    else DropRecord(recordKey);
    return run.Fail(L"cannot write the install record " + recordKey);
  }
  return run.Commit((installed ? L"installed " + manifest.appName + L" again: "
                               : L"installed " + manifest.appName + L": ") +
                    std::to_wstring(manifest.files.size()) + L" files, " +
                    std::to_wstring(manifest.values.size()) + L" registry values");
}

InstallResult UninstallManifest(const InfManifest& manifest, std::wstring* report) {
  if (!DeviceRootReady(report)) return InstallResult::Refused;
  std::wstring recordKey = RecordKey(manifest);
  Record record;
  RecordState state = LoadRecord(recordKey, &record);
  if (RecordDamaged(recordKey, state, report)) return InstallResult::Refused;
  if (state == RecordState::Missing) {
    // Files of the manifest without a record are not known to be ours.
    for (const InfFile& f : manifest.files) {
      if (Exists(DesktopPath(f.target))) {
        *report = L"there is no install record of " + manifest.appName + L", yet " + f.target +
                  L" is on the device; nothing was removed (remove it by hand)";
        return InstallResult::Refused;
      }
    }
    *report = manifest.appName + L" is not installed; nothing to do";
    return InstallResult::Done;
  }
  Run run(report);
  for (const std::wstring& file : record.files) {
    if (!run.RemoveFile(file)) return run.Fail(*report);
  }
  for (size_t i = record.values.size(); i-- > 0;) {
    if (KeyExists(record.values[i].key) && !run.SetValue(record.values[i])) {
      return run.Fail(*report);
    }
  }
  // Keys and folders it made go when they are empty; anything another
  // program put in them since keeps them.
  for (size_t i = record.keys.size(); i-- > 0;) run.RemoveKeyIfEmpty(record.keys[i]);
  DropRecord(recordKey);
  run.Commit(L"uninstalled " + manifest.appName);
  // After the commit has deleted the removed files' backups.
  for (size_t i = record.folders.size(); i-- > 0;) {
    RemoveDirectoryW(DesktopPath(record.folders[i]).c_str());
  }
  return InstallResult::Done;
}
