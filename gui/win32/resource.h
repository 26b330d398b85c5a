#pragma once
// Resource and control ids of the Win32 program's dialogs. The resource script and
// the dialog classes share them.

// The application icon; cmake/UserPrograms.cmake puts it into every program.
#define IDR_MAINFRAME 128

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CORVALIN_DIALOG 102
#define IDD_VALUE_ENTRY 131
#define IDD_CODE_SELECTION 132

// The About entry's command in a system menu; its low four bits are the system's.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Main window.
#define IDC_UPDATE 1001
#define IDC_DEVICE 1002
#define IDC_PROGRESS 1004
#define IDC_BUNDLE_PATH 1007
#define IDC_BROWSE 1008
#define IDC_STATUS 1009
#define IDC_PARAMETER_GROUP 1010
#define IDC_PARAMETERS 1011
#define IDC_STORE 1012
#define IDC_PRODUCT 1023

// Value entry dialog.
#define IDC_VALUE_EDIT 1012
#define IDC_VALUE_LABEL 1013
#define IDC_VALUE_CHOICE 1024

// Code selection dialog. Function key k is control IDC_FUNCTION_KEY_0 + k.
#define IDC_SOURCE_FILE 1000
#define IDC_SOURCE_BROWSE 1001
#define IDC_FUNCTION_KEY_0 1002
#define IDC_FUNCTION_KEY_1 1003
#define IDC_FUNCTION_KEY_2 1004
#define IDC_FUNCTION_KEY_3 1005
#define IDC_FUNCTION_KEY_4 1006
#define IDC_FUNCTION_KEY_5 1007
#define IDC_FUNCTION_KEY_6 1008
#define IDC_FUNCTION_KEY_7 1009
#define IDC_FUNCTION_KEY_8 1010
#define IDC_FUNCTION_KEY_9 1011
#define IDC_FUNCTION_KEY_10 1012
#define IDC_FUNCTION_KEY_11 1013
#define IDC_FUNCTION_KEY_12 1014
#define IDC_FUNCTION_KEY_13 1015
#define IDC_CLEAR_ALL 1016
#define IDC_CANCEL_BUTTON 1017
#define IDC_OK_BUTTON 1018
#define IDC_CODE_TEXT 1019
#define IDC_DEFAULT 1020
#define IDC_FUNCTION_TEXT 1021
#define IDC_ERASE 1022
