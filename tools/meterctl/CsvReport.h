// The record rows as CSV: UTF-8, a header row with the report's column
// captions in the chosen language, then one line of seven fields per record.
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

// Writes the CSV (with the byte order mark) to strPath; the file is replaced
// only once it is complete. False with *pError set when it cannot be written.
bool WriteRecordsCsv(const QString& strPath, const QVector<MeasurementRecord>& rows, Language nLanguage, QString* pError);
