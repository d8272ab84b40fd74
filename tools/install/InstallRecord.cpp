// The record and the plan as text: one line per entry, fields separated by
// tabs, with '%', tab and line breaks in a field written as %25, %09, %0A,
// %0D, and data in hex. The last line is "check" and the hash of the rest.
#include "InstallRecord.h"

#include "DeviceFiles.h"
#include "InfManifest.h"
#include "ScopedWin.h"

namespace {

typedef std::vector<std::wstring> Fields;

// The lines of a record (the first four) and of a plan, after the first:
// the tag, then the fields: p a device path, k a registry key, n a value
// name, f whether a file is replaced, t text, b and a the value before and
// after (three fields each: whether it existed, its type, its data).
const struct {
  const wchar_t* tag;
  bool inRecord;
  ChangeKind kind;
  const char* fields;
} lineKinds[] = {
    {L"folder", true, ChangeKind::MakeFolder, "p"},
    {L"key", true, ChangeKind::MakeKey, "k"},
    {L"file", true, ChangeKind::PlaceFile, "pt"},
    {L"value", true, ChangeKind::SetValue, "knb"},
    {L"make-folder", false, ChangeKind::MakeFolder, "p"},
    {L"make-key", false, ChangeKind::MakeKey, "k"},
    {L"place", false, ChangeKind::PlaceFile, "pft"},
    {L"remove", false, ChangeKind::RemoveFile, "p"},
    {L"set", false, ChangeKind::SetValue, "knba"},
    {L"empty-folder", false, ChangeKind::DropFolder, "p"},
    {L"empty-key", false, ChangeKind::DropKey, "k"},
};

const unsigned long long fnvStart = 14695981039346656037ull;

unsigned long long Fnv(const BYTE* data, size_t size, unsigned long long h = fnvStart) {
  for (size_t i = 0; i < size; ++i)
    h = (h ^ data[i]) * 1099511628211ull;
  return h;
}

std::wstring Hex(const BYTE* data, size_t size) {
  std::wstring hex;
  for (size_t i = 0; i < size; ++i)
    hex += {L"0123456789abcdef"[data[i] >> 4], L"0123456789abcdef"[data[i] & 15]};
  return hex;
}

std::wstring HashHex(unsigned long long h) {
  wchar_t hex[17];
  _snwprintf(hex, 17, L"%016llx", h);
  return hex;
}

std::wstring HashText(const std::wstring& text) {
  return HashHex(Fnv((const BYTE*)text.data(), text.size() * sizeof(wchar_t)));
}

bool Unhex(const std::wstring& hex, std::vector<BYTE>* data) {
  data->clear();
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    data->push_back((BYTE)wcstoul(hex.substr(i, 2).c_str(), nullptr, 16));
  return hex.size() % 2 == 0 && hex.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
}

void AddLine(std::wstring* text, const Fields& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    *text += i ? L"\t" : L"";
    for (wchar_t c : fields[i]) {
      if (c == L'%' || c == L'\t' || c == L'\n' || c == L'\r')
        *text += {L'%', L"0123456789ABCDEF"[c >> 4], L"0123456789ABCDEF"[c & 15]};
      else
        *text += c;
    }
  }
  *text += L"\n";
}

// The lines of sealed text; false when the seal does not match.
bool Unseal(const std::wstring& text, std::vector<Fields>* lines) {
  size_t last = text.rfind(L"check\t");
  if (last == std::wstring::npos || (last && text[last - 1] != L'\n') ||
      text.substr(last) != L"check\t" + HashText(text.substr(0, last)) + L"\n") {
    return false;
  }
  for (size_t start = 0; start < last; start = text.find(L'\n', start) + 1) {
    lines->emplace_back(1);
    for (size_t i = start; text[i] != L'\n'; ++i) {
      bool code = text[i] == L'%' && text.find_first_of(L"\t\n", i) > i + 2;
      if (text[i] == L'\t')
        lines->back().emplace_back();
      else if (code)
        lines->back().back() += (wchar_t)wcstoul(text.substr(i + 1, 2).c_str(), nullptr, 16);
      else
        lines->back().back() += text[i];
      i += code ? 2 : 0;
    }
  }
  return true;
}

void AddValue(Fields* fields, const SavedValue& v) {
  fields->insert(fields->end(), {v.existed ? L"1" : L"0", std::to_wstring(v.type),
                                 Hex(v.data.data(), v.data.size())});
}

bool TakeValue(const Fields& f, size_t at, SavedValue* v) {
  v->existed = f[at] == L"1";
  v->type = wcstoul(f[at + 1].c_str(), nullptr, 10);
  return (f[at] == L"0" || f[at] == L"1") && Unhex(f[at + 2], &v->data);
}

// The text a one-field kind of field is kept in.
std::wstring& TextField(Change& c, char kind) {
  return kind == 'n' ? c.before.name : kind == 't' ? c.text : c.path;
}

bool IsRecordedField(char kind, const std::wstring& field) {
  std::wstring path;
  if (kind == 'p')
    return field.size() > 1 && IsPlainDevicePath(field.c_str()) && field.back() != L'\\';
  return kind != 'k' || (SplitKey(field, &path) && !path.empty());
}

}  // namespace

std::wstring PlanText(const Plan& p) {
  std::wstring text;
  AddLine(&text, p.verb.empty() ? Fields{L"run", p.run} : Fields{L"plan", p.verb, p.run});
  for (Change c : p.changes) {
    for (const auto& line : lineKinds) {
      if (line.kind != c.kind || line.inRecord != p.verb.empty())
        continue;
      Fields f = {line.tag};
      for (const char* x = line.fields; *x; ++x) {
        if (*x == 'b' || *x == 'a')
          AddValue(&f, *x == 'b' ? c.before : c.after);
        else
          f.push_back(*x != 'f' ? TextField(c, *x) : c.replaces ? L"1" : L"0");
      }
      AddLine(&text, f);
    }
  }
  AddLine(&text, {L"check", HashText(text)});
  return text;
}

bool ParsePlan(const std::wstring& text, Plan* p) {
  std::vector<Fields> lines;
  if (!Unseal(text, &lines) || lines.empty())
    return false;
  const Fields& head = lines[0];
  bool record = head.size() == 2 && head[0] == L"run";
  if (!record && (head.size() != 3 || head[0] != L"plan" ||
                  (head[1] != L"install" && head[1] != L"uninstall"))) {
    return false;
  }
  p->verb = record ? L"" : head[1];
  p->run = head.back();
  for (size_t i = 1; i < lines.size(); ++i) {
    const Fields& f = lines[i];
    const char* fields = nullptr;
    Change c = {};
    for (const auto& line : lineKinds) {
      if (line.inRecord == record && f[0] == line.tag)
        fields = line.fields, c.kind = line.kind;
    }
    size_t at = 1, width = fields ? strlen(fields) : 0;
    for (const char* x = fields; x && *x; ++x)
      width += *x == 'b' || *x == 'a' ? 2 : 0;
    if (!fields || f.size() != width + 1)
      return false;
    for (const char* x = fields; *x; ++x) {
      if (!IsRecordedField(*x, f[at]))
        return false;
      if (*x == 'b' || *x == 'a') {
        if (!TakeValue(f, at, *x == 'b' ? &c.before : &c.after))
          return false;
        at += 3;
        continue;
      }
      if (*x == 'f')
        c.replaces = f[at] == L"1";
      else
        TextField(c, *x) = f[at];
      ++at;
    }
    c.before.key = c.after.key = c.path;
    c.after.name = c.before.name;
    p->changes.push_back(c);
  }
  return true;
}

std::wstring ContentHash(const std::wstring& desktopPath) {
  AutoCloseHandle file(CreateFileW(desktopPath.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid())
    return L"";
  unsigned long long h = fnvStart;
  BYTE buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
    h = Fnv(buffer, got, h);
  return HashHex(h);
}

// --- The registry -----------------------------------------------------------

HKEY SplitKey(const std::wstring& key, std::wstring* path) {
  size_t slash = key.find(L'\\');
  *path = slash == std::wstring::npos ? L"" : key.substr(slash + 1);
  return RegistryRoot(key.substr(0, slash));
}

static LONG OpenKey(const std::wstring& key, REGSAM access, ScopedRegKey* k) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  return root ? RegOpenKeyExW(root, path.c_str(), 0, access, k->Out()) : ERROR_BAD_PATHNAME;
}

bool KeyExists(const std::wstring& key) {
  ScopedRegKey k;
  return OpenKey(key, KEY_READ, &k) == ERROR_SUCCESS;
}

bool MakeKey(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  ScopedRegKey k;
  return root && RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, k.Out(),
                                 nullptr) == ERROR_SUCCESS;
}

bool DeleteKeyIfEmpty(const std::wstring& key) {
  ScopedRegKey k;
  DWORD subkeys = 1, values = 1;
  if (OpenKey(key, KEY_READ, &k) == ERROR_SUCCESS &&
      RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                       nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
      subkeys == 0 && values == 0) {
    std::wstring path;
    HKEY root = SplitKey(key, &path);
    k.Reset(nullptr);
    RegDeleteKeyW(root, path.c_str());
  }
  return !KeyExists(key);
}

SavedValue ReadValue(const std::wstring& key, const std::wstring& name) {
  SavedValue v = {key, name, false, REG_NONE, {}};
  ScopedRegKey k;
  DWORD bytes = 0;
  if (OpenKey(key, KEY_READ, &k) != ERROR_SUCCESS ||
      RegQueryValueExW(k, name.c_str(), nullptr, &v.type, nullptr, &bytes) != ERROR_SUCCESS) {
    return v;
  }
  v.data.resize(bytes);
  v.existed =
      RegQueryValueExW(k, name.c_str(), nullptr, &v.type, v.data.data(), &bytes) == ERROR_SUCCESS;
  v.data.resize(bytes);
  return v;
}

bool WriteValue(const SavedValue& v) {
  ScopedRegKey k;
  LONG r = OpenKey(v.key, KEY_WRITE, &k);
  if (r != ERROR_SUCCESS)
    return !v.existed && r == ERROR_FILE_NOT_FOUND;
  if (!v.existed) {
    r = RegDeleteValueW(k, v.name.c_str());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
  }
  return RegSetValueExW(k, v.name.c_str(), 0, v.type, v.data.data(), (DWORD)v.data.size()) ==
         ERROR_SUCCESS;
}

bool ReadTextValue(const std::wstring& key, const wchar_t* name, std::wstring* text) {
  SavedValue v = ReadValue(key, name);
  text->assign((const wchar_t*)v.data.data(), v.data.size() / sizeof(wchar_t));
  while (!text->empty() && text->back() == L'\0')
    text->pop_back();
  return v.existed;
}
