// Resource and control ids of the program's dialogs, menus and icons.
#pragma once

#define IDR_MAINFRAME 5
#define IDD_KESTRUN_DIALOG 102

#define IDC_STATIC -1
