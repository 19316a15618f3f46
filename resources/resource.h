// Resource ids of the installer, shared by installer.rc and the program.
// The numbers are part of the installer's published layout; never renumber.
#pragma once

// Dialogs
#define IDD_MAIN 200           // main dialog
#define IDD_NOT_INSTALLED 205  // the screensaver is missing
#define IDD_SUCCESS 206        // installation went through
#define IDD_HELP 207
#define IDD_MODULE_IN_USE 208  // the installed module is held: retry or give up
#define IDD_CHOOSE_FOLDER 1000

// Controls of the main dialog
#define IDC_INSTALL 210
#define IDC_CLOSE 211
#define IDC_DESCRIPTION 213
#define IDC_STATUS 214
#define IDC_BANNER 215
#define IDC_BANNER_PICTURE_ANCHOR 216  // top-left mark of bitmap 100
#define IDC_FLOWER_PICTURE_ANCHOR 217  // top-left mark of bitmap 101
#define IDC_HELP_BUTTON 218

// Control of the help dialog
#define IDC_HELP_TEXT 200

// Control of the module-in-use question (its buttons are IDRETRY and IDCANCEL)
#define IDC_IN_USE_TEXT 220

// Controls of the folder chooser
#define IDC_FOLDER_PROMPT 200
#define IDC_FOLDER_LIST 201
#define IDC_FOLDER_OK 202
#define IDC_FOLDER_CANCEL 203
#define IDC_FOLDER_LINE 204

// Text controls the program never addresses
#define IDC_UNADDRESSED -1

// Strings
#define IDS_DESCRIPTION 1     // what this build installs (control 213)
#define IDS_COMPONENTS 2      // base names of the components to install
#define IDS_EXTRACTING 5
#define IDS_REGISTERING 6
#define IDS_CHOOSE_FOLDER 7
#define IDS_FAILED_COMPONENTS 8  // %s: the components that failed, a line each
#define IDS_SHUTDOWN_BLOCKED 9  // why logging off waits during an installation
#define IDS_FOLDER_TOO_LONG 10  // chooser prompt after "OK" on an overlong folder
#define IDS_LOCK_UNAVAILABLE 11 // the single-instance lock cannot be made
#define IDS_FAILURE_CAPTION 20
#define IDS_MORE_FAILED 21    // %u: how many more failed than the message lists
#define IDS_MODULE_IN_USE 22  // %s: the module that cannot be replaced
// Why a component failed; its line in the failure message.
#define IDS_REASON_DAMAGED 30
#define IDS_REASON_UNREADABLE 31
#define IDS_REASON_OTHER_BYTES 32
#define IDS_REASON_NOT_A_MODULE 33
#define IDS_REASON_DISK_FULL 34
#define IDS_REASON_WRITE_FAILED 35
#define IDS_REASON_REGISTRY 36
#define IDS_REASON_NAME 37
#define IDS_REASON_IN_USE 38
#define IDS_REASON_REDIRECTED 39  // the product folder is a link or lies behind one
#define IDS_REASON_TOO_LARGE 40   // beyond the size a module without a payload entry may have

// Raw data
#define IDR_HELP_TEXT 400     // Windows-1252, no terminator
#define IDR_PAYLOAD_TABLE 402 // lines "<base> <size> <CRC-32 hex>" made by the build

// Pictures and icon
#define IDB_BANNER 100
#define IDB_FLOWER 101
#define IDI_INSTALLER 100
