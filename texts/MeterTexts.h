// The meter's messages in both languages: what the dialog shows for each
// reply of the meter and for a port it cannot open, shared with meterctl.
#pragma once

#include "texts/Language.h"

extern const BiText TXT_COM_CANT_OPEN;
extern const BiText TXT_SELECT_PORT;
extern const BiText TXT_CONNECTED;
extern const BiText TXT_DISCONNECTED;
extern const BiText TXT_CAL_RL_DONE;
extern const BiText TXT_CAL_OPM_DONE;
extern const BiText TXT_NO_RECORDS;
extern const BiText TXT_READ_DONE;
extern const BiText TXT_WAVE_SET;
extern const BiText TXT_CLOCK_SET;
extern const BiText TXT_BTN_DISCONNECT;
extern const BiText TXT_BTN_CONNECT;
