// Which serial ports answer as a meter: every port is tried at once, each
// with its own link, in one event loop, so that probing takes one time-out
// however many ports there are (`ports --probe`, `--port auto`).
#pragma once

#include "link/PortAccess.h"
#include "records/WavelengthTable.h"

#include <QString>
#include <QStringList>
#include <QVector>

enum ProbeOutcome
{
    PROBE_METER,       // answered the connect request (and was sent the disconnect request)
    PROBE_NO_ANSWER,   // opened, but no connect reply within the time-out
    PROBE_LINE_CLOSED, // opened, then the line closed
    PROBE_NOT_OPENED,  // missing, refused or busy: see access
};

struct ProbeResult
{
    QString strPort; // as given
    ProbeOutcome nOutcome = PROBE_NO_ANSWER;
    PortAccess access;                // why it did not open (PROBE_NOT_OPENED)
    WavelengthTable wavelengths = {}; // the meter's table (PROBE_METER)
};

// Sends the connect request once on every port (no retries) and waits at
// most nTimeoutMs for each reply, all at the same time; a port that answers
// is sent the disconnect request, so the meter is left as it was. The
// results are in the order of ports.
QVector<ProbeResult> ProbePorts(const QStringList& ports, int nTimeoutMs);

// The outcome in a few words: "answers as a meter", "no answer",
// "permission denied (group dialout)", ...
QString ProbeOutcomeText(const ProbeResult& result);
