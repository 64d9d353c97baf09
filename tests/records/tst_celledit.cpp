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
    void OpensOverCell();
    void NothingOutsideCells();
    void FocusLossCommits_data();
    void FocusLossCommits();
    void ScrollingAndLongText();

private:
    void DoubleClick(int nItem, int nSubItem) { DoubleClickAt(Rect(nItem, nSubItem).center()); }
    void DoubleClickAt(const QPoint& pt);
    QRect Rect(int nItem, int nSubItem) const { return m_pList->visualRect(m_pList->model()->index(nItem, nSubItem)); }

    QDialog* m_pDlg = nullptr;
    RecordListCtrl* m_pList = nullptr;
    CellEdit* m_pEdit = nullptr;
    HoverButton* m_pButton = nullptr;
};

void TestCellEdit::init()
{
    m_pDlg = new QDialog;
    auto* pLayout = new QVBoxLayout(m_pDlg);
    m_pList = new RecordListCtrl(m_pDlg);
    m_pEdit = m_pList->Editor();
    m_pButton = new HoverButton(m_pDlg);
    auto* pOk = new QPushButton(QStringLiteral("OK"), m_pDlg);
    pOk->setDefault(true);
    connect(pOk, &QPushButton::clicked, m_pDlg, &QDialog::accept);
    pLayout->addWidget(m_pList);
    pLayout->addWidget(m_pButton);
    pLayout->addWidget(pOk);
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        m_pList->InsertColumn(nCol, QStringLiteral("C%1").arg(nCol), LVCFMT_LEFT, 60, nCol);
    for (int nRow = 0; nRow < 5; ++nRow)
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
            m_pList->SetItemText(nCol == 0 ? m_pList->InsertItem(nRow, QString()) : nRow, nCol,
                                 QStringLiteral("r%1c%2").arg(nRow).arg(nCol));
    m_pDlg->resize(600, 300);
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowActive(m_pDlg));
}

void TestCellEdit::cleanup()
{
    delete m_pDlg;
}

void TestCellEdit::DoubleClickAt(const QPoint& pt)
{
    // As the window system delivers it: press, release, double-click, release.
    QTest::mouseClick(m_pList->viewport(), Qt::LeftButton, Qt::NoModifier, pt);
    QTest::mouseDClick(m_pList->viewport(), Qt::LeftButton, Qt::NoModifier, pt);
    QTest::mouseRelease(m_pList->viewport(), Qt::LeftButton, Qt::NoModifier, pt);
}

void TestCellEdit::OpensOverCell()
{
    QFont fontList = m_pList->font(); // the list's font must not reach the box
    fontList.setPointSize(fontList.pointSize() + 7);
    m_pList->setFont(fontList);
    QVERIFY(!m_pEdit->isVisible());
    QVERIFY(!(m_pEdit->focusPolicy() & Qt::TabFocus));
    // Every column opens; a double-click on the next cell writes the open
    // edit first, then opens there.
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
    {
        const int nRow = nCol % 5;
        DoubleClick(nRow, nCol);
        if (nCol > 0)
            QCOMPARE(m_pList->GetItemText((nCol - 1) % 5, nCol - 1), QStringLiteral("typed"));
        QVERIFY(m_pEdit->isVisible() && m_pEdit->hasFocus());
        QCOMPARE(m_pEdit->geometry(), Rect(nRow, nCol));
        QCOMPARE(m_pEdit->text(), QStringLiteral("r%1c%2").arg(nRow).arg(nCol));
        QCOMPARE(m_pEdit->selectedText(), m_pEdit->text());
        QTest::keyClicks(m_pEdit, QStringLiteral("typed"));
    }
    QCOMPARE(m_pEdit->palette().color(QPalette::Text), QColor(255, 0, 251));
    QCOMPARE(m_pEdit->palette().color(QPalette::Base), QColor(255, 255, 0));
    QCOMPARE(m_pEdit->font(), QApplication::font());
}

void TestCellEdit::NothingOutsideCells()
{
    DoubleClickAt(QPoint(30, 200)); // below the last row
    DoubleClickAt(QPoint(500, 5));  // right of the last column
    m_pList->DeleteAllItems();
    DoubleClickAt(QPoint(30, 5)); // empty list
    QVERIFY(!m_pEdit->isVisible() && !m_pEdit->hasFocus());
}

void TestCellEdit::FocusLossCommits_data()
{
    QTest::addColumn<QString>("strHow");
    QTest::addColumn<QString>("strTyped");
    QTest::addColumn<QString>("strCell");
    QTest::newRow("click in the list") << "list"
                                       << "new"
                                       << "new";
    QTest::newRow("emptied, click in the list") << "list"
                                                << ""
                                                << "";
    QTest::newRow("button press") << "button"
                                  << "new"
                                  << "new";
    QTest::newRow("button click from code") << "click"
                                            << "new"
                                            << "new";
    QTest::newRow("tab") << "tab"
                         << "new"
                         << "new";
    QTest::newRow("other window") << "window"
                                  << "new"
                                  << "new";
    QTest::newRow("dialog closing") << "close"
                                    << "new"
                                    << "new";
    QTest::newRow("enter reaches the dialog") << "enter"
                                              << "new"
                                              << "new";
    QTest::newRow("esc reaches the dialog") << "esc"
                                            << "new"
                                            << "new";
    // Nothing typed: the box's text is written, even over a changed cell.
    QTest::newRow("unchanged text written") << "list"
                                            << "-"
                                            << "r3c2";
}

void TestCellEdit::FocusLossCommits()
{
    QFETCH(QString, strHow);
    QFETCH(QString, strTyped);
    QFETCH(QString, strCell);
    QString strSeenByCommand = QStringLiteral("not run");
    connect(m_pButton, &QAbstractButton::clicked, m_pButton, [&] { strSeenByCommand = m_pList->GetItemText(3, 2); });
    QSignalSpy spyFinished(m_pDlg, &QDialog::finished);
    DoubleClick(3, 2);
    if (strTyped == QLatin1String("-"))
        m_pList->SetItemText(3, 2, QStringLiteral("changed under the box"));
    else
        QTest::keyClick(m_pEdit, Qt::Key_Delete); // the text is all selected
    QTest::keyClicks(m_pEdit, strTyped == QLatin1String("-") ? QString() : strTyped);
    QWidget other;
    if (strHow == QLatin1String("list"))
        QTest::mouseClick(m_pList->viewport(), Qt::LeftButton, Qt::NoModifier, Rect(0, 0).center());
    else if (strHow == QLatin1String("button"))
        QTest::mouseClick(m_pButton, Qt::LeftButton);
    else if (strHow == QLatin1String("click"))
        m_pButton->click();
    else if (strHow == QLatin1String("tab"))
        QTest::keyClick(m_pEdit, Qt::Key_Tab);
    else if (strHow == QLatin1String("window"))
    {
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    }
    else if (strHow == QLatin1String("close"))
        m_pDlg->close();
    else
        QTest::keyClick(m_pEdit, strHow == QLatin1String("enter") ? Qt::Key_Return : Qt::Key_Escape);
    QCOMPARE(m_pList->GetItemText(3, 2), strCell);
    QVERIFY(!m_pEdit->isVisible() && !m_pEdit->hasFocus());
    if (strHow == QLatin1String("button") || strHow == QLatin1String("click"))
        QCOMPARE(strSeenByCommand, strCell); // the command ran after the write
    if (strHow == QLatin1String("enter") || strHow == QLatin1String("esc"))
        QCOMPARE(spyFinished.value(0).value(0).toInt(),
                 int(strHow == QLatin1String("enter") ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(m_pList->GetItemText(3, 1), QStringLiteral("r3c1")); // no other cell touched
    QCOMPARE(m_pList->GetItemText(2, 2), QStringLiteral("r2c2"));
}

void TestCellEdit::ScrollingAndLongText()
{
    // Scrolling leaves the box where it was opened; a text longer than the
    // cell scrolls inside the box and is written back whole.
    for (int nRow = 5; nRow < 200; ++nRow)
        m_pList->InsertItem(nRow, QString::number(nRow));
    const QString strLong = QStringLiteral("a note much wider than its column ").repeated(5);
    m_pList->SetItemText(1, 6, strLong);
    DoubleClick(1, 6);
    const QRect rectOpened = m_pEdit->geometry();
    QCOMPARE(m_pEdit->text(), strLong);
    QTest::keyClick(m_pEdit, Qt::Key_End);
    QTest::keyClicks(m_pEdit, QStringLiteral("end"));
    m_pList->verticalScrollBar()->setValue(40);
    QCOMPARE(m_pEdit->geometry(), rectOpened);
    m_pButton->setFocus();
    QCOMPARE(m_pList->GetItemText(1, 6), strLong + QStringLiteral("end"));
}

QTEST_MAIN(TestCellEdit)
#include "tst_celledit.moc"
