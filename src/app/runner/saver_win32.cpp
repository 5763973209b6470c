#include "app/runner/saver_win32.h"

#include <commdlg.h>

#include <string>
#include <vector>

#include "app/runner/win32_resources.h"

namespace zt {
namespace {

// Paths are kept in the registry as UTF-16 and used in the code page of
// the A functions the music player calls.
std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
  }
  return out;
}

std::wstring WidenAcp(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

class Key {
 public:
  explicit Key(bool write) {
    const LSTATUS status = write
                               ? RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0,
                                                 KEY_WRITE, nullptr, &key_, nullptr)
                               : RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key_);
    if (status != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool ReadDword(HKEY key, const wchar_t* name, DWORD& out) {
  DWORD type = 0, size = sizeof out;
  return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&out), &size) ==
             ERROR_SUCCESS &&
         type == REG_DWORD;
}

std::wstring DialogText(HWND dialog, int id) {
  std::vector<wchar_t> buffer(32768);
  const UINT n = GetDlgItemTextW(dialog, id, buffer.data(), static_cast<int>(buffer.size()));
  return std::wstring(buffer.data(), n);
}

void ShowSettings(HWND dialog, const SaverSettings& s) {
  SetDlgItemInt(dialog, IDC_SPEED, static_cast<UINT>(s.speed_percent), FALSE);
  CheckDlgButton(dialog, IDC_COLORS256, s.colors256 ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemTextW(dialog, IDC_MUSIC, WidenAcp(s.music_file).c_str());
}

void Browse(HWND dialog) {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring current = DialogText(dialog, IDC_MUSIC);
  std::copy(current.begin(), current.end(), file.begin());
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = L"Music (*.wav, *.mid)\0*.wav;*.mid;*.midi\0All files\0*.*\0";
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameW(&ofn)) SetDlgItemTextW(dialog, IDC_MUSIC, file.data());
}

INT_PTR CALLBACK SettingsProc(HWND dialog, UINT message, WPARAM w, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ShowSettings(dialog, LoadSaverSettings());
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case IDC_BROWSE:
          Browse(dialog);
          return TRUE;
        case IDC_DEFAULTS:
          ShowSettings(dialog, SaverSettings{});
          return TRUE;
        case IDOK: {
          BOOL ok = FALSE;
          const UINT speed = GetDlgItemInt(dialog, IDC_SPEED, &ok, FALSE);
          if (!ok || speed < kMinSpeedPercent || speed > kMaxSpeedPercent) {
            MessageBoxW(dialog, L"The speed is a percentage from 10 to 1000.", L"Zolven Taris",
                        MB_OK | MB_ICONWARNING);
            SetFocus(GetDlgItem(dialog, IDC_SPEED));
            return TRUE;
          }
          SaverSettings s;
          s.speed_percent = static_cast<int32_t>(speed);
          s.colors256 = IsDlgButtonChecked(dialog, IDC_COLORS256) == BST_CHECKED;
          s.music_file = Narrow(DialogText(dialog, IDC_MUSIC));
          if (!SaveSaverSettings(s)) {
            MessageBoxW(dialog, L"The settings could not be stored in the registry.",
                        L"Zolven Taris", MB_OK | MB_ICONERROR);
          }
          EndDialog(dialog, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

SaverSettings LoadSaverSettings() {
  SaverSettings s;
  Key key(false);
  if (key.get() == nullptr) return s;
  DWORD value = 0;
  if (ReadDword(key.get(), L"Speed", value)) s.speed_percent = static_cast<int32_t>(value);
  if (ReadDword(key.get(), L"Colors256", value)) s.colors256 = value != 0;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), L"MusicFile", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      type == REG_SZ && size > 0 && size < 65536) {
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.get(), L"MusicFile", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(text.data()), &size) == ERROR_SUCCESS) {
      text.resize(wcsnlen(text.c_str(), text.size()));
      s.music_file = Narrow(text);
    }
  }
  return SanitisedSettings(s);
}

bool SaveSaverSettings(const SaverSettings& s) {
  Key key(true);
  if (key.get() == nullptr) return false;
  const DWORD speed = static_cast<DWORD>(s.speed_percent);
  const DWORD colors = s.colors256 ? 1 : 0;
  const std::wstring music = WidenAcp(s.music_file);
  return RegSetValueExW(key.get(), L"Speed", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&speed),
                        sizeof speed) == ERROR_SUCCESS &&
         RegSetValueExW(key.get(), L"Colors256", 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&colors), sizeof colors) == ERROR_SUCCESS &&
         RegSetValueExW(key.get(), L"MusicFile", 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(music.c_str()),
                        static_cast<DWORD>((music.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void RunSettingsDialog(HWND owner) {
  // An owner that is gone would keep the dialog from coming up at all.
  if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETTINGS), owner, SettingsProc,
                  0);
}

}  // namespace zt
