// The sections of the install manifest that say what it installs: source
// disks, [DefaultInstall], [DestinationDirs], copy and registry sections.
#include "DeviceFiles.h"
#include "InfReader.h"

namespace {

const DWORD addRegString = 0x00000000, addRegNumber = 0x00010001, addRegKeep = 0x00000002;

}  // namespace

bool InfReader::ReadDisks() {
  const Section *names, *files;
  if (!Require(L"SourceDisksNames", &names) || !Require(L"SourceDisksFiles", &files) ||
      !NoKeyTwice(L"SourceDisksNames") || !NoKeyTwice(L"SourceDisksFiles")) {
    return false;
  }
  std::vector<std::wstring> fields;
  std::wstring key, value;
  for (const Line& line : names->lines) {
    if (!KeyValue(line, &key, &value) || !Fields({line.number, value}, &fields))
      return false;
    if (fields.size() < 4 || fields[3].empty()) {
      return Fail(line.number, L"a source disk is written ID = ,\"NAME\",,FOLDER");
    }
    std::wstring folder = fields[3];
    bool absolute = folder.size() > 1 && (folder[1] == L':' || folder[0] == L'\\');
    std::wstring joined = absolute ? folder : folder_ + L"\\" + folder;
    wchar_t full[MAX_PATH];
    DWORD n = GetFullPathNameW(joined.c_str(), MAX_PATH, full, nullptr);
    if (n == 0 || n >= MAX_PATH)
      return Fail(line.number, L"the folder " + folder + L" is too long");
    disks_.push_back({key, full});
  }
  for (const Line& line : files->lines) {
    if (!KeyValue(line, &key, &value))
      return false;
    if (!IsFileName(key))
      return Fail(line.number, L"'" + key + L"' is not a file name");
    const std::wstring* folder = nullptr;
    for (const auto& d : disks_) {
      if (d.first == value)
        folder = &d.second;
    }
    if (!folder)
      return Fail(line.number, L"no source disk " + value + L" in [SourceDisksNames]");
    sources_.push_back({Lower(key), *folder + L"\\" + key});
  }
  return true;
}

bool InfReader::ReadSectionList(const Line& line, const std::wstring& value,
                                std::vector<const Section*>* list) {
  std::vector<std::wstring> names;
  if (!Fields({line.number, value}, &names))
    return false;
  for (const std::wstring& name : names) {
    const Section* section = Find(name.c_str());
    if (!section)
      return Fail(line.number, L"no section [" + name + L"]");
    list->push_back(section);
  }
  return true;
}

bool InfReader::ReadInstall(InfManifest* manifest) {
  const Section *install, *destinations;
  if (!Require(L"DefaultInstall", &install) || !Require(L"DestinationDirs", &destinations) ||
      !NoKeyTwice(L"DestinationDirs") || !NoKeyTwice(L"DefaultInstall")) {
    return false;
  }
  std::vector<const Section*> copies, registry;
  std::wstring key, value;
  for (const Line& line : install->lines) {
    if (!KeyValue(line, &key, &value))
      return false;
    if (Lower(key) == L"copyfiles") {
      if (!ReadSectionList(line, value, &copies))
        return false;
    } else if (Lower(key) == L"addreg") {
      if (!ReadSectionList(line, value, &registry))
        return false;
    } else {
      return Fail(line.number, key + L" is not applied here (only CopyFiles and AddReg are)");
    }
  }
  if (copies.empty() && registry.empty()) {
    return Fail(install->line, L"[DefaultInstall] installs nothing");
  }
  for (const Section* copy : copies) {
    if (!ReadCopySection(*copy, manifest))
      return false;
  }
  for (const Section* reg : registry) {
    if (!ReadRegistrySection(*reg, manifest))
      return false;
  }
  return true;
}

bool InfReader::ReadCopySection(const Section& section, InfManifest* manifest) {
  const Section* destinations = Find(L"DestinationDirs");
  std::wstring folder, key, value;
  int folderLine = 0;
  for (const Line& line : destinations->lines) {
    if (!KeyValue(line, &key, &value))
      return false;
    bool exact = Lower(key) == Lower(section.name);
    if (exact || (folderLine == 0 && Lower(key) == L"defaultdestdir")) {
      std::vector<std::wstring> fields;
      if (!Fields({line.number, value}, &fields))
        return false;
      if (fields.size() != 2 || fields[0] != L"0") {
        return Fail(line.number, L"a destination is written SECTION = 0, FOLDER");
      }
      if (!Expand(fields[1], line.number, &folder))
        return false;
      if (!IsPlainDevicePath(folder.c_str())) {
        return Fail(line.number, L"the destination " + folder + L" is not a device folder");
      }
      folderLine = line.number;
      if (exact)
        break;
    }
  }
  if (!folderLine) {
    return Fail(section.line, L"no destination for [" + section.name + L"] in [DestinationDirs]");
  }
  if (folder.back() == L'\\')
    folder.pop_back();
  for (const Line& line : section.lines) {
    std::vector<std::wstring> fields;
    if (!Fields(line, &fields))
      return false;
    DWORD flags = 0;
    if (fields.size() > 4 || (fields.size() == 4 && !ParseNumber(fields[3], &flags))) {
      return Fail(line.number, L"a file is written TARGET[,SOURCE[,,FLAGS]]");
    }
    std::wstring target = fields[0];
    std::wstring source = fields.size() > 1 && !fields[1].empty() ? fields[1] : target;
    if (!IsFileName(target))
      return Fail(line.number, L"'" + target + L"' is not a file name");
    const std::wstring* from = nullptr;
    for (const auto& s : sources_) {
      if (s.first == Lower(source))
        from = &s.second;
    }
    if (!from)
      return Fail(line.number, source + L" is not in [SourceDisksFiles]");
    std::wstring to = folder + L"\\" + target;
    if (!IsPlainDevicePath(to.c_str()))
      return Fail(line.number, to + L" is too long");
    for (const InfFile& f : manifest->files) {
      if (Lower(f.target) == Lower(to)) {
        return Fail(line.number,
                    to + L" is copied twice (first at line " + std::to_wstring(f.line) + L")");
      }
    }
    manifest->files.push_back({*from, to, line.number});
  }
  return true;
}

bool InfReader::ReadRegistrySection(const Section& section, InfManifest* manifest) {
  for (const Line& line : section.lines) {
    std::vector<std::wstring> fields;
    if (!Fields(line, &fields))
      return false;
    DWORD flags = 0;
    if (fields.size() > 3 &&
        (!ParseNumber(fields[3], &flags) ||
         ((flags & ~addRegKeep) != addRegString && (flags & ~addRegKeep) != addRegNumber))) {
      return Fail(line.number, L"the flags " + fields[3] +
                                   L" are not applied here (0x00000000 a string, 0x00010001 a "
                                   L"number, either with 0x00000002 to keep an existing value)");
    }
    if (fields.size() != 5) {
      return Fail(line.number, L"a registry value is written ROOT,SUBKEY,NAME,FLAGS,VALUE");
    }
    InfValue v = {};
    v.line = line.number;
    v.root = RegistryRoot(fields[0]);
    if (!v.root)
      return Fail(line.number, L"the root " + fields[0] + L" is not HKLM or HKCU");
    if (!Expand(fields[1], line.number, &v.path) || !Expand(fields[2], line.number, &v.name)) {
      return false;
    }
    if (v.path.empty() || v.path[0] == L'\\' || v.path.back() == L'\\' ||
        v.path.find(L"\\\\") != std::wstring::npos) {
      return Fail(line.number, L"'" + v.path + L"' is not a registry key path");
    }
    v.key = fields[0] + L"\\" + v.path;
    v.keepExisting = (flags & addRegKeep) != 0;
    v.type = (flags & ~addRegKeep) == addRegNumber ? REG_DWORD : REG_SZ;
    if (v.type == REG_DWORD && !ParseNumber(fields[4], &v.number)) {
      return Fail(line.number, L"'" + fields[4] + L"' is not a number from 0 to 4294967295");
    }
    if (v.type == REG_SZ && !Expand(fields[4], line.number, &v.text))
      return false;
    for (const InfValue& other : manifest->values) {
      if (other.root == v.root && Lower(other.path) == Lower(v.path) &&
          Lower(other.name) == Lower(v.name)) {
        return Fail(line.number, v.key + L" " + v.name + L" is set twice (first at line " +
                                     std::to_wstring(other.line) + L")");
      }
    }
    manifest->values.push_back(v);
  }
  return true;
}
