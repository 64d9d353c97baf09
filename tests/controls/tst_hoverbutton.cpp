// Hover button state: colour slots, grey icons, icon loading, hover
// tracking and clicks, on real widgets (offscreen).
#include "controls/HoverButton.h"
#include "res/ResourceIds.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

class TestHoverButton : public QObject
{
    Q_OBJECT
private slots:
    void ShiftColor_data();
    void ShiftColor();
    void ShiftColorAddsUp();
    void GreyLevel_data();
    void GreyLevel();
    void GreyImageKeepsZeroAndAlpha();
    void LoadIcons_data();
    void LoadIcons();
    void AttachIconsWithoutSize();
    void HoverTransitions();
    void DoubleClickGivesTwoClicks();
    void ClickTakesFocusBeforeCommand();
};

namespace {

// A mouse move as the window system delivers it to the button.
void SendMove(QWidget* pWidget, const QPoint& pt, Qt::MouseButtons buttons)
{
    QMouseEvent event(QEvent::MouseMove, pt, pWidget->mapToGlobal(pt), Qt::NoButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(pWidget, &event);
}

} // namespace

void TestHoverButton::ShiftColor_data()
{
    QTest::addColumn<QColor>("face");
    QTest::addColumn<int>("nSlot");
    QTest::addColumn<int>("nOffset");
    QTest::addColumn<int>("nResult");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("3d face lighter") << QColor(212, 208, 200) << 0 << 30 << 0 << QColor(242, 238, 230);
    QTest::newRow("limited by 255") << QColor(240, 240, 240) << 0 << 30 << 0 << QColor(255, 255, 255);
    QTest::newRow("limited by 0") << QColor(20, 100, 200) << 4 << -30 << 0 << QColor(0, 80, 180);
    QTest::newRow("slot 6 refused") << QColor(20, 100, 200) << 6 << 30 << 3 << QColor(20, 100, 200);
    QTest::newRow("slot test first") << QColor(20, 100, 200) << 6 << 300 << 3 << QColor(20, 100, 200);
    QTest::newRow("offset 256") << QColor(20, 100, 200) << 2 << 256 << 5 << QColor(20, 100, 200);
    QTest::newRow("offset -256") << QColor(20, 100, 200) << 2 << -256 << 5 << QColor(20, 100, 200);
    QTest::newRow("offset 255 edge") << QColor(0, 0, 0) << 2 << 255 << 0 << QColor(255, 255, 255);
}

void TestHoverButton::ShiftColor()
{
    QFETCH(QColor, face);
    QFETCH(int, nSlot);
    QFETCH(int, nOffset);
    QFETCH(int, nResult);
    QFETCH(QColor, expected);
    QPalette pal = QApplication::palette();
    pal.setColor(QPalette::Button, face);
    QApplication::setPalette(pal);
    HoverButton button;
    QApplication::setPalette(QPalette());
    QCOMPARE(button.ShiftColor(quint8(nSlot), qint16(nOffset), true), nResult);
    QCOMPARE(button.Color(nSlot < 6 ? nSlot : 0).rgb(), expected.rgb());
    // The other face slots are untouched.
    QCOMPARE(button.Color(nSlot == 2 ? 4 : 2).rgb(), face.rgb());
}

void TestHoverButton::ShiftColorAddsUp()
{
    QPalette pal = QApplication::palette();
    pal.setColor(QPalette::Button, QColor(100, 150, 180));
    QApplication::setPalette(pal);
    HoverButton button;
    QApplication::setPalette(QPalette());
    button.ShiftColor(0, 30, false);
    button.ShiftColor(0, 30, false);
    QCOMPARE(button.Color(0), QColor(160, 210, 240));
    button.ShiftColor(0, 30, false); // blue stops at 255
    QCOMPARE(button.Color(0), QColor(175, 225, 255));
    button.ResetColors(false);
    QCOMPARE(button.Color(0), QApplication::palette().color(QPalette::Button));
}

void TestHoverButton::GreyLevel_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("nGrey");
    QTest::newRow("silver") << QColor(192, 192, 192) << 192;
    QTest::newRow("red") << QColor(255, 0, 0) << 76;
    QTest::newRow("green") << QColor(0, 255, 0) << 149;
    QTest::newRow("blue") << QColor(0, 0, 255) << 29;
    QTest::newRow("truncated not rounded") << QColor(23, 23, 23) << 22;
    QTest::newRow("white") << QColor(255, 255, 255) << 255;
}

void TestHoverButton::GreyLevel()
{
    QFETCH(QColor, color);
    QFETCH(int, nGrey);
    QCOMPARE(HoverButton::GreyLevel(color.red(), color.green(), color.blue()), nGrey);
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, color.rgba());
    image.setPixel(1, 0, qRgba(color.red(), color.green(), color.blue(), 128));
    const QImage grey = HoverButton::MakeGreyImage(image);
    QCOMPARE(grey.pixel(0, 0), qRgba(nGrey, nGrey, nGrey, 255));
    QCOMPARE(grey.pixel(1, 0), qRgba(nGrey, nGrey, nGrey, 128));
}

void TestHoverButton::GreyImageKeepsZeroAndAlpha()
{
    QImage image(1, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, 0);
    QCOMPARE(HoverButton::MakeGreyImage(image).pixel(0, 0), 0u);
}

void TestHoverButton::LoadIcons_data()
{
    QTest::addColumn<int>("nIconIn");
    QTest::addColumn<int>("nIconOut");
    QTest::addColumn<int>("nSize");
    QTest::addColumn<bool>("bOut");
    QTest::newRow("connect grey") << IDI_CONNECT << GREY_ICON << 32 << true;
    QTest::newRow("connected") << IDI_CONNECTED << 0 << 32 << false;
    QTest::newRow("read") << IDI_READ << 0 << 16 << false;
    QTest::newRow("set") << IDI_SET << 0 << 16 << false;
    QTest::newRow("open") << IDI_OPEN << 0 << 16 << false;
    QTest::newRow("save") << IDI_SAVE << 0 << 16 << false;
    QTest::newRow("exit grey") << IDI_EXIT << GREY_ICON << 16 << true;
    QTest::newRow("calibrate") << IDI_CALIBRATE << 0 << 16 << false;
    QTest::newRow("main frame") << IDR_MAINFRAME << IDI_READ << 32 << true;
    QTest::newRow("missing resource") << 999 << GREY_ICON << 0 << false;
}

void TestHoverButton::LoadIcons()
{
    QFETCH(int, nIconIn);
    QFETCH(int, nIconOut);
    QFETCH(int, nSize);
    QFETCH(bool, bOut);
    HoverButton button;
    button.LoadIcons(IDI_SAVE, GREY_ICON); // replaced as a whole below
    QCOMPARE(button.LoadIcons(nIconIn, nIconOut), HOVER_RESULT_OK);
    QCOMPARE(button.IconIn().nWidth, nSize);
    QCOMPARE(button.IconIn().nHeight, nSize);
    QCOMPARE(button.IconIn().icon.isNull(), nSize == 0);
    QCOMPARE(!button.IconOut().icon.isNull(), bOut);
    if (!bOut || nIconOut != GREY_ICON)
        return;
    // The grey copy has the same size, is grey wherever it is opaque and
    // sharp at 200 % as well.
    QCOMPARE(button.IconOut().nWidth, nSize);
    for (const qreal dScale : {1.0, 2.0})
    {
        const QImage image = button.IconOut().icon.pixmap(QSize(nSize, nSize), dScale).toImage();
        QCOMPARE(image.width(), qRound(nSize * dScale));
        int nOpaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
            {
                const QColor color = image.pixelColor(x, y);
                if (color.alpha() < 255)
                    continue;
                ++nOpaque;
                QCOMPARE(color.red(), color.green());
                QCOMPARE(color.green(), color.blue());
            }
        QVERIFY(nOpaque > 10);
    }
}

void TestHoverButton::AttachIconsWithoutSize()
{
    HoverButton button;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    QCOMPARE(button.AttachIcons(QIcon(pixmap), QIcon(pixmap)), HOVER_RESULT_OK);
    QCOMPARE(button.IconOut().nWidth, 16);
    // An icon that tells no size (an SVG file icon has no pixmaps) gives
    // result 1 and leaves the button without any icon.
    QCOMPARE(button.AttachIcons(QIcon(pixmap), QIcon(QStringLiteral(":/icons/130.svg"))), HOVER_RESULT_BAD_ICON);
    QVERIFY(button.IconIn().icon.isNull());
    QVERIFY(button.IconOut().icon.isNull());
}

void TestHoverButton::HoverTransitions()
{
    QWidget window;
    auto* pLayout = new QVBoxLayout(&window);
    auto* pButton = new HoverButton(&window);
    auto* pOther = new QLineEdit(&window);
    pLayout->addWidget(pButton);
    pLayout->addWidget(pOther);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QPoint ptIn = pButton->rect().center();
    const QPoint ptOut(-5, -5);

    // Pressed outside and dragged in: no hover; moving in with the button up does.
    SendMove(pButton, ptIn, Qt::LeftButton);
    QVERIFY(!pButton->IsHovered());
    SendMove(pButton, ptIn, Qt::NoButton);
    QVERIFY(pButton->IsHovered());
    // Held down and dragged out (the button has the mouse): hover ends.
    SendMove(pButton, ptOut, Qt::LeftButton);
    QVERIFY(!pButton->IsHovered());

    SendMove(pButton, ptIn, Qt::NoButton);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(pButton, &leave);
    QVERIFY(!pButton->IsHovered());

    SendMove(pButton, ptIn, Qt::NoButton);
    pButton->setFocus();
    pOther->setFocus();
    QVERIFY(!pButton->IsHovered());

    SendMove(pButton, ptIn, Qt::NoButton);
    pButton->setFocus();
    pButton->setEnabled(false);
    QVERIFY(!pButton->IsHovered());
    QVERIFY(!pButton->hasFocus());
    pButton->setEnabled(true);

    SendMove(pButton, ptIn, Qt::NoButton);
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!pButton->IsHovered());
}

void TestHoverButton::DoubleClickGivesTwoClicks()
{
    HoverButton button;
    button.resize(80, 24);
    button.show();
    QSignalSpy spy(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseDClick(&button, Qt::LeftButton);
    QTest::mouseRelease(&button, Qt::LeftButton);
    QCOMPARE(spy.count(), 2);
}

void TestHoverButton::ClickTakesFocusBeforeCommand()
{
    QWidget window;
    auto* pLayout = new QVBoxLayout(&window);
    auto* pEdit = new QLineEdit(&window);
    auto* pButton = new HoverButton(&window);
    pLayout->addWidget(pEdit);
    pLayout->addWidget(pButton);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    bool bEditHadFocus = true;
    // Connected after the button's construction, like the dialog's command.
    connect(pButton, &QAbstractButton::clicked, pButton, [&] { bEditHadFocus = pEdit->hasFocus(); });
    for (const bool bKeyboardless : {true, false})
    {
        pEdit->setFocus();
        bEditHadFocus = true;
        if (bKeyboardless)
            pButton->click(); // a click that comes without a mouse press
        else
            QTest::mouseClick(pButton, Qt::LeftButton);
        QVERIFY(!bEditHadFocus);
        QVERIFY(pButton->hasFocus());
    }
}

QTEST_MAIN(TestHoverButton)
#include "tst_hoverbutton.moc"
