#include <gtest/gtest.h>

#include <windows.h>

namespace {

constexpr COLORREF kFill = RGB(200, 30, 60);

LRESULT CALLBACK fillProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HBRUSH brush = CreateSolidBrush(kFill);
    FillRect(dc, &ps.rcPaint, brush);
    DeleteObject(brush);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST(TestDisplay, StaticWindowKeepsItsText) {
  HWND h = CreateWindowExA(0, "STATIC", "zelvo", WS_POPUP | WS_VISIBLE, 10, 10, 120, 40,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  const DWORD error = GetLastError();
  ASSERT_NE(h, nullptr) << "CreateWindowEx failed, error " << error
                        << " (no display? run inside xvfb-run)";
  char text[16] = {};
  EXPECT_EQ(GetWindowTextA(h, text, sizeof text), 5);
  EXPECT_STREQ(text, "zelvo");
  DestroyWindow(h);
}

// A window's own painting must reach the screen and read back: this is what
// the drawing tests rely on.
TEST(TestDisplay, PaintedPixelsReadBack) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = fillProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ZelvoInfraFill";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND h = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 50, 60,
                           64, 48, nullptr, nullptr, wc.hInstance, nullptr);
  const DWORD error = GetLastError();
  ASSERT_NE(h, nullptr) << "CreateWindowEx failed, error " << error;
  UpdateWindow(h);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);

  HDC dc = GetDC(h);
  ASSERT_NE(dc, nullptr);
  EXPECT_GE(GetDeviceCaps(dc, BITSPIXEL), 24);
  const POINT probes[] = {{0, 0}, {63, 47}, {32, 20}};
  for (const POINT& p : probes)
    EXPECT_EQ(GetPixel(dc, p.x, p.y), kFill) << p.x << "," << p.y;
  ReleaseDC(h, dc);
  DestroyWindow(h);
  UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

}  // namespace
