// Progress of a record download on the console: a bar redrawn in place on a
// terminal (records done of total, rate, time left), plain lines at every
// tenth otherwise, so that logs stay readable.
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
    // Ends the bar's line (terminal) after the last update.
    void Finish();

    // "[#####-----]  150/300  50%  41.3 rec/s  0:03 left"; dRate in records
    // per second (0 when not known yet: no rate and no time left shown).
    static QString FormatBar(int nDone, int nTotal, double dRate, int nBarWidth);
    // "150/300 records (50%), 41.3 rec/s, 0:03 left"
    static QString FormatLine(int nDone, int nTotal, double dRate);
    // m:ss, or h:mm:ss from an hour on.
    static QString FormatDuration(qint64 nSeconds);

private:
    double Rate(int nDone) const;

    QTextStream& m_out;
    bool m_bTerminal;
    int m_nTotal = 0;
    int m_nLastTenth = -1;
    qint64 m_nLastDrawMs = -1;
    bool m_bDrawn = false;
    QElapsedTimer m_clock;
};
