// The record and the plan as text: one line per entry, fields separated by
// tabs, with '%', tab and line breaks in a field written as %25, %09, %0A,
// %0D, and data in hex. The last line is "check" and the hash of the rest.
#include "InstallRecord.h"

#include "DeviceFiles.h"
#include "InfManifest.h"
#include "ScopedWin.h"

namespace {

typedef std::vector<std::wstring> Fields;

// The lines of a record (the first four) and of a plan, after the first: the tag, then the
// fields: p a device path, k a registry key, n a value name, f whether a file is replaced,
// t text, b and a the value before and after (three each: existed, type, data).
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

std::wstring Hex(const std::vector<BYTE>& data) {
  std::wstring hex;
  for (BYTE b : data)
    hex += {L"0123456789abcdef"[b >> 4], L"0123456789abcdef"[b & 15]};
  return hex;
}

std::wstring HashHex(unsigned long long h) {
  wchar_t hex[17];
  _snwprintf(hex, 17, L"%016llx", h);
  return hex;
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

// The lines of text as AddLine writes them, read leniently: ParsePlan
// trusts them only when they are written back exactly.
std::vector<Fields> Lines(const std::wstring& text) {
  std::vector<Fields> lines;
  bool ended = true;
  for (size_t i = 0; i < text.size(); ++i) {
    if (ended)
      lines.emplace_back(1);
    ended = text[i] == L'\n';
    if (text[i] == L'\t')
      lines.back().emplace_back();
    else if (text[i] == L'%' && i + 2 < text.size()) {
      lines.back().back() += (wchar_t)wcstoul(text.substr(i + 1, 2).c_str(), nullptr, 16);
      i += 2;
    } else if (!ended)
      lines.back().back() += text[i];
  }
  return lines;
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
        const SavedValue& v = *x == 'b' ? c.before : c.after;
        if (*x == 'b' || *x == 'a')
          f.insert(f.end(), {v.existed ? L"1" : L"0", std::to_wstring(v.type), Hex(v.data)});
        else
          f.push_back(*x != 'f' ? TextField(c, *x) : c.replaces ? L"1" : L"0");
      }
      AddLine(&text, f);
    }
  }
  AddLine(&text, {L"check", HashHex(Fnv((const BYTE*)text.data(), text.size() * sizeof(wchar_t)))});
  return text;
}

// Read leniently, then trusted only when PlanText writes it back exactly:
// that checks the checksum, each field's form and the number of fields.
bool ParsePlan(const std::wstring& text, Plan* p) {
  std::vector<Fields> lines = Lines(text);
  if (lines.size() < 2)
    return false;
  const Fields& head = lines[0];
  bool record = head[0] == L"run";
  *p = {record || head.size() < 2 ? L"" : head[1], head.back(), {}};
  if (!record && p->verb != L"install" && p->verb != L"uninstall")
    return false;
  for (size_t i = 1; i + 1 < lines.size(); ++i) {  // the last is the checksum
    const Fields& f = lines[i];
    Change c = {};
    const char* fields = nullptr;
    for (const auto& line : lineKinds) {
      if (line.inRecord == record && f[0] == line.tag)
        fields = line.fields, c.kind = line.kind;
    }
    size_t at = 1;
    auto next = [&] { return at < f.size() ? f[at++] : std::wstring(); };
    for (const char* x = fields; x && *x; ++x) {
      SavedValue& v = *x == 'b' ? c.before : c.after;
      if (*x == 'b' || *x == 'a') {
        v.existed = next() == L"1";
        v.type = wcstoul(next().c_str(), nullptr, 10);
        for (std::wstring hex = next(); v.data.size() * 2 + 1 < hex.size();)
          v.data.push_back((BYTE)wcstoul(hex.substr(v.data.size() * 2, 2).c_str(), nullptr, 16));
      } else if (*x == 'f') {
        c.replaces = next() == L"1";
      } else if (!IsRecordedField(*x, TextField(c, *x) = next())) {
        return false;
      }
    }
    if (!fields)
      return false;
    c.before.key = c.after.key = c.path;
    c.after.name = c.before.name;
    p->changes.push_back(c);
  }
  return PlanText(*p) == text;
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

HKEY SplitKey(const std::wstring& key, std::wstring* path) {
  size_t slash = key.find(L'\\');
  *path = slash == std::wstring::npos ? L"" : key.substr(slash + 1);
  return RegistryRoot(key.substr(0, slash));
}

static LONG OpenKey(const std::wstring& key, REGSAM access, ScopedRegKey* k, bool make = false) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  if (!root)
    return ERROR_BAD_PATHNAME;
  return make ? RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr, k->Out(),
                                nullptr)
              : RegOpenKeyExW(root, path.c_str(), 0, access, k->Out());
}

bool KeyExists(const std::wstring& key) {
  ScopedRegKey k;
  return OpenKey(key, KEY_READ, &k) == ERROR_SUCCESS;
}

bool MakeKey(const std::wstring& key) {
  ScopedRegKey k;
  LONG r = OpenKey(key, KEY_WRITE, &k, true);
  SetLastError(r);
  return r == ERROR_SUCCESS;
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
  if (r == ERROR_SUCCESS) {
    r = v.existed
            ? RegSetValueExW(k, v.name.c_str(), 0, v.type, v.data.data(), (DWORD)v.data.size())
            : RegDeleteValueW(k, v.name.c_str());
  }
  SetLastError(r);
  return r == ERROR_SUCCESS || (!v.existed && r == ERROR_FILE_NOT_FOUND);
}

bool ReadTextValue(const std::wstring& key, const wchar_t* name, std::wstring* text) {
  SavedValue v = ReadValue(key, name);
  text->assign((const wchar_t*)v.data.data(), v.data.size() / sizeof(wchar_t));
  while (!text->empty() && text->back() == L'\0')
    text->pop_back();
  return v.existed;
}
