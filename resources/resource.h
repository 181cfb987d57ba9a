// Resource ids of the program's dialogs, menu, pictures and icon, shared by the resource
// script (OmbrixEmulator.rc) and the C++ code that loads them. Kept free of any include so
// that windres and portable code can both read it.
#pragma once

// Top-level resources.
#define IDI_PROGRAM 100
#define IDD_MAIN 101
#define IDB_EMBLEM 102  // 145 x 200, 4 bits per pixel: twice its size at 96 DPI
#define IDB_BOARD 103   // 518 x 576, 8 bits per pixel: twice its size at 96 DPI
#define IDR_MAIN_MENU 104
#define IDD_PROFILE_NAME 105

// Main window: one row per analog channel. The ids follow the wire channel w:
// edit 1000 + 4 * w, its up-down edit + 1, its trackbar edit + 2. Channel 3 is the push
// button, whose check box takes the edit's place.
#define IDC_CHANNEL_FIRST 1000
#define IDC_CHANNEL_STEP 4
#define IDC_CH0_EDIT 1000  // "Entrada D"
#define IDC_CH0_SPIN 1001
#define IDC_CH0_SLIDER 1002
#define IDC_CH1_EDIT 1004  // "Entrada C"
#define IDC_CH1_SPIN 1005
#define IDC_CH1_SLIDER 1006
#define IDC_CH2_EDIT 1008  // "Entrada B"
#define IDC_CH2_SPIN 1009
#define IDC_CH2_SLIDER 1010
#define IDC_PRESSED 1012   // "Pressionado", the board's push button
#define IDC_CH4_EDIT 1016  // "Entrada A"
#define IDC_CH4_SPIN 1017
#define IDC_CH4_SLIDER 1018
#define IDC_CH5_EDIT 1020  // "Sensor de luz"
#define IDC_CH5_SPIN 1021
#define IDC_CH5_SLIDER 1022
#define IDC_CH6_EDIT 1024  // "Sensor de som"
#define IDC_CH6_SPIN 1025
#define IDC_CH6_SLIDER 1026
#define IDC_CH7_EDIT 1028  // "Sensor deslizante"
#define IDC_CH7_SPIN 1029
#define IDC_CH7_SLIDER 1030

// Main window: bottom strip. Ids from 1032 on keep the system colours.
#define IDC_START 1  // "Iniciar"/"Parar"; the dialog's default button, so Enter presses it
#define IDC_PORT_EDIT 1032
#define IDC_PORT_SPIN 1033
#define IDC_JOYSTICK_ONLY 1037
#define IDC_PORT_LABEL 1038

// Main window: right column, the joystick selector and the association editor.
#define IDC_JOYSTICK_LABEL 1039
#define IDC_JOYSTICK 1040
#define IDC_ASSOCIATE 1041
#define IDC_INPUT 1042
#define IDC_TARGET_LABEL 1043
#define IDC_CHANNEL_TARGET 1044
#define IDC_KEY_TARGET 1045
#define IDC_ASSOCIATIONS 1046
#define IDC_ASSOCIATIONS_LABEL 1047
#define IDC_DELETE 1048
#define IDC_SEPARATOR 1049
#define IDC_MENU_BUTTON 1050
// The status bar along the bottom; the window makes it, not the resource script.
#define IDC_STATUS_BAR 1053

// Profile name dialog.
#define IDC_PROFILE_LABEL 1051
#define IDC_PROFILE_NAME 1052

// Items of the pop-up menu.
#define IDM_OPEN_PROFILE 40000
#define IDM_SAVE_PROFILE 40001
#define IDM_DELETE_PROFILE 40002
#define IDM_ABOUT 40003
