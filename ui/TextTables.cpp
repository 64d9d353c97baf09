// Text tables of the dialog. Every text is the program's own, byte for byte;
// note the ASCII colon of "请选择端口:" and the missing colon of "请输入校准值".
#include "ui/TextTables.h"

#include "ui/ControlIds.h"

const LanguageTable TABLE_ENGLISH = {
    0,
    {{{"Number", 70},
      {"Wave", 60},
      {"Mode", 60},
      {"RL|OPM|IL", 100},
      {"REF|PowerMeter", 100},
      {"Date-Time", 200},
      {"Notes", 180}}},
    {{{IDC_BTN_CONNECT, "Connect"},
      {IDC_BTN_CAL_RL, "Calibrate return loss"},
      {IDC_BTN_CAL_OPM, "Calibrate power meter"},
      {IDC_BTN_SET_WAVELENGTH, "Set"},
      {IDC_BTN_READ, "Read Data"},
      {IDC_BTN_OPEN, "Open"},
      {IDC_BTN_SAVE, "Save"},
      {IDC_BTN_SET_TIME, "Set Time"},
      {IDOK, "OK"},
      {IDCANCEL, "Exit"},
      {IDC_STATIC_PORT, "Select Port:"},
      {IDC_STATIC_LANGUAGE, "Chinese/English:"},
      {IDC_GROUP_USER, "User Information"},
      {IDC_STATIC_COMPANY, "Company Name"},
      {IDC_STATIC_METER_TYPE, "Meter Type"},
      {IDC_STATIC_SERIAL, "Meter Serial Number"},
      {IDC_STATIC_OPERATOR, "Test Man"},
      {IDC_STATIC_NOTES, "Notes"},
      {IDC_GROUP_CALIBRATE, "Calibrate Power"},
      {IDC_STATIC_CAL_VALUE, "Enter calibration value"},
      {IDC_GROUP_READ, "Read Data"},
      {IDC_GROUP_TIME, "Set Time"},
      {IDC_STATIC_YEAR, "Year"},
      {IDC_STATIC_MONTH, "Month"},
      {IDC_STATIC_DAY, "Day"},
      {IDC_STATIC_HOUR, "Hour"},
      {IDC_STATIC_MINUTE, "Minute"},
      {IDC_STATIC_SECOND, "Seconds"}}},
};

const LanguageTable TABLE_CHINESE = {
    1,
    {{{"序号", 70}, {"波长", 60}, {"模式", 60}, {"RL|OPM|IL", 100}, {"REF|功率值", 100}, {"日期", 200}, {"备注", 180}}},
    {{{IDC_BTN_CONNECT, "连接"},
      {IDC_BTN_CAL_RL, "校准回损功率"},
      {IDC_BTN_CAL_OPM, "校准功率计功率"},
      {IDC_BTN_SET_WAVELENGTH, "设置"},
      {IDC_BTN_READ, "读取数据"},
      {IDC_BTN_OPEN, "打开"},
      {IDC_BTN_SAVE, "保存"},
      {IDC_BTN_SET_TIME, "设置时间"},
      {IDOK, "确定"},
      {IDCANCEL, "退出"},
      {IDC_STATIC_PORT, "请选择端口:"},
      {IDC_STATIC_LANGUAGE, "中文/English:"},
      {IDC_GROUP_USER, "用户信息"},
      {IDC_STATIC_COMPANY, "公司 名称"},
      {IDC_STATIC_METER_TYPE, "仪表 类型"},
      {IDC_STATIC_SERIAL, "仪表序列号"},
      {IDC_STATIC_OPERATOR, "测试操作人"},
      {IDC_STATIC_NOTES, "备注"},
      {IDC_GROUP_CALIBRATE, "校准功率"},
      {IDC_STATIC_CAL_VALUE, "请输入校准值"},
      {IDC_GROUP_READ, "读取数据"},
      {IDC_GROUP_TIME, "时间设置"},
      {IDC_STATIC_YEAR, "年"},
      {IDC_STATIC_MONTH, "月"},
      {IDC_STATIC_DAY, "日"},
      {IDC_STATIC_HOUR, "时"},
      {IDC_STATIC_MINUTE, "分"},
      {IDC_STATIC_SECOND, "秒"}}},
};

const BiText TXT_SAVE_NOT_XLS = {
    "保存文件不是Excel文件，无法保存！\n请指定后缀名为\"xls\"的文件名。",
    "Save the file is not an Excel file, can not be saved! \n Please specify suffix \"xls\" file name."};
const BiText TXT_SAVING = {"数据正在保存中.....", "The data is saving....."};
const BiText TXT_SAVE_DONE = {"保存完成！", "The save is complete!"};
const BiText TXT_SAVE_ERROR = {"保存出错！\n请检查机器环境然后再次执行。",
                               "Error when saving! \n Please check the machine environment and then run again."};
const BiText TXT_NO_EXCEL = {
    "无法创建Excel程序!请检查是否安装了Excel以及Office的版本。",
    "Unable to create the Excel program! Please check whether the installed version of Excel and Office."};
const BiText TXT_OPENING = {"文件正在打开.....", "The file is opening....."};
const BiText TXT_OPEN_ERROR = {"无法打开文件，请检查机器环境或文件内容!",
                               "Can not open file, please check the machine environment, or the contents of the file!"};

const BiText TXT_DOWNLOAD_PROGRESS = {"正在读取记录 %1 / %2", "Reading records %1 / %2"};
const BiText TXT_DOWNLOAD_NO_ANSWER = {"读取未完成：仪表没有应答。\n已收到 %2 条记录中的 %1 条，保留在列表中。",
                                       "The download is incomplete: the meter stopped answering.\n%1 of %2 records "
                                       "arrived; they stay in the list."};
const BiText TXT_DOWNLOAD_LINE_LOST = {"读取未完成：与仪表的连接已断开。\n已收到 %2 条记录中的 %1 条，保留在列表中。",
                                       "The download is incomplete: the line to the meter was lost.\n%1 of %2 "
                                       "records arrived; they stay in the list."};
const BiText TXT_DOWNLOAD_INTERRUPTED = {"读取已停止。\n已收到 %2 条记录中的 %1 条，保留在列表中。",
                                         "The download was stopped.\n%1 of %2 records arrived; they stay in the list."};
const BiText TXT_NO_ANSWER = {"仪表没有应答。\n请检查仪表是否已开机、数据线是否插好、端口是否选对。",
                              "The meter did not answer.\nCheck that it is switched on, that the cable is plugged "
                              "in and that this is its port."};

const BiText TXT_CLOCK_YEAR = {"年份 %1 无效：请输入 0 到 99（即 2000 到 2099 年）。",
                               "The year %1 is not valid: enter 0 to 99 (for 2000 to 2099)."};
const BiText TXT_CLOCK_MONTH = {"月份 %1 无效：请输入 1 到 12。", "The month %1 is not valid: enter 1 to 12."};
const BiText TXT_CLOCK_DAY = {"日期 %1 无效：请输入 1 到 31。", "The day %1 is not valid: enter 1 to 31."};
const BiText TXT_CLOCK_HOUR = {"小时 %1 无效：请输入 0 到 23。", "The hour %1 is not valid: enter 0 to 23."};
const BiText TXT_CLOCK_MINUTE = {"分钟 %1 无效：请输入 0 到 59。", "The minute %1 is not valid: enter 0 to 59."};
const BiText TXT_CLOCK_SECOND = {"秒 %1 无效：请输入 0 到 59。", "The second %1 is not valid: enter 0 to 59."};

const BiText TXT_QUIT_UNSAVED = {"列表中有 %1 条记录尚未保存。\n仍然退出吗？",
                                 "The list holds %1 records that have not been saved.\nQuit anyway?"};
const BiText TXT_LANGUAGE_NOT_SAVED = {"无法保存语言设置：%1 不能写入。",
                                       "The language cannot be kept: %1 cannot be written."};

const char* const TXT_PARSE_REAL = "Please enter a number.";
const char* const TXT_PARSE_BYTE = "Please enter an integer between 0 and 255.";
