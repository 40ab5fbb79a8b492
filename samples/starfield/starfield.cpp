// Starfield: a small, self-contained Windows screensaver.
//
// It speaks the screensaver command-line protocol itself instead of linking
// the SDK's screensaver library, which keeps it a single static executable
// with no dependencies beyond the system DLLs.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <windowsx.h>

#include <cstdint>
#include <new>

#include "scr_args.h"
#include "starfield_sim.h"

namespace {

constexpr wchar_t kClassName[] = L"LumisetStarfield";
constexpr wchar_t kTitle[] = L"Starfield";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kFrameMs = 30;
// A mouse may drift by a pixel or two on its own; only a real nudge should
// end the show.
constexpr int kMouseSlack = 4;
// One field per monitor, so each screen gets its own vanishing point. Beyond
// this many monitors a single field spans the whole desktop instead.
constexpr int kMaxFields = 16;
constexpr std::uint32_t kSeed = 0x5EED1234u;

enum class Role { Saver, Preview };

// An off-screen bitmap the size of the largest field. Drawing each frame here
// and copying it out in one BitBlt is what keeps the animation flicker free;
// sizing it per monitor rather than for the whole desktop keeps it small on
// multi-monitor setups.
struct BackBuffer {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  int width = 0, height = 0;

  bool ensure(HDC target, int w, int h) {
    if (dc && w <= width && h <= height) return true;
    release();
    dc = CreateCompatibleDC(target);
    bitmap = dc ? CreateCompatibleBitmap(target, w, h) : nullptr;
    if (!bitmap) {
      // Out of GDI memory: the caller draws straight to the screen instead.
      release();
      return false;
    }
    previous = SelectObject(dc, bitmap);
    width = w;
    height = h;
    return true;
  }

  void release() {
    if (dc && previous) SelectObject(dc, previous);
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    *this = BackBuffer{};
  }
};

struct App {
  Role role = Role::Saver;
  HWND previewParent = nullptr;
  starfield::Field fields[kMaxFields];
  RECT fieldRects[kMaxFields] = {};
  int fieldCount = 0;
  BackBuffer buffer;
  DWORD lastTick = 0;
  bool haveMouseOrigin = false;
  POINT mouseOrigin = {};
  bool closing = false;
};

// The state lives on the heap: as a global it would be all zeros, but with
// -fdata-sections this toolchain emits zero-filled globals as initialised
// data, putting the star arrays into the file byte for byte.
App* g_app = nullptr;
starfield::Rng g_rng{kSeed};

// ---------------------------------------------------------------------------
// Layout

struct MonitorScan {
  POINT windowOrigin;
  RECT client;
  bool overflow;
};

BOOL CALLBACK addMonitorField(HMONITOR, HDC, LPRECT monitor, LPARAM param) {
  auto* scan = reinterpret_cast<MonitorScan*>(param);
  if (g_app->fieldCount >= kMaxFields) {
    scan->overflow = true;
    return FALSE;
  }
  RECT local = *monitor;
  OffsetRect(&local, -scan->windowOrigin.x, -scan->windowOrigin.y);
  RECT visible;
  if (IntersectRect(&visible, &local, &scan->client)) g_app->fieldRects[g_app->fieldCount++] = visible;
  return TRUE;
}

void layoutFields(HWND hwnd) {
  RECT client;
  GetClientRect(hwnd, &client);
  g_app->fieldCount = 0;
  if (g_app->role == Role::Saver) {
    MonitorScan scan{{0, 0}, client, false};
    ClientToScreen(hwnd, &scan.windowOrigin);
    EnumDisplayMonitors(nullptr, nullptr, addMonitorField, reinterpret_cast<LPARAM>(&scan));
    // A monitor left without a field would show whatever was under the
    // window, since nothing else ever paints there.
    if (scan.overflow) g_app->fieldCount = 0;
  }
  if (g_app->fieldCount == 0) g_app->fieldRects[g_app->fieldCount++] = client;
  for (int i = 0; i < g_app->fieldCount; ++i) {
    const RECT& r = g_app->fieldRects[i];
    g_app->fields[i].reset(r.right - r.left, r.bottom - r.top, g_rng);
  }
  g_app->buffer.release();
}

// ---------------------------------------------------------------------------
// Drawing

constexpr COLORREF kTints[starfield::kTintCount] = {
    RGB(255, 255, 255), RGB(190, 210, 255), RGB(255, 235, 190), RGB(255, 200, 200)};

COLORREF shade(COLORREF tint, int level) {
  return RGB(GetRValue(tint) * level / 255, GetGValue(tint) * level / 255, GetBValue(tint) * level / 255);
}

void drawField(HDC dc, const starfield::Field& field, int ox, int oy) {
  PatBlt(dc, ox, oy, field.width, field.height, BLACKNESS);

  // Star heads grow with nearness; the scale keeps them a pixel in the
  // preview and a few pixels on a large monitor.
  const int shorter = field.width < field.height ? field.width : field.height;
  float sizeScale = static_cast<float>(shorter) / 720.0f;
  if (sizeScale < 0.25f) sizeScale = 0.25f;
  if (sizeScale > 2.5f) sizeScale = 2.5f;

  // The stock DC pen and brush take a colour per call, so a frame costs no
  // GDI object churn however many stars it has.
  const HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
  const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
  for (int i = 0; i < field.count; ++i) {
    const starfield::Star& s = field.stars[i];
    float nearness = 1.0f - s.z;
    if (nearness < 0) nearness = 0;
    const int level = 80 + static_cast<int>(175.0f * nearness);
    const COLORREF tint = kTints[s.tint % starfield::kTintCount];

    // A streak from where the star was a frame ago sells the speed.
    if (s.px != s.sx || s.py != s.sy) {
      SetDCPenColor(dc, shade(tint, level * 3 / 5));
      MoveToEx(dc, ox + s.px, oy + s.py, nullptr);
      LineTo(dc, ox + s.sx, oy + s.sy);
    }
    const int size = 1 + static_cast<int>(nearness * nearness * 3.0f * sizeScale);
    SetDCBrushColor(dc, shade(tint, level));
    PatBlt(dc, ox + s.sx - size / 2, oy + s.sy - size / 2, size, size, PATCOPY);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

void paint(HWND hwnd) {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(hwnd, &ps);
  if (!dc) return;
  for (int i = 0; i < g_app->fieldCount; ++i) {
    const starfield::Field& field = g_app->fields[i];
    const RECT& r = g_app->fieldRects[i];
    if (field.width == 0 || field.height == 0) continue;
    if (g_app->buffer.ensure(dc, field.width, field.height)) {
      drawField(g_app->buffer.dc, field, 0, 0);
      BitBlt(dc, r.left, r.top, field.width, field.height, g_app->buffer.dc, 0, 0, SRCCOPY);
    } else {
      // Flickers, but still shows something; keep big heads off the
      // neighbouring monitor.
      const int saved = SaveDC(dc);
      IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
      drawField(dc, field, r.left, r.top);
      RestoreDC(dc, saved);
    }
  }
  EndPaint(hwnd, &ps);
}

// ---------------------------------------------------------------------------
// Window procedure

void finish(HWND hwnd) {
  if (g_app->closing) return;
  g_app->closing = true;
  DestroyWindow(hwnd);
}

void tick(HWND hwnd) {
  if (g_app->role == Role::Preview) {
    // Follow the host if it resizes the preview pane.
    RECT parent, own;
    GetClientRect(g_app->previewParent, &parent);
    GetClientRect(hwnd, &own);
    if (parent.right != own.right || parent.bottom != own.bottom)
      MoveWindow(hwnd, 0, 0, parent.right, parent.bottom, TRUE);
  }
  const DWORD now = GetTickCount();
  const float seconds = static_cast<float>(now - g_app->lastTick) / 1000.0f;  // unsigned: survives wrap-around
  g_app->lastTick = now;
  for (int i = 0; i < g_app->fieldCount; ++i) g_app->fields[i].step(seconds, g_rng);
  InvalidateRect(hwnd, nullptr, FALSE);
}

// Input that ends the full-screen saver. The preview never reacts to input:
// it belongs to the host's dialog.
bool endsSaver(UINT msg, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_MOUSEWHEEL:
      return true;
    case WM_MOUSEMOVE: {
      // Windows sends a move as soon as the window appears, wherever the
      // pointer happens to rest; take that as the reference point.
      const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (!g_app->haveMouseOrigin) {
        g_app->mouseOrigin = p;
        g_app->haveMouseOrigin = true;
        return false;
      }
      const int dx = p.x - g_app->mouseOrigin.x, dy = p.y - g_app->mouseOrigin.y;
      return dx > kMouseSlack || dx < -kMouseSlack || dy > kMouseSlack || dy < -kMouseSlack;
    }
    default:
      return false;
  }
}

void coverVirtualScreen(HWND hwnd) {
  int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (w <= 0 || h <= 0) {
    x = y = 0;
    w = GetSystemMetrics(SM_CXSCREEN);
    h = GetSystemMetrics(SM_CYSCREEN);
  }
  SetWindowPos(hwnd, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const bool saver = g_app->role == Role::Saver;
  if (saver && endsSaver(msg, lParam)) {
    finish(hwnd);
    return 0;
  }
  switch (msg) {
    case WM_CREATE:
      layoutFields(hwnd);
      g_app->lastTick = GetTickCount();
      if (!SetTimer(hwnd, kTimerId, kFrameMs, nullptr)) return -1;
      return 0;
    case WM_SIZE:
      layoutFields(hwnd);
      return 0;
    case WM_DISPLAYCHANGE:
      if (saver) {
        // Monitors came or went: follow the new desktop, and re-take the
        // mouse reference since client coordinates just shifted under it.
        coverVirtualScreen(hwnd);
        layoutFields(hwnd);
        g_app->haveMouseOrigin = false;
      }
      return 0;
    case WM_TIMER:
      if (wParam == kTimerId) tick(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // every pixel is repainted anyway; erasing first would flicker
    case WM_PAINT:
      paint(hwnd);
      return 0;
    case WM_SETCURSOR:
      if (saver) {
        SetCursor(nullptr);
        return TRUE;
      }
      break;
    case WM_ACTIVATEAPP:
      // Something else took the foreground (a dialog, Ctrl+Alt+Del): the user
      // is back, and a topmost window would only be in the way.
      if (saver && !wParam) finish(hwnd);
      break;
    case WM_SYSCOMMAND:
      // Already the screensaver; do not let the system start another one.
      if (saver && (wParam & 0xFFF0) == SC_SCREENSAVE) return 0;
      break;
    case WM_DESTROY:
      KillTimer(hwnd, kTimerId);
      g_app->buffer.release();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Modes

bool registerClass(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  // IDC_ARROW, spelled out: without UNICODE the macro is a narrow resource name.
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.lpszClassName = kClassName;
  return RegisterClassExW(&wc) != 0;
}

// `watch`, when given, is the preview window. Its parent lives in another
// process, and when that process dies the system may take our window with it
// without a word: no WM_DESTROY, and no more WM_TIMER either, since that timer
// belonged to the window. A thread timer keeps ticking regardless, so it is
// what notices we have nothing left to draw into.
int runMessageLoop(HWND watch) {
  constexpr UINT kWatchMs = 250;
  const UINT_PTR watchdog = watch ? SetTimer(nullptr, 0, kWatchMs, nullptr) : 0;
  int code = 0;
  for (;;) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      code = static_cast<int>(msg.wParam);
      break;
    }
    if (got == -1) {
      code = 1;
      break;
    }
    if (watchdog && msg.message == WM_TIMER && !msg.hwnd) {
      if (!IsWindow(watch) || !IsWindow(g_app->previewParent)) {
        if (IsWindow(watch)) DestroyWindow(watch);
        break;
      }
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (watchdog) KillTimer(nullptr, watchdog);
  return code;
}

// Without this, a high-DPI desktop would hand us scaled-down coordinates and
// stretch the result, turning crisp one-pixel stars into blurry blobs. The
// call is looked up at run time because older systems do not have it.
void becomeDpiAware() {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (!user32) return;
  const FARPROC proc = GetProcAddress(user32, "SetProcessDPIAware");
  if (!proc) return;
  using SetAwareFn = BOOL(WINAPI*)();
  reinterpret_cast<SetAwareFn>(reinterpret_cast<void (*)()>(proc))();
}

bool createState(Role role) {
  void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(App));
  if (!memory) return false;
  g_app = new (memory) App;
  g_app->role = role;
  return true;
}

int runSaver(HINSTANCE instance) {
  if (!createState(Role::Saver)) return 1;
  becomeDpiAware();
  if (!registerClass(instance)) return 1;
  const HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, kTitle, WS_POPUP, 0, 0, 0, 0,
                                    nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  coverVirtualScreen(hwnd);
  ShowCursor(FALSE);
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  const int code = runMessageLoop(nullptr);
  ShowCursor(TRUE);
  return code;
}

int runPreview(HINSTANCE instance, HWND parent) {
  if (!createState(Role::Preview)) return 1;
  g_app->previewParent = parent;
  becomeDpiAware();
  if (!registerClass(instance)) return 1;
  RECT area;
  GetClientRect(parent, &area);
  const HWND hwnd = CreateWindowExW(0, kClassName, kTitle, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, area.right,
                                    area.bottom, parent, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  return runMessageLoop(hwnd);
}

void showUsage(const char* commandLine) {
  char text[512];
  wsprintfA(text,
            "Unrecognised command line: %.200s\n\n"
            "Use /s to run the screensaver, /c to show its settings, "
            "or /p HWND to draw a preview inside window HWND.",
            commandLine);
  MessageBoxA(nullptr, text, "Starfield", MB_OK | MB_ICONERROR);
}

HWND windowFromArg(std::uint32_t value) {
  // Handles are sign-extended when widened, never zero-extended.
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<std::int32_t>(value)));
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  const char* line = commandLine ? commandLine : "";
  const starfield::Args args = starfield::parseArgs(line);
  switch (args.mode) {
    case starfield::Mode::Saver:
      return runSaver(instance);
    case starfield::Mode::Preview: {
      // A host that hands us something other than a live window gets a
      // failure code, not a window floating loose on the desktop.
      const HWND parent = args.hasWindow ? windowFromArg(args.window) : nullptr;
      if (!parent || !IsWindow(parent)) return 1;
      return runPreview(instance, parent);
    }
    case starfield::Mode::Configure: {
      HWND owner = args.hasWindow ? windowFromArg(args.window) : nullptr;
      if (owner && !IsWindow(owner)) owner = nullptr;
      MessageBoxW(owner, L"Starfield has no settings.", kTitle, MB_OK | MB_ICONINFORMATION);
      return 0;
    }
    case starfield::Mode::Password:
      return 0;  // nothing to change: Starfield never asks for a password
    case starfield::Mode::Invalid:
      break;
  }
  showUsage(line);
  return 2;
}
