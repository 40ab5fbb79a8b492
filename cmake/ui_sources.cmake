# The Win32 user interface of the installer: the dialog layer, the wizard
# pages, the progress page with its prompt, and the wizard's page set.
# Part of the lumiset_win32 library.
set(LUMISET_UI_SOURCES
  ${PROJECT_SOURCE_DIR}/src/app/wizard_ui_win.cpp
  ${PROJECT_SOURCE_DIR}/src/install/copy_error_prompt_win.cpp
  ${PROJECT_SOURCE_DIR}/src/install/progress_page_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/dialog_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/help_window_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/page_painter_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/tv_dialog_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/ui_fonts_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/about_dlg_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/dial_desc_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/text_page_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/dial_install_done_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/dial_install_error_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/dial_install_interrupted_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/dial_license_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/dial_quit_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/dial_uninstall_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/main_dialog_win.cpp
  ${PROJECT_SOURCE_DIR}/src/ui/pages/static_edit_win.cpp
)
# The progress bar's window class comes from the common controls.
set(LUMISET_UI_LIBRARIES comctl32)
