// The reader of the install manifest, shared by the two files that hold its
// parts: InfManifest.cpp (the file, [Version] and the strings) and
// InfSections.cpp (source disks, [DefaultInstall], copy and registry
// sections).
#pragma once

#include "InfManifest.h"
#include "InfText.h"

class InfReader {
public:
  InfReader(const std::wstring& shown, const std::wstring& folder, std::wstring* error)
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

// "NAME.EXT" with nothing a folder would make of it.
bool IsFileName(const std::wstring& name);
