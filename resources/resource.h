#pragma once
// Resource identifiers of the launcher executable.
#define IDS_APP_TITLE      103
#define IDR_MAINACCEL      109
#define IDC_LAUNCHER       109
#define IDI_LAUNCHER       107
#define IDI_SMALL          108
#define IDM_ABOUT          104
#define IDM_EXIT           105
#define IDB_BACKGROUND_PNG 129
