// Reads the install manifest, a CabWiz .inf: sections in [brackets], `;`
// comments, KEY = VALUE lines and comma-separated fields with "quoted"
// strings, %NAME% strings from [CEStrings] and [Strings] and the device's
// folders %CE1%, %CE2%, ... Anything outside the subset we apply is refused
// by its line rather than skipped, so a manifest never installs less than it
// says.
#include "InfManifest.h"

#include <wctype.h>

#include "DeviceFiles.h"
#include "InfText.h"

namespace {

struct Line {
  int number;
  std::wstring text;
};

struct Section {
  std::wstring name;
  int line;
  std::vector<Line> lines;
};

// The device's standard folders, as CabWiz names them.
const struct {
  const wchar_t* name;
  const wchar_t* folder;
} ceFolders[] = {
    {L"ce1", L"\\Program Files"},
    {L"ce2", L"\\Windows"},
    {L"ce4", L"\\Windows\\StartUp"},
    {L"ce5", L"\\My Documents"},
    {L"ce8", L"\\Program Files\\Games"},
    {L"ce11", L"\\Windows\\Start Menu\\Programs"},
    {L"ce14", L"\\Windows\\Start Menu\\Programs\\Games"},
    {L"ce15", L"\\Windows\\Fonts"},
    {L"ce17", L"\\Windows\\Start Menu"},
};

const DWORD addRegString = 0x00000000, addRegNumber = 0x00010001, addRegKeep = 0x00000002;

bool IsFileName(const std::wstring& name) {
  return IsPlainFileName(name.c_str(), name.size());
}

class Reader {
public:
  Reader(const std::wstring& shown, const std::wstring& folder, std::wstring* error)
      : shown_(shown), folder_(folder), error_(error) {}

  bool Parse(const std::string& utf8, InfManifest* manifest);

private:
  bool Fail(int line, const std::wstring& what) {
    *error_ = shown_ + L": line " + std::to_wstring(line) + L": " + what;
    return false;
  }
  bool SplitLines(const std::string& utf8);
  bool NoKeyTwice(const wchar_t* name);
  const Section* Find(const wchar_t* name) const;
  bool Require(const wchar_t* name, const Section** section);
  bool KeyValue(const Line& line, std::wstring* key, std::wstring* value);
  bool Fields(const Line& line, std::vector<std::wstring>* fields);
  bool Expand(const std::wstring& text, int line, std::wstring* out);
  bool ReadVersion(InfManifest* manifest);
  bool ReadStrings();
  bool ReadDisks();
  bool ReadInstall(InfManifest* manifest);
  bool ReadSectionList(const Line& line, const std::wstring& value,
                       std::vector<const Section*>* list);
  bool ReadCopySection(const Section& section, InfManifest* manifest);
  bool ReadRegistrySection(const Section& section, InfManifest* manifest);

  std::wstring shown_, folder_;
  std::wstring* error_;
  std::vector<Section> sections_;
  int lastLine_ = 0, nesting_ = 0;
  struct String {
    std::wstring name, value;  // lower-case name; value as written, then expanded
    int line;
    bool expanded, expanding;
  };
  std::vector<String> strings_;
  std::vector<std::pair<std::wstring, std::wstring>> disks_;    // id, folder
  std::vector<std::pair<std::wstring, std::wstring>> sources_;  // lower-case file, disk folder
};

bool Reader::SplitLines(const std::string& utf8) {
  size_t start = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  if (utf8.compare(0, 2, "\xFF\xFE") == 0 || utf8.compare(0, 2, "\xFE\xFF") == 0) {
    return Fail(1, L"UTF-16 text; the manifest is read as UTF-8 (or ASCII): save it so");
  }
  int number = 0;
  while (start <= utf8.size()) {
    size_t end = utf8.find('\n', start);
    if (end == std::string::npos)
      end = utf8.size();
    std::string bytes = utf8.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!bytes.empty() && bytes.back() == '\r')
      bytes.pop_back();
    std::wstring text(bytes.size(), L'\0');
    int n = bytes.empty() ? 0
                          : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                (int)bytes.size(), &text[0], (int)text.size());
    if (bytes.find('\0') != std::string::npos) {
      return Fail(number, L"a NUL byte (UTF-16 text?); the manifest is read as UTF-8 (or ASCII)");
    }
    if (!bytes.empty() && n <= 0) {
      return Fail(number, L"not UTF-8 text (an ANSI character?); save the manifest as UTF-8");
    }
    text.resize(n);
    text = Trim(text.substr(0, FindUnquoted(text, L';')));
    if (text.empty())
      continue;
    lastLine_ = number;
    if (text[0] == L'[') {
      if (text.back() != L']' || text.size() < 3) {
        return Fail(number, L"a section name is written [NAME]");
      }
      std::wstring name = Trim(text.substr(1, text.size() - 2));
      if (const Section* seen = Find(name.c_str())) {
        return Fail(number, L"[" + name + L"] appears twice (first at line " +
                                std::to_wstring(seen->line) + L")");
      }
      sections_.push_back({name, number, {}});
    } else if (sections_.empty()) {
      return Fail(number, L"text before the first [section]");
    } else {
      sections_.back().lines.push_back({number, text});
    }
  }
  return true;
}

const Section* Reader::Find(const wchar_t* name) const {
  for (const Section& s : sections_) {
    if (Lower(s.name) == Lower(name))
      return &s;
  }
  return nullptr;
}

bool Reader::Require(const wchar_t* name, const Section** section) {
  *section = Find(name);
  if (!*section)
    return Fail(lastLine_, std::wstring(L"no [") + name + L"] section");
  return true;
}

// Keys name one thing each: a second line with the same key is refused
// rather than one of the two silently winning.
bool Reader::NoKeyTwice(const wchar_t* name) {
  const Section* section = Find(name);
  std::wstring key, value;
  std::vector<std::pair<std::wstring, int>> seen;
  for (size_t i = 0; section && i < section->lines.size(); ++i) {
    if (!KeyValue(section->lines[i], &key, &value))
      return false;
    for (const auto& s : seen) {
      if (s.first == Lower(key)) {
        return Fail(section->lines[i].number, key + L" appears twice in [" + section->name +
                                                  L"] (first at line " + std::to_wstring(s.second) +
                                                  L")");
      }
    }
    seen.push_back({Lower(key), section->lines[i].number});
  }
  return true;
}

bool Reader::KeyValue(const Line& line, std::wstring* key, std::wstring* value) {
  size_t equals = FindUnquoted(line.text, L'=');
  if (equals == std::wstring::npos || !Unquote(line.text.substr(0, equals), key) || key->empty()) {
    return Fail(line.number, L"expected KEY = VALUE, not '" + line.text + L"'");
  }
  *value = Trim(line.text.substr(equals + 1));
  return true;
}

bool Reader::Fields(const Line& line, std::vector<std::wstring>* fields) {
  if (!SplitFields(line.text, fields))
    return Fail(line.number, L"a quote is not closed");
  return true;
}

// Each string is expanded once, so that strings naming each other many times
// over cost no more than their text; a string met again while it is being
// expanded is a circle.
bool Reader::Expand(const std::wstring& text, int line, std::wstring* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'%') {
      out->push_back(text[i]);
      continue;
    }
    size_t end = text.find(L'%', i + 1);
    if (end == std::wstring::npos)
      return Fail(line, L"a %STRING% is not closed");
    std::wstring name = Lower(text.substr(i + 1, end - i - 1)), value = L"%";
    bool found = name.empty();  // "%%" is a percent sign
    for (const auto& f : ceFolders) {
      if (!found && name == f.name)
        found = true, value = f.folder;
    }
    for (String& s : strings_) {
      if (found || name != s.name)
        continue;
      if (s.expanding)
        return Fail(line, L"the string %" + s.name + L"% refers back to itself");
      if (!s.expanded) {
        if (++nesting_ > kMaxNesting) {
          return Fail(line, L"strings nest more than " + std::to_wstring(kMaxNesting) + L" deep");
        }
        s.expanding = true;
        std::wstring expanded;
        if (!Expand(s.value, s.line, &expanded))
          return false;
        s.value = expanded, s.expanded = true, s.expanding = false;
        --nesting_;
      }
      found = true, value = s.value;
    }
    if (!found)
      return Fail(line, L"unknown string %" + text.substr(i + 1, end - i - 1) + L"%");
    *out += value;
    if (out->size() > kMaxExpanded) {
      return Fail(
          line, L"a string expands to more than " + std::to_wstring(kMaxExpanded) + L" characters");
    }
    i = end;
  }
  return true;
}

bool Reader::ReadVersion(InfManifest* manifest) {
  const Section* version;
  if (!Require(L"Version", &version) || !NoKeyTwice(L"Version"))
    return false;
  std::wstring signature, ceSignature, provider, key, value;
  for (const Line& line : version->lines) {
    if (!KeyValue(line, &key, &value) || !Unquote(value, &value))
      return false;
    key = Lower(key);
    if (key == L"signature")
      signature = Lower(value);
    else if (key == L"cesignature")
      ceSignature = value;
    else if (key == L"provider")
      provider = value;
  }
  if (signature != L"$windows nt$" && signature != L"$chicago$" && signature != L"$windows 95$") {
    return Fail(version->line, L"[Version] needs Signature = \"$Windows NT$\"");
  }
  if (Lower(ceSignature) != L"$windows ce$") {
    return Fail(version->line, L"[Version] needs CESignature = \"$Windows CE$\"");
  }
  if (provider.empty())
    return Fail(version->line, L"[Version] needs a Provider");
  manifest->appName = manifest->provider = provider;
  return true;
}

bool Reader::ReadStrings() {
  const Section* ce;
  if (!Require(L"CEStrings", &ce))
    return false;
  for (const wchar_t* name : {L"CEStrings", L"Strings"}) {
    const Section* section = Find(name);
    for (size_t i = 0; section && i < section->lines.size(); ++i) {
      std::wstring key, value;
      if (!KeyValue(section->lines[i], &key, &value))
        return false;
      if (!Unquote(value, &value))
        return Fail(section->lines[i].number, L"a quote is not closed");
      for (const String& s : strings_) {
        if (s.name == Lower(key)) {
          return Fail(section->lines[i].number, L"the string " + key + L" is defined twice");
        }
      }
      strings_.push_back({Lower(key), value, section->lines[i].number, false, false});
    }
  }
  for (const String& s : strings_) {
    if (s.name == L"appname" && !s.value.empty())
      return true;
  }
  return Fail(ce->line, L"[CEStrings] needs an AppName");
}

bool Reader::ReadDisks() {
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

bool Reader::ReadSectionList(const Line& line, const std::wstring& value,
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

bool Reader::ReadInstall(InfManifest* manifest) {
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

bool Reader::ReadCopySection(const Section& section, InfManifest* manifest) {
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

bool Reader::ReadRegistrySection(const Section& section, InfManifest* manifest) {
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

bool Reader::Parse(const std::string& utf8, InfManifest* manifest) {
  *manifest = InfManifest();
  manifest->shown = shown_;
  if (!SplitLines(utf8))
    return false;
  if (sections_.empty()) {
    *error_ = shown_ + L": the manifest is empty";
    return false;
  }
  if (!ReadVersion(manifest) || !ReadStrings() || !ReadDisks())
    return false;
  std::wstring appName;
  int appLine = 0;
  for (const String& s : strings_)
    appLine = s.name == L"appname" ? s.line : appLine;
  if (!Expand(L"%AppName%", appLine, &appName))
    return false;
  manifest->appName += L" " + appName;
  // The install's name is a registry key's name under the records.
  if (!IsFileName(manifest->appName)) {
    return Fail(Find(L"CEStrings")->line,
                L"'" + manifest->appName + L"' (Provider AppName) is not a plain name");
  }
  return ReadInstall(manifest);
}

}  // namespace

HKEY RegistryRoot(const std::wstring& name) {
  std::wstring n = Lower(name);
  // Not HKCR: on the desktop it is a merged view of two keys, which an
  // uninstall could not put back exactly.
  return n == L"hklm" ? HKEY_LOCAL_MACHINE : n == L"hkcu" ? HKEY_CURRENT_USER : nullptr;
}

InstallResult ParseInfManifest(const std::string& utf8, const std::wstring& folder,
                               const std::wstring& shown, InfManifest* manifest,
                               std::wstring* error) {
  return Reader(shown, folder, error).Parse(utf8, manifest) ? InstallResult::Done
                                                            : InstallResult::Refused;
}

InstallResult ReadInfManifest(const std::wstring& path, const std::wstring& shown,
                              InfManifest* manifest, std::wstring* error) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = shown + L": cannot read the manifest (error " + std::to_wstring(GetLastError()) + L")";
    return InstallResult::Refused;
  }
  LARGE_INTEGER size = {};
  std::string text;
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart <= (1 << 20);
  if (ok) {
    text.resize((size_t)size.QuadPart);
    DWORD got = 0;
    ok = text.empty() ||
         (ReadFile(file, &text[0], (DWORD)text.size(), &got, nullptr) && got == text.size());
  }
  CloseHandle(file);
  if (!ok) {
    *error = shown + L": cannot read the manifest (at most 1 MB)";
    return InstallResult::Refused;
  }
  std::wstring folder = path;
  size_t slash = folder.find_last_of(L"\\/");
  folder = slash == std::wstring::npos ? L"." : folder.substr(0, slash);
  return ParseInfManifest(text, folder, shown, manifest, error);
}
