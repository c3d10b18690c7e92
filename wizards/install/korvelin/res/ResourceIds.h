// Identifiers of the language module's dialogs, controls, icons and bitmaps.
// Shared by the module's .rc files and the pages that use them, so it holds
// nothing but #defines (the resource compiler reads it too).
#ifndef KORVELIN_RESOURCE_IDS_H
#define KORVELIN_RESOURCE_IDS_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Pages of the wizard, in the order the sheet holds them: 101, 105, 103, 102, 104.
#define IDD_WELCOME 101
#define IDD_MESSAGE 102
#define IDD_TASK_EXECUTION 103
#define IDD_COMPLETION 104
#define IDD_EVS_SELECT 105

// Bitmaps: sheet header and watermark, the step panel's background tile.
#define IDB_HEADER 128
#define IDB_WATERMARK 129
#define IDB_PANEL_TILE 1117

// Icons. 145-148 are the matrix states (32 px), 150 and 1112-1114 the task
// and step states (16 px); each file holds both sizes.
#define IDI_STATE_UPGRADED 145
#define IDI_STATE_PARTIALLY_UPGRADED 146
#define IDI_STATE_NOT_UPGRADED 147
#define IDI_STATE_NOT_CONFIGURED 148
#define IDI_WIZARD 149
#define IDI_TASK_FAILED 150
#define IDI_TASK_RUNNING 1112
#define IDI_TASK_PENDING 1113
#define IDI_TASK_DONE 1114

// Welcome page (101).
#define IDC_WELCOME_TITLE 1000
#define IDC_WELCOME_TEXT 1001
#define IDC_WELCOME_NOTE 1002

// Completion page (104).
#define IDC_COMPLETION_LOG 1003
#define IDC_COMPLETION_TITLE 1004
#define IDC_COMPLETION_TEXT 1005
#define IDC_COMPLETION_CAPTION 1008
#define IDC_COMPLETION_MATRIX 1010
#define IDC_COMPLETION_ICON_UPGRADED 1012
#define IDC_COMPLETION_ICON_PARTIALLY_UPGRADED 1014
#define IDC_COMPLETION_ICON_NOT_UPGRADED 1016
#define IDC_COMPLETION_ICON_NOT_CONFIGURED 1018
#define IDC_COMPLETION_LABEL_UPGRADED 1020
#define IDC_COMPLETION_LABEL_PARTIALLY_UPGRADED 1021
#define IDC_COMPLETION_LABEL_NOT_UPGRADED 1022
#define IDC_COMPLETION_LABEL_NOT_CONFIGURED 1023

// Virtual-server selection page (105).
#define IDC_EVS_LIST 1006
#define IDC_EVS_CAPTION 1007
#define IDC_EVS_MATRIX 1009
#define IDC_EVS_ICON_UPGRADED 1011
#define IDC_EVS_ICON_PARTIALLY_UPGRADED 1013
#define IDC_EVS_ICON_NOT_UPGRADED 1015
#define IDC_EVS_ICON_NOT_CONFIGURED 1017
#define IDC_EVS_NOTE 1019
#define IDC_EVS_LABEL_UPGRADED 1024
#define IDC_EVS_LABEL_PARTIALLY_UPGRADED 1025
#define IDC_EVS_LABEL_NOT_UPGRADED 1026
#define IDC_EVS_LABEL_NOT_CONFIGURED 1027
#define IDC_EVS_STATUS 1028

// Message page (102).
#define IDC_MESSAGE_SECOND_TEXT 1029
#define IDC_MESSAGE_NOTE_FRAME 1030
#define IDC_MESSAGE_FIRST_TEXT 1031

// Task execution page (103).
#define IDC_TASK_LIST 1032
#define IDC_TASK_STATUS 1033

// Step panels, created by the pages at run time (not in the templates), and
// the 2-pixel separator beside them.
#define IDC_PANEL_EVS_SELECT 1081
#define IDC_PANEL_MESSAGE 1082
#define IDC_PANEL_TASK_EXECUTION 1086
#define IDC_PANEL_SEPARATOR 0xFFFF

#endif
