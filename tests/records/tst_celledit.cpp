// In-place editing of the record list: a double-click opens the editor over
// the cell, every loss of focus writes its text back, on real widgets.
#include "controls/HoverButton.h"
#include "records/RecordListCtrl.h"

#include <QDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

class TestCellEdit : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void OpensOverCell_data();
    void OpensOverCell();
    void NothingOutsideCells_data();
    void NothingOutsideCells();
    void FocusLossCommits_data();
    void FocusLossCommits();
    void UnchangedTextIsWrittenBack();
    void SecondCellCommitsFirst();
    void ButtonCommandSeesEdit();
    void EnterAndEscReachDialog_data();
    void EnterAndEscReachDialog();
    void ScrollingLeavesBox();
    void LongTextKeptWhole();

private:
    void DoubleClick(const QPoint& ptViewport);
    QPoint CellCentre(int nItem, int nSubItem) const;

    QDialog* m_pDlg = nullptr;
    RecordListCtrl* m_pList = nullptr;
    HoverButton* m_pButton = nullptr;
    QPushButton* m_pOk = nullptr;
};

void TestCellEdit::init()
{
    m_pDlg = new QDialog;
    auto* pLayout = new QVBoxLayout(m_pDlg);
    m_pList = new RecordListCtrl(m_pDlg);
    m_pButton = new HoverButton(m_pDlg);
    m_pButton->setText(QStringLiteral("Save"));
    m_pOk = new QPushButton(QStringLiteral("OK"), m_pDlg);
    m_pOk->setDefault(true);
    pLayout->addWidget(m_pList);
    pLayout->addWidget(m_pButton);
    pLayout->addWidget(m_pOk);
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        m_pList->InsertColumn(nCol, QStringLiteral("C%1").arg(nCol), LVCFMT_LEFT, 60, nCol);
    m_pList->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (int nRow = 0; nRow < 5; ++nRow)
    {
        m_pList->InsertItem(nRow, QString());
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
            m_pList->SetItemText(nRow, nCol, QStringLiteral("r%1c%2").arg(nRow).arg(nCol));
    }
    m_pDlg->resize(600, 300);
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowActive(m_pDlg));
}

void TestCellEdit::cleanup()
{
    delete m_pDlg;
    m_pDlg = nullptr;
}

QPoint TestCellEdit::CellCentre(int nItem, int nSubItem) const
{
    return m_pList->visualRect(m_pList->model()->index(nItem, nSubItem)).center();
}

void TestCellEdit::DoubleClick(const QPoint& ptViewport)
{
    // What the window system delivers: press, release, double-click, release.
    QWidget* pViewport = m_pList->viewport();
    QTest::mouseClick(pViewport, Qt::LeftButton, Qt::NoModifier, ptViewport);
    QTest::mouseDClick(pViewport, Qt::LeftButton, Qt::NoModifier, ptViewport);
    QTest::mouseRelease(pViewport, Qt::LeftButton, Qt::NoModifier, ptViewport);
}

void TestCellEdit::OpensOverCell_data()
{
    QTest::addColumn<int>("nItem");
    QTest::addColumn<int>("nSubItem");
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        QTest::addRow("column %d", nCol) << (nCol % 5) << nCol;
}

void TestCellEdit::OpensOverCell()
{
    QFETCH(int, nItem);
    QFETCH(int, nSubItem);
    // The list's own font must not reach the box.
    QFont fontList = m_pList->font();
    fontList.setPointSize(fontList.pointSize() + 7);
    m_pList->setFont(fontList);
    CellEdit* pEdit = m_pList->Editor();
    QVERIFY(!pEdit->isVisible());
    DoubleClick(CellCentre(nItem, nSubItem));
    QVERIFY(pEdit->isVisible());
    QVERIFY(pEdit->hasFocus());
    QCOMPARE(pEdit->parentWidget(), m_pList->viewport());
    QCOMPARE(pEdit->geometry(), m_pList->visualRect(m_pList->model()->index(nItem, nSubItem)));
    const QString strCell = QStringLiteral("r%1c%2").arg(nItem).arg(nSubItem);
    QCOMPARE(pEdit->text(), strCell);
    QCOMPARE(pEdit->selectedText(), strCell);
    QCOMPARE(pEdit->palette().color(QPalette::Text), QColor(255, 0, 251));
    QCOMPARE(pEdit->palette().color(QPalette::Base), QColor(255, 255, 0));
    QCOMPARE(pEdit->font(), QApplication::font());
    QCOMPARE(pEdit->property("nCtrlId").toInt(), 1001);
    QVERIFY(!(pEdit->focusPolicy() & Qt::TabFocus));
}

void TestCellEdit::NothingOutsideCells_data()
{
    QTest::addColumn<bool>("bEmptyList");
    QTest::addColumn<QPoint>("pt");
    QTest::newRow("below the last row") << false << QPoint(30, 200);
    QTest::newRow("right of the columns") << false << QPoint(500, 5);
    QTest::newRow("empty list") << true << QPoint(30, 5);
}

void TestCellEdit::NothingOutsideCells()
{
    QFETCH(bool, bEmptyList);
    QFETCH(QPoint, pt);
    if (bEmptyList)
        m_pList->DeleteAllItems();
    DoubleClick(pt);
    QVERIFY(!m_pList->Editor()->isVisible());
    QVERIFY(!m_pList->Editor()->hasFocus());
}

void TestCellEdit::FocusLossCommits_data()
{
    QTest::addColumn<QString>("strHow");
    QTest::newRow("click in the list") << "list";
    QTest::newRow("button press") << "button";
    QTest::newRow("tab") << "tab";
    QTest::newRow("other window") << "window";
    QTest::newRow("dialog closing") << "close";
    QTest::newRow("emptied box") << "empty";
}

void TestCellEdit::FocusLossCommits()
{
    QFETCH(QString, strHow);
    DoubleClick(CellCentre(3, 2));
    CellEdit* pEdit = m_pList->Editor();
    QVERIFY(pEdit->hasFocus());
    pEdit->selectAll();
    const QString strNew = strHow == QLatin1String("empty") ? QString() : QStringLiteral("edited ") + strHow;
    if (strNew.isEmpty())
        QTest::keyClick(pEdit, Qt::Key_Delete);
    else
        QTest::keyClicks(pEdit, strNew);
    QWidget other;
    if (strHow == QLatin1String("list") || strHow == QLatin1String("empty"))
        QTest::mouseClick(m_pList->viewport(), Qt::LeftButton, Qt::NoModifier, CellCentre(0, 0));
    else if (strHow == QLatin1String("button"))
        QTest::mousePress(m_pButton, Qt::LeftButton);
    else if (strHow == QLatin1String("tab"))
        QTest::keyClick(pEdit, Qt::Key_Tab);
    else if (strHow == QLatin1String("window"))
    {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    }
    else
        m_pDlg->reject();
    QCOMPARE(m_pList->GetItemText(3, 2), strNew);
    QVERIFY(!pEdit->isVisible());
    QVERIFY(!pEdit->hasFocus());
    // No other cell was touched.
    QCOMPARE(m_pList->GetItemText(3, 1), QStringLiteral("r3c1"));
    QCOMPARE(m_pList->GetItemText(2, 2), QStringLiteral("r2c2"));
}

void TestCellEdit::UnchangedTextIsWrittenBack()
{
    DoubleClick(CellCentre(1, 4));
    // The cell changes under the open box; leaving the box without typing
    // writes the box's text, so the cell shows what the box showed.
    m_pList->SetItemText(1, 4, QStringLiteral("changed meanwhile"));
    m_pButton->setFocus();
    QCOMPARE(m_pList->GetItemText(1, 4), QStringLiteral("r1c4"));
}

void TestCellEdit::SecondCellCommitsFirst()
{
    DoubleClick(CellCentre(0, 1));
    QTest::keyClicks(m_pList->Editor(), QStringLiteral("first"));
    DoubleClick(CellCentre(2, 5));
    QCOMPARE(m_pList->GetItemText(0, 1), QStringLiteral("first"));
    CellEdit* pEdit = m_pList->Editor();
    QVERIFY(pEdit->isVisible() && pEdit->hasFocus());
    QCOMPARE(pEdit->text(), QStringLiteral("r2c5"));
    QCOMPARE(pEdit->geometry(), m_pList->visualRect(m_pList->model()->index(2, 5)));
    QTest::keyClicks(pEdit, QStringLiteral("second"));
    m_pButton->setFocus();
    QCOMPARE(m_pList->GetItemText(2, 5), QStringLiteral("second"));
    QCOMPARE(m_pList->GetItemText(0, 1), QStringLiteral("first"));
}

void TestCellEdit::ButtonCommandSeesEdit()
{
    // The command of a button (Save, Read, Open) runs after the open edit has
    // been written, whether the click comes from the mouse or from code.
    QString strSeen;
    connect(m_pButton, &QAbstractButton::clicked, m_pButton, [&] { strSeen = m_pList->GetItemText(4, 6); });
    for (const bool bMouse : {true, false})
    {
        DoubleClick(CellCentre(4, 6));
        QTest::keyClicks(m_pList->Editor(), bMouse ? QStringLiteral("mouse") : QStringLiteral("code"));
        if (bMouse)
            QTest::mouseClick(m_pButton, Qt::LeftButton);
        else
            m_pButton->click();
        QCOMPARE(strSeen, bMouse ? QStringLiteral("mouse") : QStringLiteral("code"));
    }
}

void TestCellEdit::EnterAndEscReachDialog_data()
{
    QTest::addColumn<int>("nKey");
    QTest::addColumn<int>("nResult");
    QTest::newRow("enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("keypad enter") << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void TestCellEdit::EnterAndEscReachDialog()
{
    QFETCH(int, nKey);
    QFETCH(int, nResult);
    connect(m_pOk, &QPushButton::clicked, m_pDlg, &QDialog::accept);
    QSignalSpy spyFinished(m_pDlg, &QDialog::finished);
    DoubleClick(CellCentre(2, 3));
    QTest::keyClicks(m_pList->Editor(), QStringLiteral("kept"));
    QTest::keyClick(m_pList->Editor(), Qt::Key(nKey));
    QCOMPARE(spyFinished.count(), 1);
    QCOMPARE(spyFinished.at(0).at(0).toInt(), nResult);
    // The dialog closed, so the box lost the focus and wrote its text.
    QCOMPARE(m_pList->GetItemText(2, 3), QStringLiteral("kept"));
}

void TestCellEdit::ScrollingLeavesBox()
{
    for (int nRow = 5; nRow < 200; ++nRow)
        m_pList->SetItemText(m_pList->InsertItem(nRow, QString()), 2, QStringLiteral("row %1").arg(nRow));
    DoubleClick(CellCentre(1, 2));
    CellEdit* pEdit = m_pList->Editor();
    const QRect rectOpened = pEdit->geometry();
    QTest::keyClicks(pEdit, QStringLiteral("scrolled"));
    m_pList->verticalScrollBar()->setValue(40);
    m_pList->horizontalScrollBar()->setValue(m_pList->horizontalScrollBar()->maximum());
    QCOMPARE(pEdit->geometry(), rectOpened);
    m_pButton->setFocus();
    QCOMPARE(m_pList->GetItemText(1, 2), QStringLiteral("scrolled"));
}

void TestCellEdit::LongTextKeptWhole()
{
    const QString strLong = QStringLiteral("a long note that is much wider than its column ").repeated(5);
    m_pList->SetItemText(0, 6, strLong);
    DoubleClick(CellCentre(0, 6));
    CellEdit* pEdit = m_pList->Editor();
    QCOMPARE(pEdit->text(), strLong);
    QTest::keyClick(pEdit, Qt::Key_End);
    QTest::keyClicks(pEdit, QStringLiteral("end"));
    m_pButton->setFocus();
    QCOMPARE(m_pList->GetItemText(0, 6), strLong + QStringLiteral("end"));
}

QTEST_MAIN(TestCellEdit)
#include "tst_celledit.moc"
