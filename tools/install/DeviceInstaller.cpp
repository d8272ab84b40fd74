// The plans of install and uninstall: what each run changes, checked
// before anything is (Transaction.h carries them out).
#include "DeviceInstaller.h"

#include <algorithm>

#include "Transaction.h"

namespace {

std::vector<std::wstring> Levels(const std::wstring& path, size_t from) {
  std::vector<std::wstring> levels;
  for (size_t slash = from; slash != std::wstring::npos;) {
    slash = path.find(L'\\', slash + 1);
    levels.push_back(path.substr(0, slash));
  }
  return levels;
}

std::wstring NewRunId() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return std::to_wstring(((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime) + L"." +
         std::to_wstring(GetCurrentProcessId());
}

}  // namespace

InstallResult Transaction::Perform(bool install) {
  Record record;
  Found found;
  InstallResult begun = Begin(&record, &found);
  if (begun != InstallResult::Done)
    return begun;
  return install ? Install(record, found) : Uninstall(record, found);
}

InstallResult Transaction::Install(const Record& old, Found found) {
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

InstallResult Transaction::Uninstall(const Record& record, Found found) {
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

InstallResult InstallManifest(const InfManifest& manifest, const StepCheck& check,
                              std::wstring* report) {
  return Transaction(manifest, check, report).Perform(true);
}

InstallResult UninstallManifest(const InfManifest& manifest, const StepCheck& check,
                                std::wstring* report) {
  return Transaction(manifest, check, report).Perform(false);
}
