#pragma once
// Identifiers of the Windows resources (dist/windows/zolven-taris.rc.in).
#define IDD_SETTINGS 100
#define IDC_SPEED 101
#define IDC_COLORS256 102
#define IDC_MUSIC 103
#define IDC_BROWSE 104
#define IDC_DEFAULTS 105
