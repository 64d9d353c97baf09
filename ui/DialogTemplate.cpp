// Template of the main dialog. The texts are the template's own Chinese
// texts; the language tables replace most of them at start-up.
#include "ui/DialogTemplate.h"

#include "ui/ControlIds.h"

const char* const MAIN_DIALOG_CAPTION = "Client";

const std::vector<ControlTemplate>& MainDialogTemplate()
{
    using K = ControlKind;
    static const std::vector<ControlTemplate> controls = {
        {IDOK, K::DefPushButton, "确定", {304, 309, 30, 14}, true},
        {IDCANCEL, K::PushButton, "退出", {349, 306, 56, 20}, false},
        {IDC_STATIC_PORT, K::StaticLeft, "请选择端口", {23, 16, 52, 8}, false},
        {IDC_COMBO_PORT, K::DropDownCombo, "COM1\nCOM2\nCOM3\nCOM4\nCOM5", {78, 15, 44, 71}, false},
        {IDC_BTN_CONNECT, K::PushButton, "连接", {123, 15, 61, 14}, false},
        {IDC_STATIC_LANGUAGE, K::StaticLeft, "中文/English:", {204, 18, 64, 8}, false},
        {IDC_COMBO_LANGUAGE, K::DropDownCombo, "中文\nEnglish", {270, 16, 48, 30}, false},
        {IDC_GROUP_USER, K::GroupBox, "用户信息", {14, 30, 391, 46}, false},
        {IDC_GROUP_CALIBRATE, K::GroupBox, "校准功率", {15, 224, 390, 44}, false},
        {IDC_GROUP_READ, K::GroupBox, "读取内容", {17, 78, 388, 145}, false},
        {IDC_STATIC_COMPANY, K::StaticLeft, "公司 名称", {22, 44, 54, 8}, false},
        {IDC_EDIT_COMPANY, K::Edit, "", {76, 42, 60, 12}, false},
        {IDC_STATIC_METER_TYPE, K::StaticLeft, "仪表 类型", {22, 64, 46, 8}, false},
        {IDC_EDIT_METER_TYPE, K::Edit, "", {76, 61, 59, 13}, false},
        {IDC_STATIC_SERIAL, K::StaticLeft, "仪表序列号", {159, 45, 50, 8}, false},
        {IDC_EDIT_SERIAL, K::Edit, "", {212, 43, 55, 12}, false},
        {IDC_STATIC_OPERATOR, K::StaticLeft, "测试操作人", {160, 64, 46, 8}, false},
        {IDC_EDIT_OPERATOR, K::Edit, "", {215, 61, 53, 12}, false},
        {IDC_STATIC_NOTES, K::StaticLeft, "备注", {283, 44, 17, 8}, false},
        {IDC_EDIT_NOTES, K::Edit, "", {304, 42, 51, 12}, false},
        {IDC_LIST_RECORDS, K::ListView, "", {26, 90, 310, 130}, false},
        {IDC_BTN_CAL_RL, K::PushButton, "校准回损功率", {75, 251, 101, 14}, false},
        {IDC_BTN_CAL_OPM, K::PushButton, "校准功率计功率", {223, 251, 102, 14}, false},
        {IDC_BTN_READ, K::PushButton, "读取内容  ", {342, 110, 54, 14}, false},
        {IDC_BTN_OPEN, K::PushButton, "打开", {347, 139, 50, 14}, false},
        {IDC_BTN_SAVE, K::PushButton, "保存", {346, 165, 50, 14}, false},
        {IDC_STATIC_STATUS, K::StaticLeft, "", {116, 160, 124, 8}, true},
        {IDC_STATIC_CAL_VALUE, K::StaticLeft, "请输入校准值：", {48, 236, 102, 8}, false},
        {IDC_EDIT_CAL_VALUE, K::Edit, "", {180, 234, 104, 12}, false},
        {IDC_STATIC_WAVELENGTH, K::StaticLeft, "请选择波长：", {33, 150, 49, 8}, true},
        {IDC_COMBO_WAVELENGTH_A, K::DropDownCombo, "850nm\n1300nm\n1310nm\n1490nm\n1550nm\n1625nm", {86, 150, 48, 59},
         true},
        {IDC_COMBO_WAVELENGTH_B, K::DropDownCombo, "850nm\n1300nm\n1310nm\n1490nm\n1550nm\n1625nm", {157, 150, 48, 60},
         true},
        {IDC_BTN_SET_WAVELENGTH, K::PushButton, "设置", {222, 149, 50, 14}, true},
        {IDC_GROUP_TIME, K::GroupBox, "时间设置", {15, 271, 390, 32}, false},
        {IDC_STATIC, K::StaticLeft, "20", {27, 287, 9, 8}, false},
        {IDC_EDIT_YEAR, K::Edit, "", {36, 285, 19, 14}, false},
        {IDC_STATIC_YEAR, K::StaticCentre, "年", {57, 289, 22, 8}, false},
        {IDC_EDIT_MONTH, K::Edit, "", {79, 285, 19, 14}, false},
        {IDC_STATIC_MONTH, K::StaticCentre, "月", {100, 288, 24, 8}, false},
        {IDC_EDIT_DAY, K::Edit, "", {125, 285, 20, 14}, false},
        {IDC_STATIC_DAY, K::StaticCentre, "日", {147, 287, 24, 8}, false},
        {IDC_EDIT_HOUR, K::Edit, "", {172, 285, 18, 14}, false},
        {IDC_STATIC_HOUR, K::StaticCentre, "时", {192, 289, 24, 8}, false},
        {IDC_EDIT_MINUTE, K::Edit, "", {218, 285, 20, 14}, false},
        {IDC_STATIC_MINUTE, K::StaticCentre, "分", {242, 289, 23, 8}, false},
        {IDC_EDIT_SECOND, K::Edit, "", {266, 285, 19, 14}, false},
        {IDC_STATIC_SECOND, K::StaticCentre, "秒", {289, 288, 29, 8}, false},
        {IDC_BTN_SET_TIME, K::PushButton, "设置时间", {337, 280, 52, 18}, false},
    };
    return controls;
}
