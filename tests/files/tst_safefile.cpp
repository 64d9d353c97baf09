// Files written completely or not at all, also on a full disk, and reads
// that refuse what is not a regular file instead of hanging on it.
#include "TestFiles.h"
#include "files/SafeFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

class TestSafeFile : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString Path(const char* pszName) const { return m_dir.filePath(QString::fromLatin1(pszName)); }
private slots:
    // A replaced file keeps its permissions; nothing is left beside it.
    void ReplacesWholly()
    {
        const QString strPath = Path("report.xls");
        QVERIFY(WriteFileSafely(strPath, "old"));
        QVERIFY(::chmod(QFile::encodeName(strPath).constData(), 0640) == 0);
        QVERIFY(WriteFileSafely(strPath, QByteArray(100000, 'n')));
        QCOMPARE(FileBytes(strPath), QByteArray(100000, 'n'));
        struct stat st = {};
        QVERIFY(::stat(QFile::encodeName(strPath).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("report.xls")});
    }

    // The file replaced is held across the rename and let go afterwards
    // (its blocks are freed then, without the writer waiting): no
    // descriptor of a replaced file stays open.
    void ReplacedFilesLetGo()
    {
        const QString strPath = Path("again.xls");
        for (int i = 0; i < 3; ++i)
            QVERIFY(WriteFileSafely(strPath, QByteArray(200000, char('a' + i))));
        QCOMPARE(FileBytes(strPath), QByteArray(200000, 'c'));
        const auto heldDeleted = [&]() {
            int nHeld = 0;
            for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System))
                nHeld += fd.symLinkTarget().startsWith(m_dir.path()) &&
                         fd.symLinkTarget().endsWith(QLatin1String("(deleted)"));
            return nHeld;
        };
        QTRY_COMPARE(heldDeleted(), 0);
    }

    // The disk fills up half-way (here: the file size limit, which fails
    // writes the same way): the old file stays and the reason is the full disk.
    void FullDiskKeepsOldFile()
    {
        const QString strPath = Path("full.xls");
        QVERIFY(WriteFileSafely(strPath, "the previous report"));
        struct rlimit old = {};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        FileFailure failure;
        const bool bWritten = WriteFileSafely(strPath, QByteArray(10000, 'x'), &failure);
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!bWritten);
        QCOMPARE(failure.error, FileError::DiskFull);
        QCOMPARE(failure.Text(), QStringLiteral("the disk is full"));
        QCOMPARE(failure.Text(LANGUAGE_CHINESE), QStringLiteral("磁盘已满"));
        QCOMPARE(FileBytes(strPath), QByteArray("the previous report"));
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("full*")}, QDir::Files).size(), 1);
    }

    void WriteRefusals_data()
    {
        QTest::addColumn<QString>("strPath");
        QTest::addColumn<int>("nError");
        QTest::newRow("folder") << m_dir.path() << int(FileError::IsFolder);
        QTest::newRow("no such folder") << Path("none/x.xls") << int(FileError::NotFound);
        QTest::newRow("device") << QStringLiteral("/dev/null") << int(FileError::NotRegularFile);
    }
    void WriteRefusals()
    {
        QFETCH(QString, strPath);
        QFETCH(int, nError);
        FileFailure failure;
        QVERIFY(!WriteFileSafely(strPath, "x", &failure));
        QCOMPARE(int(failure.error), nError);
    }

    // Only regular files are read, and only up to the bound; a FIFO with no
    // writer and an endless device are refused at once.
    void Reads_data()
    {
        QTest::addColumn<QString>("strPath");
        QTest::addColumn<qint64>("nMax");
        QTest::addColumn<int>("nError");
        QTest::newRow("file") << Path("data") << qint64(5) << int(FileError::None);
        QTest::newRow("one byte over") << Path("data") << qint64(4) << int(FileError::TooLarge);
        QTest::newRow("fifo") << Path("fifo") << qint64(100) << int(FileError::NotRegularFile);
        QTest::newRow("endless device") << QStringLiteral("/dev/zero") << qint64(100) << int(FileError::NotRegularFile);
        QTest::newRow("folder") << m_dir.path() << qint64(100) << int(FileError::IsFolder);
        QTest::newRow("missing") << Path("missing") << qint64(100) << int(FileError::NotFound);
    }
    void Reads()
    {
        QFETCH(QString, strPath);
        QFETCH(qint64, nMax);
        QFETCH(int, nError);
        if (!QFile::exists(Path("data")))
            QVERIFY(WriteFileSafely(Path("data"), "12345"));
        if (!QFile::exists(Path("fifo")))
            QVERIFY(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600) == 0);
        QByteArray data;
        FileFailure failure;
        QCOMPARE(ReadRegularFile(strPath, nMax, &data, &failure), nError == int(FileError::None));
        QCOMPARE(int(failure.error), nError);
        if (nError == int(FileError::None))
            QCOMPARE(data, QByteArray("12345"));
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
