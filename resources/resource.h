#pragma once

// Resource ids shared by the resource scripts and the code.

// The hidden frame window's resource set: title string, icon, menu and
// accelerators.
#define IDR_MAINFRAME 128
#define ID_START_INSTALLATION 32771
#define ID_APP_EXIT 57665
#define ID_APP_ABOUT 57664
#define ID_EDIT_UNDO 57643
#define ID_EDIT_CUT 57635
#define ID_EDIT_COPY 57634
#define ID_EDIT_PASTE 57637

// Wizard page templates: the English base ids. Each other language has its
// copy at base + 100 * (language - 1) with the same control ids.
#define IDD_WELCOME 10001
#define IDD_EXIT_SETUP 10002
#define IDD_INSTALL_ERROR 10003
#define IDD_INSTALL_DONE 10004
#define IDD_INSTALL_INTERRUPTED 10005
#define IDD_LICENCE 10006
#define IDD_EXISTING_COPY 10007
#define IDD_COPY_ERROR 10008
#define IDD_PROGRESS 10009
#define IDD_INFORMATION 10010

// English-only windows: the command-line help and the about box.
#define IDD_HELP 112
#define IDD_ABOUT 139

// The command-line help's document (type RTF) in English; each other
// language has its own at base + 100 * (language - 1).
#define IDR_HELP_DOCUMENT 12001

// Pictures of the pages: the error sign and the question sign (32 x 32,
// 32 bits with opacity).
#define IDB_ERROR 141
#define IDB_QUESTION 142

// Page controls. Some ids serve a different role on different pages; the
// aliases name each role.
#define IDC_BACK 3
#define IDC_HEADING 1000
#define IDC_INTRO 1001
#define IDC_PROGRESS_LABEL 1001
#define IDC_OPTIONS_HEADING 1002
#define IDC_PAGE_TEXT 1002
#define IDC_UNINSTALL_NOTE 1003
#define IDC_PICTURE 1004
#define IDC_EXISTING_HEADING 1004
#define IDC_SET_AS_DEFAULT 1005
#define IDC_EXISTING_TEXT 1005
#define IDC_START_MENU_ENTRY 1006
#define IDC_DESKTOP_ICON 1007
#define IDC_STOP_HINT 1007
#define IDC_HEADER_SEPARATOR 1008
#define IDC_BUTTON_SEPARATOR 1009
#define IDC_UNINSTALL 1010
#define IDC_OPEN_DISPLAY_PROPERTIES 1011
#define IDC_HELP_TEXT 1011
#define IDC_OPTIONS_GROUP 1012
#define IDC_FINAL_HEADING 1013
#define IDC_HELP_HEADING 1013
#define IDC_ERRORS_HEADING 1014
#define IDC_DETAIL 1026
#define IDC_FOOTER 1040
// The reason under the copy-error prompt, the hints of the error page that
// a damaged installer hides, and the completed page's note on a policy.
#define IDC_ERROR_REASON 1041
#define IDC_ERRORS_HINT 1042
#define IDC_POLICY_NOTE 1043
#define IDC_PROGRESS_BAR 1218
#define IDC_CREDIT_LINE 1576
