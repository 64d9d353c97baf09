// Dialog unit conversion with the dialog font's base units.
#include "ui/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

QFont DialogUnits::DialogFont(int nPointSize)
{
    static const char* const families[] = {"SimSun", "Noto Sans CJK SC", "WenQuanYi Micro Hei"};
    const QStringList available = QFontDatabase::families();
    QFont font;
    for (const char* pszFamily : families)
    {
        if (available.contains(QString::fromLatin1(pszFamily), Qt::CaseInsensitive))
        {
            font.setFamily(QString::fromLatin1(pszFamily));
            break;
        }
    }
    font.setPointSize(nPointSize);
    return font;
}

DialogUnits::DialogUnits(const QFont& font)
{
    // The average width is measured over the 52 Latin letters, rounded, as
    // the dialog manager does.
    const QFontMetrics metrics(font);
    const int nLetters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = qMax(1, (nLetters / 26 + 1) / 2);
    m_nBaseY = qMax(1, metrics.height());
}

QRect DialogUnits::ToPixels(const QRect& rectDu) const
{
    const int nLeft = rectDu.x() * m_nBaseX / 4;
    const int nTop = rectDu.y() * m_nBaseY / 8;
    const int nRight = (rectDu.x() + rectDu.width()) * m_nBaseX / 4;
    const int nBottom = (rectDu.y() + rectDu.height()) * m_nBaseY / 8;
    return QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

QSize DialogUnits::ToPixels(const QSize& sizeDu) const
{
    return QSize(sizeDu.width() * m_nBaseX / 4, sizeDu.height() * m_nBaseY / 8);
}
