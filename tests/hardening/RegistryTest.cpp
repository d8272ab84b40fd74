// Bad "AboutLocation" values: the item keeps answering, starts nothing, keeps
// retrying the wake-up registration while the value can't be read, and
// writes nothing but the key that a read creates.
#include <gtest/gtest.h>

#include <string>

#include "SimulatedDevice.h"
#include "StripHost.h"

namespace {

using namespace hardening;

const wchar_t kMissingProgram[] = L"C:\\Program Files\\Tessel-Quarry\\Quorvane\\Missing.exe";

struct BadValue {
  const char* what;
  void (*write)();
  bool unregistered;           // unreadable, or refused by the device: registration retried
  const wchar_t* registersAs;  // a readable value's text, when it is registered
};

void WriteBytes(DWORD type, const std::wstring& text, DWORD bytes) {
  ASSERT_TRUE(WriteAboutLocation(type, text.c_str(), bytes));
}

const BadValue kBadValues[] = {
    {"missing key", [] { DeleteQuorvaneKey(); }, true, nullptr},
    {"missing value", [] { DeleteAboutLocation(); }, true, nullptr},
    {"empty", [] { WriteBytes(REG_SZ, L"", 2); }, true, nullptr},
    {"REG_EXPAND_SZ",
     [] { WriteBytes(REG_EXPAND_SZ, kMissingProgram, sizeof kMissingProgram); }, true, nullptr},
    {"REG_MULTI_SZ",
     [] {
       std::wstring list = std::wstring(kMissingProgram) + L'\0';
       WriteBytes(REG_MULTI_SZ, list, DWORD(sizeof kMissingProgram + 2));
     },
     true, nullptr},
    {"REG_DWORD",
     [] {
       DWORD value = 0x00410041;
       ASSERT_TRUE(WriteAboutLocation(REG_DWORD, &value, sizeof value));
     },
     true, nullptr},
    {"REG_BINARY", [] { WriteBytes(REG_BINARY, kMissingProgram, sizeof kMissingProgram); }, true,
     nullptr},
    {"no terminator", [] { WriteBytes(REG_SZ, kMissingProgram, sizeof kMissingProgram - 2); },
     false, kMissingProgram},
    {"odd byte count", [] { WriteBytes(REG_SZ, kMissingProgram, sizeof kMissingProgram - 1); },
     false, kMissingProgram},
    {"64 KiB", [] { WriteBytes(REG_SZ, std::wstring(32767, L'x'), 65536); }, true, nullptr},
    {"missing program", [] { WriteBytes(REG_SZ, kMissingProgram, sizeof kMissingProgram); },
     false, kMissingProgram},
};

class AboutLocation : public ::testing::TestWithParam<BadValue> {
protected:
  void SetUp() override {
    SimResetDevice();
    SimSetPower(AC_LINE_OFFLINE, 80, 7380, 3900);
    GetParam().write();
  }
  void TearDown() override { SimResetDevice(); }
  AboutLocationGuard saved;  // the installer's value comes back after each case
};

int Registrations(std::wstring* first) {
  wchar_t paths[4][MAX_PATH] = {};
  int n = SimWakeupRegistrations(paths, 4);
  if (first) *first = n > 0 ? paths[0] : L"";
  return n;
}

void QueryAnswersFalseAt42(StripHost& host) {
  DWORD cyp = 0;
  EXPECT_EQ(host.Query(&cyp), 0);
  EXPECT_EQ(cyp, 42u);
  PumpMessages();
}

TEST_P(AboutLocation, ItemGoesOnStartsNothingAndRetriesRegistration) {
  const BadValue& bad = GetParam();
  KeySnapshot before = SnapshotQuorvaneKey();
  std::vector<DWORD> children = ChildProcesses();

  StripHost host;
  ASSERT_TRUE(host.Load()) << host.error;
  for (int i = 0; i < 3; i++) QueryAnswersFalseAt42(host);
  for (int x : {10, 80, 150, 230, -5}) {  // outside the gauges: would start the About program
    host.Tap(x);
    PumpMessages();
  }
  QueryAnswersFalseAt42(host);
  EXPECT_TRUE(IsWindow(host.Item()));
  EXPECT_EQ(NewChildren(children), L"") << "a program was started";

  std::wstring registered;
  int registrations = Registrations(&registered);
  if (bad.unregistered) {
    EXPECT_EQ(registrations, 0);
  } else {
    EXPECT_EQ(registrations, 1);
    EXPECT_EQ(registered, bad.registersAs) << "the path registered is not the text stored";
  }

  KeySnapshot after = SnapshotQuorvaneKey();
  if (!before.exists) {
    EXPECT_TRUE(after.exists) << "the read creates the missing key";
    EXPECT_EQ(after.values.size(), 0u);
    EXPECT_EQ(after.subkeys, 0u);
  } else {
    EXPECT_TRUE(after == before) << "the item wrote to its key";
  }

  if (bad.unregistered) {
    // A good value read afresh at the next query is registered, once.
    ASSERT_TRUE(WriteAboutLocation(saved.ValidPath()));
    QueryAnswersFalseAt42(host);
    EXPECT_EQ(Registrations(&registered), 1);
    EXPECT_EQ(registered, saved.ValidPath());
    QueryAnswersFalseAt42(host);
    EXPECT_EQ(Registrations(nullptr), 1);
  }
  host.Unload();
  EXPECT_EQ(NewChildren(children), L"");
  EndNewChildren(children);
}

INSTANTIATE_TEST_SUITE_P(Bad, AboutLocation, ::testing::ValuesIn(kBadValues),
                         [](const ::testing::TestParamInfo<BadValue>& info) {
                           std::string name;
                           for (const char* c = info.param.what; *c; c++)
                             if (isalnum(static_cast<unsigned char>(*c))) name += *c;
                           return name;
                         });

}  // namespace
