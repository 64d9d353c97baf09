// Records for the benchmarks, varied like a meter's own: every number, value,
// date and time differs from row to row, wavelengths and modes change, a
// few rows carry notes. Deterministic (a fixed linear congruential
// sequence), so that two runs measure the same data. bench/compare.sh
// makes the same kind of rows for the programs it compares.
#pragma once

#include "records/MeasurementRecord.h"

#include <QString>
#include <QVector>

namespace BenchRecords {

inline QVector<MeasurementRecord> Generate(int nRows)
{
    static const int WAVELENGTHS[] = {850, 1300, 1310, 1490, 1550, 1625};
    quint64 nSeed = 20120503;
    const auto next = [&nSeed](quint32 nRange) {
        nSeed = nSeed * 6364136223846793005ull + 1442695040888963407ull;
        return quint32((nSeed >> 33) % nRange);
    };
    QVector<MeasurementRecord> rows(nRows);
    qint64 nSeconds = 0;
    for (int i = 0; i < nRows; ++i)
    {
        const quint32 nMode = next(3);
        const double dValue = nMode == 0 ? -double(next(5000)) / 100.0 : double(next(600000)) / 10000.0;
        nSeconds += 1 + next(600); // one record after the other, minutes apart
        const qint64 nDay = nSeconds / 86400;
        rows[i].texts = {QString::number(i + 1),
                         QString::number(WAVELENGTHS[next(6)]) + QStringLiteral("nm"),
                         QString::fromLatin1(nMode == 0   ? "OPM"
                                             : nMode == 1 ? "RL"
                                                          : "IL"),
                         QString::number(dValue, 'f', 2) + QString::fromLatin1(nMode == 0 ? "dBm" : "dB"),
                         QString::number(-double(next(4000)) / 100.0, 'f', 2) + QStringLiteral("dBm"),
                         QString::asprintf("20%d-%d-%d  %d:%d:%d", int(12 + nDay / 336), int(1 + nDay / 28 % 12),
                                           int(1 + nDay % 28), int(nSeconds / 3600 % 24), int(nSeconds / 60 % 60),
                                           int(nSeconds % 60)),
                         next(20) == 0 ? QStringLiteral("splice %1").arg(next(1000)) : QString()};
    }
    return rows;
}

} // namespace BenchRecords
