// Record list model: consistency under the list operations, and cell
// changes announced once per event-loop turn.
#include "records/list/RecordListCtrl.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

class TestRecordList : public QObject
{
    Q_OBJECT
private slots:
    void ListOperations();
};

namespace {

// Appends nRows rows "row/col" (on a new list, the columns first), then lets
// the pending changes go out.
void AddRows(RecordListCtrl& list, int nRows)
{
    if (list.GetColumnCount() == 0)
        for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
            list.InsertColumn(nCol, QString(), LVCFMT_LEFT, 50, nCol);
    for (int nRow = 0; nRow < nRows; ++nRow)
    {
        const int nItem = list.InsertItem(list.GetItemCount(), QString::number(nRow + 1));
        for (int nCol = 1; nCol < RECORD_COLUMNS; ++nCol)
            list.SetItemText(nItem, nCol, QStringLiteral("%1/%2").arg(nRow).arg(nCol));
    }
    QTRY_COMPARE(list.model()->rowCount(), list.GetItemCount());
}

} // namespace

void TestRecordList::ListOperations()
{
    RecordListCtrl list;
    QAbstractItemModelTester tester(list.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.show();
    AddRows(list, 20);
    // Cell changes are readable at once and go out as one range per turn,
    // or before an insert that would move their rows.
    QSignalSpy spy(list.Model(), &QAbstractItemModel::dataChanged);
    list.SetItemText(5, 1, QStringLiteral("a"));
    list.SetItemText(3, 2, QStringLiteral("b"));
    QCOMPARE(list.model()->index(3, 2).data().toString(), QStringLiteral("b"));
    list.InsertItem(0, QString());
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].value<QModelIndex>(), list.model()->index(3, 0));
    QCOMPARE(spy[0][1].value<QModelIndex>(), list.model()->index(5, RECORD_COLUMNS - 1));
    QCOMPARE(list.GetItemText(4, 2), QStringLiteral("b"));
    // Rows added at the end, as a download adds them, reach the view together
    // a moment later; the list's own operations see them at once.
    QSignalSpy inserted(list.Model(), &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 50; ++i)
        list.SetItemText(list.InsertItem(list.GetItemCount(), QString::number(i)), 1, QStringLiteral("x"));
    QCOMPARE(list.GetItemCount(), 71);
    QCOMPARE(list.GetItemText(70, 1), QStringLiteral("x"));
    QCOMPARE(inserted.count(), 0);
    QTRY_COMPARE(inserted.count(), 1);
    QCOMPARE(list.model()->rowCount(), 71);
    list.DeleteAllItems();
    AddRows(list, 21);
    // Bounds; changes still pending for rows that are gone.
    QCOMPARE(list.InsertItem(-1, QString()), -1);
    QCOMPARE(list.InsertItem(500, QString()), 21); // past the end appends
    QVERIFY(!list.SetItemText(22, 0, QStringLiteral("x")));
    list.SetItemText(list.InsertItem(3, QString()), 6, QStringLiteral("note"));
    list.DeleteColumn(2);
    list.DeleteAllItems();
    AddRows(list, 3);
    list.Model()->AppendRows(QVector<MeasurementRecord>(4));
    QCOMPARE(list.GetItemCount(), 7);
    QCOMPARE(list.GetItemText(2, 6), QStringLiteral("2/6"));
}

QTEST_MAIN(TestRecordList)
#include "tst_recordlist.moc"
