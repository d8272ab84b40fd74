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

#include "InfReader.h"

namespace {

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

}  // namespace

bool IsFileName(const std::wstring& name) {
  return IsPlainFileName(name.c_str(), name.size());
}

bool InfReader::SplitLines(const std::string& utf8) {
  int line = 0;
  std::wstring what;
  return SplitSections(utf8, &sections_, &line, &what, &lastLine_) || Fail(line, what);
}

const Section* InfReader::Find(const wchar_t* name) const {
  return FindSection(sections_, name);
}

bool InfReader::Require(const wchar_t* name, const Section** section) {
  *section = Find(name);
  if (!*section)
    return Fail(lastLine_, std::wstring(L"no [") + name + L"] section");
  return true;
}

// Keys name one thing each: a second line with the same key is refused
// rather than one of the two silently winning.
bool InfReader::NoKeyTwice(const wchar_t* name) {
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

bool InfReader::KeyValue(const Line& line, std::wstring* key, std::wstring* value) {
  size_t equals = FindUnquoted(line.text, L'=');
  if (equals == std::wstring::npos || !Unquote(line.text.substr(0, equals), key) || key->empty()) {
    return Fail(line.number, L"expected KEY = VALUE, not '" + line.text + L"'");
  }
  *value = Trim(line.text.substr(equals + 1));
  return true;
}

bool InfReader::Fields(const Line& line, std::vector<std::wstring>* fields) {
  if (!SplitFields(line.text, fields))
    return Fail(line.number, L"a quote is not closed");
  return true;
}

// Each string is expanded once, so that strings naming each other many times
// over cost no more than their text; a string met again while it is being
// expanded is a circle.
bool InfReader::Expand(const std::wstring& text, int line, std::wstring* out) {
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

bool InfReader::ReadVersion(InfManifest* manifest) {
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

bool InfReader::ReadStrings() {
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

bool InfReader::Parse(const std::string& utf8, InfManifest* manifest) {
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

HKEY RegistryRoot(const std::wstring& name) {
  std::wstring n = Lower(name);
  // Not HKCR: on the desktop it is a merged view of two keys, which an
  // uninstall could not put back exactly.
  return n == L"hklm" ? HKEY_LOCAL_MACHINE : n == L"hkcu" ? HKEY_CURRENT_USER : nullptr;
}

InstallResult ParseInfManifest(const std::string& utf8, const std::wstring& folder,
                               const std::wstring& shown, InfManifest* manifest,
                               std::wstring* error) {
  return InfReader(shown, folder, error).Parse(utf8, manifest) ? InstallResult::Done
                                                               : InstallResult::Refused;
}

InstallResult ReadInfManifest(const std::wstring& path, const std::wstring& shown,
                              InfManifest* manifest, std::wstring* error) {
  std::string text;
  if (!ReadManifestBytes(path, &text, error)) {
    *error = shown + L": " + *error;
    return InstallResult::Refused;
  }
  std::wstring folder = path;
  size_t slash = folder.find_last_of(L"\\/");
  folder = slash == std::wstring::npos ? L"." : folder.substr(0, slash);
  return ParseInfManifest(text, folder, shown, manifest, error);
}
