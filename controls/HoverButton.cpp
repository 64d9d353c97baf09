// Hover button: state, icons and colours.
#include "controls/HoverButton.h"

HoverButton::HoverButton(QWidget* pParent) : QPushButton(pParent)
{
    ResetColors(false);
}

HoverButton::~HoverButton() = default;

int HoverButton::LoadIcons(int /*nIconIn*/, int /*nIconOut*/)
{
    return HOVER_RESULT_OK;
}

int HoverButton::ShiftColor(quint8 bySlot, qint16 nOffset, bool bRepaint)
{
    if (bySlot > 5)
        return HOVER_RESULT_BAD_INDEX;
    if (nOffset < -255 || nOffset > 255)
        return HOVER_RESULT_BAD_PARAM;
    if (bRepaint)
        update();
    return HOVER_RESULT_OK;
}

int HoverButton::ResetColors(bool bRepaint)
{
    const QPalette pal = palette();
    for (int i = 0; i < 6; ++i)
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
