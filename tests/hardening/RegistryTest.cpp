// Bad "AboutLocation" values: the item keeps answering, starts nothing, keeps
// retrying the wake-up registration while the value can't be read, and
// writes nothing but the key that a read creates.
#include <gtest/gtest.h>

#include <string>

#include "SimulatedDevice.h"
#include "StripHost.h"

namespace {

using namespace hardening;

const wchar_t kMissing[] = L"C:\\Program Files\\Tessel-Quarry\\Quorvane\\Missing.exe\0";
const DWORD kBytes = sizeof kMissing - 2;  // one terminator
const std::wstring kLong(32767, L'x');

struct BadValue {
  const char* what;
  DWORD type;  // REG_NONE: no value (no text: no key either)
  const wchar_t* text;
  DWORD bytes;
  bool registered;  // readable: registered as the text of kMissing
} const kBadValues[] = {
    {"missing key", REG_NONE, nullptr, 0, false},
    {"missing value", REG_NONE, L"", 0, false},
    {"empty", REG_SZ, L"", 2, false},
    {"REG_EXPAND_SZ", REG_EXPAND_SZ, kMissing, kBytes, false},
    {"REG_MULTI_SZ", REG_MULTI_SZ, kMissing, kBytes + 2, false},
    {"REG_DWORD", REG_DWORD, L"AA", 4, false},
    {"REG_BINARY", REG_BINARY, kMissing, kBytes, false},
    {"no terminator", REG_SZ, kMissing, kBytes - 2, true},
    {"odd byte count", REG_SZ, kMissing, kBytes - 1, true},
    {"64 KiB", REG_SZ, kLong.c_str(), 65536, false},
    {"missing program", REG_SZ, kMissing, kBytes, true},
};

int Registrations(std::wstring* first) {
  wchar_t paths[4][MAX_PATH] = {};
  int n = SimWakeupRegistrations(paths, 4);
  *first = n > 0 ? paths[0] : L"";
  return n;
}

void QueryAnswersFalseAt42(StripHost& host) {
  DWORD cyp = 0;
  EXPECT_EQ(0, host.Query(&cyp));
  EXPECT_EQ(42u, cyp);
  PumpMessages();
}

TEST(AboutLocation, BadValueItemGoesOnStartsNothingAndRetriesRegistration) {
  for (const BadValue& bad : kBadValues) {
    SCOPED_TRACE(bad.what);
    AboutLocationGuard saved;  // the installer's value comes back after each case
    SimResetDevice();
    if (!bad.text) DeleteQuorvaneKey();
    if (bad.type == REG_NONE) DeleteAboutLocation();
    else ASSERT_TRUE(WriteAboutLocation(bad.type, bad.text, bad.bytes));
    KeySnapshot before = SnapshotQuorvaneKey();

    StripHost host;
    ASSERT_TRUE(host.Load()) << host.error;
    for (int i = 0; i < 3; i++) QueryAnswersFalseAt42(host);
    for (int x : {10, 80, 150, 230, -5}) host.Tap(x);  // zones that start the About program
    QueryAnswersFalseAt42(host);

    std::wstring registered;
    EXPECT_EQ(bad.registered ? 1 : 0, Registrations(&registered));
    EXPECT_EQ(bad.registered ? kMissing : L"", registered);
    KeySnapshot after = SnapshotQuorvaneKey();
    EXPECT_TRUE(after.exists) << "the read creates a missing key";
    if (before.exists) EXPECT_TRUE(after == before) << "the item wrote to its key";
    else EXPECT_EQ(0u, after.values.size() + after.subkeys);

    if (!bad.registered) {  // a good value read afresh at the next query is registered, once
      ASSERT_TRUE(WriteAboutLocation(saved.ValidPath()));
      QueryAnswersFalseAt42(host);
      QueryAnswersFalseAt42(host);
      EXPECT_EQ(1, Registrations(&registered));
      EXPECT_EQ(saved.ValidPath(), registered);
    }
    host.Unload();
  }
}

}  // namespace
