// The record rows as CSV: UTF-8, a header row with the report's column
// captions in the chosen language, then one line of seven fields per record
// (what `meterctl download --csv` writes and `meterctl convert` reads).
#pragma once

#include "records/MeasurementRecord.h"
#include "texts/Language.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// One field: quoted (inner quotes doubled) when it holds a comma, a quote,
// a line break or leading or trailing blanks; as it is otherwise.
QString CsvField(const QString& strText);

// Header row and rows, each line ended by CR LF. bBom puts the UTF-8 byte
// order mark first, which spreadsheet programs need to read the Chinese
// captions right.
QByteArray BuildRecordsCsv(const QVector<MeasurementRecord>& rows, Language nLanguage, bool bBom);

// The same bytes made row by row, so that the rows need not be held.
class RecordsCsvBuilder
{
public:
    RecordsCsvBuilder(Language nLanguage, bool bBom);
    // Room for about nRows rows.
    void Reserve(qsizetype nRows) { m_data.reserve(m_data.size() + nRows * 64); }
    void AddRow(const MeasurementRecord& row);
    QByteArray Take();

private:
    void Flush();

    QByteArray m_data;
    QString m_strLines; // lines not yet encoded
};

// Writes the CSV (with the byte order mark) to strPath; the file is replaced
// only once it is complete on disk. False with *pError set to the reason in
// plain words ("the disk is full") when it cannot be written.
bool WriteRecordsCsv(const QString& strPath, const QVector<MeasurementRecord>& rows, Language nLanguage,
                     QString* pError);

// Reads a CSV as BuildRecordsCsv writes it: an optional byte order mark, the
// header row in either language, then seven fields a line (quoted fields
// may hold commas, doubled quotes and line breaks; CR LF or LF). False
// with *pError ("line 7: 6 fields, a record has 7") for anything else.
// Equal texts of one column in consecutive rows share their characters, and
// the texts are kept in a few large blocks (see report/TextBlock.h).
bool ParseRecordsCsv(const QByteArray& data, QVector<MeasurementRecord>& rows, QString* pError);
