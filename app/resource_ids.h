// Resource identifiers shared by the resource script and the program.
#pragma once

#define IDM_MAIN_MENU 500
#define IDC_VIEW_CURSOR 501
#define IDC_DRAG_CURSOR 502
#define IDI_PROGRAM_ICON 503
#define IDC_TOOLBAR 730
#define IDB_TOOLBAR 731
#define ACCEL_TABLE_NAME "IDI_ACCEL"

#define IDD_PROGRESS 1002
#define IDC_PROGRESS_BAR 1003
#define IDC_PROGRESS_CAPTION 1004
#define IDC_PROGRESS_COUNTER 1005

#define IDD_ABOUT 1006
#define IDC_ABOUT_NAME 1007
#define IDC_ABOUT_TEXT 1010
#define IDC_ABOUT_OK 1011
#define IDC_ABOUT_ICON 1012

// Tooltip strings: command id + 198, and the two mode texts.
#define IDS_TOOLTIP_BASE 198
#define IDS_SLIDESHOW_END 332
#define IDS_TRIMMING_END 333
