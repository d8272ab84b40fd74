// Anything outside the subset we apply is refused by its line rather than
// skipped, so that a manifest never installs less than it says.
#include "InfManifest.h"

#include <algorithm>

#include "DeviceFiles.h"
#include "InfText.h"
#include "ScopedWin.h"

namespace {

// Strings expand to at most this many characters, nesting this deep.
const size_t kMaxExpanded = 1024;
const int kMaxNesting = 8;

const DWORD addRegString = 0x00000000, addRegNumber = 0x00010001, addRegKeep = 0x00000002;

struct Reader {
  std::wstring shown;  // the file as the user named it
  std::wstring* error;
  std::wstring folder;
  std::vector<Section> sections = {};
  int lastLine = 0;                      // the last that holds anything
  std::vector<Entry> strings = {};       // lower-case names; values expanded once used
  std::vector<Entry> destinations = {};  // [DestinationDirs]
  std::vector<Entry> sources = {};       // lower-case file names, desktop paths

  // False, with `error` "<shown>: line N: what" and, given twice, " (first at line F)".
  bool Fail(int line, const std::wstring& what, int first = 0) {
    *error = shown + L": line " + std::to_wstring(line) + L": " + what +
             (first ? L" (first at line " + std::to_wstring(first) + L")" : L"");
    return false;
  }
  // One field: trimmed, its quotes removed ("" inside quotes is one quote).
  bool Unquote(int line, const std::wstring& raw, std::wstring* field) {
    std::wstring s = Trim(raw);
    field->clear();
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] != L'"')
        field->push_back(s[i]);
      else if (quoted && i + 1 < s.size() && s[i + 1] == L'"')
        field->push_back(s[i++]);
      else
        quoted = !quoted;
    }
    return !quoted || Fail(line, L"a quote is not closed");
  }
  // UTF-8 text (with or without a byte order mark) as sections; UTF-16 and
  // ANSI text are refused by their line.
  bool Split(const std::string& utf8) {
    size_t start = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (utf8.compare(0, 2, "\xFF\xFE") == 0 || utf8.compare(0, 2, "\xFE\xFF") == 0)
      return Fail(1, L"UTF-16 text; the manifest is read as UTF-8 (or ASCII): save it so");
    for (int number = 1; start <= utf8.size(); ++number) {
      size_t end = std::min(utf8.find('\n', start), utf8.size());
      std::string bytes = utf8.substr(start, end - start - (end > start && utf8[end - 1] == '\r'));
      start = end + 1;
      std::wstring text(bytes.size(), L'\0');
      text.resize(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                      (int)bytes.size(), &text[0], (int)text.size()));
      if (bytes.find('\0') != std::string::npos)
        return Fail(number, L"a NUL byte (UTF-16 text?); the manifest is read as UTF-8 (or ASCII)");
      if (text.empty() && !bytes.empty())
        return Fail(number, L"not UTF-8 text (an ANSI character?); save the manifest as UTF-8");
      text = Trim(text.substr(0, FindUnquoted(text, L';')));
      if (text.empty())
        continue;
      lastLine = number;
      if (text[0] != L'[' && sections.empty())
        return Fail(number, L"text before the first [section]");
      if (text[0] != L'[') {
        sections.back().lines.push_back({number, text});
        continue;
      }
      if (text.back() != L']' || text.size() < 3)
        return Fail(number, L"a section name is written [NAME]");
      std::wstring name = Trim(text.substr(1, text.size() - 2));
      if (const Section* seen = Find(name))
        return Fail(number, L"[" + name + L"] appears twice", seen->line);
      sections.push_back({name, number, {}});
    }
    return true;
  }
  const Section* Find(const std::wstring& name) {
    return FirstOf(sections, [&](const Section& s) { return Lower(s.name) == Lower(name); });
  }
  // The section; null, having failed, when there is none.
  const Section* Require(const wchar_t* name) {
    const Section* section = Find(name);
    if (!section)
      Fail(lastLine, std::wstring(L"no [") + name + L"] section");
    return section;
  }
  // A section's KEY = VALUE lines; strings (unquoted, names in lower case) are one list over
  // two sections. A key given twice is refused rather than one of the two silently winning.
  bool Entries(const Section* section, std::vector<Entry>* entries, bool areStrings = false) {
    for (size_t i = 0; section && i < section->lines.size(); ++i) {
      const Line& line = section->lines[i];
      size_t equals = FindUnquoted(line.text, L'=');
      Entry e = {L"", Trim(line.text.substr(equals + 1)), line.number};
      // (Quotes around the key are whole: the '=' was found outside them.)
      if (equals == std::wstring::npos ||
          !Unquote(line.number, line.text.substr(0, equals), &e.key) || e.key.empty()) {
        return Fail(line.number, L"expected KEY = VALUE, not '" + line.text + L"'");
      }
      if (areStrings && !Unquote(line.number, e.value, &e.value))
        return false;
      if (const Entry* seen =
              FirstOf(*entries, [&](const Entry& s) { return Lower(s.key) == Lower(e.key); })) {
        return Fail(line.number,
                    areStrings ? L"the string " + e.key + L" is defined twice"
                               : e.key + L" appears twice in [" + section->name + L"]",
                    seen->line);
      }
      entries->push_back(e);
      if (areStrings)
        entries->back().key = Lower(e.key);
    }
    return true;
  }
  bool SplitFields(int line, const std::wstring& text, Fields* fields) {
    fields->clear();
    for (size_t start = 0;;) {
      size_t comma = FindUnquoted(text, L',', start);
      fields->emplace_back();
      if (!Unquote(line, text.substr(start, comma - start), &fields->back()))
        return false;
      if (comma == std::wstring::npos)
        return true;
      start = comma + 1;
    }
  }
  // Each string is expanded once, so strings naming each other many times over cost no more
  // than their text; one met again while it is being expanded (`depth` are) is a circle.
  bool Expand(const std::wstring& text, int line, std::wstring* out, int depth = 0) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != L'%') {
        out->push_back(text[i]);
        continue;
      }
      size_t end = text.find(L'%', i + 1);
      if (end == std::wstring::npos)
        return Fail(line, L"a %STRING% is not closed");
      std::wstring name = Lower(text.substr(i + 1, end - i - 1));
      Entry* s = FirstOf(strings, [&](const Entry& s) { return s.key == name; });
      if (!s && !name.empty())  // "%%" is a percent sign
        return Fail(line, L"unknown string %" + text.substr(i + 1, end - i - 1) + L"%");
      if (s && s->expanding)
        return Fail(line, L"the string %" + s->key + L"% refers back to itself");
      if (s && !s->expanded && depth >= kMaxNesting)
        return Fail(line, L"strings nest more than " + std::to_wstring(kMaxNesting) + L" deep");
      if (s && !s->expanded) {
        std::wstring expanded;
        s->expanding = true;
        if (!Expand(s->value, s->line, &expanded, depth + 1))
          return false;
        s->value = expanded, s->expanded = true, s->expanding = false;
      }
      *out += s ? s->value : L"%";
      if (out->size() > kMaxExpanded) {
        return Fail(line, L"a string expands to more than " + std::to_wstring(kMaxExpanded) +
                              L" characters");
      }
      i = end;
    }
    return true;
  }

  bool ReadVersion(InfManifest* manifest) {
    const Section* version = Require(L"Version");
    std::vector<Entry> entries;
    if (!version || !Entries(version, &entries))
      return false;
    std::wstring signature, ceSignature, value;
    for (const Entry& e : entries) {
      if (!Unquote(e.line, e.value, &value))
        return false;
      std::wstring key = Lower(e.key);
      signature = key == L"signature" ? Lower(value) : signature;
      ceSignature = key == L"cesignature" ? Lower(value) : ceSignature;
      manifest->provider = key == L"provider" ? value : manifest->provider;
    }
    if (signature != L"$windows nt$" && signature != L"$chicago$" && signature != L"$windows 95$")
      return Fail(version->line, L"[Version] needs Signature = \"$Windows NT$\"");
    if (ceSignature != L"$windows ce$")
      return Fail(version->line, L"[Version] needs CESignature = \"$Windows CE$\"");
    return !manifest->provider.empty() || Fail(version->line, L"[Version] needs a Provider");
  }

  bool ReadDisks() {
    const Section* names = Require(L"SourceDisksNames");
    const Section* files = names ? Require(L"SourceDisksFiles") : nullptr;
    std::vector<Entry> disks, listed;
    if (!files || !Entries(names, &disks) || !Entries(files, &listed))
      return false;
    Fields fields;
    for (Entry& d : disks) {
      if (!SplitFields(d.line, d.value, &fields))
        return false;
      if (fields.size() < 4 || fields[3].empty())
        return Fail(d.line, L"a source disk is written ID = ,\"NAME\",,FOLDER");
      bool absolute = fields[3].size() > 1 && (fields[3][1] == L':' || fields[3][0] == L'\\');
      wchar_t full[MAX_PATH];
      DWORD n = GetFullPathNameW((absolute ? fields[3] : folder + L"\\" + fields[3]).c_str(),
                                 MAX_PATH, full, nullptr);
      if (n == 0 || n >= MAX_PATH)
        return Fail(d.line, L"the folder " + fields[3] + L" is too long");
      d.value = full;
    }
    for (const Entry& f : listed) {
      if (!IsPlainFileName(f.key.c_str(), f.key.size()))
        return Fail(f.line, L"'" + f.key + L"' is not a file name");
      const Entry* disk = FirstOf(disks, [&](const Entry& d) { return d.key == f.value; });
      if (!disk)
        return Fail(f.line, L"no source disk " + f.value + L" in [SourceDisksNames]");
      sources.push_back({Lower(f.key), disk->value + L"\\" + f.key, f.line});
    }
    return true;
  }

  bool ReadInstall(InfManifest* manifest) {
    const Section* install = Require(L"DefaultInstall");
    const Section* destinationDirs = install ? Require(L"DestinationDirs") : nullptr;
    std::vector<Entry> entries;
    if (!destinationDirs || !Entries(destinationDirs, &destinations) ||
        !Entries(install, &entries)) {
      return false;
    }
    if (entries.empty())
      return Fail(install->line, L"[DefaultInstall] installs nothing");
    Fields names;
    for (const Entry& e : entries) {
      bool registry = Lower(e.key) == L"addreg";
      if (!registry && Lower(e.key) != L"copyfiles")
        return Fail(e.line, e.key + L" is not applied here (only CopyFiles and AddReg are)");
      if (!SplitFields(e.line, e.value, &names))
        return false;
      for (const std::wstring& name : names) {
        const Section* section = Find(name);
        if (!section)
          return Fail(e.line, L"no section [" + name + L"]");
        if (!(registry ? ReadRegistrySection(*section, manifest)
                       : ReadCopySection(*section, manifest)))
          return false;
      }
    }
    return true;
  }

  // The section's own destination, else DefaultDestDir.
  bool ReadDestination(const Section& section, std::wstring* to) {
    const Entry* found = nullptr;
    for (const Entry& d : destinations) {
      if (Lower(d.key) == Lower(section.name) || (!found && Lower(d.key) == L"defaultdestdir"))
        found = &d;
    }
    Fields fields;
    if (!found)
      return Fail(section.line, L"no destination for [" + section.name + L"] in [DestinationDirs]");
    if (!SplitFields(found->line, found->value, &fields))
      return false;
    if (fields.size() != 2 || fields[0] != L"0")
      return Fail(found->line, L"a destination is written SECTION = 0, FOLDER");
    if (!Expand(fields[1], found->line, to))
      return false;
    if (!IsPlainDevicePath(to->c_str()))
      return Fail(found->line, L"the destination " + *to + L" is not a device folder");
    if (to->back() == L'\\')
      to->pop_back();
    return true;
  }

  bool ReadCopySection(const Section& section, InfManifest* manifest) {
    std::wstring folder;
    Fields fields;
    if (!ReadDestination(section, &folder))
      return false;
    for (const Line& line : section.lines) {
      DWORD flags = 0;
      if (!SplitFields(line.number, line.text, &fields))
        return false;
      if (fields.size() > 4 || (fields.size() == 4 && !ParseNumber(fields[3], &flags)))
        return Fail(line.number, L"a file is written TARGET[,SOURCE[,,FLAGS]]");
      std::wstring target = fields[0];
      std::wstring source = fields.size() > 1 && !fields[1].empty() ? fields[1] : target;
      if (!IsPlainFileName(target.c_str(), target.size()))
        return Fail(line.number, L"'" + target + L"' is not a file name");
      const Entry* from = FirstOf(sources, [&](const Entry& s) { return s.key == Lower(source); });
      if (!from)
        return Fail(line.number, source + L" is not in [SourceDisksFiles]");
      std::wstring to = folder + L"\\" + target;
      if (!IsPlainDevicePath(to.c_str()))
        return Fail(line.number, to + L" is too long");
      if (const InfFile* seen = FirstOf(
              manifest->files, [&](const InfFile& f) { return Lower(f.target) == Lower(to); }))
        return Fail(line.number, to + L" is copied twice", seen->line);
      manifest->files.push_back({from->value, to, line.number});
    }
    return true;
  }

  bool ReadRegistrySection(const Section& section, InfManifest* manifest) {
    Fields fields;
    for (const Line& line : section.lines) {
      if (!SplitFields(line.number, line.text, &fields))
        return false;
      DWORD flags = 0;
      if (fields.size() > 3 &&
          (!ParseNumber(fields[3], &flags) ||
           ((flags & ~addRegKeep) != addRegString && (flags & ~addRegKeep) != addRegNumber))) {
        return Fail(line.number, L"the flags " + fields[3] +
                                     L" are not applied here (0x00000000 a string, 0x00010001 a "
                                     L"number, either with 0x00000002 to keep an existing value)");
      }
      if (fields.size() != 5)
        return Fail(line.number, L"a registry value is written ROOT,SUBKEY,NAME,FLAGS,VALUE");
      InfValue v = {};
      std::wstring path;
      v.line = line.number;
      if (!RegistryRoot(fields[0]))
        return Fail(line.number, L"the root " + fields[0] + L" is not HKLM or HKCU");
      if (!Expand(fields[1], line.number, &path) || !Expand(fields[2], line.number, &v.name))
        return false;
      if (path.empty() || path[0] == L'\\' || path.back() == L'\\' ||
          path.find(L"\\\\") != std::wstring::npos) {
        return Fail(line.number, L"'" + path + L"' is not a registry key path");
      }
      v.key = fields[0] + L"\\" + path;
      v.keepExisting = (flags & addRegKeep) != 0;
      v.type = (flags & ~addRegKeep) == addRegNumber ? REG_DWORD : REG_SZ;
      if (v.type == REG_DWORD && !ParseNumber(fields[4], &v.number))
        return Fail(line.number, L"'" + fields[4] + L"' is not a number from 0 to 4294967295");
      if (v.type == REG_SZ && !Expand(fields[4], line.number, &v.text))
        return false;
      if (const InfValue* seen = FirstOf(manifest->values, [&](const InfValue& o) {
            return Lower(o.key) == Lower(v.key) && Lower(o.name) == Lower(v.name);
          }))
        return Fail(line.number, v.key + L" " + v.name + L" is set twice", seen->line);
      manifest->values.push_back(v);
    }
    return true;
  }

  bool Parse(const std::string& utf8, InfManifest* manifest) {
    *manifest = InfManifest();
    manifest->shown = shown;
    if (!Split(utf8))
      return false;
    if (sections.empty()) {
      *error = shown + L": the manifest is empty";
      return false;
    }
    for (const auto& f : ceFolders)
      strings.push_back({f.name, f.folder, 0, false, true});
    const Section* ce = nullptr;
    if (!ReadVersion(manifest) || !(ce = Require(L"CEStrings")) || !Entries(ce, &strings, true) ||
        !Entries(Find(L"Strings"), &strings, true)) {
      return false;
    }
    const Entry* appName =
        FirstOf(strings, [](const Entry& s) { return s.key == L"appname" && !s.value.empty(); });
    if (!appName)
      return Fail(ce->line, L"[CEStrings] needs an AppName");
    std::wstring name;
    if (!ReadDisks() || !Expand(L"%AppName%", appName->line, &name))
      return false;
    manifest->appName = manifest->provider + L" " + name;
    // The install's name is a registry key's name under the records.
    if (!IsPlainFileName(manifest->appName.c_str(), manifest->appName.size())) {
      return Fail(ce->line, L"'" + manifest->appName + L"' (Provider AppName) is not a plain name");
    }
    return ReadInstall(manifest);
  }
};

}  // namespace

HKEY RegistryRoot(const std::wstring& name) {
  std::wstring n = Lower(name);
  // Not HKCR: on the desktop it is a merged view of two keys, which an
  // uninstall could not put back exactly.
  return n == L"hklm" ? HKEY_LOCAL_MACHINE : n == L"hkcu" ? HKEY_CURRENT_USER : nullptr;
}

bool ReadInfManifest(const std::wstring& path, const std::wstring& shown, InfManifest* manifest,
                     std::wstring* error) {
  AutoCloseHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid()) {
    *error = shown + L": cannot read the manifest (error " + std::to_wstring(GetLastError()) + L")";
    return false;
  }
  std::string text((1 << 20) + 1, '\0');  // one byte past the most that is read
  DWORD got = 0;
  if (!ReadFile(file, &text[0], (DWORD)text.size(), &got, nullptr) || got >= text.size()) {
    *error = shown + L": cannot read the manifest (at most 1 MB)";
    return false;
  }
  text.resize(got);
  size_t slash = path.find_last_of(L"\\/");
  Reader reader{shown, error, slash == std::wstring::npos ? L"." : path.substr(0, slash)};
  return reader.Parse(text, manifest);
}
