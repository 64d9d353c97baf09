// Hover button drawing: pixels of rendered buttons in each state (face
// colour, edge, icon position, pressed offset, caption placement).
#include "controls/HoverButton.h"

#include <QMouseEvent>
#include <QVBoxLayout>
#include <QtTest>

class TestHoverButtonPaint : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void FaceAndEdge_data();
    void FaceAndEdge();
    void IconPlacement_data();
    void IconPlacement();
    void PlaceIconWorkedLayout();
    void GreyIconOnlyInNormalState();
    void DisabledLook();
    void CaptionCentredAndWrapped();

private:
    QWidget* m_pWindow = nullptr;
    HoverButton* m_pButton = nullptr;
};

namespace {

// The icon of these tests: a solid blue square, easy to find in a picture.
QIcon BlueIcon(int nSize)
{
    QPixmap pixmap(nSize, nSize);
    pixmap.fill(QColor(0, 0, 255));
    return QIcon(pixmap);
}

// Bounding box of the pixels that satisfy pred.
template <typename Pred> QRect FindPixels(const QImage& image, Pred pred)
{
    QRect rectFound;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (pred(image.pixelColor(x, y)))
                rectFound |= QRect(x, y, 1, 1);
    return rectFound;
}

void Hover(HoverButton* pButton)
{
    const QPoint pt = pButton->rect().center();
    QMouseEvent event(QEvent::MouseMove, pt, pButton->mapToGlobal(pt), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pButton, &event);
}

} // namespace

void TestHoverButtonPaint::init()
{
    m_pWindow = new QWidget;
    new QVBoxLayout(m_pWindow);
    m_pButton = new HoverButton(m_pWindow);
    m_pButton->setFixedSize(100, 24);
    m_pWindow->layout()->addWidget(m_pButton);
    auto* pOther = new HoverButton(m_pWindow);
    m_pWindow->layout()->addWidget(pOther);
    // Three faces that differ: hot darker, focus darker still.
    m_pButton->ShiftColor(HOVER_HOT_BACKGROUND, -60, false);
    m_pButton->ShiftColor(HOVER_FOCUS_BACKGROUND, -120, false);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowActive(m_pWindow));
    pOther->setFocus(); // the tested button starts without the focus
}

void TestHoverButtonPaint::cleanup()
{
    delete m_pWindow;
    m_pWindow = nullptr;
}

void TestHoverButtonPaint::FaceAndEdge_data()
{
    QTest::addColumn<QString>("strState");
    QTest::addColumn<int>("nFaceSlot");
    QTest::addColumn<int>("nEdge"); // 0 none, 1 raised, -1 sunken
    QTest::newRow("normal") << "normal" << HOVER_NORMAL_BACKGROUND << 0;
    QTest::newRow("hovered") << "hovered" << HOVER_HOT_BACKGROUND << 1;
    QTest::newRow("pressed") << "pressed" << HOVER_HOT_BACKGROUND << -1;
    QTest::newRow("focused") << "focused" << HOVER_FOCUS_BACKGROUND << 0;
    QTest::newRow("focused and hovered") << "focused hovered" << HOVER_HOT_BACKGROUND << 1;
    QTest::newRow("default button") << "default" << HOVER_NORMAL_BACKGROUND << 0;
}

void TestHoverButtonPaint::FaceAndEdge()
{
    QFETCH(QString, strState);
    QFETCH(int, nFaceSlot);
    QFETCH(int, nEdge);
    m_pButton->setText(QStringLiteral("Read"));
    if (strState.contains(QLatin1String("focused")))
        m_pButton->setFocus();
    if (strState.contains(QLatin1String("hovered")))
        Hover(m_pButton);
    if (strState == QLatin1String("pressed"))
        m_pButton->setDown(true);
    if (strState == QLatin1String("default"))
        m_pButton->setDefault(true);
    const QImage image = m_pButton->grab().toImage();
    const QColor colorFace = m_pButton->Color(nFaceSlot);
    const QColor colorLight = m_pButton->palette().color(QPalette::Light);
    const QColor colorDark = m_pButton->palette().color(QPalette::Dark);
    QCOMPARE(image.pixel(2, 2), colorFace.rgb());
    QCOMPARE(image.pixel(97, 21), colorFace.rgb());
    // Top-left and bottom-right outline pixels; never a focus rectangle
    // (the ring one pixel inside is face colour in every state).
    const QColor colorTopLeft = nEdge == 0 ? colorFace : nEdge > 0 ? colorLight : colorDark;
    const QColor colorBottomRight = nEdge == 0 ? colorFace : nEdge > 0 ? colorDark : colorLight;
    for (const QPoint& pt : {QPoint(0, 0), QPoint(50, 0), QPoint(0, 12), QPoint(98, 0)})
        QCOMPARE(image.pixel(pt), colorTopLeft.rgb());
    for (const QPoint& pt : {QPoint(99, 0), QPoint(99, 12), QPoint(50, 23), QPoint(0, 23), QPoint(99, 23)})
        QCOMPARE(image.pixel(pt), colorBottomRight.rgb());
    for (const QPoint& pt : {QPoint(1, 1), QPoint(50, 1), QPoint(1, 12), QPoint(98, 12), QPoint(50, 22)})
        QCOMPARE(image.pixel(pt), colorFace.rgb());
}

void TestHoverButtonPaint::IconPlacement_data()
{
    QTest::addColumn<QString>("strTitle");
    QTest::addColumn<bool>("bPressed");
    QTest::addColumn<int>("nSize");
    QTest::addColumn<QPoint>("ptIcon");
    QTest::newRow("caption") << "Save" << false << 16 << QPoint(3, 4);
    QTest::newRow("caption pressed") << "Save" << true << 16 << QPoint(4, 5);
    QTest::newRow("no caption") << "" << false << 16 << QPoint(42, 4);
    QTest::newRow("no caption pressed") << "" << true << 16 << QPoint(43, 5);
    QTest::newRow("32 icon, taller than the button") << "Connect" << false << 32 << QPoint(3, -4);
}

void TestHoverButtonPaint::IconPlacement()
{
    QFETCH(QString, strTitle);
    QFETCH(bool, bPressed);
    QFETCH(int, nSize);
    QFETCH(QPoint, ptIcon);
    m_pButton->setText(strTitle);
    QCOMPARE(m_pButton->AttachIcons(BlueIcon(nSize), 0), HOVER_RESULT_OK);
    m_pButton->setDown(bPressed);
    const QImage image = m_pButton->grab().toImage();
    const QRect rectBlue = FindPixels(image, [](const QColor& c) { return c == QColor(0, 0, 255); });
    // Clipped to the button where the icon is taller than it.
    QCOMPARE(rectBlue, QRect(ptIcon, QSize(nSize, nSize)) & m_pButton->rect());
}

void TestHoverButtonPaint::PlaceIconWorkedLayout()
{
    const QRect rectItem(0, 0, 100, 24);
    QRect rectTitle = rectItem;
    QRect rectIcon;
    HoverButton::PlaceIcon(true, rectItem, rectTitle, false, 16, 16, rectIcon);
    QCOMPARE(rectIcon.topLeft(), QPoint(3, 4));
    QCOMPARE(rectTitle, QRect(QPoint(19, 0), QPoint(99, 23))); // x 19..100, y 0..24
    rectTitle = rectItem;
    HoverButton::PlaceIcon(true, rectItem, rectTitle, true, 16, 16, rectIcon);
    QCOMPARE(rectIcon.topLeft(), QPoint(4, 5));
    QCOMPARE(rectTitle.translated(1, 1), QRect(QPoint(20, 1), QPoint(100, 24))); // x 20..101, y 1..25
    rectTitle = rectItem;
    HoverButton::PlaceIcon(false, rectItem, rectTitle, false, 16, 16, rectIcon);
    QCOMPARE(rectIcon.topLeft(), QPoint(42, 4));
    QCOMPARE(rectTitle, rectItem);
}

void TestHoverButtonPaint::GreyIconOnlyInNormalState()
{
    QCOMPARE(m_pButton->AttachIcons(BlueIcon(16), GREY_ICON), HOVER_RESULT_OK);
    const QColor colorGrey(29, 29, 29); // grey level of pure blue
    QCOMPARE(m_pButton->grab().toImage().pixelColor(50, 12), colorGrey);
    Hover(m_pButton);
    QCOMPARE(m_pButton->grab().toImage().pixelColor(50, 12), QColor(0, 0, 255));
    m_pButton->LeaveHover();
    m_pButton->setDown(true);
    QCOMPARE(m_pButton->grab().toImage().pixelColor(51, 13), QColor(0, 0, 255));
    // With no second icon the same icon shows in the normal state.
    m_pButton->setDown(false);
    m_pButton->AttachIcons(BlueIcon(16), 0);
    QCOMPARE(m_pButton->grab().toImage().pixelColor(50, 12), QColor(0, 0, 255));
}

void TestHoverButtonPaint::DisabledLook()
{
    m_pButton->setText(QStringLiteral("Set"));
    m_pButton->AttachIcons(BlueIcon(16), 0);
    m_pButton->ShiftColor(HOVER_NORMAL_TEXT, 255, false); // white normal text: must not be used
    m_pButton->setEnabled(false);
    const QImage image = m_pButton->grab().toImage();
    // The icon is greyed: no saturated blue left where it stands.
    const QColor colorIcon = image.pixelColor(10, 12);
    QVERIFY2(colorIcon != QColor(0, 0, 255), qPrintable(colorIcon.name()));
    QVERIFY(qAbs(colorIcon.red() - colorIcon.blue()) < 40);
    // Engraved caption: the highlight and the shadow colours both appear.
    const QColor colorLight = m_pButton->palette().color(QPalette::Light);
    const QColor colorDark = m_pButton->palette().color(QPalette::Dark);
    const QRect rectCaption(19, 0, 81, 24);
    const QImage imageCaption = image.copy(rectCaption);
    QVERIFY(!FindPixels(imageCaption, [&](const QColor& c) { return c == colorDark; }).isEmpty());
    QVERIFY(!FindPixels(imageCaption, [&](const QColor& c) { return c == colorLight; }).isEmpty());
    QVERIFY(FindPixels(imageCaption, [](const QColor& c) { return c == QColor(Qt::white); }).isEmpty() ||
            colorLight == QColor(Qt::white));
}

void TestHoverButtonPaint::CaptionCentredAndWrapped()
{
    const QColor colorFace = m_pButton->Color(HOVER_NORMAL_BACKGROUND);
    const auto isInk = [&](const QColor& c) { return c != colorFace; };
    m_pButton->setText(QStringLiteral("Open"));
    m_pButton->AttachIcons(BlueIcon(16), 0);
    QImage image = m_pButton->grab().toImage();
    // The caption's ink, right of the icon, is centred in x 19..100.
    QRect rectInk = FindPixels(image.copy(19, 0, 81, 24), isInk).translated(19, 0);
    QVERIFY(!rectInk.isEmpty());
    QVERIFY2(qAbs((rectInk.left() + rectInk.right() + 1) - (19 + 100)) <= 3, qPrintable(QString::number(rectInk.x())));
    // Pressed: the same ink one pixel right and down.
    m_pButton->setDown(true);
    const QColor colorHot = m_pButton->Color(HOVER_HOT_BACKGROUND);
    const QRect rectPressed = FindPixels(m_pButton->grab().toImage().copy(20, 1, 79, 22), [&](const QColor& c) {
                                  return c != colorHot;
                              }).translated(20, 1);
    QCOMPARE(rectPressed.topLeft(), rectInk.topLeft() + QPoint(1, 1));
    m_pButton->setDown(false);

    // A long caption wraps at word breaks; the block stays centred both ways.
    m_pButton->AttachIcons(QIcon(), 0);
    m_pButton->setFixedSize(70, 60);
    m_pButton->setText(QStringLiteral("Calibrate power meter"));
    image = m_pButton->grab().toImage();
    rectInk = FindPixels(image, isInk);
    const int nLine = m_pButton->fontMetrics().height();
    QVERIFY2(rectInk.height() > nLine, "caption not wrapped");
    QVERIFY(qAbs((rectInk.top() + rectInk.bottom() + 1) - 60) <= 4);
    QVERIFY(qAbs((rectInk.left() + rectInk.right() + 1) - 70) <= 4);
}

QTEST_MAIN(TestHoverButtonPaint)
#include "tst_hoverbuttonpaint.moc"
