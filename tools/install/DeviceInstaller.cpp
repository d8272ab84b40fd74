// The run as a transaction (DeviceInstaller.h). A file is never written in
// place: it goes in as PATH.~new and is renamed over; a file it replaces or
// removes first steps aside to PATH.~old, which goes after the commit.
#include "DeviceInstaller.h"

#include <algorithm>

#include "DeviceFiles.h"
#include "InstallRecord.h"

namespace {

const std::wstring kUnchanged = L"; nothing was changed";

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
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

// " (error N: what the system says)", or nothing for 0.
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

// The path's parents from `from` on, and the path: "\a", "\a\b", ...
std::vector<std::wstring> Levels(const std::wstring& path, size_t from) {
  std::vector<std::wstring> levels;
  for (size_t slash = from; slash < path.size();) {
    slash = path.find(L'\\', slash + 1);
    levels.push_back(path.substr(0, slash));
  }
  return levels;
}

Change* Find(Plan& plan, ChangeKind kind, const std::wstring& path,
             const std::wstring& name = L"") {
  for (Change& c : plan.changes) {
    if (c.kind == kind && SameText(c.path, path) && SameText(c.before.name, name))
      return &c;
  }
  return nullptr;
}

bool SteppedAside(const Change& c) {  // a file this change moves to PATH.~old
  return c.kind == ChangeKind::RemoveFile || (c.kind == ChangeKind::PlaceFile && c.replaces);
}

struct Transaction {
  const InfManifest& manifest;
  StepCheck check;
  std::wstring* report;
  std::wstring recordKey = L"HKCU\\" INSTALLED_RECORDS_KEY L"\\" + manifest.appName;
  std::wstring failure = L"";
  int step = 0;
  Go go = Go::On;
  bool committed = false;

  InstallResult Refuse(const std::wstring& what) {
    *report += what;
    return InstallResult::Refused;
  }

  bool Step() {
    go = check ? check(step++) : Go::On;
    return go == Go::On || (go == Go::RollBack && committed);
  }

  // Sets the value `name` beside the record, or removes it (no `text`).
  bool Store(const wchar_t* name, const std::wstring& text) {
    SavedValue v = {recordKey, name, !text.empty(), REG_SZ, {}};
    v.data.assign((const BYTE*)text.c_str(), (const BYTE*)(text.c_str() + text.size() + 1));
    return WriteValue(v);
  }

  // The plan goes, and the record's key and its parents when they hold nothing.
  void DropPlan() {
    Store(L"Plan", L"");
    for (std::wstring key = recordKey; key != L"HKCU\\Software" && DeleteKeyIfEmpty(key);)
      key = key.substr(0, key.rfind(L'\\'));
  }

  // False for a damaged record; none leaves `record` empty, without a run.
  bool LoadRecord(Plan* record) {
    std::wstring text;
    return !ReadTextValue(recordKey, L"Record", &text) ||
           (ParsePlan(text, record) && record->verb.empty());
  }

  // A step done, or the run's failure: `what` and the system's reason.
  bool Did(bool done, const std::wstring& what) {
    if (!done)
      failure = what + ErrorText(GetLastError());
    return done && Step();
  }

  bool Do(const Change& c) {
    std::wstring path = DesktopPath(c.path), temp = path + L".~new", backup = path + L".~old";
    if (c.kind == ChangeKind::MakeFolder)
      return Did(CreateDirectoryW(path.c_str(), nullptr), L"cannot make the folder " + c.path);
    if (c.kind == ChangeKind::MakeKey)
      return Did(MakeKey(c.path), L"cannot create the registry key " + c.path);
    if (c.kind == ChangeKind::SetValue)
      return Did(WriteValue(c.after), L"cannot write " + c.path + L" " + c.after.name);
    if (c.kind == ChangeKind::RemoveFile)
      return Did(MoveFileExW(path.c_str(), backup.c_str(), 0), L"cannot remove " + c.path);
    if (c.kind != ChangeKind::PlaceFile)
      return true;  // the Drop kinds: past the commit
    return Did(CopyFileW(c.text.c_str(), temp.c_str(), TRUE) &&
                   SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL),
               L"cannot copy " + c.text + L" to " + c.path) &&
           (!c.replaces ||
            Did(MoveFileExW(path.c_str(), backup.c_str(), 0), L"cannot replace " + c.path)) &&
           Did(MoveFileExW(temp.c_str(), path.c_str(), 0), L"cannot put " + c.path + L" in place");
  }

  // Undoes every change of the plan, whatever part of it was done, and drops
  // the plan when all is put back. Folders and keys another program has put
  // something in since are left.
  bool RollBack(const Plan& plan) {
    bool whole = true;
    for (size_t i = plan.changes.size(); i-- > 0;) {
      const Change& c = plan.changes[i];
      std::wstring path = DesktopPath(c.path), backup = path + L".~old";
      if (c.kind == ChangeKind::MakeFolder)
        RemoveDirectoryW(path.c_str());
      if (c.kind == ChangeKind::MakeKey)
        DeleteKeyIfEmpty(c.path);
      if (c.kind == ChangeKind::SetValue)
        whole = WriteValue(c.before) && whole;
      if (c.kind == ChangeKind::PlaceFile)
        DeleteFileW((path + L".~new").c_str());
      if (c.kind == ChangeKind::PlaceFile && !c.replaces && Exists(path))
        whole = DeleteFileW(path.c_str()) && whole;
      // A file replaced or removed comes back from its backup.
      if (SteppedAside(c) && Exists(backup))
        whole = MoveFileExW(backup.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) && whole;
    }
    if (whole)
      DropPlan();
    return whole;
  }

  // Past the commit: the backups go, then the folders and keys that go when
  // empty, then the plan. `leftovers` names the backups that cannot go now.
  bool Finish(const Plan& plan, std::wstring* leftovers, bool steps = true) {
    for (const Change& c : plan.changes) {
      std::wstring backup = DesktopPath(c.path) + L".~old";
      if (SteppedAside(c) && Exists(backup)) {
        SetFileAttributesW(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(backup.c_str()))
          *leftovers += (leftovers->empty() ? L"" : L", ") + c.path + L".~old";
        else if (steps && !Step())
          return false;
      }
    }
    for (const Change& c : plan.changes) {
      if (c.kind == ChangeKind::DropFolder)
        RemoveDirectoryW(DesktopPath(c.path).c_str());
      if (c.kind == ChangeKind::DropKey)
        DeleteKeyIfEmpty(c.path);
    }
    if (leftovers->empty())
      DropPlan();
    return leftovers->empty();
  }

  // A run that was cut off: rolled back before its commit, finished after it.
  bool Recover() {
    std::wstring text, leftovers;
    Plan plan, record;
    if (!ReadTextValue(recordKey, L"Plan", &text))
      return Step();
    if (!ParsePlan(text, &plan) || plan.verb.empty()) {
      *report += L"the plan of an interrupted run (" + recordKey +
                 L" Plan) is damaged; nothing was changed (put the device right by hand and "
                 L"remove the plan)";
      return false;
    }
    bool finish = LoadRecord(&record) && record.run == (plan.verb == L"install" ? plan.run : L"");
    std::wstring what = L"an interrupted " + plan.verb + L" of " + manifest.appName;
    bool done = finish ? Finish(plan, &leftovers, false) : RollBack(plan);  // not our steps
    if (!done) {
      *report += what +
                 (finish ? L" left " + leftovers + L", which is still in use"
                         : L" cannot be rolled back yet (a file in use?)") +
                 L"; nothing else was changed: close what uses it and run again";
      return false;
    }
    *report += what + (finish ? L" was finished\n" : L" was rolled back\n");
    return Step();
  }

  InstallResult Run(bool install) {
    bool folder;
    Plan record;
    if (!Exists(DesktopPath(L"\\"), &folder) || !folder) {
      return Refuse(
          L"the device's file system "
          L"(" DEVICE_ROOT_DRIVE L") is not there: start the session with build/wine-session "
                                 L"start");
    }
    if (!Recover())
      return go == Go::Stop ? InstallResult::Stopped : InstallResult::Refused;
    if (!LoadRecord(&record)) {
      return Refuse(L"the install record " + recordKey +
                    L" is damaged; nothing was changed (remove the product's files and the "
                    L"record by hand)");
    }
    return install ? Install(record) : Uninstall(record);
  }

  // Carries the plan out and commits `record` (none: removes it).
  InstallResult Apply(const Plan& plan, const Plan* record, const std::wstring& done) {
    std::wstring leftovers;
    if (!MakeKey(recordKey) || !Store(L"Plan", PlanText(plan))) {
      DropPlan();
      return Refuse(L"cannot write the plan to " + recordKey + kUnchanged);
    }
    if (!Step())
      return LeaveOff(plan);
    for (const Change& c : plan.changes) {
      if (!Do(c))
        return LeaveOff(plan);
    }
    // The point of no return: after it, the next run finishes this one.
    committed = true;
    if (!Did(Store(L"Record", record ? PlanText(*record) : L""),
             L"cannot write the install record " + recordKey) ||
        (!Finish(plan, &leftovers) && go == Go::Stop)) {
      return LeaveOff(plan);
    }
    *report +=
        done +
        (leftovers.empty() ? L"" : L"; " + leftovers + L" is in use: the next run removes it");
    return InstallResult::Done;
  }

  InstallResult LeaveOff(const Plan& plan) {
    if (go == Go::Stop) {
      *report += L"stopped after step " + std::to_wstring(step - 1);
      return InstallResult::Stopped;
    }
    bool whole = RollBack(plan);
    *report += (go == Go::RollBack ? L"interrupted" : failure) +
               (whole ? L"; everything it had changed is put back"
                      : L"; what it changed cannot all be put back now (a file in use?): the next "
                        L"run puts it back");
    return InstallResult::RolledBack;
  }

  std::wstring NewRunId() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return std::to_wstring(((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime) + L"." +
           std::to_wstring(GetCurrentProcessId());
  }

  InstallResult Install(Plan record) {
    Plan plan = {L"install", NewRunId(), {}};
    std::wstring again = record.run.empty() ? L": " : L" again: ";
    record.run = plan.run;
    // Installing again keeps what the record holds: the first "before".
    auto add = [&](const Change& c) {
      plan.changes.push_back(c);
      if (!Find(record, c.kind, c.path, c.before.name))
        record.changes.push_back(c);
    };
    for (const InfFile& f : manifest.files) {
      std::wstring line = manifest.shown + L": line " + std::to_wstring(f.line) + L": ";
      std::wstring path = DesktopPath(f.target), hash = ContentHash(f.source);
      WIN32_FIND_DATAW data;
      bool folder, listed = FindClose(FindFirstFileW(f.source.c_str(), &data));
      if (!Exists(f.source, &folder) || folder || hash.empty()) {
        return Refuse(line + L"the source " + f.source +
                      (folder             ? L" is a folder, not a file"
                       : !listed          ? L" is missing"
                       : Exists(f.source) ? L" cannot be read"
                                          : L" is not a regular file") +
                      kUnchanged);
      }
      bool ours = Find(record, ChangeKind::PlaceFile, f.target), there = Exists(path, &folder);
      if (there && (folder || !ours)) {
        return Refuse(line + f.target +
                      (folder
                           ? L" is a folder on the device"
                           : L" is already on the device and is not " + manifest.appName + L"'s") +
                      kUnchanged);
      }
      for (const wchar_t* left : {L".~new", L".~old"}) {
        if (Exists(path + left))
          return Refuse(line + f.target + left + L" is in the way (remove it)" + kUnchanged);
      }
      for (const std::wstring& level : Levels(f.target.substr(0, f.target.rfind(L'\\')), 0)) {
        bool planned = Find(plan, ChangeKind::MakeFolder, level);
        if (!planned && !Exists(DesktopPath(level), &folder))
          add({ChangeKind::MakeFolder, level});
        else if (!planned && !folder)
          return Refuse(line + level + L" is a file, not a folder" + kUnchanged);
      }
      add({ChangeKind::PlaceFile, f.target, f.source, there});
      Find(record, ChangeKind::PlaceFile, f.target)->text = hash;
    }
    for (const InfValue& v : manifest.values) {
      SavedValue before = ReadValue(v.key, v.name), after = {v.key, v.name, true, v.type, {}};
      if (v.keepExisting && before.existed)
        continue;
      for (const std::wstring& level : Levels(v.key, v.key.find(L'\\'))) {
        if (!KeyExists(level) && !Find(plan, ChangeKind::MakeKey, level))
          add({ChangeKind::MakeKey, level});
      }
      const BYTE* data = v.type == REG_DWORD ? (const BYTE*)&v.number : (const BYTE*)v.text.c_str();
      after.data.assign(data, data + (v.type == REG_DWORD ? 4 : (v.text.size() + 1) * 2));
      add({ChangeKind::SetValue, v.key, L"", false, before, after});
    }
    return Apply(plan, &record,
                 L"installed " + manifest.appName + again + std::to_wstring(manifest.files.size()) +
                     L" files, " + std::to_wstring(manifest.values.size()) + L" registry values");
  }

  InstallResult Uninstall(const Plan& record) {
    if (record.run.empty()) {
      // Files of the manifest without a record are not known to be ours.
      for (const InfFile& f : manifest.files) {
        if (Exists(DesktopPath(f.target))) {
          return Refuse(L"there is no install record of " + manifest.appName + L", yet " +
                        f.target + L" is on the device; nothing was removed (remove it by hand)");
        }
      }
      *report += manifest.appName + L" is not installed; nothing to do";
      return InstallResult::Done;
    }
    Plan plan = {L"uninstall", NewRunId(), {}};
    std::wstring kept;
    std::vector<std::wstring> keys;  // removed when empty, the deepest first
    for (size_t i = record.changes.size(); i-- > 0;) {
      const Change& c = record.changes[i];
      std::wstring path = DesktopPath(c.path);
      bool folder = false, there = c.kind == ChangeKind::PlaceFile && Exists(path, &folder);
      std::wstring hash = there && !folder ? ContentHash(path) : L"";
      if (there && !folder && hash.empty())
        return Refuse(L"cannot read " + c.path + ErrorText(GetLastError()) + kUnchanged);
      if (there && (folder || hash != c.text))
        kept = L"; kept " + c.path + (folder ? L", now a folder" : L", changed since the install") +
               kept;
      else if (there && Exists(path + L".~old"))
        return Refuse(c.path + L".~old is in the way (remove it)" + kUnchanged);
      else if (there)
        plan.changes.push_back({ChangeKind::RemoveFile, c.path});
      if (c.kind == ChangeKind::MakeFolder)
        plan.changes.push_back({ChangeKind::DropFolder, c.path});
      if (c.kind == ChangeKind::MakeKey)
        keys.push_back(c.path);
      if (c.kind != ChangeKind::SetValue || !KeyExists(c.path))
        continue;
      SavedValue now = ReadValue(c.path, c.before.name);
      if (now.existed != c.before.existed || now.data != c.before.data || now.type != c.before.type)
        plan.changes.push_back({ChangeKind::SetValue, c.path, L"", false, now, c.before});
    }
    // The product's own keys go too when they are empty, also when the item
    // made them after the install (it creates its key to read it).
    for (const InfValue& v : manifest.values) {
      std::wstring own = v.key.substr(0, v.key.find(L'\\')) + L"\\Software\\" + manifest.provider;
      for (std::wstring key = v.key; SameText(key.substr(0, own.size()), own) &&
                                     (key.size() == own.size() || key[own.size()] == L'\\');
           key = key.substr(0, key.rfind(L'\\'))) {
        if (std::none_of(keys.begin(), keys.end(), [&](auto& k) { return SameText(k, key); }))
          keys.push_back(key);
      }
    }
    std::stable_sort(keys.begin(), keys.end(), [](const std::wstring& a, const std::wstring& b) {
      return std::count(a.begin(), a.end(), L'\\') > std::count(b.begin(), b.end(), L'\\');
    });
    for (const std::wstring& key : keys)
      plan.changes.push_back({ChangeKind::DropKey, key});
    return Apply(plan, nullptr, L"uninstalled " + manifest.appName + kept);
  }
};

}  // namespace

InstallResult ApplyManifest(bool install, const InfManifest& manifest, const StepCheck& check,
                            std::wstring* report) {
  Transaction transaction{manifest, check, report};
  return transaction.Run(install);
}
