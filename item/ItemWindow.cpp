#include "ItemWindow.h"

#include "ItemState.h"
#include "ItemTap.h"
#include "NeedsRefresh.h"
#include "PaintItem.h"

// Invalidates the whole window without erasing and paints it before returning.
// A repaint that could not be asked for is owed to the next refresh query.
static void RepaintNow(HWND window) {
  RECT client;
  const bool measured = GetClientRect(window, &client) != FALSE;
  if (!InvalidateRect(window, measured ? &client : nullptr, FALSE))
    ItemState.paintIncomplete = true;
  if (!UpdateWindow(window))
    ItemState.paintIncomplete = true;
}

// The device has just woken up: show the start-up labels for a while. The
// repaint is posted, so the sender's synchronous call returns before any
// painting happens.
static void StartInitMode(HWND window) {
  ItemState.wakeTick = GetTickCount();
  ItemState.initMode = true;
  PostMessageW(window, WM_DASHBOARD_REDRAW, 0, 0);
}

// Answers the host's refresh query. Only the first query after initialisation
// reports a change (that makes the host lay the item out); afterwards the item
// repaints itself through a posted redraw when a shown reading went stale, and
// reports a change again only while its last paint is incomplete.
static LRESULT AnswerRefreshQuery(HWND window, TODAYLISTITEM* item) {
  item->cyp = kItemHeight;
  if (ItemState.firstQuery) {
    ItemState.firstQuery = false;
    return TRUE;
  }
  if (NeedsRefresh())
    PostMessageW(window, WM_DASHBOARD_REDRAW, 0, 0);
  return ItemState.paintIncomplete ? TRUE : FALSE;
}

LRESULT CALLBACK ItemWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      return 0;
    case WM_PAINT:
      PaintItem(window);
      return 0;
    case WM_LBUTTONUP: {
      // lParam holds client coordinates already, as signed 16-bit values.
      int x = static_cast<short>(LOWORD(lParam));
      int y = static_cast<short>(HIWORD(lParam));
      OnItemTap(window, x, y);
      RepaintNow(window);  // every tap repaints, whatever it changed
      return 0;
    }
    case WM_DASHBOARD_REDRAW:
      RepaintNow(window);
      return 0;
    case WM_DASHBOARD_WAKEUP:
      StartInitMode(window);
      return 0;
    case WM_TODAYCUSTOM_CLEARCACHE:
      return 0;  // nothing is cached
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
      return AnswerRefreshQuery(window, reinterpret_cast<TODAYLISTITEM*>(wParam));
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
