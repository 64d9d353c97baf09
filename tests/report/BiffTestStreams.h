// Hand-made BIFF8 streams for the reader tests: raw records and a small
// workbook around the records of its sheets.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <QVector>
#include <QtEndian>
#include <cstring>

#include "report/BiffRecords.h"
#include "report/CompoundFile.h"

namespace BiffTestStreams {

using namespace BiffRecords;

inline QByteArray U16s(std::initializer_list<int> values)
{
    QByteArray out(int(2 * values.size()), '\0');
    int i = 0;
    for (int n : values)
        qToLittleEndian<quint16>(quint16(n), out.data() + 2 * i++);
    return out;
}

inline QByteArray U32(quint32 n)
{
    QByteArray out(4, '\0');
    qToLittleEndian<quint32>(n, out.data());
    return out;
}

inline QByteArray F64(double f) // little-endian IEEE, like the machines that run this
{
    QByteArray out(8, '\0');
    std::memcpy(out.data(), &f, 8);
    return out;
}

inline QByteArray Rec(int nId, const QByteArray& data)
{
    return U16s({nId, int(data.size())}) + data;
}

// A cell record's row, column and XF 15.
inline QByteArray Cell3(int nRow, int nCol)
{
    return U16s({nRow, nCol, 15});
}

// RK: integer n stored as (n << 2) | 2, with bit 0 for "divide by 100".
inline QByteArray RkInt(int n, bool bCents = false)
{
    return U32((quint32(n) << 2) | 2u | (bCents ? 1u : 0u));
}

inline QByteArray Utf16(const QString& str)
{
    return QByteArray(reinterpret_cast<const char*>(str.utf16()), int(2 * str.size()));
}

inline QByteArray Sst(const QStringList& strings)
{
    QByteArray out;
    AppendSst(out, SstStrings(strings.begin(), strings.end()), quint32(strings.size()), 0, nullptr);
    return out;
}

// Globals (5 fonts, 15 style XFs, default XF 15, the given extra records,
// one BOUNDSHEET per sheet), then each sheet's BOF, body and EOF.
inline QByteArray MakeStream(const QVector<QByteArray>& sheetBodies, const QByteArray& extraGlobals = QByteArray())
{
    QByteArray out = Bof(BIFF_BOF_GLOBALS);
    for (int i = 0; i < 5; ++i)
        out += Font(i == 4);
    for (int i = 0; i < 15; ++i)
        out += StyleXf(i);
    out += CellXf(0, 0, 0, 2, -1) + extraGlobals;
    QVector<int> positions;
    for (int i = 0; i < sheetBodies.size(); ++i)
    {
        positions << int(out.size());
        out += Rec(BIFF_BOUNDSHEET, U32(0) + U16s({0}) + UnicodeString(QStringLiteral("S%1").arg(i), false));
    }
    out += Eof();
    for (int i = 0; i < sheetBodies.size(); ++i)
    {
        qToLittleEndian<quint32>(quint32(out.size()), out.data() + positions[i] + 4);
        out += Bof(BIFF_BOF_WORKSHEET) + sheetBodies[i] + Eof();
    }
    return out;
}

// A damaged report file: DIMENSIONS rows 1..6, company "ACME" in D2, cell
// A7 stored twice ("1", then "2"), and a stray A60001 outside the bounds.
inline QByteArray DamagedReportFile()
{
    const auto label = [](int nRow, int nCol, quint32 nSst) {
        return Rec(BIFF_LABELSST, U16s({nRow, nCol, 15}) + U32(nSst));
    };
    QByteArray body = Rec(BIFF_DIMENSIONS, U32(1) + U32(7) + U16s({0, 10, 0}));
    body += label(1, 3, 0) + label(6, 0, 1) + label(6, 0, 2) + label(60000, 0, 1);
    QByteArray file;
    const bool bMade = CompoundFile::Write(
        QStringLiteral("Workbook"),
        MakeStream({body}, Sst({QStringLiteral("ACME"), QStringLiteral("1"), QStringLiteral("2")})), file, nullptr);
    return bMade ? file : QByteArray();
}

} // namespace BiffTestStreams
