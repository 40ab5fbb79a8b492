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
