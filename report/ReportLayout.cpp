// Texts and addresses of the report layout (see ReportLayout.h).
#include "report/ReportLayout.h"

// Every label ends in the full-width colon "：" (U+FF1A) in both languages;
// "公司 名称：" and "仪表 类型：" hold one ordinary space.
const std::array<ReportInfoRow, REPORT_INFO_ROW_COUNT> REPORT_INFO_ROWS = {{
    {2,
     "B2",
     "C2",
     {"公司 名称：", "Company："},
     "D2",
     "F2",
     INFO_COMPANY,
     "H2",
     "I2",
     {"单位：", "Unit："},
     INFO_UNIT},
    {3,
     "B3",
     "C3",
     {"仪表 类型：", "Meter Type："},
     "D3",
     "F3",
     INFO_METER_TYPE,
     "H3",
     "I3",
     {"仪表序列号：", "Instrument Serial："},
     INFO_SERIAL},
    {4,
     "B4",
     "C4",
     {"测试操作人：", "Test Operator："},
     "D4",
     "F4",
     INFO_OPERATOR,
     "H4",
     "I4",
     {"备注：", "Notes："},
     INFO_NOTES},
}};

const char* const REPORT_UNIT_TEXT = "nm/dBm";

const std::array<BiText, RECORD_COLUMNS> REPORT_COLUMN_HEADERS = {{
    {"序号", "Number"},
    {"波长", "Wave"},
    {"模式", "Mode"},
    {"RL|OPM|IL", "RL|OPM|IL"},
    {"REF|功率值", "REF|PowerMeter"},
    {"日期/时间", "Date-Time"},
    {"备注", "Notes"},
}};

const char* const REPORT_INFO_BLOCK_FROM = "B2";
const char* const REPORT_INFO_BLOCK_TO = "J4";
const char* const REPORT_HEADER_FROM = "A6";
const char* const REPORT_HEADER_TO = "K6";

const BiText TXT_REPORT_TOO_MANY_ROWS = {
    "列表中有%1条记录，但一个报表最多只能保存65530条！\n没有保存任何数据。",
    "The list holds %1 records, but a report can hold at most 65530! \n Nothing has been saved."};

const BiText TXT_REPORT_UNREADABLE = {"这不是可以打开的报表（%1）", "it is not a report that can be opened (%1)"};
const BiText TXT_REPORT_NOT_WORKSHEET = {"当前工作表不是普通工作表（是图表或宏表），没有可读的单元格",
                                         "its active sheet is a chart or macro sheet, not a worksheet with cells"};
const BiText TXT_REPORT_SERVER_FAILED = {"电子表格服务出错（%1）", "the spreadsheet server failed (%1)"};
const BiText TXT_REPORT_DAMAGED = {"报表文件已损坏：%1。无法确认的单元格没有读入。",
                                   "the report file is damaged: %2. Cells that cannot be trusted were left out."};
const BiText TXT_REPORT_REPEATED_CELLS = {"%1 个单元格重复出现（采用了后一个）",
                                          "%1 cell(s) appear twice (the later one is kept)"};
const BiText TXT_REPORT_CELLS_OUTSIDE = {"%1 个单元格在工作表范围之外",
                                         "%1 cell(s) lie outside the sheet's dimensions"};
const BiText TXT_REPORT_UNKNOWN_FORMATS = {"%1 个单元格的格式不存在", "%1 cell(s) name a format the file lacks"};
const BiText TXT_REPORT_TEXT_CUT = {"%1 个文本超过 32767 个字符，保存时已截断。",
                                    "%1 text(s) longer than 32,767 characters were cut to fit a cell."};

// D2 company, D3 meter type, J3 serial number, D4 operator, J4 notes.
const std::array<ReportCellAddress, INFO_FIELD_COUNT> REPORT_INFO_CELLS = {{
    {2, REPORT_INFO_LEFT_COL},
    {3, REPORT_INFO_LEFT_COL},
    {3, REPORT_INFO_RIGHT_COL},
    {4, REPORT_INFO_LEFT_COL},
    {4, REPORT_INFO_RIGHT_COL},
}};
