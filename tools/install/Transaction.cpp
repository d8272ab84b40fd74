// The mechanics of a run: its changes, their undoing, the commit and what
// comes after it, and the healing of a run that was cut off.
#include "Transaction.h"

#include "DeviceFiles.h"

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

bool Exists(const std::wstring& path, bool* folder) {
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

// Deals with a run that was cut off, then loads the record: Done when this
// run may go on.
InstallResult Transaction::Begin(Record* record, Found* found) {
  bool folder;
  if (!Exists(DesktopPath(L"\\"), &folder) || !folder) {
    return Refuse(
        L"the device's file system "
        L"(" DEVICE_ROOT_DRIVE L") is not there: start the session with build/wine-session start");
  }
  if (!Recover())
    return go_ == Go::Stop ? InstallResult::Stopped : InstallResult::Refused;
  *found = LoadRecord(record);
  if (*found != Found::Damaged)
    return InstallResult::Done;
  return Refuse(L"the install record " + recordKey_ +
                L" is damaged; nothing was changed (remove the product's files and the record "
                L"by hand)");
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
