// Dialog units: the layout unit of the dialog templates, a quarter of the
// dialog font's average character width across and an eighth of its height
// down.
#pragma once

#include <QFont>
#include <QRect>

class DialogUnits
{
public:
    // The dialog font: the first CJK-capable family present, at nPointSize.
    static QFont DialogFont(int nPointSize);

    explicit DialogUnits(const QFont& font);
    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }
    // Converts a rectangle in dialog units to pixels.
    QRect ToPixels(const QRect& rectDu) const;
    QSize ToPixels(const QSize& sizeDu) const;

private:
    int m_nBaseX;
    int m_nBaseY;
};
