// The records as one JSON document for scripts (`download --json`, `show
// --json`): each record's fields as numbers and an ISO 8601 time, read from
// the texts the list shows, and the seven texts themselves.
#pragma once

#include "records/MeasurementRecord.h"
#include "records/WavelengthTable.h"
#include "report/ReportJob.h"

#include <QByteArray>
#include <QVector>

// The whole document: {"userInformation": {...}, "wavelengths": [20 numbers
// in nm] or null when not known, "records": [...]}; ends with a line break.
// A record is one line of compact JSON, its members in name order, read
// from its seven texts as the list shows them:
//   number      "12"               -> 12
//   wavelength  "1550nm"           -> 1550 (nm)
//   mode        "RL", "OPM", "IL"  -> the same text
//   value       "-12.34dBm"        -> -12.34, and unit "dBm" ("dB" for RL and IL)
//   reference   "-3.00dBm"         -> -3 (dBm)
//   time        "2012-5-3  9:5:7"  -> "2012-05-03T09:05:07" (the meter's local time)
//   texts       the seven texts in the list's column order
// A field whose text is empty or does not read as such (an edited cell, a
// value of "inf" or "nan", month 13) is null.
QByteArray BuildRecordsJson(const QVector<MeasurementRecord>& rows, const ReportUserInfo& info,
                            const WavelengthTable* pWavelengths);

// The same document made record by record, so that the rows need not be
// held: Begin, AddRow for each, Take.
class RecordsJsonBuilder
{
public:
    void Begin(const ReportUserInfo& info, const WavelengthTable* pWavelengths);
    // Room for about nRows records.
    void Reserve(qsizetype nRows) { m_json.reserve(m_json.size() + nRows * 260 + 512); }
    void AddRow(const MeasurementRecord& row);
    QByteArray Take();

private:
    QByteArray m_json;
    bool m_bFirst = true;
};
