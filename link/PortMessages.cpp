// Driver notification event.
#include "link/PortMessages.h"

PortMessageEvent::PortMessageEvent(quint32 nMessage, quint32 wParam, quint32 lParam)
    : QEvent(EventType()), m_nMessage(nMessage), m_wParam(wParam), m_lParam(lParam)
{
}

PortMessageEvent::~PortMessageEvent() = default;

QEvent::Type PortMessageEvent::EventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}
