// Turns one record reply of the meter into the seven texts of a list row.
#pragma once

#include "records/MeasurementRecord.h"
#include "records/WavelengthTable.h"

#include <QtGlobal>

// RSP_RECORD payload (positions in the frame):
//   3..4    record index, 1-based, 16-bit big-endian
//   5       mode: 0 RL, 1 OPM, any other value IL
//   6       wavelength index 0..19 into the table of the last connect reply;
//           a larger value names no wavelength
//   7..10   measured value, float, least significant byte first (dB, or dBm for OPM)
//   11..14  reference power in dBm, float, least significant byte first
//   15..20  year (two last digits), month, day, hour, minute, second
// The index is big-endian but the floats are little-endian.
constexpr int RECORD_POS_INDEX = 3;
constexpr int RECORD_POS_MODE = 5;
constexpr int RECORD_POS_WAVE = 6;
constexpr int RECORD_POS_VALUE = 7;
constexpr int RECORD_POS_REFERENCE = 11;
constexpr int RECORD_POS_DATE = 15;
// The smallest length byte L of a record reply: positions 3..20 are read.
constexpr int RECORD_MIN_LENGTH = 21;

// Mode byte of a stored record; any other value is insertion loss.
constexpr quint8 MODE_RL = 0;
constexpr quint8 MODE_OPM = 1;

// Texts of the row for the RSP_RECORD frame at pFrame, which must hold at
// least 21 bytes (positions 0..20); the caller checks the frame's length.
// Number "%d"; wavelength "%dnm" (empty above index 19); mode "RL", "OPM" or
// "IL"; value "%.2fdB" ("%.2fdBm" for OPM); reference "%.2fdBm"; date
// "20yy-m-d  h:m:s" without leading zeros; notes empty. Numbers have a
// decimal point in any locale; an infinity prints as "inf"/"-inf" and a
// not-a-number as "nan", followed by the unit.
MeasurementRecord DecodeRecord(const quint8* pFrame, const WavelengthTable& wavelengths);

// The record index at positions 3..4 (1-based; the row is index - 1).
int DecodeRecordIndex(const quint8* pFrame);

// False when the date and time fields at positions 16..20 cannot be a time
// of day on a calendar: month 0 or above 12, day 0 or above 31, hour above
// 23, minute or second above 59. (Any year byte is possible.)
bool IsPlausibleRecordTime(const quint8* pFrame);
