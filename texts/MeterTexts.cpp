// The meter's messages, byte for byte as the program shows them; all
// exclamation marks are the ASCII character.
#include "texts/MeterTexts.h"

const BiText TXT_COM_CANT_OPEN = {"串口打不开!", "COM CANN'T OPEN!"};
const BiText TXT_SELECT_PORT = {"请选择端口号!", "PLEASE SELSECT THE COM PORT!"};
const BiText TXT_CONNECTED = {"连接成功", "Connection success"};
const BiText TXT_DISCONNECTED = {"断开连接成功!", "Disconnect success!"};
const BiText TXT_CAL_RL_DONE = {"校准回损功率成功!", "Calibrate the return loss power successfully!"};
const BiText TXT_CAL_OPM_DONE = {"校准功率计功率成功!", "Calibrate the return power meter successfully!"};
const BiText TXT_NO_RECORDS = {"没有功率可读取", "No power can be read"};
const BiText TXT_READ_DONE = {"功率读取成功", "Power reading success"};
const BiText TXT_WAVE_SET = {"波长设置成功!", "Set the wave successfully!"};
const BiText TXT_CLOCK_SET = {"时间设置成功!", "Set time successfully!"};
const BiText TXT_BTN_DISCONNECT = {"断开连接", "Disconnect"};
const BiText TXT_BTN_CONNECT = {"连接", "Connect"};
