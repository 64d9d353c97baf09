// Hover button: icons, colour slots, hover tracking and the press/click
// behaviour. The face itself is drawn in HoverButtonPaint.cpp.
#include "controls/HoverButton.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <algorithm>

namespace {

// Scales at which an SVG icon is rendered, so that it stays crisp on
// screens scaled to 125 %, 150 %, 200 % and 300 %.
constexpr qreal ICON_SCALES[] = {1.0, 1.25, 1.5, 2.0, 3.0};

// Renders ":/icons/<id>.svg" (or loads ".png") into an icon with one pixmap
// per scale; null when there is no such resource or it does not load.
QIcon LoadIconResource(int nId)
{
    const QString strBase = QStringLiteral(":/icons/%1").arg(nId);
    QIcon icon;
    QSvgRenderer renderer;
    const QString strSvg = strBase + QStringLiteral(".svg");
    if (QFile::exists(strSvg) && renderer.load(strSvg) && renderer.isValid() && !renderer.defaultSize().isEmpty())
    {
        const QSize size = renderer.defaultSize();
        for (const qreal dScale : ICON_SCALES)
        {
            QImage image(qRound(size.width() * dScale), qRound(size.height() * dScale),
                         QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            {
                QPainter painter(&image);
                renderer.render(&painter);
            }
            QPixmap pixmap = QPixmap::fromImage(image);
            pixmap.setDevicePixelRatio(dScale);
            icon.addPixmap(pixmap);
        }
        return icon;
    }
    const QImage image(strBase + QStringLiteral(".png"));
    if (!image.isNull())
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

// The icon's own size: its smallest pixmap. Empty when the icon offers none.
QSize IconBaseSize(const QIcon& icon)
{
    QSize sizeBase;
    for (const QSize& size : icon.availableSizes())
    {
        if (sizeBase.isEmpty() || size.width() * size.height() < sizeBase.width() * sizeBase.height())
            sizeBase = size;
    }
    return sizeBase;
}

} // namespace

HoverButton::HoverButton(QWidget* pParent) : QPushButton(pParent)
{
    ReleaseImages(false);
    ResetColors(false);
    // Moves without a button down must reach mouseMoveEvent for the hover state.
    setMouseTracking(true);
    // Connected before anybody else: the button owns the focus before the
    // dialog's command for the click runs, so an open cell edit is written first.
    connect(this, &QAbstractButton::clicked, this, &HoverButton::OnClickedTakeFocus);
}

HoverButton::~HoverButton()
{
    ReleaseImages(true);
}

int HoverButton::LoadIcons(int nIconIn, int nIconOut)
{
    const QIcon iconIn = LoadIconResource(nIconIn & 0xFFFF);
    if (nIconOut == 0 || nIconOut == GREY_ICON)
        return AttachIcons(iconIn, nIconOut);
    return AttachIcons(iconIn, LoadIconResource(nIconOut & 0xFFFF));
}

int HoverButton::AttachIcons(const QIcon& iconIn, int nIconOut)
{
    if (nIconOut == GREY_ICON)
    {
        ReleaseImages(true);
        if (iconIn.isNull())
        {
            update();
            return HOVER_RESULT_OK;
        }
        // A grey copy that cannot be made (the icon tells no size) leaves
        // the button without icons, as an unreadable icon does.
        const QIcon iconGrey = MakeGreyIcon(iconIn);
        if (iconGrey.isNull())
        {
            ReleaseImages(true);
            update();
            return HOVER_RESULT_BAD_ICON;
        }
        return AttachIcons(iconIn, iconGrey);
    }
    return AttachIcons(iconIn, QIcon());
}

int HoverButton::AttachIcons(const QIcon& iconIn, const QIcon& iconOut)
{
    ReleaseImages(true);
    if (!iconIn.isNull())
    {
        const QSize sizeIn = IconBaseSize(iconIn);
        if (sizeIn.isEmpty())
        {
            ReleaseImages(true);
            update();
            return HOVER_RESULT_BAD_ICON;
        }
        m_iconIn = {iconIn, sizeIn.width(), sizeIn.height()};
        if (!iconOut.isNull())
        {
            const QSize sizeOut = IconBaseSize(iconOut);
            if (sizeOut.isEmpty())
            {
                ReleaseImages(true);
                update();
                return HOVER_RESULT_BAD_ICON;
            }
            m_iconOut = {iconOut, sizeOut.width(), sizeOut.height()};
        }
    }
    update();
    return HOVER_RESULT_OK;
}

int HoverButton::GreyLevel(int nRed, int nGreen, int nBlue)
{
    // Same weights and order of addition as the meter's own software used,
    // truncated toward zero (23,23,23 gives 22, not 23).
    const double dGrey = 0.587 * nGreen + 0.114 * nBlue + 0.299 * nRed;
    return static_cast<int>(dGrey);
}

QImage HoverButton::MakeGreyImage(const QImage& image)
{
    // Straight (not premultiplied) ARGB: a half-transparent red keeps its
    // alpha and turns into a half-transparent grey of the same weight.
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y)
    {
        auto* pLine = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x)
        {
            const QRgb rgb = pLine[x];
            if (rgb == 0)
                continue; // transparent black stays as it is
            const int nGrey = GreyLevel(qRed(rgb), qGreen(rgb), qBlue(rgb));
            pLine[x] = qRgba(nGrey, nGrey, nGrey, qAlpha(rgb));
        }
    }
    return grey;
}

QIcon HoverButton::MakeGreyIcon(const QIcon& icon)
{
    const QSize sizeBase = IconBaseSize(icon);
    if (icon.isNull() || sizeBase.isEmpty())
        return QIcon();
    QIcon grey;
    for (const QSize& size : icon.availableSizes())
    {
        // Each size the icon offers is its picture at one screen scale; the
        // grey copy keeps that scale, so it is drawn at the same size and is
        // as sharp on a scaled screen.
        const qreal dScale = static_cast<qreal>(size.width()) / sizeBase.width();
        const QPixmap pixmap = icon.pixmap(sizeBase, dScale);
        if (pixmap.isNull())
            continue;
        QPixmap pixmapGrey = QPixmap::fromImage(MakeGreyImage(pixmap.toImage()));
        pixmapGrey.setDevicePixelRatio(pixmap.devicePixelRatio());
        grey.addPixmap(pixmapGrey);
    }
    return grey;
}

void HoverButton::ReleaseImages(bool /*bDestroy*/)
{
    // QIcon shares and frees its pixmaps itself; clearing the slots is the release.
    m_iconIn = IconSlot();
    m_iconOut = IconSlot();
}

int HoverButton::ShiftColor(quint8 bySlot, qint16 nOffset, bool bRepaint)
{
    if (bySlot > 5)
        return HOVER_RESULT_BAD_INDEX;
    if (nOffset < -255 || nOffset > 255)
        return HOVER_RESULT_BAD_PARAM;

    QColor& color = m_colors[bySlot];
    const int channels[3] = {color.red(), color.green(), color.blue()};
    int nShift = nOffset;
    for (const int nValue : channels)
    {
        // Each channel allows the offset, or only what is left up to 255
        // (down to 0); the common shift is the most restrictive of the three.
        if (nOffset > 0)
            nShift = std::min(nShift, nValue + nOffset <= 255 ? int(nOffset) : 255 - nValue);
        else
            nShift = std::max(nShift, nValue + nOffset >= 0 ? int(nOffset) : -nValue);
    }
    color = QColor(channels[0] + nShift, channels[1] + nShift, channels[2] + nShift);
    if (bRepaint)
        update();
    return HOVER_RESULT_OK;
}

int HoverButton::ResetColors(bool bRepaint)
{
    const QPalette pal = QApplication::palette(this);
    for (int i = 0; i < HOVER_COLOR_SLOTS; ++i)
        m_colors[i] = (i % 2 == 0) ? pal.color(QPalette::Button) : pal.color(QPalette::ButtonText);
    if (bRepaint)
        update();
    return HOVER_RESULT_OK;
}

void HoverButton::LeaveHover()
{
    if (!m_bHovered)
        return;
    m_bHovered = false;
    update();
}

void HoverButton::mouseMoveEvent(QMouseEvent* pEvent)
{
    QPushButton::mouseMoveEvent(pEvent);
    // A press that began elsewhere and is dragged in does not light the button.
    if ((pEvent->buttons() & Qt::LeftButton) && !m_bHovered)
        return;
    // While the button holds the mouse (during a press) moves arrive from
    // outside it as well.
    if (rect().contains(pEvent->position().toPoint()))
    {
        if (m_bHovered)
            return;
        m_bHovered = true;
        update();
        return;
    }
    LeaveHover();
}

void HoverButton::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    // The second click of a double-click is a second press, so a fast
    // double-click gives two clicks.
    QPushButton::mousePressEvent(pEvent);
}

void HoverButton::leaveEvent(QEvent* pEvent)
{
    QPushButton::leaveEvent(pEvent);
    LeaveHover();
}

void HoverButton::focusOutEvent(QFocusEvent* pEvent)
{
    QPushButton::focusOutEvent(pEvent);
    LeaveHover();
}

void HoverButton::hideEvent(QHideEvent* pEvent)
{
    QPushButton::hideEvent(pEvent);
    LeaveHover();
}

void HoverButton::changeEvent(QEvent* pEvent)
{
    QPushButton::changeEvent(pEvent);
    if (pEvent->type() == QEvent::EnabledChange && !isEnabled())
        LeaveHover(); // Qt itself passes the focus on to the next control
}

bool HoverButton::event(QEvent* pEvent)
{
    // Deactivation of the window reaches every control in it.
    if (pEvent->type() == QEvent::WindowDeactivate)
        LeaveHover();
    return QPushButton::event(pEvent);
}

void HoverButton::OnClickedTakeFocus()
{
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
}
