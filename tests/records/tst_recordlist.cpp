// Record list operations and its item model: rows, columns mapped to the
// record's texts, hit tests, and the coalesced change notifications.
#include "records/RecordListCtrl.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

class TestRecordList : public QObject
{
    Q_OBJECT
private slots:
    void ModelStaysConsistent();
    void ItemOperations_data();
    void ItemOperations();
    void ColumnsShowTheirSubItem();
    void HitTestAndRect();
    void ChangesAnnouncedOncePerTurn();
    void PendingChangeFollowsItsRow();
    void PendingChangeAfterDeleteAll();
};

namespace {

void AddColumns(RecordListCtrl& list)
{
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        list.InsertColumn(nCol, QStringLiteral("C%1").arg(nCol), LVCFMT_LEFT, 50, nCol);
}

void AddRows(RecordListCtrl& list, int nRows)
{
    for (int nRow = 0; nRow < nRows; ++nRow)
    {
        const int nItem = list.InsertItem(list.GetItemCount(), QString::number(nRow + 1));
        for (int nCol = 1; nCol < RECORD_COLUMNS; ++nCol)
            list.SetItemText(nItem, nCol, QStringLiteral("%1/%2").arg(nRow).arg(nCol));
    }
}

} // namespace

void TestRecordList::ModelStaysConsistent()
{
    RecordListCtrl list;
    QAbstractItemModelTester tester(list.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.show();
    AddColumns(list);
    AddRows(list, 20);
    QCoreApplication::processEvents();
    list.InsertItem(3, QStringLiteral("middle"));
    list.SetItemText(3, 6, QStringLiteral("note"));
    list.DeleteColumn(2);
    QCoreApplication::processEvents();
    list.DeleteAllItems();
    QCoreApplication::processEvents();
    AddRows(list, 3);
    list.Model()->AppendRows(QVector<MeasurementRecord>(4));
    QCoreApplication::processEvents();
    QCOMPARE(list.GetItemCount(), 7);
}

void TestRecordList::ItemOperations_data()
{
    QTest::addColumn<int>("nInsertAt");
    QTest::addColumn<int>("nExpected");
    QTest::newRow("negative refused") << -1 << -1;
    QTest::newRow("front") << 0 << 0;
    QTest::newRow("middle") << 1 << 1;
    QTest::newRow("end") << 2 << 2;
    QTest::newRow("past the end appends") << 50 << 2;
}

void TestRecordList::ItemOperations()
{
    QFETCH(int, nInsertAt);
    QFETCH(int, nExpected);
    RecordListCtrl list;
    AddColumns(list);
    AddRows(list, 2);
    QCOMPARE(list.InsertItem(nInsertAt, QStringLiteral("new")), nExpected);
    QCOMPARE(list.GetItemCount(), nExpected < 0 ? 2 : 3);
    if (nExpected >= 0)
    {
        QCOMPARE(list.GetItemText(nExpected, 0), QStringLiteral("new"));
        QCOMPARE(list.GetItemText(nExpected, 3), QString()); // other texts start empty
    }
    // Out of range: refused, nothing changes, nothing crashes.
    QVERIFY(!list.SetItemText(list.GetItemCount(), 0, QStringLiteral("x")));
    QVERIFY(!list.SetItemText(0, RECORD_COLUMNS, QStringLiteral("x")));
    QVERIFY(!list.SetItemText(-1, 0, QStringLiteral("x")));
    QCOMPARE(list.GetItemText(-1, 0), QString());
    QCOMPARE(list.GetItemText(0, 7), QString());
}

void TestRecordList::ColumnsShowTheirSubItem()
{
    // Columns inserted in another order still show the text of their sub-item.
    RecordListCtrl list;
    list.InsertColumn(0, QStringLiteral("Value"), LVCFMT_LEFT, 60, 3);
    list.InsertColumn(0, QStringLiteral("No."), LVCFMT_LEFT, 60, 0);
    AddRows(list, 2);
    const QAbstractItemModel* pModel = list.model();
    QCOMPARE(pModel->columnCount(), 2);
    QCOMPARE(pModel->headerData(0, Qt::Horizontal).toString(), QStringLiteral("No."));
    QCOMPARE(pModel->index(1, 0).data().toString(), QStringLiteral("2"));
    QCOMPARE(pModel->index(1, 1).data().toString(), QStringLiteral("1/3"));
}

void TestRecordList::HitTestAndRect()
{
    RecordListCtrl list;
    list.InsertColumn(0, QStringLiteral("No."), LVCFMT_LEFT, 60, 0);
    list.InsertColumn(1, QStringLiteral("Notes"), LVCFMT_LEFT, 60, 6);
    AddRows(list, 3);
    list.resize(300, 200);
    list.show();
    QRect rect;
    QVERIFY(list.GetSubItemRect(2, 6, LVIR_LABEL, rect));
    QCOMPARE(rect, list.visualRect(list.model()->index(2, 1)));
    QVERIFY(!list.GetSubItemRect(3, 6, LVIR_LABEL, rect));
    QVERIFY(!list.GetSubItemRect(0, 4, LVIR_LABEL, rect)); // no column shows it
    int nItem = 0;
    int nSubItem = 0;
    QCOMPARE(list.SubItemHitTest(list.visualRect(list.model()->index(2, 1)).center(), nItem, nSubItem),
             LVHT_ONITEMLABEL);
    QCOMPARE(nItem, 2);
    QCOMPARE(nSubItem, 6);
    QCOMPARE(list.SubItemHitTest(QPoint(250, 5), nItem, nSubItem), LVHT_NOWHERE);
    QCOMPARE(list.SubItemHitTest(QPoint(10, 190), nItem, nSubItem), LVHT_NOWHERE);
}

void TestRecordList::ChangesAnnouncedOncePerTurn()
{
    RecordListCtrl list;
    AddColumns(list);
    AddRows(list, 10);
    QCoreApplication::processEvents();
    QSignalSpy spy(list.Model(), &QAbstractItemModel::dataChanged);
    list.SetItemText(5, 1, QStringLiteral("a"));
    list.SetItemText(7, 2, QStringLiteral("b"));
    list.SetItemText(6, 6, QStringLiteral("c"));
    QCOMPARE(list.model()->index(7, 2).data().toString(), QStringLiteral("b")); // visible at once
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 1);
    const auto topLeft = spy.at(0).at(0).value<QModelIndex>();
    const auto bottomRight = spy.at(0).at(1).value<QModelIndex>();
    QCOMPARE(topLeft.row(), 5);
    QCOMPARE(bottomRight.row(), 7);
    QCOMPARE(topLeft.column(), 0);
    QCOMPARE(bottomRight.column(), RECORD_COLUMNS - 1);
}

void TestRecordList::PendingChangeFollowsItsRow()
{
    RecordListCtrl list;
    AddColumns(list);
    AddRows(list, 10);
    QCoreApplication::processEvents();
    QSignalSpy spy(list.Model(), &QAbstractItemModel::dataChanged);
    list.SetItemText(4, 3, QStringLiteral("moved"));
    list.InsertItem(0, QString()); // the changed row is row 5 now
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<QModelIndex>().row(), 5);
    QCOMPARE(list.GetItemText(5, 3), QStringLiteral("moved"));
}

void TestRecordList::PendingChangeAfterDeleteAll()
{
    RecordListCtrl list;
    QAbstractItemModelTester tester(list.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    AddColumns(list);
    AddRows(list, 10);
    QSignalSpy spy(list.Model(), &QAbstractItemModel::dataChanged);
    list.DeleteAllItems(); // the change noted for rows 0..9 has no row left
    AddRows(list, 2);
    QCoreApplication::processEvents();
    for (const QList<QVariant>& args : spy)
        QVERIFY(args.at(1).value<QModelIndex>().row() < 2);
}

QTEST_MAIN(TestRecordList)
#include "tst_recordlist.moc"
