// Progress of a record download on the error stream: a bar redrawn in place
// when it is a terminal (records done of total, rate, time left); otherwise
// one line at the end, so that a script's log gets the outcome and not a
// line every so often.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

class ProgressMeter
{
public:
    ProgressMeter(QTextStream& out, bool bTerminal);

    void Start(int nTotal);
    void Update(int nDone);
    // Ends the bar's line (terminal) or prints the summary line (otherwise);
    // nothing when Start was not called.
    void Finish();

    // "[#####-----]  150/300  50%  41.3 rec/s  0:03 left"; dRate in records
    // per second (0 when not known yet: no rate and no time left shown).
    static QString FormatBar(int nDone, int nTotal, double dRate, int nBarWidth);
    // "150 of 300 records in 0:04 (41.3 rec/s)"; no rate below 1 ms.
    static QString FormatSummary(int nDone, int nTotal, qint64 nElapsedMs);
    // m:ss, or h:mm:ss from an hour on.
    static QString FormatDuration(qint64 nSeconds);

private:
    double Rate(int nDone) const;

    QTextStream& m_out;
    bool m_bTerminal;
    bool m_bStarted = false;
    int m_nTotal = 0;
    int m_nDone = 0;
    qint64 m_nLastDrawMs = -1;
    bool m_bDrawn = false;
    QElapsedTimer m_clock;
};
