// One run of the installer as a transaction. The plan is written whole
// before the first change; each change can be undone whatever part of it was
// done, so a run cut off anywhere before its commit is rolled back by the
// next one. The commit is one write of the record (or its removal); what is
// left after it (backups, empty folders and keys) is removed by whichever run
// gets there. A file is never written in place: it goes in under PATH.~new
// and is renamed over, and a file it replaces or removes first steps aside to
// PATH.~old.
#pragma once

#include <string>
#include <vector>

#include "DeviceInstaller.h"
#include "InstallRecord.h"

bool SameText(const std::wstring& a, const std::wstring& b);  // ignoring case
bool Contains(const std::vector<std::wstring>& list, const std::wstring& item);
std::wstring DesktopPath(const std::wstring& devicePath);
bool Exists(const std::wstring& path, bool* folder = nullptr);
// " (error N: what the system says)", or nothing for 0.
std::wstring ErrorText(DWORD error);

enum class Found { None, Damaged, Whole };

class Transaction {
public:
  Transaction(const InfManifest& manifest, const StepCheck& check, std::wstring* report)
      : manifest_(manifest),
        check_(check),
        report_(report),
        recordKey_(L"HKCU\\" INSTALLED_RECORDS_KEY L"\\" + manifest.appName) {}

  // An install or an uninstall, once a run cut off before is dealt with.
  InstallResult Perform(bool install);

private:
  // The plans, made in DeviceInstaller.cpp.
  InstallResult Install(const Record& old, Found found);
  InstallResult Uninstall(const Record& record, Found found);
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
  InstallResult Begin(Record* record, Found* found);
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
