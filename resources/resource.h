// Identifiers of the program's resources; the texts themselves live in wendlock.rc.
#pragma once

// Icons and the manifest
#define IDI_WENDLOCK            1
#define IDI_REMINDERS           2

// Dialogs: the main window (shown as the Options dialog) and the alert window
#define IDD_MAIN                100
#define IDD_REMINDERS           101
#define IDD_CARD                102

// Controls of the main window
#define IDC_LBLSTARTIN          1001
#define IDC_CMBSTARTIN          1002
#define IDC_CHKKEEPLOADED       1003
#define IDC_LBLLOADDELAY        1004
#define IDC_TXTLOADDELAY        1005
#define IDC_CHKKEEPWORDLOADED   1006
#define IDC_CHKDISPLAYOUTLOOK   1007
#define IDC_CHKREMINDERS        1008
#define IDC_CHKOVERDUETASKS     1009
#define IDC_CHKSTARTATLOGON     1010
#define IDC_LBLMANAGED          1011
#define IDC_CHKREMINDERCARD     1012
#define IDC_LSTSTORES           1060  // the stores whose overdue tasks are read, a check box each
#define IDC_LBLSTORES           1061
#define IDC_CHKWARN             1062  // the warning before every meeting: on, its minutes, the words after them
#define IDC_CMBWARN             1063
#define IDC_LBLWARN             1064
// cmdOK and cmdCancel are IDOK and IDCANCEL, so Enter and Esc work

// Controls of the alert window
#define IDC_LSTREMINDERS        1100
#define IDC_CMDDISPLAY          1101
#define IDC_CMDCLEAR            1102
#define IDC_CMDCLEARALL         1103
#define IDC_CMDOUTLOOK          1104
#define IDC_CMDCLOSE            1105
#define IDC_LINEDIV             1106
#define IDC_CMBSNOOZE           1107
#define IDC_CMDSNOOZE           1108
#define IDC_CMDDISMISS          1109
#define IDC_CMDDISMISSALL       1110
#define IDC_CMDMARKCOMPLETE     1111
#define IDC_CMDJOIN             1112

// Controls of the reminder card: a row per reminder, each the row's first id
// plus the control's place in it. Its buttons are notifying statics: a
// static never takes the focus when clicked.
#define IDC_CARD_FIRST          1200
#define IDC_CARD_ROW_STEP       10
#define IDC_CARD_SUBJECT        0
#define IDC_CARD_DETAIL         1
#define IDC_CARD_JOIN           2
#define IDC_CARD_SNOOZE         3
#define IDC_CARD_SNOOZEMENU     4
#define IDC_CARD_DISMISS        5
#define IDC_CARD_OPEN           6
#define IDC_CARD_MORE           1290
#define IDC_CARD_CLOSE          1291

// Menus: the tray popups. Menu-array items carry a base plus their index.
#define IDM_MAIN_TRAY           200
#define IDM_REMINDERS_TRAY      201
#define IDM_VIEW_FIRST          3000  // mnuView(0..)
#define IDM_LINK_FIRST          3200  // mnuNewLink(0..)
#define IDM_FILE_FIRST          3400  // mnuFile(Index) of the main window
#define IDM_FILE_SHOWOUTLOOK    (IDM_FILE_FIRST + 0)
#define IDM_FILE_KEEPLOADED     (IDM_FILE_FIRST + 1)
#define IDM_FILE_CLEANUP        (IDM_FILE_FIRST + 2)
#define IDM_FILE_OPTIONS        (IDM_FILE_FIRST + 3)
#define IDM_FILE_ABOUT          (IDM_FILE_FIRST + 15)
#define IDM_FILE_EXIT           (IDM_FILE_FIRST + 20)
#define IDM_TODAY_HEADER        3800  // the Today section of the main popup, made as it opens
#define IDM_TODAY_NONE          3801
#define IDM_TODAY_MORE          3802
#define IDM_TODAY_SEPARATOR     3803
#define IDM_TODAY_FIRST         3810  // a meeting's row: first + 2 * row; its Join: first + 2 * row + 1
#define IDM_TODAY_LAST          3899
#define IDM_ALERT_FILE_FIRST    3600  // mnuFile(Index) of the alert window
#define IDM_ALERT_SHOW          (IDM_ALERT_FILE_FIRST + 10)
#define IDM_ALERT_CLEAR         (IDM_ALERT_FILE_FIRST + 20)

// Strings
#define IDS_APP_TITLE           1
#define IDS_AUTHOR              2
#define IDS_COPYRIGHT           3
#define IDS_VERSION_PREFIX      4
#define IDS_LOADED_EXPLORERS    5
#define IDS_EXPLORER_ERROR      6
#define IDS_KEEP_LOADED_WARNING 7
#define IDS_OUTLOOK_START_FAILED 8
#define IDS_DELAY_INVALID       9
#define IDS_NO_LINKS            10
#define IDS_TIP_OUTLOOK         11
#define IDS_TIP_REMINDERS       12
#define IDS_TIP_OVERDUE         13
#define IDS_BALLOON_MORE        14
#define IDS_BALLOON_DETAILS     15
#define IDS_CAPTION_REMINDERS   16
#define IDS_CAPTION_TASKS       17
#define IDS_MENU_SHOW_REMINDERS 18
#define IDS_MENU_SHOW_TASKS     19
#define IDS_MENU_CLEAR          20
#define IDS_MENU_REFRESH        21
#define IDS_BUTTON_CLEARALL     22
#define IDS_BUTTON_REFRESH      23
#define IDS_ITEM_UNREADABLE     24
#define IDS_DISPLAY_FAILED      25
#define IDS_SETTINGS_FILE       26
#define IDS_OUTLOOK_NOT_INSTALLED 27
#define IDS_OUTLOOK_EXEC_FAILED 28
#define IDS_TIP_NO_OUTLOOK      29
#define IDS_REMINDER_ACTION_FAILED 30
#define IDS_TASK_ACTION_FAILED  31
#define IDS_CARD_IN_MINUTES     40
#define IDS_CARD_IN_HOURS       41
#define IDS_CARD_NOW            42
#define IDS_CARD_STARTED_MINUTES 43
#define IDS_CARD_STARTED_HOURS  44
#define IDS_CARD_DUE_TODAY      45
#define IDS_CARD_DETAIL         46
#define IDS_CARD_MORE           47
#define IDS_CARD_JOIN_TIP       48
#define IDS_CARD_UNTIL_START    49
#define IDS_CARD_BEFORE_START   50
#define IDS_CARD_NO_SUBJECT     51
#define IDS_LINE_STORE          60    // the end of a line naming its store; %1: the store's name
#define IDS_STORES_NOT_READ     61
#define IDS_TIP_NEXT_WITHIN     62    // %1 subject, %2 start (HH:MM), %3 minutes
#define IDS_TIP_NEXT_LATER      63    // %1 subject, %2 start
#define IDS_TIP_NO_MORE         64
#define IDS_TODAY               65
#define IDS_TODAY_ROW           66    // %1 start, %2 subject
#define IDS_TODAY_JOIN          67
#define IDS_TODAY_MORE          68
#define IDS_START_FOLDER_FIRST  100   // the ten captions of cmbStartIn, in list order
#define IDS_SNOOZE_FIRST        120   // the captions of cmbSnooze, in list order
