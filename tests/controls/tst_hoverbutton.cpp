// Hover button: colour slots, grey icons, hover tracking, clicks, and the
// pixels of the face in each state, on real widgets (offscreen).
#include "controls/HoverButton.h"
#include "res/ResourceIds.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QtTest>

namespace {
constexpr int Normal = 0, Hovered = 1, Pressed = 2, Focused = 3, FocusedHovered = 4;

QIcon BlueIcon(int nSize) // solid blue, easy to find in a picture
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(QColor(0, 0, 255));
    return QIcon(pixmap);
}

// Bounding box of the pixels in rectArea that differ from rgb (bSame: that equal it).
QRect Ink(const QImage& image, const QRect& rectArea, QRgb rgb, bool bSame = false)
{
    QRect rectFound;
    for (int y = rectArea.top(); y <= rectArea.bottom(); ++y)
        for (int x = rectArea.left(); x <= rectArea.right(); ++x)
            if ((image.pixel(x, y) == rgb) == bSame)
                rectFound |= QRect(x, y, 1, 1);
    return rectFound;
}
} // namespace

class TestHoverButton : public QObject
{
    Q_OBJECT
private:
    QWidget* m_pWindow = nullptr;
    HoverButton* m_pButton = nullptr;
    QLineEdit* m_pOther = nullptr;

    void Move(const QPoint& pt, Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent event(QEvent::MouseMove, pt, m_pButton->mapToGlobal(pt), Qt::NoButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(m_pButton, &event);
    }

private slots:
    void init()
    {
        m_pWindow = new QWidget;
        auto* pLayout = new QVBoxLayout(m_pWindow);
        pLayout->addWidget(m_pButton = new HoverButton(m_pWindow));
        pLayout->addWidget(m_pOther = new QLineEdit(m_pWindow));
        m_pButton->setFixedSize(100, 24);
        m_pButton->ShiftColor(HOVER_HOT_BACKGROUND, -60, false); // three faces that differ
        m_pButton->ShiftColor(HOVER_FOCUS_BACKGROUND, -120, false);
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowActive(m_pWindow));
        m_pOther->setFocus();
    }
    void cleanup() { delete m_pWindow; }

    void Icons()
    {
        // Every icon loads at its size; a grey copy is grey where opaque, and sharp at 200 %.
        for (const int nId : {IDR_MAINFRAME, IDI_CONNECT, IDI_CONNECTED, IDI_READ, IDI_SET, IDI_OPEN, IDI_SAVE,
                              IDI_EXIT, IDI_CALIBRATE})
        {
            const int nSize = nId <= IDI_CONNECTED ? 32 : 16;
            const bool bGrey = nId % 2 == 0;
            QCOMPARE(m_pButton->LoadIcons(nId, bGrey ? GREY_ICON : 0), HOVER_RESULT_OK);
            QCOMPARE(QSize(m_pButton->IconIn().nWidth, m_pButton->IconIn().nHeight), QSize(nSize, nSize));
            const QImage image = m_pButton->IconOut().icon.pixmap(QSize(nSize, nSize), 2.0).toImage();
            QCOMPARE(image.width(), bGrey ? 2 * nSize : 0);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    QVERIFY(qAlpha(image.pixel(x, y)) < 255 || qRed(image.pixel(x, y)) == qBlue(image.pixel(x, y)));
        }
        // An icon that tells no size (a file icon without pixmaps): result 1, no icons.
        QCOMPARE(m_pButton->AttachIcons(BlueIcon(16), QIcon(QStringLiteral(":/icons/130.svg"))), HOVER_RESULT_BAD_ICON);
        QVERIFY(m_pButton->IconIn().icon.isNull());
    }

    void Hover()
    {
        const QPoint ptIn(50, 12);
        Move(ptIn);
        QVERIFY(m_pButton->IsHovered());
        Move(QPoint(-5, -5), Qt::LeftButton); // held down, dragged out
        QVERIFY(!m_pButton->IsHovered());
        Move(ptIn);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(m_pButton, &leave);
        QVERIFY(!m_pButton->IsHovered());
        Move(ptIn);
        m_pButton->setFocus();
        m_pButton->setEnabled(false); // no lit or focused disabled button
        QVERIFY(!m_pButton->IsHovered() && !m_pButton->hasFocus());
        m_pButton->setEnabled(true);
        Move(ptIn);
        QWidget other; // another window comes up over the pointer
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!m_pButton->IsHovered());
    }

    void Clicks()
    {
        // The button has the focus when the command runs (an open cell edit is
        // written first); the second click of a double-click counts.
        int nClicks = 0;
        connect(m_pButton, &QAbstractButton::clicked, m_pButton, [&] {
            ++nClicks;
            QVERIFY(m_pButton->hasFocus());
        });
        QTest::mouseClick(m_pButton, Qt::LeftButton);
        QTest::mouseDClick(m_pButton, Qt::LeftButton);
        QTest::mouseRelease(m_pButton, Qt::LeftButton);
        QCOMPARE(nClicks, 2);
    }

    void Look_data()
    {
        QTest::addColumn<int>("nState");
        QTest::addColumn<bool>("bCaption");
        QTest::addColumn<int>("nSize"); // of the icon, whose grey copy shows when not hot
        QTest::addColumn<QPoint>("ptIcon");
        QTest::newRow("normal") << Normal << true << 16 << QPoint(3, 4);
        QTest::newRow("hovered") << Hovered << true << 16 << QPoint(3, 4);
        QTest::newRow("pressed") << Pressed << true << 16 << QPoint(4, 5);
        QTest::newRow("focused: no focus frame") << Focused << true << 16 << QPoint(3, 4);
        QTest::newRow("focused, hovered") << FocusedHovered << true << 16 << QPoint(3, 4);
        QTest::newRow("no caption, pressed") << Pressed << false << 16 << QPoint(43, 5);
        QTest::newRow("icon taller than button") << Hovered << true << 32 << QPoint(3, -4);
    }
    void Look()
    {
        QFETCH(int, nState);
        QFETCH(bool, bCaption);
        QFETCH(int, nSize);
        QFETCH(QPoint, ptIcon);
        m_pButton->setText(bCaption ? QStringLiteral("Save") : QString());
        QCOMPARE(m_pButton->AttachIcons(BlueIcon(nSize), GREY_ICON), HOVER_RESULT_OK);
        if (nState == Focused || nState == FocusedHovered)
            m_pButton->setFocus();
        if (nState == Hovered || nState == FocusedHovered)
            Move(QPoint(50, 12));
        m_pButton->setDown(nState == Pressed);
        const bool bHot = nState == Hovered || nState == FocusedHovered || nState == Pressed;
        const int nEdge = nState == Pressed ? -1 : bHot ? 1 : 0; // sunken, raised, none
        const int nFace = bHot                ? HOVER_HOT_BACKGROUND
                          : nState == Focused ? HOVER_FOCUS_BACKGROUND
                                              : HOVER_NORMAL_BACKGROUND;
        const QImage image = m_pButton->grab().toImage();
        const QRgb face = m_pButton->Color(nFace).rgb();
        const QRgb light = m_pButton->palette().color(QPalette::Light).rgb();
        const QRgb dark = m_pButton->palette().color(QPalette::Dark).rgb();
        for (const QPoint& pt : {QPoint(0, 0), QPoint(50, 0), QPoint(0, 12), QPoint(98, 0)})
            QCOMPARE(image.pixel(pt), nEdge == 0 ? face : nEdge > 0 ? light : dark);
        for (const QPoint& pt : {QPoint(99, 0), QPoint(99, 12), QPoint(50, 23), QPoint(0, 23), QPoint(99, 23)})
            QCOMPARE(image.pixel(pt), nEdge == 0 ? face : nEdge > 0 ? dark : light);
        for (const QPoint& pt : {QPoint(1, 1), QPoint(50, 1), QPoint(1, 12), QPoint(98, 12), QPoint(50, 22)})
            QCOMPARE(image.pixel(pt), face);
        const QRgb icon = bHot ? qRgb(0, 0, 255) : qRgb(29, 29, 29); // the grey copy of blue
        QCOMPARE(Ink(image, image.rect(), icon, true), QRect(ptIcon, QSize(nSize, nSize)) & m_pButton->rect());
    }

    void CaptionAndDisabledLook()
    {
        // The caption is centred in the area right of the icon, x 19..100.
        m_pButton->setText(QStringLiteral("Open"));
        m_pButton->AttachIcons(BlueIcon(16), 0);
        const QRect rectArea(20, 1, 79, 22);
        const QRect rectInk = Ink(m_pButton->grab().toImage(), rectArea, m_pButton->Color(2).rgb());
        QVERIFY(qAbs(rectInk.left() + rectInk.right() + 1 - (19 + 100)) <= 3);
        // Disabled: greyed icon, caption engraved in the highlight and shadow colours.
        m_pButton->setEnabled(false);
        const QImage image = m_pButton->grab().toImage();
        QVERIFY(image.pixelColor(10, 12) != QColor(0, 0, 255));
        QVERIFY(!Ink(image, rectArea, m_pButton->palette().color(QPalette::Dark).rgb(), true).isEmpty());
        m_pButton->setEnabled(true);
        // A long caption wraps at word breaks; the block is centred both ways.
        m_pButton->AttachIcons(QIcon(), 0);
        m_pButton->setFixedSize(70, 60);
        m_pButton->setText(QStringLiteral("Calibrate power meter"));
        const QRect rectBlock = Ink(m_pButton->grab().toImage(), QRect(0, 0, 70, 60), m_pButton->Color(2).rgb());
        QVERIFY(rectBlock.height() > m_pButton->fontMetrics().height());
        QVERIFY(qAbs(rectBlock.top() + rectBlock.bottom() + 1 - 60) <= 4);
    }
};

QTEST_MAIN(TestHoverButton)
#include "tst_hoverbutton.moc"
