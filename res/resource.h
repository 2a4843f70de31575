// Resource and command identifiers of kwo: the menus, dialogs and handlers
// all meet here. The end-to-end scripts depend on the numbers too: the build
// writes every #define below as a shell variable into BUILD/res/kwo_ids.sh
// (cmake/ResourceIds.cmake), which they source; keep each one a plain number
// on its own line. The installer (installer/kwo.nsi) sends IDC_EXIT to a
// running copy and spells its number out: change both together.
#pragma once

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_KWO_DIALOG 102
#define IDD_DIALOG_ADD 130
#define IDD_OPTIONS 139
#define IDD_QUIET_NOTICE 140  // a notice that does not take the keyboard

// Icons (each with 48, 32 and 16 pixel images)
#define IDI_RUNNING 128
#define IDI_STOPPED 129

// Menus
#define IDR_TRAY_MENU 131
#define IDR_MAIN_MENU 133

// Strings
#define IDS_ABOUTBOX 101
#define IDS_APP_TITLE 128
#define IDS_TIP_STOPPED 129
#define IDS_TRAY_TIP 131

// Controls
#define IDC_LIST 1000
#define IDC_SHORTKEY 1001
#define IDC_CONTENT 1002
#define IDC_ADD 1003          // main dialog: "新增速记"
#define IDC_ESCAPE 1003       // edit dialog: "转义"
#define IDC_AFTER_STR 1008
#define IDC_EXIT 1009
#define IDC_START 1010        // main dialog: "启动"
#define IDC_UNESCAPE 1010     // edit dialog: "反转义"
#define IDC_SHORTKEY_LABEL 1011
#define IDC_DELETE 1012
#define IDC_URL_LABEL 1028
#define IDC_ENABLE_PRE 1029
#define IDC_ENABLE_AFTER 1030
#define IDC_TIMER_ON 1031
#define IDC_INTERVAL 1032
#define IDC_INTERVAL_SPIN 1036
#define IDC_PRE_STR 1038
#define IDC_TIMER_STR 1039
#define IDC_COLOUR 1040
#define IDC_VERSION_TEXT 1041   // About box: name and version
#define IDC_HOTKEY 1042         // options: the activation hotkey box
#define IDC_HOTKEY_LABEL 1047   // main dialog: the hotkey in force
#define IDC_PASTE_ABOVE 1048    // options: characters above which plain text is pasted
#define IDC_CONTENT_CHECK 1044   // edit dialog: the content's one-line check
#define IDC_TRY 1045             // edit dialog: "试一试"
#define IDC_TRIAL 1046           // edit dialog: the scratch box "试一试" types into

// Commands
#define IDM_ABOUTBOX 0x0010   // system menu item
#define ID_IMPORT 32783
#define ID_EXPORT 32784
#define ID_TOGGLE_RUNNING 32786
#define ID_APP_ABOUT 32795
#define ID_HELP_FILE 32797
#define ID_OPEN 32799
#define ID_OPTIONS 32802
#define ID_CHECK_VERSION 32807
#define ID_RETRY_LOGIN 32808
#define ID_MENU_LINK_FIRST 33772
#define ID_HELP_STANDARD 57670

// Other fixed numbers
#define KWO_HOTKEY_ID 1001
#define KWO_SEND_TIMER_ID 2
#define KWO_FRONT_TIMER_ID 3
#define KWO_SEARCH_AGAIN_TIMER_ID 4
