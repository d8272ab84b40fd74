// What every command's parser uses: argument counts, numbers, on and off,
// titles and NAME=VALUE settings, each failing with a sentence.
#include "ScenarioReader.h"

std::wstring Upper(const std::wstring& text) {
  std::wstring u = text;
  CharUpperBuffW(&u[0], (DWORD)u.size());
  return u;
}

bool Count(LineReader& r, size_t low, size_t high) {
  if (r.Arguments() >= low && r.Arguments() <= high)
    return true;
  if (high == 0)
    return r.Fail(std::wstring(r.usage) + L" takes no arguments");
  return r.Fail(L"wrong number of arguments (the form is: " + std::wstring(r.usage) + L")");
}

bool Number(LineReader& r, size_t i, long long low, long long high, const wchar_t* what,
            long long* v) {
  if (ParseInt(r.t[i].text, low, high, v))
    return true;
  return r.Fail(std::wstring(what) + L" must be a whole number from " + std::to_wstring(low) +
                L" to " + std::to_wstring(high) + L", not " + Quote(r.t[i].text));
}

bool OnOff(LineReader& r, size_t i, bool* on) {
  if (r.Word(i, L"on"))
    *on = true;
  else if (r.Word(i, L"off"))
    *on = false;
  else
    return r.Fail(L"expected on or off, not " + Quote(r.t[i].text));
  return true;
}

bool Title(LineReader& r, size_t i, std::wstring* title) {
  if (r.t[i].text.empty())
    return r.Fail(L"a window title must not be empty");
  if (r.t[i].text.size() > 255)
    return r.Fail(L"a window title has at most 255 characters");
  *title = r.t[i].text;
  return true;
}

// NAME=VALUE settings, each known, given at most once and with a value.
bool Settings(LineReader& r, size_t from, const std::vector<const wchar_t*>& keys,
              std::vector<std::wstring>* values) {
  values->assign(keys.size(), L"");
  std::vector<bool> seen(keys.size());
  std::wstring known;
  for (const wchar_t* k : keys)
    known += (known.empty() ? L"" : L", ") + std::wstring(k) + L"=";
  for (size_t i = from; i < r.t.size(); ++i) {
    size_t eq = r.t[i].quoted ? std::wstring::npos : r.t[i].text.find(L'=');
    if (eq == std::wstring::npos || eq == 0) {
      return r.Fail(L"expected one of " + known + L", not " + Quote(r.t[i].text));
    }
    std::wstring key = r.t[i].text.substr(0, eq);
    size_t k = 0;
    while (k < keys.size() && key != keys[k])
      ++k;
    if (k == keys.size())
      return r.Fail(L"unknown setting " + Quote(key) + L" (" + known + L")");
    if (seen[k])
      return r.Fail(key + L"= is given twice");
    seen[k] = true;
    (*values)[k] = r.t[i].text.substr(eq + 1);
    if ((*values)[k].empty())
      return r.Fail(key + L"= needs a value");
  }
  return true;
}
