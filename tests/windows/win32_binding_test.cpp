// The Win32 binding under Wine (or Windows): the window procedure's
// handlers and the exit carried out of it, Timer1 on a window timer, the
// pictures the window is given, GDI text, the single-instance mutex and the
// stored settings.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "app/runner/saver_win32.h"
#include "music/midi_builder.h"
#include "surface/os/system_clock.h"
#include "surface/win32/gdi_text.h"
#include "surface/win32/win32_audio.h"
#include "surface/win32/win32_events.h"
#include "surface/win32/win32_host.h"
#include "surface/win32/win32_session.h"

namespace zt {
namespace {

// An ordinary window of the binding, never shown: messages are posted to it.
struct Window {
  explicit Window(int32_t bits = 32, int32_t width = 64, int32_t height = 48) {
    Win32Options options;
    options.kind = Win32WindowKind::kWindowed;
    options.window_width = width;
    options.window_height = height;
    options.force_8bit = bits == 8;
    std::string error;
    session = OpenWin32Session(options, error);
    EXPECT_TRUE(session) << error;
  }
  HWND hwnd() { return session->canvas().Window(); }
  std::unique_ptr<Win32Session> session;
};

TEST(Win32Events, AnExitThrownInTheWindowProcedureLeavesThePumpAfterDispatch) {
  Window w;
  ASSERT_TRUE(w.session);
  int clicks = 0;
  EventHandlers handlers;
  handlers.click = [&] {
    ++clicks;
    throw ProgramExit{7};
  };
  w.session->events().SetHandlers(handlers);
  PostMessageW(w.hwnd(), WM_LBUTTONDOWN, 0, 0);
  PostMessageW(w.hwnd(), WM_RBUTTONDOWN, 0, 0);
  try {
    w.session->events().WaitAndPump(2000);
    ADD_FAILURE() << "the exit did not leave the pump";
  } catch (const ProgramExit& exit) {
    EXPECT_EQ(exit.status, 7);
  }
  // The second click was not handled on the way out.
  EXPECT_EQ(clicks, 1);
}

TEST(Win32Events, OnlyKeysThatTypeACharacterReachTheKeyHandler) {
  Window w;
  ASSERT_TRUE(w.session);
  std::string typed;
  EventHandlers handlers;
  handlers.key_press = [&](char c) { typed += c; };
  w.session->events().SetHandlers(handlers);
  for (UINT key : {UINT{VK_SHIFT}, UINT{'A'}, UINT{VK_RIGHT}, UINT{VK_ESCAPE}, UINT{VK_F5}}) {
    PostMessageW(w.hwnd(), WM_KEYDOWN, key, 1);
  }
  w.session->events().PumpFor(100);
  // TranslateMessage makes characters of the letter and Escape only.
  EXPECT_EQ(typed, std::string("a\x1b"));
}

TEST(Win32Events, CloseRequestsRunTheCloseHandlerOnce) {
  Window w;
  ASSERT_TRUE(w.session);
  int closes = 0;
  EventHandlers handlers;
  handlers.query_unload = [&] { ++closes; };
  w.session->events().SetHandlers(handlers);
  PostMessageW(w.hwnd(), WM_CLOSE, 0, 0);
  PostMessageW(w.hwnd(), WM_CLOSE, 0, 0);
  w.session->events().PumpFor(100);
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(IsWindow(w.hwnd()));  // closing is the program's decision
}

TEST(Win32Events, Timer1IsAWindowTimerThatStopsWhenDisabled) {
  Window w;
  ASSERT_TRUE(w.session);
  Events& events = w.session->events();
  int ticks = 0;
  EventHandlers handlers;
  handlers.timer1 = [&] { ++ticks; };
  events.SetHandlers(handlers);
  events.SetTimer1Interval(20);
  events.SetTimer1Enabled(true);
  events.PumpFor(400);
  EXPECT_GE(ticks, 2);
  events.SetTimer1Enabled(false);
  const int at_stop = ticks;
  events.PumpFor(200);
  EXPECT_EQ(ticks, at_stop);
  EXPECT_FALSE(events.Timer1Enabled());
  EXPECT_EQ(events.Timer1Interval(), 20);
}

// What the window shows.
std::vector<uint32_t> Painted(Win32Canvas& canvas) {
  const int32_t w = canvas.Width(), h = canvas.Height();
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  MemoryDc dc(CreateCompatibleDC(nullptr));
  BitmapHandle bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  Selected with(dc.get(), bitmap.get());
  // Presented, then copied back from the window's own device context.
  canvas.Present();
  HDC window_dc = GetDC(canvas.Window());
  BitBlt(dc.get(), 0, 0, w, h, window_dc, 0, 0, SRCCOPY);
  ReleaseDC(canvas.Window(), window_dc);
  GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  return std::vector<uint32_t>(p, p + static_cast<size_t>(w) * h);
}

TEST(Win32Canvas, TheWindowShowsBothLayersInDirectAndPaletteColour) {
  for (int32_t bits : {32, 8}) {
    Window w(bits);
    ASSERT_TRUE(w.session);
    Win32Canvas& canvas = w.session->canvas();
    EXPECT_EQ(canvas.BitsPerPixel(), bits);
    std::vector<PaletteEntry> palette(256);
    palette[1] = {10, 20, 200, 0};
    palette[2] = {250, 200, 0, 0};
    canvas.SetPaletteEntries(0, 256, palette.data());
    canvas.RealizePalette();
    canvas.ShowWindow();
    canvas.SetPersistentDrawing(true);
    const BrushHandle brush = canvas.CreateSolidBrush(PackRgb(10, 20, 200));
    // The window may be wider than asked: the system has a least width.
    const int32_t width = canvas.Width();
    canvas.FillRect(RectI{0, 0, width, 24}, brush);
    canvas.DeleteObject(brush);
    canvas.Refresh();
    canvas.SetPersistentDrawing(false);
    canvas.SetPixelV(5, 30, PackRgb(250, 200, 0));
    std::vector<uint32_t> shown = Painted(canvas);
    auto at = [&](int32_t x, int32_t y) { return shown[y * width + x] & 0xFFFFFF; };
    EXPECT_EQ(at(3, 3), canvas.ShownColor(3, 3)) << bits;
    EXPECT_EQ(at(3, 3), 0x0A14C8u) << bits;
    EXPECT_EQ(at(5, 30), 0xFAC800u) << bits;
    // A clear drops the spoke and shows the backing image again.
    canvas.Clear();
    shown = Painted(canvas);
    EXPECT_EQ(at(5, 30), 0u) << bits;
    EXPECT_EQ(at(width - 1, 10), 0x0A14C8u) << bits;
  }
}

int CALLBACK TakeFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM out) {
  const std::wstring name = font->lfFaceName;
  // Vertical faces (@...) and names beyond ASCII are not what this test needs.
  if (name.empty() || name[0] == L'@' ||
      std::any_of(name.begin(), name.end(), [](wchar_t c) { return c > 0x7E; })) {
    return 1;
  }
  *reinterpret_cast<std::wstring*>(out) = name;
  return 0;
}

std::wstring FirstInstalledFamily() {
  MemoryDc dc(CreateCompatibleDC(nullptr));
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  std::wstring name;
  EnumFontFamiliesExW(dc.get(), &query, TakeFamily, reinterpret_cast<LPARAM>(&name), 0);
  return name;
}

TEST(Win32Canvas, PresentCopiesOnlyWhatChanged) {
  Window w(32, 200, 150);  // corners far apart, in different blocks
  ASSERT_TRUE(w.session);
  Win32Canvas& canvas = w.session->canvas();
  canvas.ShowWindow();
  const int32_t width = canvas.Width(), height = canvas.Height();
  Painted(canvas);
  // Paint the far corner behind the canvas's back: a copy of the whole
  // picture would paint it black again.
  HDC dc = GetDC(canvas.Window());
  PatBlt(dc, width - 8, height - 8, 8, 8, WHITENESS);
  ReleaseDC(canvas.Window(), dc);
  canvas.SetPixelV(1, 1, PackRgb(250, 200, 0));
  const std::vector<uint32_t> shown = Painted(canvas);
  EXPECT_EQ(shown[1 * width + 1] & 0xFFFFFF, 0xFAC800u);
  EXPECT_EQ(shown[(height - 4) * width + width - 4] & 0xFFFFFF, 0xFFFFFFu);
}

uint64_t Ink(const CoverageMask& mask) {
  return std::accumulate(mask.alpha.begin(), mask.alpha.end(), uint64_t{0});
}

TEST(GdiText, CaptionsAreDrawnBoldAndItalicInAFallbackWhereTheFaceIsMissing) {
  GdiTextRasterizer text;
  // Asked for by name, a missing face never comes back as itself.
  EXPECT_NE(text.ResolveFace("No Such Face 0xZT"), L"No Such Face 0xZT");
  // A face that is there is used as asked.
  const std::wstring installed = FirstInstalledFamily();
  ASSERT_FALSE(installed.empty());
  std::string installed_utf8(installed.begin(), installed.end());
  EXPECT_EQ(text.ResolveFace(installed_utf8), installed);

  CoverageMask regular, bold, italic;
  FontRequest request{"\xef\xbc\xad\xef\xbc\xb3 \xe6\x98\x8e\xe6\x9c\x9d", 40, false, false};
  ASSERT_TRUE(text.Render(request, "ZOLVEN TARIS", regular));
  request.bold = true;
  ASSERT_TRUE(text.Render(request, "ZOLVEN TARIS", bold));
  request.bold = false;
  request.italic = true;
  ASSERT_TRUE(text.Render(request, "ZOLVEN TARIS", italic));
  EXPECT_GE(regular.height, 40);
  EXPECT_GT(regular.width, 40 * 4);
  EXPECT_GT(Ink(regular), 0u);
  EXPECT_GT(Ink(bold), Ink(regular) * 11 / 10);  // heavier strokes
  EXPECT_NE(italic.alpha, regular.alpha);
  EXPECT_FALSE(text.Render(request, "", regular));
}

TEST(Win32Host, OneCopyPerMutexNameWhileTheFirstLives) {
  const std::wstring name = L"Local\\zt-test-" + std::to_wstring(GetCurrentProcessId());
  {
    Win32Host first(name);
    Win32Host second(name);
    Win32Host other(name + L"-other");
    EXPECT_FALSE(first.PreviousInstance());
    EXPECT_TRUE(second.PreviousInstance());
    EXPECT_TRUE(second.PreviousInstance());  // asked again: the same answer
    EXPECT_FALSE(other.PreviousInstance());
  }
  // Once every copy has gone, the next one is the first again.
  EXPECT_FALSE(Win32Host(name).PreviousInstance());
}

TEST(Win32Host, FilesAndTheProgramsFolder) {
  Win32Host host;
  const std::string folder = host.AppPath();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  const std::string file = folder + "\\zt-host-test.tmp";
  std::ofstream(file) << "x";
  EXPECT_TRUE(host.FileExists(file));
  EXPECT_TRUE(FileWithin(file, 1));
  EXPECT_FALSE(FileWithin(file, 0));
  DeleteFileA(file.c_str());
  EXPECT_FALSE(host.FileExists(file));
  EXPECT_FALSE(host.FileExists(folder));  // a folder is not a music file
  EXPECT_FALSE(FileWithin(folder, 1u << 30));
}

TEST(Win32Audio, AMissingSongFailsWithoutWaitingForever) {
  Win32Audio audio(2000);
  char reply[50] = "untouched";
  const uint32_t result =
      audio.MciSendString("open C:\\no\\such\\zt-bgm.mid alias bgm", reply, sizeof reply);
  EXPECT_NE(result, 0u);
  EXPECT_EQ(audio.SndPlaySound("C:\\no\\such\\zt-bgm.wav", kSndFilename | kSndLoop | kSndAsync), 0);
}

TEST(Win32Audio, OnlyCheckedMusicReachesTheSystem) {
  const std::string folder = Win32Host().AppPath();
  auto write = [&](const char* name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder + "\\" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  };
  // A second of 8-bit mono silence at 8 kHz.
  std::vector<uint8_t> wave = {'R', 'I', 'F',  'F',  0x44, 0x1F, 0,    0,    'W',  'A', 'V',
                               'E', 'f', 'm',  't',  ' ',  16,   0,    0,    0,    1,   0,
                               1,   0,   0x40, 0x1F, 0,    0,    0x40, 0x1F, 0,    0,   1,
                               0,   8,   0,    'd',  'a',  't',  'a',  0x40, 0x1F, 0,   0};
  wave.resize(wave.size() + 8000, 0x80);
  const std::string good_wave = write("zt-good.wav", wave);
  const std::string song = write("zt-good.mid", test::HeldChordSong(1500));
  std::vector<uint8_t> bad = test::HeldChordSong(1500);
  bad.resize(bad.size() / 2);  // a song cut short
  const std::string cut = write("zt-cut.mid", bad);
  const std::string midi_as_wave = write("zt-midi.wav", test::HeldChordSong(1500));
  EXPECT_TRUE(WaveAcceptable(good_wave));
  EXPECT_FALSE(WaveAcceptable(midi_as_wave));
  EXPECT_TRUE(MidiAcceptable(song));
  EXPECT_FALSE(MidiAcceptable(cut));
  EXPECT_FALSE(MidiAcceptable(good_wave));
  EXPECT_FALSE(MidiAcceptable(folder));
  Win32Audio audio(2000);
  char reply[50] = {};
  EXPECT_EQ(audio.MciSendString("open " + cut + " alias bgm", reply, sizeof reply), 296u);
  for (const std::string& path : {good_wave, song, cut, midi_as_wave}) DeleteFileA(path.c_str());
}

TEST(SaverSettings, StoredAndReadBackWithBadValuesGivingTheDefaults) {
  SaverSettings s;
  s.speed_percent = 250;
  s.colors256 = true;
  s.music_file = "C:\\Music\\a song.mid";
  ASSERT_TRUE(SaveSaverSettings(s));
  EXPECT_EQ(LoadSaverSettings(), s);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_WRITE, &key), ERROR_SUCCESS);
  const DWORD bad = 5000;
  RegSetValueExW(key, L"Speed", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&bad), sizeof bad);
  RegSetValueExW(key, L"Colors256", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"yes"), 8);
  RegCloseKey(key);
  const SaverSettings back = LoadSaverSettings();
  EXPECT_EQ(back.speed_percent, 100);
  EXPECT_FALSE(back.colors256);  // not a number: not set
  EXPECT_EQ(back.music_file, s.music_file);
  // Leave the prefix as it was for the other tests.
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
  EXPECT_EQ(LoadSaverSettings(), SaverSettings{});
}

}  // namespace
}  // namespace zt
