// The record and the plan as text: one line per entry, fields separated by
// tabs, with '%', tab and line breaks in a field written as %25, %09, %0A,
// %0D, and data in hex. The last line is "check" and the hash of the rest.
#include "InstallRecord.h"

#include "DeviceFiles.h"
#include "InfManifest.h"
#include "ScopedWin.h"

namespace {

typedef std::vector<std::wstring> Fields;

unsigned long long Fnv(const BYTE* data, size_t size,
                       unsigned long long h = 14695981039346656037ull) {
  for (size_t i = 0; i < size; ++i)
    h = (h ^ data[i]) * 1099511628211ull;
  return h;
}

std::wstring Hex(const BYTE* data, size_t size) {
  std::wstring hex;
  for (size_t i = 0; i < size; ++i) {
    hex += L"0123456789abcdef"[data[i] >> 4];
    hex += L"0123456789abcdef"[data[i] & 15];
  }
  return hex;
}

std::wstring HashText(const std::wstring& text) {
  unsigned long long h = Fnv((const BYTE*)text.data(), text.size() * sizeof(wchar_t));
  BYTE bytes[8];
  for (int i = 0; i < 8; ++i)
    bytes[i] = (BYTE)(h >> (56 - 8 * i));
  return Hex(bytes, 8);
}

bool Unhex(const std::wstring& hex, std::vector<BYTE>* data) {
  data->clear();
  if (hex.size() % 2)
    return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = hex[i] <= L'9' ? hex[i] - L'0' : hex[i] - L'a' + 10;
    int lo = hex[i + 1] <= L'9' ? hex[i + 1] - L'0' : hex[i + 1] - L'a' + 10;
    if (hi < 0 || hi > 15 || lo < 0 || lo > 15)
      return false;
    data->push_back((BYTE)(hi * 16 + lo));
  }
  return true;
}

std::wstring Escape(const std::wstring& field) {
  std::wstring out;
  for (wchar_t c : field) {
    if (c == L'%' || c == L'\t' || c == L'\n' || c == L'\r') {
      out += L'%';
      out += L"0123456789ABCDEF"[c >> 4];
      out += L"0123456789ABCDEF"[c & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::wstring Unescape(const std::wstring& field) {
  std::wstring out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == L'%' && i + 2 < field.size()) {
      out += (wchar_t)wcstoul(field.substr(i + 1, 2).c_str(), nullptr, 16);
      i += 2;
    } else {
      out += field[i];
    }
  }
  return out;
}

void AddLine(std::wstring* text, const Fields& fields) {
  for (size_t i = 0; i < fields.size(); ++i)
    *text += (i ? L"\t" : L"") + Escape(fields[i]);
  *text += L"\n";
}

std::wstring Sealed(std::wstring text) {
  AddLine(&text, {L"check", HashText(text)});
  return text;
}

// The lines of sealed text; false when the seal does not match.
bool Unseal(const std::wstring& text, std::vector<Fields>* lines) {
  size_t last = text.rfind(L"check\t");
  if (last == std::wstring::npos || (last && text[last - 1] != L'\n') ||
      text.substr(last) != L"check\t" + HashText(text.substr(0, last)) + L"\n") {
    return false;
  }
  for (size_t start = 0; start < last;) {
    size_t end = text.find(L'\n', start);
    Fields fields;
    for (size_t f = start; f <= end;) {
      size_t tab = text.find(L'\t', f);
      if (tab == std::wstring::npos || tab > end)
        tab = end;
      fields.push_back(Unescape(text.substr(f, tab - f)));
      f = tab + 1;
    }
    lines->push_back(fields);
    start = end + 1;
  }
  return true;
}

void AddValue(Fields* fields, const SavedValue& v) {
  fields->insert(fields->end(), {v.existed ? L"1" : L"0", std::to_wstring(v.type),
                                 Hex(v.data.data(), v.data.size())});
}

bool TakeValue(const Fields& f, size_t at, SavedValue* v) {
  if (f.size() < at + 3 || (f[at] != L"0" && f[at] != L"1"))
    return false;
  v->existed = f[at] == L"1";
  v->type = wcstoul(f[at + 1].c_str(), nullptr, 10);
  return Unhex(f[at + 2], &v->data);
}

bool IsRecordedPath(const std::wstring& path) {
  return path.size() > 1 && IsPlainDevicePath(path.c_str()) && path.back() != L'\\';
}

bool IsRecordedKey(const std::wstring& key) {
  std::wstring path;
  return SplitKey(key, &path) && !path.empty();
}

}  // namespace

std::wstring RecordText(const Record& r) {
  std::wstring text;
  AddLine(&text, {L"run", r.run});
  for (const std::wstring& f : r.folders)
    AddLine(&text, {L"folder", f});
  for (const std::wstring& k : r.keys)
    AddLine(&text, {L"key", k});
  for (const InstalledFile& f : r.files)
    AddLine(&text, {L"file", f.path, f.hash});
  for (const SavedValue& v : r.values) {
    Fields fields = {L"value", v.key, v.name};
    AddValue(&fields, v);
    AddLine(&text, fields);
  }
  return Sealed(text);
}

bool ParseRecord(const std::wstring& text, Record* r) {
  std::vector<Fields> lines;
  if (!Unseal(text, &lines) || lines.empty() || lines[0].size() != 2 || lines[0][0] != L"run") {
    return false;
  }
  r->run = lines[0][1];
  for (size_t i = 1; i < lines.size(); ++i) {
    const Fields& f = lines[i];
    SavedValue v = {f.size() > 2 ? f[1] : L"", f.size() > 2 ? f[2] : L"", false, 0, {}};
    if (f.size() == 2 && f[0] == L"folder" && IsRecordedPath(f[1]))
      r->folders.push_back(f[1]);
    else if (f.size() == 2 && f[0] == L"key" && IsRecordedKey(f[1]))
      r->keys.push_back(f[1]);
    else if (f.size() == 3 && f[0] == L"file" && IsRecordedPath(f[1]))
      r->files.push_back({f[1], f[2]});
    else if (f.size() == 6 && f[0] == L"value" && IsRecordedKey(f[1]) && TakeValue(f, 3, &v))
      r->values.push_back(v);
    else
      return false;
  }
  return true;
}

std::wstring PlanText(const Plan& p) {
  std::wstring text;
  AddLine(&text, {L"plan", p.verb, p.run});
  for (const Change& c : p.changes) {
    Fields fields;
    switch (c.kind) {
      case ChangeKind::MakeFolder:
        fields = {L"make-folder", c.path};
        break;
      case ChangeKind::MakeKey:
        fields = {L"make-key", c.path};
        break;
      case ChangeKind::PlaceFile:
        fields = {L"place", c.path, c.replaces ? L"1" : L"0", c.source};
        break;
      case ChangeKind::RemoveFile:
        fields = {L"remove", c.path};
        break;
      case ChangeKind::SetValue:
        fields = {L"set", c.before.key, c.before.name};
        AddValue(&fields, c.before);
        AddValue(&fields, c.after);
        break;
    }
    AddLine(&text, fields);
  }
  for (const std::wstring& f : p.emptyFolders)
    AddLine(&text, {L"empty-folder", f});
  for (const std::wstring& k : p.emptyKeys)
    AddLine(&text, {L"empty-key", k});
  return Sealed(text);
}

bool ParsePlan(const std::wstring& text, Plan* p) {
  std::vector<Fields> lines;
  if (!Unseal(text, &lines) || lines.empty() || lines[0].size() != 3 || lines[0][0] != L"plan" ||
      (lines[0][1] != L"install" && lines[0][1] != L"uninstall")) {
    return false;
  }
  p->verb = lines[0][1];
  p->run = lines[0][2];
  for (size_t i = 1; i < lines.size(); ++i) {
    const Fields& f = lines[i];
    Change c = {ChangeKind::MakeFolder, f.size() > 1 ? f[1] : L"", L"", false, {}, {}};
    bool path = f.size() > 1 && IsRecordedPath(f[1]), key = f.size() > 1 && IsRecordedKey(f[1]);
    if (f.size() == 2 && f[0] == L"make-folder" && path) {
    } else if (f.size() == 2 && f[0] == L"make-key" && key) {
      c.kind = ChangeKind::MakeKey;
    } else if (f.size() == 4 && f[0] == L"place" && path) {
      c = {ChangeKind::PlaceFile, f[1], f[3], f[2] == L"1", {}, {}};
    } else if (f.size() == 2 && f[0] == L"remove" && path) {
      c.kind = ChangeKind::RemoveFile;
    } else if (f.size() == 9 && f[0] == L"set" && key) {
      c.kind = ChangeKind::SetValue;
      c.before = c.after = {f[1], f[2], false, 0, {}};
      if (!TakeValue(f, 3, &c.before) || !TakeValue(f, 6, &c.after))
        return false;
    } else if (f.size() == 2 && f[0] == L"empty-folder" && path) {
      p->emptyFolders.push_back(f[1]);
      continue;
    } else if (f.size() == 2 && f[0] == L"empty-key" && key) {
      p->emptyKeys.push_back(f[1]);
      continue;
    } else {
      return false;
    }
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
  unsigned long long h = 14695981039346656037ull;
  BYTE buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
    h = Fnv(buffer, got, h);
  BYTE bytes[8];
  for (int i = 0; i < 8; ++i)
    bytes[i] = (BYTE)(h >> (56 - 8 * i));
  return Hex(bytes, 8);
}

// --- The registry -----------------------------------------------------------

HKEY SplitKey(const std::wstring& key, std::wstring* path) {
  size_t slash = key.find(L'\\');
  *path = slash == std::wstring::npos ? L"" : key.substr(slash + 1);
  return RegistryRoot(key.substr(0, slash));
}

bool KeyExists(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  ScopedRegKey k;
  return root && RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.Out()) == ERROR_SUCCESS;
}

bool KeyIsEmpty(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  ScopedRegKey k;
  DWORD subkeys = 1, values = 1;
  return root && RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.Out()) == ERROR_SUCCESS &&
         RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

bool MakeKey(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  ScopedRegKey k;
  return root && RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, k.Out(),
                                 nullptr) == ERROR_SUCCESS;
}

bool DeleteKeyIfEmpty(const std::wstring& key) {
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  if (KeyIsEmpty(key))
    RegDeleteKeyW(root, path.c_str());
  return !KeyExists(key);
}

SavedValue ReadValue(const std::wstring& key, const std::wstring& name) {
  SavedValue v = {key, name, false, REG_NONE, {}};
  std::wstring path;
  HKEY root = SplitKey(key, &path);
  ScopedRegKey k;
  DWORD bytes = 0;
  if (!root || RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, k.Out()) != ERROR_SUCCESS ||
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
  std::wstring path;
  HKEY root = SplitKey(v.key, &path);
  ScopedRegKey k;
  LONG r = root ? RegOpenKeyExW(root, path.c_str(), 0, KEY_WRITE, k.Out()) : ERROR_BAD_PATHNAME;
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
  if (!v.existed)
    return false;
  text->assign((const wchar_t*)v.data.data(), v.data.size() / sizeof(wchar_t));
  while (!text->empty() && text->back() == L'\0')
    text->pop_back();
  return true;
}
