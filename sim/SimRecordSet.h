// The records stored in the simulated meter: made by a fixed generator or
// read from a text file, and turned into RSP_RECORD replies.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// One stored record, with the fields of the RSP_RECORD payload.
struct SimRecord
{
    quint8 byMode = 0;      // 0 RL, 1 OPM, anything else IL
    quint8 byWaveIndex = 0; // 0..19 names a wavelength; above 19 none
    float fValue = 0.0f;
    float fReference = 0.0f;
    quint8 byYear = 0; // two last digits
    quint8 byMonth = 1;
    quint8 byDay = 1;
    quint8 byHour = 0;
    quint8 byMinute = 0;
    quint8 bySecond = 0;
};

class SimRecordSet
{
public:
    // The meter can announce at most 65535 records (16-bit count).
    static constexpr int MAX_RECORDS = 65535;

    // Records 1..nCount from the fixed generator: every mode (0, 1 and IL
    // bytes 2, 3, 7, 255), wavelength indexes 0..22 (so 20..22 name none),
    // values with two decimals and varied dates. The same for every run.
    void Generate(int nCount);
    // Reads a record file, one record per line:
    //   MODE WAVE VALUE REFERENCE YY-MM-DD HH:MM:SS
    // MODE is RL, OPM, IL or a byte 0..255; WAVE a byte; VALUE and REFERENCE
    // decimal numbers; the date and time fields bytes (YY the two last digits
    // of the year). Blank lines and lines starting with # are skipped. The
    // records are numbered from 1 in file order. False (and nothing changed)
    // on a line that does not parse; GetLastError() names the line.
    bool LoadFile(const QString& strPath);
    bool Parse(const QString& strText);

    int Count() const { return int(m_records.size()); }
    // Record nIndex, 1-based; nIndex must be within 1..Count().
    const SimRecord& Record(int nIndex) const { return m_records[nIndex - 1]; }
    void Append(const SimRecord& record) { m_records.append(record); }
    void Clear() { m_records.clear(); }
    QString GetLastError() const { return m_strError; }

    // The generator's record nIndex (1-based).
    static SimRecord Generated(int nIndex);
    // RSP_RECORD frame (L = 21) carrying record under the given index.
    static QByteArray BuildReply(quint16 nIndex, const SimRecord& record);
    // The meter's answer to a request for nIndex: the record when it exists,
    // otherwise an RSP_RECORD with that index and all fields zero, which is
    // what ends the client's download one beyond the count.
    QByteArray ReplyFor(quint16 nIndex) const;

private:
    QVector<SimRecord> m_records;
    QString m_strError;
};
