// Notifications of the serial port driver to its owner. Each reaches the
// owner's event() as a PortMessageEvent, on the owner's thread, while the
// driver's watch thread waits for it to be handled.
#pragma once

#include <QEvent>
#include <QtGlobal>

constexpr quint32 WM_USER = 0x0400;
constexpr quint32 WM_PORT_BREAK = WM_USER + 1;
constexpr quint32 WM_PORT_CTS = WM_USER + 2;
constexpr quint32 WM_PORT_ERROR = WM_USER + 4;
constexpr quint32 WM_PORT_RING = WM_USER + 5;
constexpr quint32 WM_PORT_BYTE = WM_USER + 7;  // wParam: the received byte
constexpr quint32 WM_PORT_EVENTCHAR = WM_USER + 8;
constexpr quint32 WM_PORT_SENT = WM_USER + 9;

// Port event mask bits.
constexpr quint32 EV_RXCHAR = 0x0001;
constexpr quint32 EV_RXFLAG = 0x0002;
constexpr quint32 EV_CTS = 0x0008;
constexpr quint32 EV_BREAK = 0x0040;
constexpr quint32 EV_ERR = 0x0080;
constexpr quint32 EV_RING = 0x0100;

class PortMessageEvent : public QEvent
{
public:
    PortMessageEvent(quint32 nMessage, quint32 wParam, quint32 lParam);
    ~PortMessageEvent() override;

    static QEvent::Type EventType();

    quint32 m_nMessage;
    quint32 m_wParam;
    quint32 m_lParam;
};
