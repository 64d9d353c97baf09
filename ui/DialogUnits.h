// Dialog units: the layout unit of the dialog templates, a quarter of the
// template font's average character width across and an eighth of its
// height down; and the font the texts are shown in, which fits the
// template's rectangles whatever font this machine has.
#pragma once

#include <QFont>
#include <QRect>

class QWidget;

class DialogUnits
{
public:
    // The base units of the template's font (宋体 at nPointSize). Where
    // SimSun is installed they are measured on it, as the dialog manager
    // does; elsewhere they are SimSun's own: a character cell of
    // nPointSize/72 inch, its Latin letters half as wide. The dialog keeps
    // its size and proportions on every machine.
    static DialogUnits ForTemplateFont(int nPointSize);
    explicit DialogUnits(const QFont& font);
    DialogUnits(int nBaseX, int nBaseY) : m_nBaseX(nBaseX), m_nBaseY(nBaseY) {}

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }
    // Converts a rectangle in dialog units to pixels.
    QRect ToPixels(const QRect& rectDu) const;
    QSize ToPixels(const QSize& sizeDu) const;

    // The font for the texts: the first CJK-capable family present, as large
    // as one line of the template (8 dialog units) holds.
    QFont DisplayFont() const;

private:
    int m_nBaseX;
    int m_nBaseY;
};

// Makes the text of a label, button or group box fit its rectangle on one
// line: its font gets smaller (down to a legible minimum) only as far as
// needed. nReserved: pixels the control keeps for itself (an icon, a frame).
void FitTextToWidth(QWidget* pWidget, int nReserved);
