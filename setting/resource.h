// Resource numbers of OrvaneSetting: dialogs, controls, strings, icons.
// Included by the resource script and by the portable dialog logic.
#ifndef ORVANE_SETTING_RESOURCE_H
#define ORVANE_SETTING_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDI_ORVANE_BIG 100
#define IDI_ORVANE_SMALL 139

#define IDD_MAIN 128
#define IDD_CARD_LIST 129
#define IDD_SOUND 158

// Help contexts of the three dialogs' loops.
#define HELP_CONTEXT_MAIN 6
#define HELP_CONTEXT_CARD_LIST 8
#define HELP_CONTEXT_SOUND 10

// Main dialog.
#define IDC_REGISTER 1          // the default button
#define IDC_EXIT 2              // ends the program
#define IDC_READ 1000
#define IDC_PASSWORD 1001
#define IDC_PASSWORD_AGAIN 1002
#define IDC_STATUS 1003
#define IDC_USER 1004
#define IDC_DELETE 1005
#define IDC_DESCRIPTION 1006
#define IDC_TARGET 1007
#define IDC_SOUND 1010
#define IDC_REMOVAL_ON 1015
#define IDC_REMOVAL_ACTION 1016
#define IDC_FORCE 1017
#define IDC_INTERVAL 1018
#define IDC_INTERVAL_LABEL 1019
#define IDC_SECONDS_LABEL 1020

// Card list dialog.
#define IDC_CARD_LIST 1008
#define IDC_LIST_DELETE 1005
#define IDC_LIST_CLOSE 2

// Sound dialog.
#define IDC_SOUND_SAVE 1
#define IDC_SOUND_CANCEL 2
#define IDC_SOUND_FILE 1008
#define IDC_SOUND_BROWSE 1010
#define IDC_SOUND_MODE 1013
#define IDC_SOUND_WAIT 1014

#endif
