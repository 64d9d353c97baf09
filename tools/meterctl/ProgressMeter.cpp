// The download's progress bar and its summary line.
#include "tools/meterctl/ProgressMeter.h"

#include <cmath>

namespace {
constexpr int BAR_WIDTH = 30;
constexpr qint64 REDRAW_MS = 100; // a terminal needs no more than ten frames a second

QString Percent(int nDone, int nTotal)
{
    const int nPercent = nTotal > 0 ? int(qint64(nDone) * 100 / nTotal) : 100;
    return QStringLiteral("%1%").arg(nPercent);
}

QString RateAndLeft(int nDone, int nTotal, double dRate, const QString& strSep)
{
    if (!(dRate > 0.0) || !std::isfinite(dRate))
        return QString();
    const qint64 nLeft = qint64(std::ceil(double(nTotal - nDone) / dRate));
    return strSep + QStringLiteral("%1 rec/s").arg(dRate, 0, 'f', 1) + strSep +
           QStringLiteral("%1 left").arg(ProgressMeter::FormatDuration(nLeft));
}
} // namespace

ProgressMeter::ProgressMeter(QTextStream& out, bool bTerminal) : m_out(out), m_bTerminal(bTerminal)
{
}

QString ProgressMeter::FormatDuration(qint64 nSeconds)
{
    if (nSeconds < 0)
        nSeconds = 0;
    if (nSeconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(nSeconds / 3600)
            .arg((nSeconds / 60) % 60, 2, 10, QLatin1Char('0'))
            .arg(nSeconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(nSeconds / 60).arg(nSeconds % 60, 2, 10, QLatin1Char('0'));
}

QString ProgressMeter::FormatBar(int nDone, int nTotal, double dRate, int nBarWidth)
{
    const int nFilled = nTotal > 0 ? int(qint64(nDone) * nBarWidth / nTotal) : nBarWidth;
    const int nWidth = int(QString::number(nTotal).size());
    return QLatin1Char('[') + QString(nFilled, QLatin1Char('#')) + QString(nBarWidth - nFilled, QLatin1Char('-')) +
           QStringLiteral("]  %1/%2  %3").arg(nDone, nWidth).arg(nTotal).arg(Percent(nDone, nTotal), 4) +
           RateAndLeft(nDone, nTotal, dRate, QStringLiteral("  "));
}

QString ProgressMeter::FormatSummary(int nDone, int nTotal, qint64 nElapsedMs)
{
    // Whole seconds rounded up, so that a quick download does not say 0:00.
    QString str = QStringLiteral("%1 of %2 records in %3")
                      .arg(nDone)
                      .arg(nTotal)
                      .arg(FormatDuration((qMax<qint64>(nElapsedMs, 0) + 999) / 1000));
    if (nElapsedMs > 0)
        str += QStringLiteral(" (%1 rec/s)").arg(double(nDone) * 1000.0 / double(nElapsedMs), 0, 'f', 1);
    return str;
}

double ProgressMeter::Rate(int nDone) const
{
    const qint64 nMs = m_clock.elapsed();
    return nMs > 0 && nDone > 0 ? double(nDone) * 1000.0 / double(nMs) : 0.0;
}

void ProgressMeter::Start(int nTotal)
{
    m_bStarted = true;
    m_nTotal = nTotal;
    m_nDone = 0;
    m_nLastDrawMs = -1;
    m_bDrawn = false;
    m_clock.start();
    Update(0);
}

void ProgressMeter::Update(int nDone)
{
    m_nDone = nDone;
    if (m_bTerminal)
    {
        const qint64 nNow = m_clock.elapsed();
        if (nDone < m_nTotal && m_nLastDrawMs >= 0 && nNow - m_nLastDrawMs < REDRAW_MS)
            return;
        m_nLastDrawMs = nNow;
        // \r back to the start of the line, ESC[K clears what the last bar left.
        m_out << '\r' << FormatBar(nDone, m_nTotal, Rate(nDone), BAR_WIDTH) << "\x1b[K";
        m_out.flush();
        m_bDrawn = true;
    }
}

void ProgressMeter::Finish()
{
    if (m_bTerminal && m_bDrawn)
        m_out << '\n';
    else if (!m_bTerminal && m_bStarted)
        m_out << FormatSummary(m_nDone, m_nTotal, m_clock.elapsed()) << '\n';
    m_out.flush();
    m_bDrawn = false;
    m_bStarted = false;
}
