// Dialog unit conversion with the template font's base units, and the font
// the dialog shows its texts in.
#include "ui/DialogUnits.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStringList>

namespace {
const char* const TEMPLATE_FAMILY = "SimSun";
const char* const CJK_FAMILIES[] = {"SimSun", "Noto Sans CJK SC", "WenQuanYi Micro Hei"};
// Below this a text is no longer read comfortably.
constexpr int MIN_PIXEL_SIZE = 9;

qreal LogicalDpi()
{
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    return pScreen ? pScreen->logicalDotsPerInchY() : 96.0;
}

bool HasFamily(const char* pszFamily)
{
    return QFontDatabase::families().contains(QString::fromLatin1(pszFamily), Qt::CaseInsensitive);
}

QString TextOf(const QWidget* pWidget)
{
    if (const auto* pLabel = qobject_cast<const QLabel*>(pWidget))
        return pLabel->text();
    if (const auto* pButton = qobject_cast<const QAbstractButton*>(pWidget))
        return pButton->text();
    if (const auto* pGroup = qobject_cast<const QGroupBox*>(pWidget))
        return pGroup->title();
    return QString();
}
} // namespace

DialogUnits DialogUnits::ForTemplateFont(int nPointSize)
{
    if (HasFamily(TEMPLATE_FAMILY))
    {
        QFont font(QString::fromLatin1(TEMPLATE_FAMILY));
        font.setPointSize(nPointSize);
        return DialogUnits(font);
    }
    const int nCell = qMax(1, qRound(nPointSize * LogicalDpi() / 72.0));
    return DialogUnits(qMax(1, nCell / 2), nCell);
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

QFont DialogUnits::DisplayFont() const
{
    QFont font;
    for (const char* pszFamily : CJK_FAMILIES)
    {
        if (HasFamily(pszFamily))
        {
            font.setFamily(QString::fromLatin1(pszFamily));
            break;
        }
    }
    // The largest size whose line is no taller than a template line.
    int nPixels = m_nBaseY;
    font.setPixelSize(nPixels);
    while (nPixels > MIN_PIXEL_SIZE && QFontMetrics(font).height() > m_nBaseY)
        font.setPixelSize(--nPixels);
    return font;
}

void FitTextToWidth(QWidget* pWidget, int nReserved)
{
    const QString strText = TextOf(pWidget);
    // Start again from the parent's font: the text may be shorter than last time.
    QFont font = pWidget->parentWidget() ? pWidget->parentWidget()->font() : pWidget->font();
    const int nRoom = pWidget->width() - nReserved;
    int nPixels = font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
    while (nPixels > MIN_PIXEL_SIZE && QFontMetrics(font).horizontalAdvance(strText) > nRoom)
        font.setPixelSize(--nPixels);
    // A new font makes the widget lay out and paint again: only when it differs.
    if (font != pWidget->font())
        pWidget->setFont(font);
}
