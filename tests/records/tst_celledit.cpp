// In-place editing of the record list: a double-click opens the editor over
// the cell, every loss of focus writes its text back, on real widgets.
#include "records/list/RecordListCtrl.h"

#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

// Ways the open editor loses the focus.
constexpr int ByList = 0, ByButton = 1, ByTab = 3, ByWindow = 4, ByClose = 5, ByEnter = 6, ByEsc = 7;

class TestCellEdit : public QObject
{
    Q_OBJECT
private:
    QDialog* m_pDlg = nullptr;
    RecordListCtrl* m_pList = nullptr;
    CellEdit* m_pEdit = nullptr;
    QPushButton* m_pButton = nullptr;
    QRect Rect(int nItem, int nSubItem) const { return m_pList->visualRect(m_pList->model()->index(nItem, nSubItem)); }
    // As the window system delivers it: press, release, double-click, release.
    void DoubleClickAt(const QPoint& pt)
    {
        QTest::mouseClick(m_pList->viewport(), Qt::LeftButton, Qt::NoModifier, pt);
        QTest::mouseDClick(m_pList->viewport(), Qt::LeftButton, Qt::NoModifier, pt);
        QTest::mouseRelease(m_pList->viewport(), Qt::LeftButton, Qt::NoModifier, pt);
    }

private slots:
    // A dialog with the list (5 rows "r<row>c<col>"), a command button and a default OK button.
    void init()
    {
        m_pDlg = new QDialog;
        auto* pLayout = new QVBoxLayout(m_pDlg);
        pLayout->addWidget(m_pList = new RecordListCtrl(m_pDlg));
        pLayout->addWidget(m_pButton = new QPushButton(m_pDlg));
        auto* pOk = new QPushButton(QStringLiteral("OK"), m_pDlg);
        pLayout->addWidget(pOk);
        pOk->setDefault(true);
        connect(pOk, &QPushButton::clicked, m_pDlg, &QDialog::accept);
        m_pEdit = m_pList->Editor();
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
    void cleanup() { delete m_pDlg; }

    void OpensOverCell()
    {
        // Every column opens; a double-click elsewhere writes the open edit first.
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        {
            const int nRow = nCol % 5;
            DoubleClickAt(Rect(nRow, nCol).center());
            if (nCol > 0)
                QCOMPARE(m_pList->GetItemText((nCol - 1) % 5, nCol - 1), QStringLiteral("typed"));
            QVERIFY(m_pEdit->isVisible() && m_pEdit->hasFocus());
            QCOMPARE(m_pEdit->geometry(), Rect(nRow, nCol));
            QCOMPARE(m_pEdit->text(), QStringLiteral("r%1c%2").arg(nRow).arg(nCol));
            QTest::keyClicks(m_pEdit, QStringLiteral("typed"));
        }
        QCOMPARE(m_pEdit->palette().color(QPalette::Text), QColor(255, 0, 251));
        QCOMPARE(m_pEdit->palette().color(QPalette::Base), QColor(255, 255, 0));
        // Nothing opens below the last row or right of the last column.
        DoubleClickAt(Rect(4, 0).bottomLeft() + QPoint(5, 10));
        DoubleClickAt(QPoint(Rect(0, RECORD_COLUMNS - 1).right() + 10, Rect(0, 0).center().y()));
        QVERIFY(!m_pEdit->isVisible() && !m_pEdit->hasFocus());
        QCOMPARE(m_pList->GetItemText(1, 6), QStringLiteral("typed"));
        // Nor on an empty list.
        m_pButton->setFocus();
        m_pList->DeleteAllItems();
        DoubleClickAt(QPoint(30, 5));
        QVERIFY(!m_pEdit->isVisible() && !m_pEdit->hasFocus());
    }

    void FocusLossCommits_data()
    {
        QTest::addColumn<int>("nHow");
        QTest::addColumn<QString>("strTyped");
        QTest::newRow("click in the list") << ByList << "new";
        QTest::newRow("emptied, click in the list") << ByList << "";
        QTest::newRow("button press") << ByButton << "new";
        QTest::newRow("tab") << ByTab << "new";
        QTest::newRow("other window") << ByWindow << "new";
        QTest::newRow("dialog closing") << ByClose << "new";
        QTest::newRow("enter reaches the dialog") << ByEnter << "new";
        QTest::newRow("esc reaches the dialog") << ByEsc << "new";
    }
    void FocusLossCommits()
    {
        QFETCH(int, nHow);
        QFETCH(QString, strTyped);
        QString strSeen = QStringLiteral("not run");
        connect(m_pButton, &QAbstractButton::clicked, m_pButton, [&] { strSeen = m_pList->GetItemText(3, 2); });
        QSignalSpy spyFinished(m_pDlg, &QDialog::finished);
        DoubleClickAt(Rect(3, 2).center());
        QTest::keyClick(m_pEdit, Qt::Key_Delete); // the text is all selected
        QTest::keyClicks(m_pEdit, strTyped);
        QWidget other;
        if (nHow == ByList)
            QTest::mouseClick(m_pList->viewport(), Qt::LeftButton, Qt::NoModifier, Rect(0, 0).center());
        else if (nHow == ByButton)
            QTest::mouseClick(m_pButton, Qt::LeftButton);
        else if (nHow == ByTab)
            QTest::keyClick(m_pEdit, Qt::Key_Tab);
        else if (nHow == ByWindow)
        {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        else if (nHow == ByClose)
            m_pDlg->close();
        else
            QTest::keyClick(m_pEdit, nHow == ByEnter ? Qt::Key_Return : Qt::Key_Escape);
        QCOMPARE(m_pList->GetItemText(3, 2), strTyped);
        QVERIFY(!m_pEdit->isVisible() && !m_pEdit->hasFocus());
        if (nHow == ByButton)
            QCOMPARE(strSeen, strTyped); // the command ran after the write
        if (nHow == ByEnter || nHow == ByEsc)
            QCOMPARE(spyFinished.value(0).value(0).toInt(),
                     int(nHow == ByEnter ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(m_pList->GetItemText(3, 1), QStringLiteral("r3c1")); // no other cell touched
    }
};

QTEST_MAIN(TestCellEdit)
#include "tst_celledit.moc"
