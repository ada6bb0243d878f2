/* Resource ids shared by tessaron.rc and the manager's C++ code.
   Plain #define lines so both windres and the C++ compiler can read them. */
#ifndef TESSARON_RESOURCE_IDS_H
#define TESSARON_RESOURCE_IDS_H

/* Dialogs */
#define IDD_MAIN                101
#define IDD_SERVER              104
#define IDD_MAPPED_PORT         105
#define IDD_PREFERENCES         107
#define IDD_ABOUT               111
#define IDD_DOWNLOAD            113
#define IDD_TESTING             115
#define IDD_UPDATE_OFFER        120
#define IDD_CATEGORY            129

/* Menus */
#define IDM_MAIN_MENU           102
#define IDM_SERVER_MENU         103
#define IDM_PORT_MENU           106
#define IDM_TRAY_MENU           116
#define IDM_CATEGORY_MENU       128

/* Icons */
#define IDI_APP                 110
#define IDI_STATUS_GREEN        123
#define IDI_STATUS_RED          124
#define IDI_STATUS_GREY         125
#define IDI_FOLDER              127

/* Main window controls */
#define IDC_SERVER_TEMPLATE     1000
#define IDC_PROXY_CAPTION       1001
#define IDC_PORT_LIST           1002
#define IDC_PORT_CAPTION        1003
#define IDC_CATEGORY_CAPTION    1004
#define IDC_SPLITTER_TOP        1007
#define IDC_SPLITTER_LEFT       1008
#define IDC_CATEGORY_LIST       1013
#define IDC_SERVER_LIST         1014
#define IDC_STATUS_BAR          3024

/* Server dialog controls */
#define IDC_SERVER_ADDRESS      1002
#define IDC_SERVER_HTTP         1003
#define IDC_SERVER_SOCKS        1004
#define IDC_SERVER_PORT         1005

/* Category dialog controls */
#define IDC_CATEGORY_NAME       1002

/* Mapped-port dialog controls */
#define IDC_PORT_NAME           1002
#define IDC_PORT_NUMBER         1003

/* Testing Servers dialog controls */
#define IDC_TESTING_PROGRESS    1001
#define IDC_TESTING_COUNTS      1003
#define IDC_TESTING_BAR         1006

/* Downloading Proxy List dialog controls */
#define IDC_DOWNLOAD_STATE      1001
#define IDC_DOWNLOAD_FOUND      1003
#define IDC_DOWNLOAD_BAR        1006

/* Preferences dialog controls */
#define IDC_PREF_AUTORUN        1004
#define IDC_PREF_LOCAL_ONLY     1006

/* About box controls */
#define IDC_ABOUT_WEBSITE       1001
#define IDC_ABOUT_SUPPORT       1003
#define IDC_ABOUT_SALES         1005

/* Update offer dialog controls */
#define IDC_OFFER_CAPTION       1001
#define IDC_OFFER_MESSAGE       1002

/* Menu commands */
#define IDM_EXPORT              40001
#define IDM_PREFERENCES         40002
#define IDM_EXIT                40003
#define IDM_ABOUT               40004
#define IDM_IMPORT              40005
#define IDM_CONTENTS            40007
#define IDM_ADD_SERVER          40009
#define IDM_REMOVE_SERVER       40010
#define IDM_TEST_SERVER         40011
#define IDM_SWITCH_SERVER       40012
#define IDM_EDIT_SERVER         40013
#define IDM_COPY_ADDRESS        40014
#define IDM_ADD_PORT            40015
#define IDM_EDIT_PORT           40016
#define IDM_REMOVE_PORT         40017
#define IDM_DISABLE_PORT        40018
#define IDM_DOWNLOAD_LIST       40019
#define IDM_ENABLE_PORT         40020
#define IDM_SHOW_MANAGER        40021
#define IDM_TRAY_EXIT           40022
#define IDM_ADD_CATEGORY        40025
#define IDM_EDIT_CATEGORY       40026
#define IDM_REMOVE_CATEGORY     40027

/* Range of command ids for the "Move to Category" submenu entries */
#define IDM_MOVE_FIRST          3000
#define IDM_MOVE_LAST           3024
// The "Move to Category" submenu's position in the server list's menu.
#define MOVE_MENU_POSITION      4

#endif /* TESSARON_RESOURCE_IDS_H */
