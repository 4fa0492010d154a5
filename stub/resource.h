#pragma once
// Resource ids shared by the stub's dialogs and its code.

#define IDD_MAIN 100
#define IDD_OVERWRITE 101
#define IDD_PASSWORD 102

#define IDC_FOLDER_LABEL 1001
#define IDC_FOLDER 1002
#define IDC_BROWSE 1003
#define IDC_OVERWRITE_LABEL 1004
#define IDC_OVERWRITE 1005
#define IDC_FILES 1006
#define IDC_COMMAND_LABEL 1007
#define IDC_COMMAND 1008
#define IDC_PROGRESS 1009
#define IDC_OVERWRITE_TEXT 1010
#define IDC_YES_ALL 1011
#define IDC_NO_ALL 1012
#define IDC_PASSWORD_TEXT 1013
#define IDC_PASSWORD 1014
