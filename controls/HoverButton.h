// Flat owner-drawn push button that lights up under the mouse pointer and
// carries an icon (and optionally a grey copy of it for the normal state).
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>

// Second-icon value asking for a grey copy of the first icon.
constexpr int GREY_ICON = -2;

constexpr int HOVER_RESULT_OK = 0;
constexpr int HOVER_RESULT_BAD_ICON = 1;
constexpr int HOVER_RESULT_BAD_INDEX = 3;
constexpr int HOVER_RESULT_BAD_PARAM = 5;

// Colour slots.
constexpr int HOVER_HOT_BACKGROUND = 0;
constexpr int HOVER_HOT_TEXT = 1;
constexpr int HOVER_NORMAL_BACKGROUND = 2;
constexpr int HOVER_NORMAL_TEXT = 3;
constexpr int HOVER_FOCUS_BACKGROUND = 4;
constexpr int HOVER_FOCUS_TEXT = 5;

class HoverButton : public QPushButton
{
    Q_OBJECT
public:
    explicit HoverButton(QWidget* pParent = nullptr);
    ~HoverButton() override;

    // Loads icon resource nIconIn (and nIconOut, or 0, or GREY_ICON) and
    // attaches them; returns a HOVER_RESULT_* code.
    int LoadIcons(int nIconIn, int nIconOut);
    // Shifts colour slot bySlot by nOffset (-255..255) on all channels alike.
    int ShiftColor(quint8 bySlot, qint16 nOffset, bool bRepaint);
    int ResetColors(bool bRepaint);
    void LeaveHover();

    bool IsHovered() const { return m_bHovered; }
    QColor Color(int nSlot) const { return m_colors[nSlot]; }

protected:
    bool m_bHovered = false;
    QColor m_colors[6];
};
