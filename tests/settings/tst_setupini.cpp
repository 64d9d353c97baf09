// SETUP.ini reading and writing against files made byte by byte.
#include "settings/SetupIni.h"

#include "TestDirs.h"
#include "TestFiles.h"

#include <QFile>
#include <QtTest>
#include <sys/stat.h>

namespace {
const char* const SECTION = "配置信息";
const char* const KEY = "LanguageID";
const QByteArray SECTION_GBK = QByteArray::fromHex("C5E4D6C3D0C5CFA2");

QByteArray ReadLanguage()
{
    char szBuffer[SETUP_BUFFER_SIZE];
    std::memset(szBuffer, 'x', sizeof szBuffer);
    ReadSetupString(SECTION, KEY, szBuffer);
    return QByteArray(szBuffer);
}
} // namespace

class TestSetupIni : public QObject
{
    Q_OBJECT
private slots:
    void ReadsFilesMadeByHand_data();
    void ReadsFilesMadeByHand();
    void WriteKeepsOtherSectionsAndKeys_data();
    void WriteKeepsOtherSectionsAndKeys();
    void WriteFailures_data();
    void WriteFailures();
    void PathFollowsTheCurrentDirectory();
};

void TestSetupIni::ReadsFilesMadeByHand_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray head = "[" + SECTION_GBK + "]\r\n";
    QTest::newRow("whole value") << head + "LanguageID=1x\r\n" << QByteArray("1x");
    QTest::newRow("empty value") << head + "LanguageID=\r\n" << QByteArray();
    QTest::newRow("blanks and LF only") << "  [ " + SECTION_GBK + " ]\n  LanguageID = 1 \n" << QByteArray("1");
    QTest::newRow("quoted") << head + "LanguageID=\"1\"\r\n" << QByteArray("1");
    QTest::newRow("key case") << head + "languageid=1\r\n" << QByteArray("1");
    QTest::newRow("first key wins") << head + "LanguageID=2\r\nLanguageID=1\r\n" << QByteArray("2");
    QTest::newRow("key in other section") << "[Other]\r\nLanguageID=1\r\n" + head << QByteArray();
    QTest::newRow("section in UTF-8") << QByteArray("[配置信息]\r\nLanguageID=1\r\n") << QByteArray();
    QTest::newRow("no line end") << head + "LanguageID=1" << QByteArray("1");
    // The caller's buffer takes 254 bytes and the terminator.
    QTest::newRow("longer than the buffer") << head + "LanguageID=" + QByteArray(400, '7') + "\r\n"
                                            << QByteArray(254, '7');
}

void TestSetupIni::ReadsFilesMadeByHand()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, expected);
    ScopedCurrentDir dir;
    QVERIFY(WriteFile(dir.Path() + "/SETUP.ini", file));
    char szBuffer[SETUP_BUFFER_SIZE];
    std::memset(szBuffer, 'x', sizeof szBuffer);
    QCOMPARE(ReadSetupString(SECTION, KEY, szBuffer), int(expected.size()));
    QCOMPARE(QByteArray(szBuffer), expected);
    QCOMPARE(szBuffer[SETUP_BUFFER_SIZE - 1], 'x'); // nothing written past the terminator
}

void TestSetupIni::WriteKeepsOtherSectionsAndKeys_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray head = "[" + SECTION_GBK + "]\r\n";
    QTest::newRow("other section first") << QByteArray("[Other]\r\nA=5\r\n")
                                         << "[Other]\r\nA=5\r\n" + head + "LanguageID=1\r\n";
    QTest::newRow("no final line end") << QByteArray("[Other]\r\nA=5")
                                       << "[Other]\r\nA=5\r\n" + head + "LanguageID=1\r\n";
    QTest::newRow("replace in place") << head + "Before=x\r\nlanguageID=2\r\nAfter=y\r\n[Next]\r\nB=1\r\n"
                                      << head + "Before=x\r\nLanguageID=1\r\nAfter=y\r\n[Next]\r\nB=1\r\n";
    QTest::newRow("new key after the section's last entry")
        << head + "Other=3\r\n\r\n[Next]\r\nLanguageID=7\r\n"
        << head + "Other=3\r\nLanguageID=1\r\n\r\n[Next]\r\nLanguageID=7\r\n";
    // A bare CR ends a line as well: the key goes on a line of its own.
    QTest::newRow("section line ending in a bare CR") << "[" + SECTION_GBK + "]\r"
                                                      << "[" + SECTION_GBK + "]\rLanguageID=1\r\n";
    QTest::newRow("old Mac line ends") << "[Other]\rA=5\r" + head << "[Other]\rA=5\r" + head + "LanguageID=1\r\n";
}

void TestSetupIni::WriteKeepsOtherSectionsAndKeys()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    ScopedCurrentDir dir;
    WriteFile(dir.Path() + "/SETUP.ini", before);
    QVERIFY(WriteSetupString(SECTION, KEY, "1") != 0);
    QCOMPARE(FileBytes(dir.Path() + "/SETUP.ini"), after);
    QCOMPARE(ReadLanguage(), QByteArray("1"));
}

// What cannot be written is refused with its reason and leaves what is
// there untouched; a FIFO in its place is read as no file, at once. (A
// folder in its place: tst_maindialog, LanguageThatCannotBeKept.)
void TestSetupIni::WriteFailures_data()
{
    QTest::addColumn<bool>("bFifo");
    QTest::newRow("read-only folder") << false;
    QTest::newRow("a FIFO named SETUP.ini") << true;
}

void TestSetupIni::WriteFailures()
{
    QFETCH(bool, bFifo);
    // /proc refuses new files even to root.
    const auto pDir =
        bFifo ? std::make_unique<ScopedCurrentDir>() : std::make_unique<ScopedCurrentDir>(QStringLiteral("/proc"));
    const QString strSetup = pDir->Path() + QStringLiteral("/SETUP.ini");
    if (bFifo)
        QVERIFY(::mkfifo(QFile::encodeName(strSetup).constData(), 0600) == 0);
    FileFailure failure;
    QCOMPARE(WriteSetupString(SECTION, KEY, "1", &failure), 0);
    QVERIFY2(bFifo ? failure.error == FileError::NotRegularFile : failure.IsFailure(), qPrintable(failure.Text()));
    QCOMPARE(ReadLanguage(), QByteArray());
    QVERIFY(!QFileInfo(strSetup).isFile());
}

// The file is the one in the current directory of each call, however long
// its path.
void TestSetupIni::PathFollowsTheCurrentDirectory()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QString strDeep = second.path();
    while (strDeep.size() < 400)
        strDeep += QStringLiteral("/a-rather-long-folder-name");
    QVERIFY(QDir().mkpath(strDeep));
    {
        ScopedCurrentDir inFirst(first.path());
        QVERIFY(WriteSetupString(SECTION, KEY, "1") != 0);
        QDir::setCurrent(strDeep); // as a file dialog might do
        QVERIFY(WriteSetupString(SECTION, KEY, "2") != 0);
        QCOMPARE(ReadLanguage(), QByteArray("2"));
    }
    QCOMPARE(FileBytes(first.path() + "/SETUP.ini"), "[" + SECTION_GBK + "]\r\nLanguageID=1\r\n");
    QCOMPARE(FileBytes(strDeep + "/SETUP.ini"), "[" + SECTION_GBK + "]\r\nLanguageID=2\r\n");
}

QTEST_GUILESS_MAIN(TestSetupIni)
#include "tst_setupini.moc"
