// The frame trace of meterctl: a message handler that takes the link's
// category and passes every other message on.
#include "tools/meterctl/LinkTrace.h"

#include "link/MeterLink.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QMutex>

namespace {
// The handler is a plain function: where it writes lives here. Only one
// trace is installed at a time (one command runs at a time).
QMutex s_lock;
QTextStream* s_pStream = nullptr;
QtMessageHandler s_previous = nullptr;

void TraceHandler(QtMsgType type, const QMessageLogContext& context, const QString& strMessage)
{
    QtMessageHandler previous = nullptr;
    {
        QMutexLocker locker(&s_lock);
        if (s_pStream && context.category && qstrcmp(context.category, lcMeterLink().categoryName()) == 0)
        {
            *s_pStream << QDateTime::currentDateTime().toString(Qt::ISODateWithMs) << " meter.link: " << strMessage
                       << '\n';
            s_pStream->flush();
            return;
        }
        previous = s_previous;
    }
    if (previous)
        previous(type, context, strMessage);
}
} // namespace

LinkTrace::LinkTrace(QTextStream& err, bool bEnable) : m_bEnabled(bEnable), m_previous(nullptr)
{
    QMutexLocker locker(&s_lock);
    s_pStream = &err;
    m_previous = qInstallMessageHandler(TraceHandler);
    s_previous = m_previous;
    locker.unlock();
    if (m_bEnabled)
        QLoggingCategory::setFilterRules(QStringLiteral("meter.link.debug=true"));
}

LinkTrace::~LinkTrace()
{
    if (m_bEnabled)
        QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(m_previous);
    QMutexLocker locker(&s_lock);
    s_pStream = nullptr;
}
