// Control ids of the main dialog and the resource ids of the program.
#pragma once

#include "res/ResourceIds.h"

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;

constexpr int IDC_COMBO_PORT = 1001;
constexpr int IDC_BTN_CONNECT = 1002;
constexpr int IDC_COMBO_LANGUAGE = 1003;
constexpr int IDC_GROUP_USER = 1004;
constexpr int IDC_EDIT_COMPANY = 1005;
constexpr int IDC_EDIT_METER_TYPE = 1006;
constexpr int IDC_EDIT_SERIAL = 1007;
constexpr int IDC_EDIT_OPERATOR = 1008;
constexpr int IDC_EDIT_NOTES = 1009;
constexpr int IDC_STATIC_PORT = 1010;
constexpr int IDC_STATIC_LANGUAGE = 1011;
constexpr int IDC_STATIC_COMPANY = 1012;
constexpr int IDC_STATIC_METER_TYPE = 1013;
constexpr int IDC_STATIC_SERIAL = 1014;
constexpr int IDC_STATIC_OPERATOR = 1015;
constexpr int IDC_STATIC_NOTES = 1016;
constexpr int IDC_GROUP_CALIBRATE = 1018;
constexpr int IDC_GROUP_READ = 1019;
constexpr int IDC_LIST_RECORDS = 1021;
constexpr int IDC_BTN_CAL_RL = 1040;
constexpr int IDC_BTN_CAL_OPM = 1041;
constexpr int IDC_BTN_READ = 1042;
constexpr int IDC_BTN_OPEN = 1043;
constexpr int IDC_BTN_SAVE = 1044;
constexpr int IDC_STATIC_STATUS = 1045;
constexpr int IDC_STATIC_CAL_VALUE = 1046;
constexpr int IDC_EDIT_CAL_VALUE = 1047;
constexpr int IDC_STATIC_WAVELENGTH = 1050;
constexpr int IDC_COMBO_WAVELENGTH_A = 1051;
constexpr int IDC_COMBO_WAVELENGTH_B = 1052;
constexpr int IDC_BTN_SET_WAVELENGTH = 1053;
constexpr int IDC_GROUP_TIME = 1054;
constexpr int IDC_EDIT_YEAR = 1055;
constexpr int IDC_EDIT_MONTH = 1056;
constexpr int IDC_EDIT_DAY = 1057;
constexpr int IDC_EDIT_HOUR = 1058;
constexpr int IDC_EDIT_MINUTE = 1059;
constexpr int IDC_EDIT_SECOND = 1060;
constexpr int IDC_STATIC_YEAR = 1061;
constexpr int IDC_STATIC_MONTH = 1062;
constexpr int IDC_STATIC_DAY = 1063;
constexpr int IDC_STATIC_HOUR = 1064;
constexpr int IDC_STATIC_MINUTE = 1065;
constexpr int IDC_STATIC_SECOND = 1066;
constexpr int IDC_BTN_SET_TIME = 1067;

constexpr int IDM_ABOUTBOX = 16;
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDD_MAIN_DIALOG = 102;
