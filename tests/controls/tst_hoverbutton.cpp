// Hover button: colour slots, grey icons, hover tracking, clicks, and the
// pixels of the face in each state, on real widgets (offscreen).
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
    void init();
    void cleanup();
    void ShiftColor_data();
    void ShiftColor();
    void GreyLevel_data();
    void GreyLevel();
    void LoadIcons_data();
    void LoadIcons();
    void HoverTransitions();
    void Clicks();
    void Face_data();
    void Face();
    void IconPlacement_data();
    void IconPlacement();
    void CaptionAndDisabledLook();

private:
    QWidget* m_pWindow = nullptr;
    HoverButton* m_pButton = nullptr;
    QLineEdit* m_pOther = nullptr;
};

namespace {

void Move(HoverButton* pButton, const QPoint& pt, Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent event(QEvent::MouseMove, pt, pButton->mapToGlobal(pt), Qt::NoButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(pButton, &event);
}

QIcon BlueIcon(int nSize) // solid blue, easy to find in a picture
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(QColor(0, 0, 255));
    return QIcon(pixmap);
}

// Bounding box of the pixels in rectArea that differ from face (bSame:
// that equal it).
QRect Ink(const QImage& image, const QRect& rectArea, QRgb face, bool bSame = false)
{
    QRect rectFound;
    for (int y = rectArea.top(); y <= rectArea.bottom(); ++y)
        for (int x = rectArea.left(); x <= rectArea.right(); ++x)
            if ((image.pixel(x, y) == face) == bSame)
                rectFound |= QRect(x, y, 1, 1);
    return rectFound;
}

} // namespace

void TestHoverButton::init()
{
    m_pWindow = new QWidget;
    auto* pLayout = new QVBoxLayout(m_pWindow);
    m_pButton = new HoverButton(m_pWindow);
    m_pButton->setFixedSize(100, 24);
    m_pOther = new QLineEdit(m_pWindow);
    pLayout->addWidget(m_pButton);
    pLayout->addWidget(m_pOther);
    m_pButton->ShiftColor(HOVER_HOT_BACKGROUND, -60, false); // three faces that differ
    m_pButton->ShiftColor(HOVER_FOCUS_BACKGROUND, -120, false);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowActive(m_pWindow));
    m_pOther->setFocus();
}

void TestHoverButton::cleanup()
{
    delete m_pWindow;
}

void TestHoverButton::ShiftColor_data()
{
    QTest::addColumn<QColor>("face");
    QTest::addColumn<int>("nSlot");
    QTest::addColumn<int>("nOffset");
    QTest::addColumn<int>("nTimes");
    QTest::addColumn<int>("nResult");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("lighter") << QColor(212, 208, 200) << 0 << 30 << 1 << 0 << QColor(242, 238, 230);
    QTest::newRow("limited by 255") << QColor(240, 240, 240) << 0 << 30 << 1 << 0 << QColor(255, 255, 255);
    QTest::newRow("limited by 0") << QColor(20, 100, 200) << 4 << -30 << 1 << 0 << QColor(0, 80, 180);
    QTest::newRow("adds up") << QColor(100, 150, 180) << 0 << 30 << 2 << 0 << QColor(160, 210, 240);
    QTest::newRow("adds up to 255") << QColor(100, 150, 180) << 0 << 30 << 3 << 0 << QColor(175, 225, 255);
    QTest::newRow("slot 6, slot test first") << QColor(20, 100, 200) << 6 << 300 << 1 << 3 << QColor(20, 100, 200);
    QTest::newRow("offset 256") << QColor(20, 100, 200) << 2 << 256 << 1 << 5 << QColor(20, 100, 200);
    QTest::newRow("offset -256") << QColor(20, 100, 200) << 2 << -256 << 1 << 5 << QColor(20, 100, 200);
}

void TestHoverButton::ShiftColor()
{
    QFETCH(QColor, face);
    QFETCH(int, nSlot);
    QFETCH(int, nOffset);
    QFETCH(int, nTimes);
    QFETCH(int, nResult);
    QFETCH(QColor, expected);
    QPalette pal = QApplication::palette();
    pal.setColor(QPalette::Button, face);
    QApplication::setPalette(pal);
    HoverButton button; // takes its defaults from the system colours
    QApplication::setPalette(QPalette());
    for (int i = 0; i < nTimes; ++i)
        QCOMPARE(button.ShiftColor(quint8(nSlot), qint16(nOffset), true), nResult);
    QCOMPARE(button.Color(nSlot % 6).rgb(), expected.rgb());
    QCOMPARE(button.Color(nSlot == 2 ? 4 : 2).rgb(), face.rgb()); // other slots untouched
}

void TestHoverButton::GreyLevel_data()
{
    QTest::addColumn<QRgb>("rgb");
    QTest::addColumn<QRgb>("grey");
    QTest::newRow("silver") << qRgb(192, 192, 192) << qRgb(192, 192, 192);
    QTest::newRow("red") << qRgb(255, 0, 0) << qRgb(76, 76, 76);
    QTest::newRow("green") << qRgb(0, 255, 0) << qRgb(149, 149, 149);
    QTest::newRow("blue") << qRgb(0, 0, 255) << qRgb(29, 29, 29);
    QTest::newRow("truncated, not rounded") << qRgb(23, 23, 23) << qRgb(22, 22, 22);
    QTest::newRow("half transparent red") << qRgba(255, 0, 0, 128) << qRgba(76, 76, 76, 128);
    QTest::newRow("zero left alone") << QRgb(0) << QRgb(0);
}

void TestHoverButton::GreyLevel()
{
    QFETCH(QRgb, rgb);
    QFETCH(QRgb, grey);
    QImage image(1, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, rgb);
    QCOMPARE(HoverButton::MakeGreyImage(image).pixel(0, 0), grey);
}

void TestHoverButton::LoadIcons_data()
{
    QTest::addColumn<int>("nIconIn");
    QTest::addColumn<int>("nIconOut");
    QTest::addColumn<int>("nSize");
    QTest::newRow("connect, grey") << IDI_CONNECT << GREY_ICON << 32;
    QTest::newRow("exit, grey") << IDI_EXIT << GREY_ICON << 16;
    for (const int nId : {IDR_MAINFRAME, IDI_CONNECTED, IDI_READ, IDI_SET, IDI_OPEN, IDI_SAVE, IDI_CALIBRATE})
        QTest::addRow("icon %d", nId) << nId << 0 << (nId <= IDI_CONNECTED ? 32 : 16);
    QTest::newRow("missing: no icons, result 0") << 999 << GREY_ICON << 0;
}

void TestHoverButton::LoadIcons()
{
    QFETCH(int, nIconIn);
    QFETCH(int, nIconOut);
    QFETCH(int, nSize);
    m_pButton->LoadIcons(IDI_SAVE, GREY_ICON); // replaced as a whole below
    QCOMPARE(m_pButton->LoadIcons(nIconIn, nIconOut), HOVER_RESULT_OK);
    QCOMPARE(QSize(m_pButton->IconIn().nWidth, m_pButton->IconIn().nHeight), QSize(nSize, nSize));
    QCOMPARE(m_pButton->IconOut().icon.isNull(), nIconOut != GREY_ICON || nSize == 0);
    if (m_pButton->IconOut().icon.isNull())
        return;
    // The grey copy: same size, grey wherever it is opaque, sharp at 200 % too.
    const QImage image = m_pButton->IconOut().icon.pixmap(QSize(nSize, nSize), 2.0).toImage();
    QCOMPARE(image.width(), 2 * nSize);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                QVERIFY(qRed(image.pixel(x, y)) == qBlue(image.pixel(x, y)));
    // An icon that tells no size (a file icon without pixmaps): result 1, no icons.
    QCOMPARE(m_pButton->AttachIcons(BlueIcon(16), QIcon(QStringLiteral(":/icons/130.svg"))), HOVER_RESULT_BAD_ICON);
    QVERIFY(m_pButton->IconIn().icon.isNull());
}

void TestHoverButton::HoverTransitions()
{
    const QPoint ptIn(50, 12);
    Move(m_pButton, ptIn, Qt::LeftButton); // pressed outside, dragged in
    QVERIFY(!m_pButton->IsHovered());
    Move(m_pButton, ptIn);
    QVERIFY(m_pButton->IsHovered());
    Move(m_pButton, QPoint(-5, -5), Qt::LeftButton); // held down, dragged out
    QVERIFY(!m_pButton->IsHovered());
    Move(m_pButton, ptIn);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(m_pButton, &leave);
    QVERIFY(!m_pButton->IsHovered());
    Move(m_pButton, ptIn);
    m_pButton->setFocus();
    m_pOther->setFocus();
    QVERIFY(!m_pButton->IsHovered());
    Move(m_pButton, ptIn);
    m_pButton->setFocus();
    m_pButton->setEnabled(false);
    QVERIFY(!m_pButton->IsHovered() && !m_pButton->hasFocus());
    m_pButton->setEnabled(true);
    Move(m_pButton, ptIn);
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(!m_pButton->IsHovered());
}

void TestHoverButton::Clicks()
{
    // The button has the focus when the command runs (an open cell edit is
    // written first), for a mouse click and a click from code alike.
    int nClicks = 0;
    connect(m_pButton, &QAbstractButton::clicked, m_pButton, [&] {
        ++nClicks;
        QVERIFY(m_pButton->hasFocus());
    });
    m_pButton->click();
    m_pOther->setFocus();
    QTest::mouseClick(m_pButton, Qt::LeftButton);
    QTest::mouseDClick(m_pButton, Qt::LeftButton); // second click of a double-click
    QTest::mouseRelease(m_pButton, Qt::LeftButton);
    QCOMPARE(nClicks, 3);
}

void TestHoverButton::Face_data()
{
    QTest::addColumn<QString>("strState");
    QTest::addColumn<int>("nFaceSlot");
    QTest::addColumn<int>("nEdge"); // 0 none, 1 raised, -1 sunken
    QTest::newRow("normal") << "normal" << HOVER_NORMAL_BACKGROUND << 0;
    QTest::newRow("hovered") << "hovered" << HOVER_HOT_BACKGROUND << 1;
    QTest::newRow("pressed") << "pressed" << HOVER_HOT_BACKGROUND << -1;
    QTest::newRow("focused, no focus rectangle") << "focused" << HOVER_FOCUS_BACKGROUND << 0;
    QTest::newRow("focused and hovered") << "focused hovered" << HOVER_HOT_BACKGROUND << 1;
    QTest::newRow("default button looks normal") << "default" << HOVER_NORMAL_BACKGROUND << 0;
}

void TestHoverButton::Face()
{
    QFETCH(QString, strState);
    QFETCH(int, nFaceSlot);
    QFETCH(int, nEdge);
    m_pButton->setText(QStringLiteral("Read"));
    if (strState.contains(QLatin1String("focused")))
        m_pButton->setFocus();
    if (strState.contains(QLatin1String("hovered")))
        Move(m_pButton, QPoint(50, 12));
    m_pButton->setDown(strState == QLatin1String("pressed"));
    m_pButton->setDefault(strState == QLatin1String("default"));
    const QImage image = m_pButton->grab().toImage();
    const QRgb face = m_pButton->Color(nFaceSlot).rgb();
    const QRgb light = m_pButton->palette().color(QPalette::Light).rgb();
    const QRgb dark = m_pButton->palette().color(QPalette::Dark).rgb();
    const QRgb topLeft = nEdge == 0 ? face : nEdge > 0 ? light : dark;
    const QRgb bottomRight = nEdge == 0 ? face : nEdge > 0 ? dark : light;
    for (const QPoint& pt : {QPoint(0, 0), QPoint(50, 0), QPoint(0, 12), QPoint(98, 0)})
        QCOMPARE(image.pixel(pt), topLeft);
    for (const QPoint& pt : {QPoint(99, 0), QPoint(99, 12), QPoint(50, 23), QPoint(0, 23), QPoint(99, 23)})
        QCOMPARE(image.pixel(pt), bottomRight);
    for (const QPoint& pt : {QPoint(1, 1), QPoint(50, 1), QPoint(1, 12), QPoint(98, 12), QPoint(50, 22)})
        QCOMPARE(image.pixel(pt), face);
}

void TestHoverButton::IconPlacement_data()
{
    QTest::addColumn<QString>("strTitle");
    QTest::addColumn<QString>("strState");
    QTest::addColumn<int>("nSize");
    QTest::addColumn<QPoint>("ptIcon");
    QTest::addColumn<QRgb>("color"); // grey copy (29) in the normal state only
    const QRgb blue = qRgb(0, 0, 255);
    QTest::newRow("caption") << "Save"
                             << "normal" << 16 << QPoint(3, 4) << qRgb(29, 29, 29);
    QTest::newRow("caption, hovered") << "Save"
                                      << "hovered" << 16 << QPoint(3, 4) << blue;
    QTest::newRow("caption, pressed") << "Save"
                                      << "pressed" << 16 << QPoint(4, 5) << blue;
    QTest::newRow("no caption") << ""
                                << "normal" << 16 << QPoint(42, 4) << qRgb(29, 29, 29);
    QTest::newRow("no caption, pressed") << ""
                                         << "pressed" << 16 << QPoint(43, 5) << blue;
    QTest::newRow("taller than the button") << "Connect"
                                            << "hovered" << 32 << QPoint(3, -4) << blue;
}

void TestHoverButton::IconPlacement()
{
    QFETCH(QString, strTitle);
    QFETCH(QString, strState);
    QFETCH(int, nSize);
    QFETCH(QPoint, ptIcon);
    QFETCH(QRgb, color);
    m_pButton->setText(strTitle);
    QCOMPARE(m_pButton->AttachIcons(BlueIcon(nSize), GREY_ICON), HOVER_RESULT_OK);
    if (strState == QLatin1String("hovered"))
        Move(m_pButton, QPoint(50, 12));
    m_pButton->setDown(strState == QLatin1String("pressed"));
    const QImage image = m_pButton->grab().toImage();
    QCOMPARE(Ink(image, image.rect(), color, true),
             QRect(ptIcon, QSize(nSize, nSize)) & m_pButton->rect()); // clipped when taller
}

void TestHoverButton::CaptionAndDisabledLook()
{
    // The caption is centred in the area right of the icon, x 19..100, and
    // moves one pixel right and down when pressed.
    m_pButton->setText(QStringLiteral("Open"));
    m_pButton->AttachIcons(BlueIcon(16), 0);
    const QRect rectArea(20, 1, 79, 22);
    const QRect rectInk = Ink(m_pButton->grab().toImage(), rectArea, m_pButton->Color(2).rgb());
    QVERIFY(qAbs(rectInk.left() + rectInk.right() + 1 - (19 + 100)) <= 3);
    m_pButton->setDown(true);
    QCOMPARE(Ink(m_pButton->grab().toImage(), rectArea, m_pButton->Color(0).rgb()), rectInk.translated(1, 1));
    m_pButton->setDown(false);

    // Disabled: greyed icon, caption engraved in the highlight and shadow colours.
    m_pButton->setEnabled(false);
    QImage image = m_pButton->grab().toImage();
    const QColor colorIcon = image.pixelColor(10, 12);
    QVERIFY(colorIcon != QColor(0, 0, 255) && qAbs(colorIcon.red() - colorIcon.blue()) < 40);
    const QRgb dark = m_pButton->palette().color(QPalette::Dark).rgb();
    QVERIFY(!Ink(image, rectArea, dark, true).isEmpty()); // the shadow colour is there
    m_pButton->setEnabled(true);

    // A long caption wraps at word breaks; the block is centred both ways.
    m_pButton->AttachIcons(QIcon(), 0);
    m_pButton->setFixedSize(70, 60);
    m_pButton->setText(QStringLiteral("Calibrate power meter"));
    const QRect rectBlock = Ink(m_pButton->grab().toImage(), QRect(0, 0, 70, 60), m_pButton->Color(2).rgb());
    QVERIFY(rectBlock.height() > m_pButton->fontMetrics().height());
    QVERIFY(qAbs(rectBlock.top() + rectBlock.bottom() + 1 - 60) <= 4);
    QVERIFY(qAbs(rectBlock.left() + rectBlock.right() + 1 - 70) <= 4);
}

QTEST_MAIN(TestHoverButton)
#include "tst_hoverbutton.moc"
