// Hand-made BIFF8 streams for the reader tests: raw records and a small
// workbook around the records of its sheets.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstring>

#include "report/BiffRecords.h"

namespace BiffTestStreams {

using namespace BiffRecords;

inline QByteArray Rec(quint16 nId, const QByteArray& data)
{
    QByteArray out;
    char header[4];
    PutU16(header, nId);
    PutU16(header + 2, quint16(data.size()));
    out.append(header, 4);
    out += data;
    return out;
}

inline QByteArray U16s(std::initializer_list<int> values)
{
    QByteArray out;
    for (int n : values)
    {
        char buf[2];
        PutU16(buf, quint16(n));
        out.append(buf, 2);
    }
    return out;
}

inline QByteArray U32(quint32 n)
{
    char buf[4];
    PutU32(buf, n);
    return QByteArray(buf, 4);
}

inline QByteArray F64(double f)
{
    QByteArray out(8, '\0');
    quint64 n;
    std::memcpy(&n, &f, 8);
    for (int i = 0; i < 8; ++i)
        out[i] = char((n >> (8 * i)) & 0xFF);
    return out;
}

// RK: integer n stored as (n << 2) | 2, with bit 0 for "divide by 100".
inline QByteArray RkInt(int n, bool bCents = false)
{
    return U32((quint32(n) << 2) | 2u | (bCents ? 1u : 0u));
}

inline QByteArray Utf16(const QString& str)
{
    QByteArray out;
    for (QChar ch : str)
        out += U16s({ch.unicode()});
    return out;
}

// Globals: fonts 0..3 normal and 5 bold, FORMAT 164 "@", the 15 style
// XFs, XF 15 default, XF 16 bold + light green (palette 42) + "@" +
// right/centre, then the given extra records and one BOUNDSHEET per sheet.
inline QByteArray MakeStream(const QVector<QByteArray>& sheetBodies, const QByteArray& extraGlobals = QByteArray(),
                             const QVector<int>& sheetTypes = {})
{
    QByteArray out = Bof(BIFF_BOF_GLOBALS);
    for (int i = 0; i < 4; ++i)
        out += Font(false);
    out += Font(true);
    out += Rec(BIFF_FORMAT, U16s({164}) + UnicodeString(QStringLiteral("@"), true));
    for (int i = 0; i < 15; ++i)
        out += StyleXf(i);
    out += CellXf(0, 0, 0, 2, -1);
    out += CellXf(BIFF_FONT_BOLD, 164, 3, 1, 42);
    out += extraGlobals;
    QVector<int> positions;
    for (int i = 0; i < sheetBodies.size(); ++i)
    {
        positions << int(out.size());
        QByteArray rec =
            Rec(BIFF_BOUNDSHEET, U32(0) + QByteArray(1, '\0') + QByteArray(1, char(sheetTypes.value(i, 0))) +
                                     UnicodeString(QStringLiteral("S%1").arg(i), false));
        out += rec;
    }
    out += Eof();
    for (int i = 0; i < sheetBodies.size(); ++i)
    {
        PutU32(out.data() + positions[i] + 4, quint32(out.size()));
        out += Bof(sheetTypes.value(i, 0) == 2 ? 0x0020 : BIFF_BOF_WORKSHEET) + sheetBodies[i] + Eof();
    }
    return out;
}

inline QByteArray Sst(const QStringList& strings)
{
    QByteArray out;
    AppendSst(out, QVector<QString>(strings.begin(), strings.end()), quint32(strings.size()), 0, nullptr);
    return out;
}

inline QByteArray Cell3(int nRow, int nCol, int nXf)
{
    return U16s({nRow, nCol, nXf});
}

} // namespace BiffTestStreams
