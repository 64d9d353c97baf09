// Requests that wait for their outcome, over the link the dialog uses too.
#include "tools/meterctl/LinkSession.h"

#include "link/InstrumentFrame.h"

#include <QEventLoop>

LinkResult LinkSession::Wait(const std::function<bool()>& bDone)
{
    bool bFailed = false;
    LinkFailure failure = LinkFailure::NoAnswer;
    QEventLoop loop;
    // Every outcome of the link wakes the loop to look again.
    const auto wake = [&loop] { loop.quit(); };
    const QMetaObject::Connection connections[] = {
        QObject::connect(&m_link, &MeterLink::Connected, &loop, wake),
        QObject::connect(&m_link, &MeterLink::Disconnected, &loop, wake),
        QObject::connect(&m_link, &MeterLink::CalibrationDone, &loop, wake),
        QObject::connect(&m_link, &MeterLink::ClockSet, &loop, wake),
        QObject::connect(&m_link, &MeterLink::CountReceived, &loop, wake),
        QObject::connect(&m_link, &MeterLink::DownloadFinished, &loop, wake),
        QObject::connect(&m_link, &MeterLink::RequestFailed, &loop,
                         [&](quint8, LinkFailure why) {
                             bFailed = true;
                             failure = why;
                             loop.quit();
                         }),
    };
    while (!bDone() && !bFailed)
        loop.exec();
    for (const QMetaObject::Connection& connection : connections)
        QObject::disconnect(connection);
    if (!bFailed)
        return LINK_OK;
    return failure == LinkFailure::LineLost ? LINK_LOST : LINK_NO_ANSWER;
}

LinkResult LinkSession::Connect()
{
    bool bDone = false;
    const QMetaObject::Connection connection =
        QObject::connect(&m_link, &MeterLink::Connected, [&bDone](bool) { bDone = true; });
    const LinkResult result = m_link.SendConnect() ? Wait([&bDone] { return bDone; }) : LINK_LOST;
    QObject::disconnect(connection);
    return result;
}

LinkResult LinkSession::Disconnect()
{
    bool bDone = false;
    const QMetaObject::Connection connection =
        QObject::connect(&m_link, &MeterLink::Disconnected, [&bDone] { bDone = true; });
    const LinkResult result = m_link.SendDisconnect() ? Wait([&bDone] { return bDone; }) : LINK_LOST;
    QObject::disconnect(connection);
    return result;
}

LinkResult LinkSession::Calibrate(quint8 byCommand, float fValue)
{
    bool bDone = false;
    const QMetaObject::Connection connection =
        QObject::connect(&m_link, &MeterLink::CalibrationDone,
                         [&bDone, byCommand](quint8 byReply) { bDone |= byReply == byCommand + 1; });
    const LinkResult result = m_link.SendCalibration(byCommand, fValue) ? Wait([&bDone] { return bDone; }) : LINK_LOST;
    QObject::disconnect(connection);
    return result;
}

LinkResult LinkSession::SetClock(const QDateTime& time)
{
    bool bDone = false;
    const QMetaObject::Connection connection =
        QObject::connect(&m_link, &MeterLink::ClockSet, [&bDone] { bDone = true; });
    const QDate d = time.date();
    const QTime t = time.time();
    const bool bSent = m_link.SendSetClock(quint8(d.year() % 100), quint8(d.month()), quint8(d.day()), quint8(t.hour()),
                                           quint8(t.minute()), quint8(t.second()));
    const LinkResult result = bSent ? Wait([&bDone] { return bDone; }) : LINK_LOST;
    QObject::disconnect(connection);
    return result;
}

LinkResult LinkSession::Download(const std::function<bool(int)>& onCount,
                                 const std::function<void(const QByteArray&, int)>& onRecord, bool* pEndConfirmed)
{
    bool bDone = false;
    *pEndConfirmed = false;
    const QMetaObject::Connection connections[] = {
        QObject::connect(&m_link, &MeterLink::CountReceived,
                         [&](int nTotal) {
                             bDone = !onCount(nTotal) || nTotal == 0;
                             if (bDone)
                                 m_link.StopDownload();
                         }),
        QObject::connect(&m_link, &MeterLink::RecordReceived, onRecord),
        QObject::connect(&m_link, &MeterLink::DownloadFinished,
                         [&](int) {
                             bDone = true;
                             *pEndConfirmed = true;
                         }),
    };
    LinkResult result = m_link.StartDownload() ? Wait([&bDone] { return bDone; }) : LINK_LOST;
    for (const QMetaObject::Connection& connection : connections)
        QObject::disconnect(connection);
    // Every record is in and only the reply that ends the download is missing.
    if (result != LINK_OK && m_link.GetRecordTotal() > 0 && m_link.GetRecordsReceived() == m_link.GetRecordTotal())
        result = LINK_OK;
    return result;
}
