// Install and uninstall as a plan of changes. The plan is written whole
// before the first change; each change can be undone whatever part of it was
// done, so a run cut off anywhere before its commit is rolled back by the
// next one. The commit is one write of the record (or its removal); what is
// left after it (backups, empty folders and keys) is removed by whichever run
// gets there. A file is never written in place: it goes in under PATH.~new
// and is renamed over, and a file it replaces or removes first steps aside to
// PATH.~old.
#include "DeviceInstaller.h"

#include <algorithm>

#include "DeviceFiles.h"
#include "InstallRecord.h"

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool Contains(const std::vector<std::wstring>& list, const std::wstring& item) {
  for (const std::wstring& s : list) {
    if (SameText(s, item))
      return true;
  }
  return false;
}

std::wstring DesktopPath(const std::wstring& devicePath) {
  wchar_t path[MAX_PATH];
  return DeviceFilePath(devicePath.c_str(), path, MAX_PATH) ? path : L"";
}

bool Exists(const std::wstring& path, bool* folder = nullptr) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (folder)
    *folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  return attributes != INVALID_FILE_ATTRIBUTES;
}

std::wstring ErrorText(DWORD error) {
  if (!error)
    return L"";
  wchar_t text[200] = L"";
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 text, 200, nullptr);
  std::wstring s = text;
  while (!s.empty() && (iswspace(s.back()) || s.back() == L'.'))
    s.pop_back();
  return L" (error " + std::to_wstring(error) + (s.empty() ? L")" : L": " + s + L")");
}

// Each level of a device folder or a registry key below its root.
std::vector<std::wstring> Levels(const std::wstring& path, size_t from) {
  std::vector<std::wstring> levels;
  for (size_t slash = from; slash != std::wstring::npos;) {
    slash = path.find(L'\\', slash + 1);
    levels.push_back(path.substr(0, slash));
  }
  return levels;
}

enum class Found { None, Damaged, Whole };

class Transaction {
public:
  Transaction(const InfManifest& manifest, const StepCheck& check, std::wstring* report)
      : manifest_(manifest),
        check_(check),
        report_(report),
        recordKey_(L"HKCU\\" INSTALLED_RECORDS_KEY L"\\" + manifest.appName) {}

  InstallResult Install();
  InstallResult Uninstall();

private:
  InstallResult Refuse(const std::wstring& what) {
    *report_ += what;
    return InstallResult::Refused;
  }
  bool Failed(const std::wstring& what, DWORD error) {
    failure_ = what + ErrorText(error);
    return false;
  }
  bool Step() {
    go_ = check_ ? check_(step_++) : Go::On;
    return go_ == Go::On || (go_ == Go::RollBack && committed_);
  }
  Found LoadRecord(Record* record);
  bool Ready();
  bool Recover();
  bool Do(const Change& change);
  bool RollBack(const Plan& plan);
  bool Finish(const Plan& plan, std::wstring* leftovers);
  void DropEmptyRecordKey();
  InstallResult Apply(const Plan& plan, const std::wstring* record, const std::wstring& done);
  InstallResult LeaveOff(const Plan& plan);

  const InfManifest& manifest_;
  StepCheck check_;
  std::wstring* report_;
  std::wstring recordKey_, failure_;
  int step_ = 0;
  Go go_ = Go::On;
  bool committed_ = false;
};

Found Transaction::LoadRecord(Record* record) {
  std::wstring text;
  if (!ReadTextValue(recordKey_, L"Record", &text))
    return Found::None;
  return ParseRecord(text, record) ? Found::Whole : Found::Damaged;
}

bool Transaction::Do(const Change& c) {
  std::wstring path = DesktopPath(c.path), temp = path + L".~new", backup = path + L".~old";
  switch (c.kind) {
    case ChangeKind::MakeFolder:
      if (!CreateDirectoryW(path.c_str(), nullptr)) {
        return Failed(L"cannot make the folder " + c.path, GetLastError());
      }
      break;
    case ChangeKind::MakeKey:
      if (!MakeKey(c.path))
        return Failed(L"cannot create the registry key " + c.path, 0);
      break;
    case ChangeKind::SetValue:
      if (!WriteValue(c.after))
        return Failed(L"cannot write " + c.path + L" " + c.after.name, 0);
      break;
    case ChangeKind::PlaceFile:
      if (!CopyFileW(c.source.c_str(), temp.c_str(), TRUE) ||
          !SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL)) {
        return Failed(L"cannot copy " + c.source + L" to " + c.path, GetLastError());
      }
      if (!Step())
        return false;
      if (c.replaces && !MoveFileExW(path.c_str(), backup.c_str(), 0)) {
        return Failed(L"cannot replace " + c.path, GetLastError());
      }
      if (c.replaces && !Step())
        return false;
      if (!MoveFileExW(temp.c_str(), path.c_str(), 0)) {
        return Failed(L"cannot put " + c.path + L" in place", GetLastError());
      }
      break;
    case ChangeKind::RemoveFile:
      if (!MoveFileExW(path.c_str(), backup.c_str(), 0)) {
        return Failed(L"cannot remove " + c.path, GetLastError());
      }
      break;
  }
  return Step();
}

// Undoes every change of the plan, whatever part of it was done. Folders and
// keys another program has put something in since are left.
bool Transaction::RollBack(const Plan& plan) {
  bool whole = true;
  for (size_t i = plan.changes.size(); i-- > 0;) {
    const Change& c = plan.changes[i];
    std::wstring path = DesktopPath(c.path), temp = path + L".~new", backup = path + L".~old";
    if (c.kind == ChangeKind::MakeFolder)
      RemoveDirectoryW(path.c_str());
    if (c.kind == ChangeKind::MakeKey)
      DeleteKeyIfEmpty(c.path);
    if (c.kind == ChangeKind::SetValue)
      whole = WriteValue(c.before) && whole;
    if (c.kind == ChangeKind::PlaceFile)
      DeleteFileW(temp.c_str());
    if (c.kind == ChangeKind::PlaceFile && !c.replaces && Exists(path)) {
      whole = DeleteFileW(path.c_str()) && whole;
    }
    // A file replaced or removed comes back from its backup.
    if ((c.kind == ChangeKind::RemoveFile || c.replaces) && Exists(backup)) {
      whole = MoveFileExW(backup.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) && whole;
    }
  }
  return whole;
}

// Past the commit: the backups go, then the folders and keys listed as
// going when empty. `leftovers` names the backups that cannot go now.
bool Transaction::Finish(const Plan& plan, std::wstring* leftovers) {
  for (const Change& c : plan.changes) {
    std::wstring backup = DesktopPath(c.path) + L".~old";
    if ((c.kind == ChangeKind::RemoveFile || c.replaces) && Exists(backup)) {
      SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (!DeleteFileW(backup.c_str()))
        *leftovers += (leftovers->empty() ? L"" : L", ") + c.path + L".~old";
      else if (!Step())
        return false;
    }
  }
  for (const std::wstring& folder : plan.emptyFolders)
    RemoveDirectoryW(DesktopPath(folder).c_str());
  for (const std::wstring& key : plan.emptyKeys)
    DeleteKeyIfEmpty(key);
  return leftovers->empty();
}

// The record's key and its parents go when they hold nothing.
void Transaction::DropEmptyRecordKey() {
  for (std::wstring key = recordKey_; key != L"HKCU\\Software" && DeleteKeyIfEmpty(key);) {
    key = key.substr(0, key.rfind(L'\\'));
  }
}

// A run that was cut off: rolled back before its commit, finished after it.
bool Transaction::Recover() {
  std::wstring text;
  Plan plan;
  Record record;
  if (!ReadTextValue(recordKey_, L"Plan", &text))
    return Step();
  if (!ParsePlan(text, &plan)) {
    *report_ += L"the plan of an interrupted run (" + recordKey_ +
                L" Plan) is damaged; nothing was changed (put the device right by hand and "
                L"remove the plan)";
    return false;
  }
  Found found = LoadRecord(&record);
  bool committed = plan.verb == L"install" ? found == Found::Whole && record.run == plan.run
                                           : found == Found::None;
  std::wstring what = L"an interrupted " + plan.verb + L" of " + manifest_.appName, leftovers;
  StepCheck check = check_;  // its steps are not the new run's
  check_ = nullptr;
  bool done = committed ? Finish(plan, &leftovers) : RollBack(plan);
  check_ = check;
  if (!done) {
    *report_ += what +
                (committed ? L" left " + leftovers + L", which is still in use"
                           : L" cannot be rolled back yet (a file in use?)") +
                L"; nothing else was changed: close what uses it and run again";
    return false;
  }
  RegDeleteKeyValueW(HKEY_CURRENT_USER, recordKey_.substr(5).c_str(), L"Plan");
  DropEmptyRecordKey();
  *report_ += what + (committed ? L" was finished\n" : L" was rolled back\n");
  return Step();
}

bool Transaction::Ready() {
  bool folder;
  if (!Exists(DesktopPath(L"\\"), &folder) || !folder) {
    *report_ =
        L"the device's file system "
        L"(" DEVICE_ROOT_DRIVE L") is not there: start the session with build/wine-session start";
    return false;
  }
  return Recover();
}

InstallResult Transaction::Apply(const Plan& plan, const std::wstring* record,
                                 const std::wstring& done) {
  std::wstring text = PlanText(plan), path;
  HKEY root = SplitKey(recordKey_, &path);
  if (!MakeKey(recordKey_) || RegSetKeyValueW(root, path.c_str(), L"Plan", REG_SZ, text.c_str(),
                                              (DWORD)(text.size() + 1) * 2) != ERROR_SUCCESS) {
    DropEmptyRecordKey();
    return Refuse(L"cannot write the plan to " + recordKey_ + L"; nothing was changed");
  }
  if (!Step())
    return LeaveOff(plan);
  for (const Change& c : plan.changes) {
    if (!Do(c))
      return LeaveOff(plan);
  }
  // The point of no return: after it, the next run finishes this one.
  LONG r = record ? RegSetKeyValueW(root, path.c_str(), L"Record", REG_SZ, record->c_str(),
                                    (DWORD)(record->size() + 1) * 2)
                  : RegDeleteKeyValueW(root, path.c_str(), L"Record");
  if (r != ERROR_SUCCESS) {
    failure_ = L"cannot write the install record " + recordKey_ + ErrorText(r);
    return LeaveOff(plan);
  }
  committed_ = true;
  std::wstring leftovers;
  if (!Step() || (!Finish(plan, &leftovers) && go_ == Go::Stop))
    return LeaveOff(plan);
  if (!leftovers.empty()) {
    *report_ += done + L"; " + leftovers + L" is in use: the next run removes it";
    return InstallResult::Done;
  }
  RegDeleteKeyValueW(root, path.c_str(), L"Plan");
  DropEmptyRecordKey();
  *report_ += done;
  return InstallResult::Done;
}

InstallResult Transaction::LeaveOff(const Plan& plan) {
  if (go_ == Go::Stop) {
    *report_ += L"stopped after step " + std::to_wstring(step_ - 1);
    return InstallResult::Stopped;
  }
  std::wstring why = go_ == Go::RollBack ? L"interrupted" : failure_, path;
  if (!RollBack(plan)) {
    *report_ += why +
                L"; what it changed cannot all be put back now (a file in use?): the next "
                L"run puts it back";
    return InstallResult::RolledBack;
  }
  HKEY root = SplitKey(recordKey_, &path);
  RegDeleteKeyValueW(root, path.c_str(), L"Plan");
  DropEmptyRecordKey();
  *report_ += why + L"; everything it had changed is put back";
  return InstallResult::RolledBack;
}

std::wstring NewRunId() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return std::to_wstring(((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime) + L"." +
         std::to_wstring(GetCurrentProcessId());
}

std::wstring Damaged(const std::wstring& key) {
  return L"the install record " + key +
         L" is damaged; nothing was changed (remove the product's "
         L"files and the record by hand)";
}

InstallResult Transaction::Install() {
  if (!Ready())
    return go_ == Go::Stop ? InstallResult::Stopped : InstallResult::Refused;
  Record old;
  Found found = LoadRecord(&old);
  if (found == Found::Damaged)
    return Refuse(Damaged(recordKey_));
  Plan plan = {L"install", NewRunId(), {}, {}, {}};
  Record record = old;
  record.run = plan.run;
  std::vector<std::wstring> planned;  // folders and keys the plan makes
  for (const InfFile& f : manifest_.files) {
    std::wstring line = manifest_.shown + L": line " + std::to_wstring(f.line) + L": ";
    std::wstring path = DesktopPath(f.target), hash = ContentHash(f.source);
    WIN32_FIND_DATAW data;
    bool folder, listed = FindClose(FindFirstFileW(f.source.c_str(), &data));
    if (!Exists(f.source, &folder) || folder || hash.empty()) {
      return Refuse(line + L"the source " + f.source +
                    (folder             ? L" is a folder, not a file"
                     : !listed          ? L" is missing"
                     : Exists(f.source) ? L" cannot be read"
                                        : L" is not a regular file") +
                    L"; nothing was changed");
    }
    bool there = Exists(path, &folder), ours = false;
    for (InstalledFile& i : record.files) {
      if (SameText(i.path, f.target))
        ours = true, i.hash = hash;
    }
    if (there && (folder || !ours)) {
      return Refuse(line + f.target +
                    (folder
                         ? L" is a folder on the device"
                         : L" is already on the device and is not " + manifest_.appName + L"'s") +
                    L"; nothing was changed");
    }
    for (const wchar_t* left : {L".~new", L".~old"}) {
      if (Exists(path + left))
        return Refuse(line + f.target + left + L" is in the way (remove it); nothing was changed");
    }
    for (const std::wstring& level : Levels(f.target.substr(0, f.target.rfind(L'\\')), 0)) {
      if (level.empty() || Exists(DesktopPath(level), &folder) || Contains(planned, level)) {
        if (!level.empty() && !Contains(planned, level) && !folder) {
          return Refuse(line + level + L" is a file, not a folder; nothing was changed");
        }
        continue;
      }
      planned.push_back(level);
      plan.changes.push_back({ChangeKind::MakeFolder, level, L"", false, {}, {}});
      if (!Contains(record.folders, level))
        record.folders.push_back(level);
    }
    plan.changes.push_back({ChangeKind::PlaceFile, f.target, f.source, there, {}, {}});
    if (!ours)
      record.files.push_back({f.target, hash});
  }
  for (const InfValue& v : manifest_.values) {
    SavedValue before = ReadValue(v.key, v.name), after = {v.key, v.name, true, v.type, {}};
    if (v.keepExisting && before.existed)
      continue;
    for (const std::wstring& level : Levels(v.key, v.key.find(L'\\'))) {
      if (KeyExists(level) || Contains(planned, level))
        continue;
      planned.push_back(level);
      plan.changes.push_back({ChangeKind::MakeKey, level, L"", false, {}, {}});
      if (!Contains(record.keys, level))
        record.keys.push_back(level);
    }
    const BYTE* data = v.type == REG_DWORD ? (const BYTE*)&v.number : (const BYTE*)v.text.c_str();
    after.data.assign(data, data + (v.type == REG_DWORD ? 4 : (v.text.size() + 1) * 2));
    plan.changes.push_back({ChangeKind::SetValue, v.key, L"", false, before, after});
    bool known = false;
    for (const SavedValue& s : record.values) {
      known = known || (SameText(s.key, v.key) && SameText(s.name, v.name));
    }
    if (!known)
      record.values.push_back(before);
  }
  std::wstring text = RecordText(record);
  return Apply(plan, &text,
               L"installed " + manifest_.appName + (found == Found::Whole ? L" again: " : L": ") +
                   std::to_wstring(manifest_.files.size()) + L" files, " +
                   std::to_wstring(manifest_.values.size()) + L" registry values");
}

InstallResult Transaction::Uninstall() {
  if (!Ready())
    return go_ == Go::Stop ? InstallResult::Stopped : InstallResult::Refused;
  Record record;
  Found found = LoadRecord(&record);
  if (found == Found::Damaged)
    return Refuse(Damaged(recordKey_));
  if (found == Found::None) {
    // Files of the manifest without a record are not known to be ours.
    for (const InfFile& f : manifest_.files) {
      if (Exists(DesktopPath(f.target))) {
        return Refuse(L"there is no install record of " + manifest_.appName + L", yet " + f.target +
                      L" is on the device; nothing was removed (remove it by hand)");
      }
    }
    *report_ += manifest_.appName + L" is not installed; nothing to do";
    return InstallResult::Done;
  }
  Plan plan = {L"uninstall", NewRunId(), {}, {}, {}};
  std::wstring kept;
  for (const InstalledFile& f : record.files) {
    std::wstring path = DesktopPath(f.path);
    bool folder;
    if (!Exists(path, &folder))
      continue;
    std::wstring hash = folder ? L"" : ContentHash(path);
    if (!folder && hash.empty()) {
      return Refuse(L"cannot read " + f.path + ErrorText(GetLastError()) +
                    L"; nothing was changed");
    }
    if (folder || hash != f.hash) {
      kept += L"; kept " + f.path + (folder ? L", now a folder" : L", changed since the install");
      continue;
    }
    if (Exists(path + L".~old")) {
      return Refuse(f.path + L".~old is in the way (remove it); nothing was changed");
    }
    plan.changes.push_back({ChangeKind::RemoveFile, f.path, L"", false, {}, {}});
  }
  for (size_t i = record.values.size(); i-- > 0;) {
    const SavedValue& v = record.values[i];
    SavedValue now = ReadValue(v.key, v.name);
    if (!KeyExists(v.key) ||
        (now.existed == v.existed && now.data == v.data && now.type == v.type)) {
      continue;
    }
    plan.changes.push_back({ChangeKind::SetValue, v.key, L"", false, now, v});
  }
  plan.emptyFolders.assign(record.folders.rbegin(), record.folders.rend());
  plan.emptyKeys.assign(record.keys.rbegin(), record.keys.rend());
  // The product's own keys go too when they are empty, also when the item
  // made them after the install (it creates its key to read it).
  for (const InfValue& v : manifest_.values) {
    std::wstring own = v.key.substr(0, v.key.find(L'\\')) + L"\\Software\\" + manifest_.provider;
    for (std::wstring key = v.key; SameText(key.substr(0, own.size()), own) &&
                                   (key.size() == own.size() || key[own.size()] == L'\\');
         key = key.substr(0, key.rfind(L'\\'))) {
      if (!Contains(plan.emptyKeys, key))
        plan.emptyKeys.push_back(key);
    }
  }
  std::stable_sort(plan.emptyKeys.begin(), plan.emptyKeys.end(),
                   [](const std::wstring& a, const std::wstring& b) {
                     return std::count(a.begin(), a.end(), L'\\') >
                            std::count(b.begin(), b.end(), L'\\');
                   });
  return Apply(plan, nullptr, L"uninstalled " + manifest_.appName + kept);
}

}  // namespace

InstallResult InstallManifest(const InfManifest& manifest, const StepCheck& check,
                              std::wstring* report) {
  return Transaction(manifest, check, report).Install();
}

InstallResult UninstallManifest(const InfManifest& manifest, const StepCheck& check,
                                std::wstring* report) {
  return Transaction(manifest, check, report).Uninstall();
}
