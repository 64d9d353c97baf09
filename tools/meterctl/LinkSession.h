// meterctl's way of using the meter link: each request waits for its outcome
// in an event loop, so that a command reads as a sequence of calls.
#pragma once

#include "link/MeterLink.h"

#include <QDateTime>
#include <functional>

enum LinkResult : int
{
    LINK_OK = 0,
    LINK_NO_ANSWER, // no fitting reply after every attempt
    LINK_LOST,      // the line closed (device pulled, meter hung up) or is not open
};

class LinkSession
{
public:
    explicit LinkSession(MeterLink& link) : m_link(link) {}

    // Connects; the wavelength table is then in the link.
    LinkResult Connect();
    LinkResult Disconnect();
    // byCommand is CMD_CAL_RL or CMD_CAL_OPM.
    LinkResult Calibrate(quint8 byCommand, float fValue);
    LinkResult SetClock(const QDateTime& time);
    // Downloads every record: onCount once with the count (false stops the
    // download there), then onRecord for records 1..N in order. A download
    // whose records all came but whose end was not confirmed is LINK_OK
    // with *pEndConfirmed false.
    LinkResult Download(const std::function<bool(int nTotal)>& onCount,
                        const std::function<void(const QByteArray& frame, int nIndex)>& onRecord, bool* pEndConfirmed);

private:
    // Runs the event loop until bDone() or a failure of the request under way.
    LinkResult Wait(const std::function<bool()>& bDone);

    MeterLink& m_link;
};
