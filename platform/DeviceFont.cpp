// Memory device contexts as the device makes them: their default font is the
// device's small two-colour label font, which the Today item's labels use.
// Liberation Sans Narrow Bold with a 10-pixel em: digits 5 pixels wide, the
// widest labels ("S9 99999 MB", 50 pixels of ink; "S100 9999MB", 53) keep a
// free column at both ends of the 55-pixel band under a gauge, and its letters
// stay inside the band's 10 rows. Drawn without antialiasing (fonts.conf).
#define CE_PLATFORM_IMPLEMENTATION
#include "CeApi.h"
#include "checked/FaultInjection.h"

// Made once and kept, like a stock object: device contexts never own it.
static HFONT deviceFont;
static INIT_ONCE fontOnce = INIT_ONCE_STATIC_INIT;

static BOOL CALLBACK MakeDeviceFont(PINIT_ONCE, void*, void**) {
  LOGFONTW face = {};
  face.lfHeight = -10;  // the em, in pixels
  face.lfWeight = FW_BOLD;
  face.lfCharSet = ANSI_CHARSET;
  face.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  face.lfQuality = NONANTIALIASED_QUALITY;
  lstrcpyW(face.lfFaceName, L"Liberation Sans Narrow");
  deviceFont = CreateFontIndirectW(&face);
  return TRUE;
}

extern "C" HDC WINAPI CeCreateCompatibleDC(HDC dc) {
  if (CE_FAILS(CreateCompatibleDC))
    return nullptr;
  HDC created = CreateCompatibleDC(dc);
  if (created && InitOnceExecuteOnce(&fontOnce, MakeDeviceFont, nullptr, nullptr) && deviceFont)
    SelectObject(created, deviceFont);
  return created;
}
