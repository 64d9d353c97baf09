// Hover button: drawing of the face (fill, thin edge, icon, caption).
// The look is flat: no edge in the normal state, a raised one-pixel edge
// when hovered, a sunken one when pressed, and never a focus rectangle.
#include "controls/HoverButton.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

// Caption flags: centred lines, word wrap, '&' marks a mnemonic.
constexpr int CAPTION_FLAGS = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;

// One-pixel outline, top and left in one colour, bottom and right in the
// other; the bottom-right corner belongs to the second colour:
//   T T T T B
//   T . . . B
//   B B B B B
void Draw3dRect(QPainter& painter, const QRect& rect, const QColor& colorTopLeft, const QColor& colorBottomRight)
{
    const int x = rect.x();
    const int y = rect.y();
    const int cx = rect.width();
    const int cy = rect.height();
    if (cx <= 0 || cy <= 0)
        return;
    painter.fillRect(QRect(x, y, cx - 1, 1), colorTopLeft);
    painter.fillRect(QRect(x, y, 1, cy - 1), colorTopLeft);
    painter.fillRect(QRect(x + cx - 1, y, 1, cy), colorBottomRight);
    painter.fillRect(QRect(x, y + cy - 1, cx, 1), colorBottomRight);
}

} // namespace

void HoverButton::paintEvent(QPaintEvent* /*pEvent*/)
{
    QPainter painter(this);
    DrawItem(painter);
}

void HoverButton::DrawItem(QPainter& painter)
{
    m_bPressed = isDown();
    m_bFocused = hasFocus();
    m_bDisabled = !isEnabled();

    const QRect rectItem = rect();
    painter.setBackgroundMode(Qt::TransparentMode);
    PaintBackground(painter, rectItem);
    if (m_bPressed || m_bHovered)
        PaintBorder(painter, rectItem);

    const QString strTitle = text();
    QRect rectTitle = rectItem;
    if (!m_iconIn.icon.isNull())
        PaintIcon(painter, !strTitle.isEmpty(), rectItem, rectTitle, m_bPressed, m_bDisabled);
    if (strTitle.isEmpty())
        return;

    if (m_bPressed)
        rectTitle.translate(1, 1);
    // Measure the wrapped text, then centre the block in the caption area
    // (quotients truncated toward zero; a block taller than the button is
    // centred too and clipped at both ends).
    const QRect rectFrame = rectTitle;
    painter.setFont(font());
    const QRect rectMeasured = painter.fontMetrics().boundingRect(
        QRect(rectFrame.left(), rectFrame.top(), rectFrame.width(), 0x7FFF), CAPTION_FLAGS, strTitle);
    QRect rectText(rectFrame.topLeft(), rectMeasured.size());
    rectText.translate((rectFrame.width() - rectText.width()) / 2, (rectFrame.height() - rectText.height()) / 2);

    if (m_bDisabled)
    {
        // Engraved caption: highlight one pixel down-right, shadow on top.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(rectText.translated(1, 1), CAPTION_FLAGS, strTitle);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(rectText, CAPTION_FLAGS, strTitle);
        return;
    }
    const bool bHot = m_bHovered || m_bPressed;
    painter.setPen(m_colors[bHot ? HOVER_HOT_TEXT : HOVER_NORMAL_TEXT]);
    painter.setBackground(m_colors[bHot ? HOVER_HOT_BACKGROUND : HOVER_NORMAL_BACKGROUND]);
    painter.drawText(rectText, CAPTION_FLAGS, strTitle);
}

int HoverButton::PaintBackground(QPainter& painter, const QRect& rect)
{
    int nSlot = HOVER_NORMAL_BACKGROUND;
    if (m_bHovered || m_bPressed)
        nSlot = HOVER_HOT_BACKGROUND;
    else if (m_bFocused)
        nSlot = HOVER_FOCUS_BACKGROUND;
    painter.fillRect(rect, m_colors[nSlot]);
    return 0;
}

int HoverButton::PaintBorder(QPainter& painter, const QRect& rect)
{
    const QColor colorLight = palette().color(QPalette::Light);
    const QColor colorShadow = palette().color(QPalette::Dark);
    if (m_bPressed)
        Draw3dRect(painter, rect, colorShadow, colorLight); // sunken
    else
        Draw3dRect(painter, rect, colorLight, colorShadow); // raised
    return 0;
}

void HoverButton::PaintIcon(QPainter& painter, bool bHasTitle, const QRect& rectItem, QRect& rectTitle, bool bPressed,
                            bool bDisabled)
{
    const IconSlot& slot = (bPressed || m_bHovered || m_iconOut.icon.isNull()) ? m_iconIn : m_iconOut;
    QRect rectIcon;
    PlaceIcon(bHasTitle, rectItem, rectTitle, bPressed, slot.nWidth, slot.nHeight, rectIcon);
    // The icon keeps its own size; the pixmap is taken at the screen's scale
    // so it stays sharp, and in the greyed form when the button is disabled.
    const QPixmap pixmap = slot.icon.pixmap(QSize(slot.nWidth, slot.nHeight), devicePixelRatioF(),
                                            bDisabled ? QIcon::Disabled : QIcon::Normal);
    painter.drawPixmap(QRect(rectIcon.topLeft(), QSize(slot.nWidth, slot.nHeight)), pixmap);
}

void HoverButton::PlaceIcon(bool bHasTitle, const QRect& rectItem, QRect& rectTitle, bool bPressed, int nWidth,
                            int nHeight, QRect& rectIcon)
{
    // Worked example, 100 x 24 button, 16 x 16 icon, with a caption: icon at
    // (3, 4), caption area x 19..100; pressed: icon at (4, 5), caption area
    // x 20..101, y 1..25 (the caption is moved later); no caption: icon at (42, 4).
    rectIcon = rectItem;
    if (bHasTitle)
    {
        rectIcon.setLeft(rectIcon.left() + 3);
        rectTitle.setLeft(rectTitle.left() + nWidth + 3);
    }
    else
    {
        rectIcon.setLeft(rectIcon.left() + (rectItem.width() - nWidth) / 2);
    }
    rectIcon.setTop(rectIcon.top() + (rectItem.height() - nHeight) / 2);
    if (bPressed)
        rectIcon.translate(1, 1);
}
