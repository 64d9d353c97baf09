// Record list model: consistency under the list operations, and cell
// changes announced once per event-loop turn.
#include "records/RecordListCtrl.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

class TestRecordList : public QObject
{
    Q_OBJECT
private slots:
    void ModelStaysConsistent();
    void ChangesAnnouncedOncePerTurn();
};

namespace {

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
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        list.InsertColumn(nCol, QStringLiteral("C%1").arg(nCol), LVCFMT_LEFT, 50, nCol);
    AddRows(list, 20);
    QCoreApplication::processEvents();
    QCOMPARE(list.InsertItem(-1, QString()), -1);
    QCOMPARE(list.InsertItem(500, QString()), 20); // past the end appends
    QVERIFY(!list.SetItemText(21, 0, QStringLiteral("x")));
    list.SetItemText(list.InsertItem(3, QString()), 6, QStringLiteral("note"));
    list.DeleteColumn(2);
    list.DeleteAllItems(); // changes still pending for rows that are gone
    AddRows(list, 3);
    QCoreApplication::processEvents();
    list.Model()->AppendRows(QVector<MeasurementRecord>(4));
    QCOMPARE(list.GetItemCount(), 7);
    QCOMPARE(list.GetItemText(2, 6), QStringLiteral("2/6"));
}

void TestRecordList::ChangesAnnouncedOncePerTurn()
{
    RecordListCtrl list;
    for (int nCol = 0; nCol < RECORD_COLUMNS; ++nCol)
        list.InsertColumn(nCol, QString(), LVCFMT_LEFT, 50, nCol);
    AddRows(list, 10);
    QCoreApplication::processEvents();
    QSignalSpy spy(list.Model(), &QAbstractItemModel::dataChanged);
    list.SetItemText(5, 1, QStringLiteral("a"));
    list.SetItemText(3, 2, QStringLiteral("b"));
    QCOMPARE(list.model()->index(3, 2).data().toString(), QStringLiteral("b")); // readable at once
    list.InsertItem(0, QString()); // the changed rows move down with the insert
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy[0][0].value<QModelIndex>(), list.model()->index(4, 0));
    QCOMPARE(spy[0][1].value<QModelIndex>(), list.model()->index(6, RECORD_COLUMNS - 1));
}

QTEST_MAIN(TestRecordList)
#include "tst_recordlist.moc"
