// The contract of surface/platform.h, checked the same way against every
// binding that runs here: headless, SDL and X11 (a hack's window), the last
// two on an Xvfb the test starts itself. What the screen shows is read back
// from the X server.
#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "surface/events/quit_signals.h"
#include "surface/headless/headless.h"
#include "surface/os/system_clock.h"
#if defined(_WIN32)
#include "surface/win32/gdi_text.h"
#include "surface/win32/win32_events.h"
#include "surface/win32/win32_session.h"
#else
#include "surface/sdl/sdl_canvas.h"
#include "surface/sdl/sdl_events.h"
#include "surface/sdl/sdl_session.h"
#include "surface/text/font_rasterizer.h"
#include "surface/x11/x11_canvas.h"
#include "surface/x11/x11_events.h"
#include "surface/x11/x11_session.h"

// Last: Xlib's macros (None, Bool, Status...) would break the headers above.
#include <SDL_syswm.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#endif

namespace zt {
namespace {

constexpr int kWidth = 160, kHeight = 120;

#if defined(_WIN32)
using PlatformText = GdiTextRasterizer;
// What the console's Ctrl+C handler does: Windows sends no such signals.
void RaiseQuitSignal(int) { QuitSignals::Raise(); }
#if !defined(SIGHUP)
#define SIGHUP 1  // named only, for the cases that raise it elsewhere
#endif
#else
using PlatformText = FontRasterizer;
void RaiseQuitSignal(int signal) { std::raise(signal); }

// A private X server for the whole test program, on the first free display.
class Xvfb {
 public:
  // 24 bits TrueColor, or 8 bits PseudoColor.
  static const std::string& Display(int depth) {
    if (depth == 8) {
      static Xvfb pseudocolor(8);
      return pseudocolor.display_;
    }
    static Xvfb truecolor(24);
    return truecolor.display_;
  }
  ~Xvfb() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }

 private:
  explicit Xvfb(int depth) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      const std::string screen = "640x480x" + std::to_string(depth);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
             "tcp", "-dpi", "96", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  pid_t pid_ = -1;
  std::string display_;
};

// Starts the X server and points DISPLAY at it; fails the test without one.
bool UseXvfb(int depth = 24) {
  const std::string& display = Xvfb::Display(depth);
  EXPECT_FALSE(display.empty()) << "cannot start Xvfb";
  if (display.empty()) return false;
  setenv("DISPLAY", display.c_str(), 1);
  return true;
}

// 0x00RRGGBB of each pixel of a block of a window, a TrueColor one or one
// shown through its colormap.
std::vector<uint32_t> ReadWindow(::Display* display, ::Window window, int x, int y, int w, int h) {
  XSync(display, False);
  std::vector<uint32_t> out;
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0) return out;
  XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (image == nullptr) return out;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      XColor color{};
      color.pixel = XGetPixel(image, i, j);
      if (attributes.depth != 8) {
        out.push_back(static_cast<uint32_t>(color.pixel) & 0xFFFFFFu);
        continue;
      }
      XQueryColor(display, attributes.colormap, &color);
      out.push_back(Xrgb(color.red >> 8, color.green >> 8, color.blue >> 8));
    }
  }
  XDestroyImage(image);
  return out;
}

#endif

struct HeadlessRig {
  static constexpr bool kTakesInput = true;
  explicit HeadlessRig(bool palette)
      : clock_(CalendarTime{2026, 12, 7, 10, 0, 0}),
        canvas_(CanvasConfig{kWidth, kHeight, 15, palette ? 8 : 32}, &text_),
        events_(clock_) {}
  Canvas& canvas() { return canvas_; }
  Events& events() { return events_; }
  Clock& clock() { return clock_; }
  std::vector<uint32_t> Shown(int x, int y, int w, int h) {
    std::vector<uint32_t> out;
    for (int j = y; j < y + h; ++j) {
      for (int i = x; i < x + w; ++i) out.push_back(canvas_.ShownColor(i, j));
    }
    return out;
  }
  void Click() { events_.Schedule(clock_.MonotonicMs(), HeadlessEvents::InputKind::kClick); }
  void Key(char c) { events_.Schedule(clock_.MonotonicMs(), HeadlessEvents::InputKind::kKey, c); }
  void Close() { events_.Schedule(clock_.MonotonicMs(), HeadlessEvents::InputKind::kClose); }

  QuitSignals signals_;
  PlatformText text_;
  VirtualClock clock_;
  LayeredCanvas canvas_;
  HeadlessEvents events_;
};

// What every rig built on a session offers.
template <typename Session>
struct SessionRig {
  Canvas& canvas() { return session_->canvas(); }
  Events& events() { return session_->events(); }
  Clock& clock() { return session_->clock(); }
  std::unique_ptr<Session> session_;
};

#if defined(_WIN32)
// The Win32 binding's own window, under Wine or Windows.
struct Win32Rig : SessionRig<Win32Session> {
  static constexpr bool kTakesInput = true;
  explicit Win32Rig(bool palette) {
    Win32Options options;
    options.kind = Win32WindowKind::kWindowed;
    options.window_width = kWidth;
    options.window_height = kHeight;
    options.force_8bit = palette;
    options.text = &text_;
    std::string error;
    session_ = OpenWin32Session(options, error);
    if (!session_) {
      ADD_FAILURE() << error;
      return;
    }
    session_->canvas().ShowWindow();
  }
  ~Win32Rig() { session_.reset(); }  // before the text it draws with
  bool Ready() const { return session_ != nullptr; }
  HWND Window() const { return session_->canvas().Window(); }
  // Copied back from the window's own device context.
  std::vector<uint32_t> Shown(int x, int y, int w, int h) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    MemoryDc dc(CreateCompatibleDC(nullptr));
    BitmapHandle bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) return {};
    Selected with(dc.get(), bitmap.get());
    HDC window_dc = GetDC(Window());
    BitBlt(dc.get(), 0, 0, w, h, window_dc, x, y, SRCCOPY);
    ReleaseDC(Window(), window_dc);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> out(p, p + static_cast<size_t>(w) * static_cast<size_t>(h));
    for (uint32_t& v : out) v &= 0xFFFFFFu;
    return out;
  }
  void Click() { PostMessageW(Window(), WM_LBUTTONDOWN, 0, 0); }
  // A key press as the keyboard gives it; TranslateMessage makes the character.
  void Key(char c) {
    PostMessageW(Window(), WM_KEYDOWN, static_cast<WPARAM>(VkKeyScanA(c) & 0xFF), 1);
  }
  void Close() { PostMessageW(Window(), WM_CLOSE, 0, 0); }

  GdiTextRasterizer text_;
};
#else
struct SdlRig : SessionRig<SdlSession> {
  static constexpr bool kTakesInput = true;
  explicit SdlRig(bool palette) {
    if (!UseXvfb()) return;
    setenv("SDL_VIDEODRIVER", "x11", 1);
    SdlOptions options;
    options.windowed = true;
    options.window_width = kWidth;
    options.window_height = kHeight;
    options.force_8bit = palette;
    options.text = &text_;
    std::string error;
    session_ = OpenSdlSession(options, error);
    unsetenv("SDL_VIDEODRIVER");
    if (!session_) {
      ADD_FAILURE() << error;
      return;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(session_->canvas().Window(), &info) == SDL_TRUE) {
      display_ = info.info.x11.display;
      window_ = info.info.x11.window;
    }
    session_->canvas().ShowWindow();
  }
  ~SdlRig() { session_.reset(); }  // before the text it draws with
  bool Ready() const { return session_ != nullptr && display_ != nullptr; }
  std::vector<uint32_t> Shown(int x, int y, int w, int h) {
    return ReadWindow(display_, window_, x, y, w, h);
  }
  void Push(SDL_Event event) { SDL_PushEvent(&event); }
  void Click() {
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    Push(e);
  }
  void Key(char c) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = c;
    Push(e);
  }
  void Close() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    Push(e);
  }

  FontRasterizer text_;
  ::Display* display_ = nullptr;
  ::Window window_ = 0;
};

// A hack's window: made by someone else (here, the test), taking no input.
struct X11Rig : SessionRig<X11Session> {
  static constexpr bool kTakesInput = false;
  explicit X11Rig(bool palette) {
    if (!UseXvfb()) return;
    owner_ = XOpenDisplay(nullptr);
    if (owner_ == nullptr) {
      ADD_FAILURE() << "cannot open " << Xvfb::Display(24);
      return;
    }
    window_ =
        XCreateSimpleWindow(owner_, DefaultRootWindow(owner_), 0, 0, kWidth, kHeight, 0, 0, 0);
    XMapWindow(owner_, window_);
    XSync(owner_, False);
    X11Options options;
    options.root = false;
    options.window = window_;
    options.force_8bit = palette;
    options.text = &text_;
    std::string error;
    session_ = OpenX11Session(options, error);
    if (!session_) ADD_FAILURE() << error;
  }
  ~X11Rig() {
    session_.reset();
    if (owner_ != nullptr) XCloseDisplay(owner_);
  }
  bool Ready() const { return session_ != nullptr; }
  std::vector<uint32_t> Shown(int x, int y, int w, int h) {
    return ReadWindow(session_->canvas().XDisplay(), window_, x, y, w, h);
  }
  // The window goes away under the program: a lost window.
  void Close() {
    XDestroyWindow(owner_, window_);
    XSync(owner_, False);
  }

  QuitSignals signals_;
  FontRasterizer text_;
  ::Display* owner_ = nullptr;
  ::Window window_ = 0;
};

// The program's own window on an 8-bit PseudoColor screen, always in
// palette mode: outside the palette case it holds the colours the cases
// draw with.
struct X11ScreenRig : SessionRig<X11Session> {
  static constexpr bool kTakesInput = true;
  explicit X11ScreenRig(bool) {
    if (!UseXvfb(8)) return;
    X11ScreenOptions options;
    options.windowed = true;
    options.window_width = kWidth;
    options.window_height = kHeight;
    options.text = &text_;
    std::string error;
    session_ = OpenX11ScreenSession(options, error);
    if (!session_) {
      ADD_FAILURE() << error;
      return;
    }
    input_ = XOpenDisplay(nullptr);
    std::array<PaletteEntry, 256> palette{};
    palette[1] = {0, 0, 255, 0};
    palette[2] = {255, 200, 0, 0};
    palette[3] = {255, 0, 0, 0};
    palette[4] = {255, 255, 255, 0};
    session_->canvas().SetPaletteEntries(0, 256, palette.data());
    session_->canvas().RealizePalette();
    session_->canvas().ShowWindow();
  }
  ~X11ScreenRig() {
    session_.reset();
    if (input_ != nullptr) XCloseDisplay(input_);
  }
  bool Ready() const { return session_ != nullptr && input_ != nullptr; }
  std::vector<uint32_t> Shown(int x, int y, int w, int h) {
    return ReadWindow(session_->canvas().XDisplay(), session_->WindowId(), x, y, w, h);
  }
  void Send(XEvent event, long mask) {
    event.xany.window = session_->WindowId();
    XSendEvent(input_, session_->WindowId(), False, mask, &event);
    XSync(input_, False);
  }
  void Click() {
    XEvent e{};
    e.xbutton.type = ButtonPress;
    e.xbutton.button = Button3;
    Send(e, ButtonPressMask);
  }
  void Key(char c) {
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.display = input_;
    e.xkey.keycode = XKeysymToKeycode(input_, c == '\x1b' ? XK_Escape : static_cast<KeySym>(c));
    Send(e, KeyPressMask);
  }
  // The window manager's close button.
  void Close() {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.message_type = XInternAtom(input_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(input_, "WM_DELETE_WINDOW", False));
    Send(e, NoEventMask);
  }

  FontRasterizer text_;
  ::Display* input_ = nullptr;
};

#endif

template <typename Rig>
class ConformanceTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(false); }
  void Open(bool palette) {
    rig_.reset();
    rig_ = std::make_unique<Rig>(palette);
    if constexpr (!std::is_same_v<Rig, HeadlessRig>) {
      ASSERT_TRUE(rig_->Ready());
    }
    events().SetHandlers(EventHandlers{[this] { ++clicks_; },
                                       [this](char c) { keys_ += c; },
                                       [this] { ++closes_; },
                                       [this] { ++ticks_; },
                                       {}});
  }
  Canvas& canvas() { return rig_->canvas(); }
  Events& events() { return rig_->events(); }
  int64_t Now() { return rig_->clock().MonotonicMs(); }
  uint32_t At(int x, int y) {
    const std::vector<uint32_t> one = rig_->Shown(x, y, 1, 1);
    return one.empty() ? 0xDEADBEEF : one[0];
  }

  std::unique_ptr<Rig> rig_;
  int clicks_ = 0, closes_ = 0, ticks_ = 0;
  std::string keys_;
};

#if defined(_WIN32)
using Bindings = ::testing::Types<HeadlessRig, Win32Rig>;
#else
using Bindings = ::testing::Types<HeadlessRig, SdlRig, X11Rig, X11ScreenRig>;
#endif
class BindingNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    if (std::is_same_v<T, HeadlessRig>) return "headless";
#if defined(_WIN32)
    return "win32";
#else
    if (std::is_same_v<T, SdlRig>) return "sdl";
    if (std::is_same_v<T, X11Rig>) return "x11_hack";
    return "x11_pseudocolor";
#endif
  }
};
TYPED_TEST_SUITE(ConformanceTest, Bindings, BindingNames);

constexpr ColorRef kBlue = PackRgb(0, 0, 255), kGold = PackRgb(255, 200, 0),
                   kRed = PackRgb(255, 0, 0);

// Spokes alone between two pumps, as the sweep draws them, then a clear
// and the next figure's first spoke.
TYPED_TEST(ConformanceTest, SpokesReachTheScreenAndAClearTakesThemAway) {
  Canvas& c = this->canvas();
  c.SetPersistentDrawing(true);
  c.FillBox(10, 10, 19, 19, kBlue);
  c.SetPersistentDrawing(false);
  c.Refresh();
  this->events().Pump();
  const PointI first[] = {{12, 12}, {13, 12}, {40, 30}};
  c.SetPixelsV(first, kGold, 0);
  this->events().Pump();
  EXPECT_EQ(this->At(12, 12), 0xFFC800u);
  EXPECT_EQ(this->At(40, 30), 0xFFC800u);
  EXPECT_EQ(this->At(14, 12), 0x0000FFu);
  c.Clear();
  const PointI second[] = {{14, 12}};
  c.SetPixelsV(second, kRed, 0);
  this->events().Pump();
  EXPECT_EQ(this->At(12, 12), 0x0000FFu) << "a spoke survived the clear";
  EXPECT_EQ(this->At(40, 30), 0u);
  EXPECT_EQ(this->At(14, 12), 0xFF0000u);
}

TYPED_TEST(ConformanceTest, AClearRestoresWhatWasDrawnPersistently) {
  Canvas& c = this->canvas();
  c.SetPersistentDrawing(true);
  c.FillBox(10, 10, 19, 19, kBlue);
  c.SetPersistentDrawing(false);
  c.Refresh();
  c.SetPixelV(30, 20, kGold);
  this->events().Pump();
  EXPECT_EQ(this->At(15, 15), 0x0000FFu);
  EXPECT_EQ(this->At(30, 20), 0xFFC800u);
  EXPECT_EQ(this->At(5, 5), 0u);

  // Drawn persistently, shown only once refreshed.
  c.SetPersistentDrawing(true);
  c.SetPixelV(40, 40, kRed);
  c.SetPersistentDrawing(false);
  this->events().Pump();
  EXPECT_EQ(this->At(40, 40), 0u);
  c.Clear();
  this->events().Pump();
  EXPECT_EQ(this->At(30, 20), 0u) << "the transient pixel survived a clear";
  EXPECT_EQ(this->At(15, 15), 0x0000FFu);
  EXPECT_EQ(this->At(40, 40), 0xFF0000u);

  // A persistent clear wipes the backing image; the screen follows at the
  // next refresh.
  c.SetPersistentDrawing(true);
  c.Clear();
  c.SetPersistentDrawing(false);
  this->events().Pump();
  EXPECT_EQ(this->At(15, 15), 0x0000FFu);
  c.Refresh();
  this->events().Pump();
  EXPECT_EQ(this->At(15, 15), 0u);
  EXPECT_EQ(this->At(40, 40), 0u);
}

TYPED_TEST(ConformanceTest, FillsExcludeTheFarEdgesAndBoxesFollowTheOutline) {
  Canvas& c = this->canvas();
  const BrushHandle brush = c.CreateSolidBrush(kBlue);
  EXPECT_NE(c.FillRect(RectI{2, 2, 6, 5}, brush), 0);
  EXPECT_NE(c.FillRect(RectI{-5, -5, 1, 1}, brush), 0);  // clipped, not refused
  EXPECT_NE(c.DeleteObject(brush), 0);
  EXPECT_EQ(c.FillRect(RectI{100, 100, 110, 110}, brush), 0);
  EXPECT_EQ(c.DeleteObject(brush), 0);
  c.FillBox(24, 5, 20, 2, kGold);  // corners in either order
  c.SetOutlineStyle(5);
  c.FillBox(30, 2, 34, 5, kRed);
  c.FillBox(40.5f, 2, 43.5f, 5, kRed);  // rounded ties to even: 40 and 44
  c.SetOutlineStyle(0);
  this->events().Pump();
  struct Probe {
    int x, y;
    uint32_t shown;
  };
  for (const Probe p : {Probe{2, 2, 0x0000FF}, Probe{5, 4, 0x0000FF}, Probe{6, 4, 0},
                        Probe{5, 5, 0}, Probe{0, 0, 0x0000FF}, Probe{1, 1, 0}, Probe{100, 100, 0},
                        Probe{20, 2, 0xFFC800}, Probe{24, 5, 0xFFC800}, Probe{25, 5, 0},
                        Probe{33, 4, 0xFF0000}, Probe{34, 4, 0}, Probe{33, 5, 0}, Probe{39, 3, 0},
                        Probe{40, 3, 0xFF0000}, Probe{43, 3, 0xFF0000}, Probe{44, 3, 0}}) {
    EXPECT_EQ(this->At(p.x, p.y), p.shown) << "at " << p.x << "," << p.y;
  }
}

TYPED_TEST(ConformanceTest, PixelWritesClipAndPSetTakesTheSquareHoldingThePoint) {
  Canvas& c = this->canvas();
  EXPECT_NE(c.SetPixelV(0, 0, kGold), 0);
  EXPECT_NE(c.SetPixelV(kWidth - 1, kHeight - 1, kGold), 0);
  for (const PointI p : {PointI{-1, 0}, PointI{0, -1}, PointI{kWidth, 0}, PointI{0, kHeight}}) {
    EXPECT_EQ(c.SetPixelV(p.x, p.y, kGold), 0) << p.x << "," << p.y;
  }
  const PointI spoke[] = {{10, 10}, {11, 10}, {kWidth, 10}};
  EXPECT_EQ(c.SetPixelsV(spoke, kBlue, 7), 0);  // the last one's result
  EXPECT_EQ(c.SetPixelsV({}, kBlue, 7), 7);
  c.PSet(3.9f, 4.2f, kRed);
  c.PSet(-0.5f, 1, kRed);
  c.PSet(NAN, 1, kRed);
  c.PSet(kWidth, 1, kRed);
  this->events().Pump();
  EXPECT_EQ(this->At(0, 0), 0xFFC800u);
  EXPECT_EQ(this->At(kWidth - 1, kHeight - 1), 0xFFC800u);
  EXPECT_EQ(this->At(11, 10), 0x0000FFu);
  EXPECT_EQ(this->At(3, 4), 0xFF0000u);
  EXPECT_EQ(this->At(4, 4), 0u);
  EXPECT_EQ(this->At(0, 1), 0u);
  EXPECT_EQ(this->At(kWidth - 1, 1), 0u);
}

TYPED_TEST(ConformanceTest, TextLandsAtTheCurrentPositionWithoutABackground) {
  Canvas& c = this->canvas();
  c.FillBox(0, 0, kWidth - 1, kHeight - 1, kBlue);
  c.SetFontName("\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D");  // "ＭＳ 明朝"
  c.SetFontSize(24);
  c.SetFontBold(true);
  c.SetForeColor(PackRgb(255, 255, 255));
  c.SetCurrentX(40.7f);
  c.SetCurrentY(30);
  c.Print("WM");
  this->events().Pump();
  const std::vector<uint32_t> shown = this->rig_->Shown(0, 0, kWidth, kHeight);
  ASSERT_EQ(shown.size(), static_cast<size_t>(kWidth * kHeight));
  int inked = 0, kept = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t p = shown[static_cast<size_t>(y * kWidth + x)];
      if (p == 0x0000FF) {
        if (x >= 40 && y >= 30 && x < 100 && y < 70) ++kept;
        continue;
      }
      ++inked;
      EXPECT_TRUE(x >= 40 && y >= 30) << "ink at " << x << "," << y;
    }
  }
  EXPECT_GT(inked, 50) << "no text drawn";
  EXPECT_GT(kept, 100) << "the text painted a background";
}

TYPED_TEST(ConformanceTest, PaletteModeShowsTheNearestEntryAndRecoloursOnRealize) {
  this->Open(true);
  Canvas& c = this->canvas();
  ASSERT_EQ(c.BitsPerPixel(), 8);
  std::array<PaletteEntry, 256> palette{};
  c.SetPaletteEntries(0, 256, palette.data());
  c.RealizePalette();
  palette[100] = PaletteEntry{255, 200, 0, 0};
  palette[101] = PaletteEntry{255, 200, 0, 0};  // a tie: the lower index wins
  EXPECT_EQ(c.SetPaletteEntries(0, 256, palette.data()), 256);
  EXPECT_EQ(c.SetPaletteEntries(-1, 4, palette.data()), 0);
  EXPECT_EQ(c.SetPaletteEntries(250, 10, palette.data()), 6);
  EXPECT_EQ(c.RealizePalette(), 2);
  c.SetPixelV(3, 3, PackRgb(250, 190, 10));
  c.SetPixelV(4, 3, PackRgb(20, 0, 0));
  this->events().Pump();
  EXPECT_EQ(this->At(3, 3), 0xFFC800u);
  EXPECT_EQ(this->At(4, 3), 0u);
  // Not shown until realised; then what is drawn takes the new colour.
  palette[100] = PaletteEntry{0, 0, 255, 0};
  c.SetPaletteEntries(0, 256, palette.data());
  this->events().Pump();
  EXPECT_EQ(this->At(3, 3), 0xFFC800u);
  EXPECT_EQ(c.RealizePalette(), 1);
  this->events().Pump();
  EXPECT_EQ(this->At(3, 3), 0x0000FFu);
}

TYPED_TEST(ConformanceTest, WindowMetricsAndTheCursorCounter) {
  Canvas& c = this->canvas();
  EXPECT_EQ(c.TwipsPerPixelX(), 15);  // 96 DPI
  EXPECT_EQ(c.TwipsPerPixelY(), 15);
  EXPECT_EQ(c.ScreenWidthTwips(), kWidth * 15);
  EXPECT_EQ(c.ScreenHeightTwips(), kHeight * 15);
  EXPECT_EQ(c.ShowCursor(false), -1);
  EXPECT_EQ(c.ShowCursor(false), -2);
  EXPECT_EQ(c.ShowCursor(true), -1);
  EXPECT_EQ(c.ShowCursor(true), 0);
}

TYPED_TEST(ConformanceTest, PumpsHandleInputAndWaitsEndAtAnEventOrTheDeadline) {
  Events& e = this->events();
  e.PumpFor(100);  // the window's own events of showing up
  int64_t start = this->Now();
  e.WaitAndPump(40);
  EXPECT_GE(this->Now() - start, 40);
  start = this->Now();
  e.PumpFor(60);
  EXPECT_GE(this->Now() - start, 60);
  if constexpr (TypeParam::kTakesInput) {
    this->rig_->Click();
    this->rig_->Key('a');
    this->rig_->Key('\x1b');
    e.Pump();
    EXPECT_EQ(this->clicks_, 1);
    EXPECT_EQ(this->keys_, "a\x1b");
    for (int i = 2; i <= 4; ++i) {  // pumps back to back lose nothing
      this->rig_->Key(static_cast<char>('a' + i));
      e.Pump();
      EXPECT_EQ(this->keys_.size(), static_cast<size_t>(i + 1));
    }
    this->clicks_ = 0;
    this->rig_->Click();
    start = this->Now();
    e.WaitAndPump(5000);
    EXPECT_LT(this->Now() - start, 1000);
    EXPECT_EQ(this->clicks_, 1);
    this->rig_->Click();
    start = this->Now();
    e.PumpFor(60);  // an input does not shorten it
    EXPECT_GE(this->Now() - start, 60);
    EXPECT_EQ(this->clicks_, 2);
  }
  EXPECT_EQ(this->closes_, 0);
}

TYPED_TEST(ConformanceTest, Timer1TicksOnlyWhileEnabledAndNeverPilesUp) {
  Events& e = this->events();
  e.SetTimer1Interval(30);
  EXPECT_EQ(e.Timer1Interval(), 30);
  EXPECT_FALSE(e.Timer1Enabled());
  e.PumpFor(100);
  EXPECT_EQ(this->ticks_, 0);
  e.SetTimer1Enabled(true);
  e.PumpFor(170);
  // Five intervals fit; a slow machine may lose one or two to lateness.
  EXPECT_GE(this->ticks_, 3);
  EXPECT_LE(this->ticks_, 5);
  this->ticks_ = 0;
  this->rig_->clock().Sleep(200);  // no pump for six intervals
  e.Pump();
  e.Pump();
  EXPECT_EQ(this->ticks_, 1);
  e.SetTimer1Enabled(false);
  e.PumpFor(80);
  EXPECT_EQ(this->ticks_, 1);
  e.SetTimer1Interval(0);
  e.SetTimer1Enabled(true);
  e.PumpFor(50);
  EXPECT_EQ(this->ticks_, 1);
}

TYPED_TEST(ConformanceTest, ProgramExitLeavesThePumpThatRanTheHandler) {
  Events& e = this->events();
  EventHandlers handlers;
  handlers.timer1 = [] { throw ProgramExit{3}; };
  handlers.click = [] { throw ProgramExit{4}; };
  e.SetHandlers(handlers);
  e.SetTimer1Interval(20);
  e.SetTimer1Enabled(true);
  const int64_t start = this->Now();
  try {
    e.PumpFor(5000);
    ADD_FAILURE() << "PumpFor ran to its end";
  } catch (const ProgramExit& exit) {
    EXPECT_EQ(exit.status, 3);
  }
  EXPECT_LT(this->Now() - start, 1000);
  e.SetTimer1Interval(20);
  EXPECT_THROW(e.WaitAndPump(5000), ProgramExit);
  e.SetTimer1Enabled(false);
  if constexpr (TypeParam::kTakesInput) {
    this->rig_->Click();
    EXPECT_THROW(e.Pump(), ProgramExit);
  }
  e.PumpFor(10);  // still usable afterwards
}

TYPED_TEST(ConformanceTest, SignalsAndCloseRequestsRunTheClosePathOnce) {
  RaiseQuitSignal(SIGTERM);  // the handler only takes note
  EXPECT_EQ(this->closes_, 0);
  const int64_t start = this->Now();
  this->events().WaitAndPump(5000);
  EXPECT_LT(this->Now() - start, 1000);
  EXPECT_EQ(this->closes_, 1);
  RaiseQuitSignal(SIGHUP);
  this->rig_->Close();
  this->events().PumpFor(20);
  EXPECT_EQ(this->closes_, 1);
}

// The window's close button, or for a hack's window the window destroyed
// under the program.
TYPED_TEST(ConformanceTest, ACloseRequestOrALostWindowRunsTheClosePath) {
  this->canvas().SetPixelV(1, 1, kGold);
  this->events().Pump();
  this->rig_->Close();
  const int64_t start = this->Now();
  this->events().WaitAndPump(5000);
  EXPECT_LT(this->Now() - start, 1000);
  EXPECT_EQ(this->closes_, 1);
  this->canvas().SetPixelV(2, 1, kGold);  // drawing on goes nowhere, harmlessly
  this->events().PumpFor(20);
  EXPECT_EQ(this->closes_, 1);
}

#if !defined(_WIN32)
// A hack's window on a TrueColor screen: the X server holds the picture.
// Every step is drawn there and on the CPU layers the other bindings show,
// and the two must agree on every pixel, also once the window has been
// covered and uncovered.
TEST(X11HeldPictureTest, ShowsWhatTheCpuLayersShowAndRepairsItsWindow) {
  X11Rig rig(false);
  ASSERT_TRUE(rig.Ready());
  X11Canvas& held = rig.session_->canvas();
  ASSERT_TRUE(held.ServerHeld());
  FontRasterizer text;
  LayeredCanvas cpu(CanvasConfig{kWidth, kHeight, 15, 32}, &text);
  auto caption = [](LayeredCanvas& c, float x, float y) {
    c.SetFontName("serif");
    c.SetFontSize(20);
    c.SetForeColor(PackRgb(255, 200, 0));
    c.SetCurrentX(x);
    c.SetCurrentY(y);
    c.Print("Wg");
  };
  std::vector<PointI> spoke, corner;
  for (int i = 0; i < 100; ++i) spoke.push_back(PointI{20 + i, 15 + i / 2});
  for (int i = 0; i < 40; ++i) corner.push_back(PointI{i, kHeight - 1 - i / 4});
  struct Step {
    const char* what;
    std::function<void(LayeredCanvas&)> draw;
  };
  const Step steps[] = {
      {"bands kept persistently",
       [](LayeredCanvas& c) {
         c.SetPersistentDrawing(true);
         for (int b = 0; b < 12; ++b) {
           const BrushHandle brush = c.CreateSolidBrush(PackRgb(0, 0, 20 * b));
           c.FillRect(RectI{0, b * 10, kWidth, b * 10 + 10}, brush);
           c.DeleteObject(brush);
         }
         c.Refresh();
         c.SetPersistentDrawing(false);
       }},
      {"a caption over the bands", [&](LayeredCanvas& c) { caption(c, 10, 20); }},
      {"spokes across the caption", [&](LayeredCanvas& c) { c.SetPixelsV(spoke, kRed, 0); }},
      {"a caption over the spokes", [&](LayeredCanvas& c) { caption(c, 24, 30); }},
      {"a box, a pixel and a square",
       [](LayeredCanvas& c) {
         c.FillBox(60, 5, 70, 60, kBlue);
         c.SetPixelV(1, 1, kGold);
         c.PSet(150.5f, 3.2f, kGold);
       }},
      {"a clear", [](LayeredCanvas& c) { c.Clear(); }},
      {"the overlay and spokes under it",
       [&](LayeredCanvas& c) {
         c.SetOverlayText("12.5 spokes/s");
         c.SetPixelsV(corner, kGold, 0);
         c.SetPixelsV(spoke, kBlue, 0);
       }},
      {"a caption persistently, then a clear",
       [&](LayeredCanvas& c) {
         c.SetPersistentDrawing(true);
         caption(c, 90, 70);
         c.SetPersistentDrawing(false);
         c.Clear();
       }},
      {"the overlay taken away", [](LayeredCanvas& c) { c.SetOverlayText(""); }},
  };
  auto mismatch = [&] {
    const std::vector<uint32_t> shown = rig.Shown(0, 0, kWidth, kHeight);
    if (shown.size() != static_cast<size_t>(kWidth * kHeight)) return std::string("no picture");
    int wrong = 0;
    std::string first;
    std::array<uint32_t, kWidth> row{};
    for (int y = 0; y < kHeight; ++y) {
      cpu.ShownRow(y, 0, kWidth, row.data());
      for (int x = 0; x < kWidth; ++x) {
        if (shown[static_cast<size_t>(y * kWidth + x)] == row[static_cast<size_t>(x)]) continue;
        if (wrong++ == 0) first = " first at " + std::to_string(x) + "," + std::to_string(y);
      }
    }
    return wrong == 0 ? std::string() : std::to_string(wrong) + " pixels differ," + first;
  };
  for (const Step& step : steps) {
    step.draw(held);
    step.draw(cpu);
    rig.events().Pump();
    EXPECT_EQ(mismatch(), "") << step.what;
    // A window over it and away: the server gives the picture back only if
    // the program repairs it.
    const Window cover = XCreateSimpleWindow(rig.owner_, DefaultRootWindow(rig.owner_), 0, 0,
                                             kWidth, kHeight, 0, 0, 0xFFFFFF);
    XSetWindowAttributes top{};
    top.override_redirect = True;
    XChangeWindowAttributes(rig.owner_, cover, CWOverrideRedirect, &top);
    XMapRaised(rig.owner_, cover);
    XSync(rig.owner_, False);
    XDestroyWindow(rig.owner_, cover);
    XSync(rig.owner_, False);
    rig.events().PumpFor(30);
    EXPECT_EQ(mismatch(), "") << step.what << ", then exposed";
  }
  EXPECT_EQ(held.WindowBlocksHeld(), 0u);
}
#endif

}  // namespace
}  // namespace zt
