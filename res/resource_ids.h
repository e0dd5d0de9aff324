// Identifiers of the program's resources, shared by velmora.rc and the code that uses them.
// Plain #defines only: the resource compiler reads this file too.
#pragma once

// The progress dialog and its controls.
#define IDD_PROGRESS 100
#define IDC_PICTURE 1000
#define IDC_AUTHOR_LINE 1001
#define IDC_DATE_LINE 1002
#define IDC_PROGRESS_CAPTION 1003
#define IDC_CREDIT_LINE 1004
#define IDC_PROGRESS_BAR 1005

// The icon the progress dialog shows; the window's own icon is the group named MAINICON.
#define IDI_PICTURE 2000
