// Identifiers of the Studio's resources, commands and controls. Plain #defines only: the
// resource compiler reads this file too.
#pragma once

#define IDI_STUDIO 3000
#define IDD_ASK_ID 3100
#define IDD_REBUILD 3101
#define IDC_ASK_TEXT 3110
#define IDC_ASK_EDIT 3111
#define IDC_REBUILD_AS_SCRIPT 3120
#define IDC_REBUILD_IN_PLACE 3121
#define IDC_REBUILD_OTHER 3122
#define IDD_BACKUPS 3102
#define IDC_BACKUPS_TEXT 3130
#define IDC_BACKUPS_LIST 3131
#define IDD_REPORT 3103
#define IDC_REPORT_TEXT 3140

// Child windows of the main window.
#define IDC_FILTER 3200
#define IDC_LIST 3201
#define IDC_PREVIEW 3202
#define IDC_STATUS 3203
#define IDC_FINDINGS 3204
#define IDC_PREVIEW_INFO 3210
#define IDC_PREVIEW_TEXT 3211
#define IDC_PREVIEW_ACTUAL 3212
#define IDC_PREVIEW_PLAY 3213
#define IDC_PREVIEW_OPEN 3214

// Commands (menu items and keys).
#define IDM_OPEN 4001
#define IDM_SAVE 4002
#define IDM_SAVE_AS 4003
#define IDM_EXTRACT_SELECTED 4004
#define IDM_EXTRACT_ALL 4005
#define IDM_EXIT 4006
#define IDM_BACKUPS 4007
#define IDM_OFFER_FOR_ARCHIVES 4008
#define IDM_UNDO 4010
#define IDM_REDO 4011
#define IDM_REPLACE 4012
#define IDM_TAKE_ENTRY 4013
#define IDM_TAKE_OTHER 4014
#define IDM_DELETE 4015
#define IDM_RESTORE 4016
#define IDM_ADD 4017
#define IDM_FILTER 4018
#define IDM_REBUILD 4020
#define IDM_COMPARE 4021
#define IDM_OPEN_NESTED 4022
#define IDM_ABOUT 4030
#define IDM_GUIDE 4031
#define IDM_RECENT_FIRST 4100
#define IDM_RECENT_LAST 4109
