// Resource, control and command ids of the program's windows. Shared by the
// resource script and the code.
#pragma once

// Icons.
#define IDR_MAINFRAME 5
#define IDI_MENU 200
#define IDI_MINIMISE 201
#define IDI_MAXIMISE 202
#define IDI_CLOSE 203
#define IDI_OPEN 204
#define IDI_NEW 205
#define IDI_SAVE 206
#define IDI_STORE 207
#define IDI_DIRECT 208
#define IDI_MACHINES 209
#define IDI_SETTINGS 210

// Dialog templates and menus.
#define IDD_KESTRUN_DIALOG 102
#define IDD_SENDCODE 178
#define IDR_FILE_MENU 130

// Main window controls.
#define IDC_SEND_DIRECT 1001
#define IDC_SEND_STORE 1002
#define IDC_NEW_FILE 1003
#define IDC_OPEN_FILE 1004
#define IDC_PROGRAM_ICON 1005
#define IDC_SAVE_FILE 1006
#define IDC_MACHINE_CONFIG 1007
#define IDC_SYSTEM_SETTINGS 1008
#define IDC_CODE_PREVIEW 1009
#define IDC_EDITOR 1013
#define IDC_HIDE 1022
#define IDC_CLOSE_TO_TRAY 1023
#define IDC_MAXIMISE 1024
#define IDC_MENU 1025
#define IDC_TITLE 1028
#define IDC_VERSION 1029
#define IDC_STATUS 1031
#define IDC_LENGTH_CAPTION 1037
#define IDC_NAME_CAPTION 1038
#define IDC_SELECTOR_CAPTION 1039
#define IDC_FILE_NAME 1044
#define IDC_FILE_LENGTH 1045
#define IDC_SERIAL 1046
#define IDC_MODE 1047
#define IDC_SPEED 1048
#define IDC_MACHINE_SELECTOR 1080

// Progress dialog controls.
#define IDC_SEND_LENGTH 1052
#define IDC_SEND_PERCENT 1053
#define IDC_SEND_PROGRESS 1054
#define IDC_SEND_CANCEL 1055

// File menu commands.
#define ID_FILE_OPEN 32780
#define ID_FILE_NEW 32782
#define ID_FILE_SAVE 32783
#define ID_FILE_SAVE_AS 32784
#define ID_SYSTEM_SETTINGS 32788
#define ID_MACHINE_SETTINGS 32789

#define IDC_STATIC -1

// Machine selection dialog.
#define IDD_SELMAC 181
#define IDC_SELMAC_MACHINES 1079
#define IDC_SELMAC_CAPTION 1039
#define IDC_SELMAC_STORE 3
