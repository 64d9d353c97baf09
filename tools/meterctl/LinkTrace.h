// meterctl --trace: the link's frames (the Qt logging category "meter.link")
// printed on the error stream, one line each with a time stamp, in the order
// they went out and came in.
#pragma once

#include <QTextStream>
#include <QtGlobal>

class LinkTrace
{
public:
    // From now until destruction every message of "meter.link" goes to err
    // as "2024-05-03T09:05:07.123 meter.link: -> 33 03 10 BA 08"; other
    // messages go where they went before. bEnable turns the category's debug
    // level on (else QT_LOGGING_RULES decides, as in the desktop program).
    LinkTrace(QTextStream& err, bool bEnable);
    ~LinkTrace();
    LinkTrace(const LinkTrace&) = delete;
    LinkTrace& operator=(const LinkTrace&) = delete;

private:
    bool m_bEnabled;
    QtMessageHandler m_previous;
};
