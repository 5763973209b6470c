#pragma once
// The screen saver's settings on Windows: kept under
// HKCU\Software\Zolven Taris, edited in the dialog the Settings button opens.
#include <windows.h>

#include "app/saver_args.h"

namespace zt {

inline constexpr const wchar_t* kSettingsKey = L"Software\\Zolven Taris";

SaverSettings LoadSaverSettings();
bool SaveSaverSettings(const SaverSettings& settings);
// The modal settings dialog, owned by `owner` (may be null).
void RunSettingsDialog(HWND owner);

}  // namespace zt
