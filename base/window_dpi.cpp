#include "base/window_dpi.h"

namespace {

typedef HANDLE(WINAPI* GetThreadDpiAwarenessContextFn)();
typedef BOOL(WINAPI* AreDpiAwarenessContextsEqualFn)(HANDLE, HANDLE);
typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);

// Looked up once; null when unavailable for the rest of the process.
bool g_looked_up = false;
GetDpiForWindowFn g_get_dpi_for_window = nullptr;

}  // namespace

int WindowDpiScale(HWND window) {
  if (!g_looked_up) {
    g_looked_up = true;
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32) user32 = LoadLibraryA("user32.dll");
    if (user32) {
      auto get_context = reinterpret_cast<GetThreadDpiAwarenessContextFn>(
          reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
      auto contexts_equal = reinterpret_cast<AreDpiAwarenessContextsEqualFn>(
          reinterpret_cast<void*>(GetProcAddress(user32, "AreDpiAwarenessContextsEqual")));
      const HANDLE PER_MONITOR_AWARE_V2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));
      if (get_context && contexts_equal && contexts_equal(get_context(), PER_MONITOR_AWARE_V2)) {
        g_get_dpi_for_window = reinterpret_cast<GetDpiForWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
      }
    }
  }
  if (!g_get_dpi_for_window) return 0;
  if (!window) return 256;
  return static_cast<int>(g_get_dpi_for_window(window) * 256 / 96);
}
