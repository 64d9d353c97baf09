// What `meterctl show` prints, made in one UTF-8 buffer: a report's rows
// are some 65,000 lines, and putting them together as a QString, cleaning
// every text in a copy of its own and encoding the whole again on the way
// out costs more than reading the report. Here each text is cleaned and
// encoded in one step, straight into the buffer that goes to the output.
#pragma once

#include "records/MeasurementRecord.h"
#include "report/ReportJob.h"
#include "texts/Language.h"

#include <QByteArray>
#include <QTextStream>
#include <QVector>

// The text of `meterctl show`: the user information (label and value, one
// a line), an empty line, the column headers and then the rows,
// tab-separated, each line ended by LF, in UTF-8. Texts from the file are
// shown printable: control characters (C0, DEL and C1, escape sequences
// included) become spaces, so a report cannot drive the terminal and every
// row stays on one line. It is made as a report is read: the user
// information and the headers first, then row after row, so that the rows
// need not be held.
class ReportTextBuilder
{
public:
    explicit ReportTextBuilder(Language nLanguage) : m_nLanguage(nLanguage) {}
    ~ReportTextBuilder();
    ReportTextBuilder(const ReportTextBuilder&) = delete;
    ReportTextBuilder& operator=(const ReportTextBuilder&) = delete;
    // Room for about nRows rows.
    void Reserve(qsizetype nRows);
    void Begin(const ReportUserInfo& info);
    void AddRow(const MeasurementRecord& row);
    // The text so far. The bytes stay the builder's: valid while it lives
    // and nothing is added.
    QByteArray Bytes() const { return QByteArray::fromRawData(m_pData, m_nSize); }

private:
    void Room(qsizetype nBytes)
    {
        if (m_nCapacity - m_nSize < nBytes)
            Grow(nBytes);
    }
    void Grow(qsizetype nBytes);
    void Append(QStringView str);
    void Append(char ch)
    {
        Room(1);
        m_pData[m_nSize++] = ch;
    }

    Language m_nLanguage;
    // Megabytes for a large report: a block of whole huge pages
    // (files/HugePages.h), written once and never copied.
    char* m_pData = nullptr;
    qsizetype m_nCapacity = 0;
    qsizetype m_nSize = 0;
};

// Writes UTF-8 text to out: straight to its device when it has one (after
// what the stream still holds), so the bytes are not decoded and encoded
// again; as text for a stream on a string.
void WriteUtf8(QTextStream& out, const QByteArray& utf8);
