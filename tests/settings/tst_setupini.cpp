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
    void ReadCopiesAtMost254Bytes();
    void WriteFailures_data();
    void WriteFailures();
    void PathFollowsTheCurrentDirectory();
    void LongCurrentDirectoryStillWorks();
};

void TestSetupIni::ReadsFilesMadeByHand_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray head = "[" + SECTION_GBK + "]\r\n";
    QTest::newRow("english") << head + "LanguageID=1\r\n" << QByteArray("1");
    QTest::newRow("12") << head + "LanguageID=12\r\n" << QByteArray("12");
    QTest::newRow("1x") << head + "LanguageID=1x\r\n" << QByteArray("1x");
    QTest::newRow("chinese") << head + "LanguageID=2\r\n" << QByteArray("2");
    QTest::newRow("empty value") << head + "LanguageID=\r\n" << QByteArray();
    QTest::newRow("blanks and LF only") << "  [ " + SECTION_GBK + " ]\n  LanguageID = 1 \n" << QByteArray("1");
    QTest::newRow("quoted") << head + "LanguageID=\"1\"\r\n" << QByteArray("1");
    QTest::newRow("key case") << head + "languageid=1\r\n" << QByteArray("1");
    QTest::newRow("first key wins") << head + "LanguageID=2\r\nLanguageID=1\r\n" << QByteArray("2");
    QTest::newRow("key in other section") << "[Other]\r\nLanguageID=1\r\n" + head << QByteArray();
    QTest::newRow("section in UTF-8") << QByteArray("[配置信息]\r\nLanguageID=1\r\n") << QByteArray();
    QTest::newRow("no line end") << head + "LanguageID=1" << QByteArray("1");
}

void TestSetupIni::ReadsFilesMadeByHand()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, expected);
    ScopedCurrentDir dir;
    QVERIFY(WriteFile(dir.Path() + "/SETUP.ini", file));
    QCOMPARE(ReadLanguage(), expected);
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

void TestSetupIni::ReadCopiesAtMost254Bytes()
{
    ScopedCurrentDir dir;
    WriteFile(dir.Path() + "/SETUP.ini", "[" + SECTION_GBK + "]\r\nLanguageID=" + QByteArray(400, '7') + "\r\n");
    char szBuffer[SETUP_BUFFER_SIZE];
    std::memset(szBuffer, 'x', sizeof szBuffer);
    QCOMPARE(ReadSetupString(SECTION, KEY, szBuffer), 254);
    QCOMPARE(QByteArray(szBuffer), QByteArray(254, '7'));
    QCOMPARE(szBuffer[255], 'x'); // nothing written past the terminator
}

// What cannot be written is refused with its reason and leaves what is
// there untouched; what is not a file is read as no file, at once.
void TestSetupIni::WriteFailures_data()
{
    QTest::addColumn<QString>("strKind");
    QTest::addColumn<int>("nError");
    QTest::newRow("read-only folder") << "proc" << int(FileError::Other);
    QTest::newRow("a folder named SETUP.ini") << "folder" << int(FileError::IsFolder);
    QTest::newRow("a FIFO named SETUP.ini") << "fifo" << int(FileError::NotRegularFile);
}

void TestSetupIni::WriteFailures()
{
    QFETCH(QString, strKind);
    QFETCH(int, nError);
    // /proc refuses new files even to root.
    std::unique_ptr<ScopedCurrentDir> pDir = strKind == QLatin1String("proc")
                                                 ? std::make_unique<ScopedCurrentDir>(QStringLiteral("/proc"))
                                                 : std::make_unique<ScopedCurrentDir>();
    const ScopedCurrentDir& dir = *pDir;
    if (strKind == QLatin1String("folder"))
        QVERIFY(QDir(dir.Path()).mkdir(QStringLiteral("SETUP.ini")));
    else if (strKind == QLatin1String("fifo"))
        QVERIFY(::mkfifo(QFile::encodeName(dir.Path() + QStringLiteral("/SETUP.ini")).constData(), 0600) == 0);
    FileFailure failure;
    QCOMPARE(WriteSetupString(SECTION, KEY, "1", &failure), 0);
    QVERIFY2(int(failure.error) == nError || (nError == int(FileError::Other) && failure.IsFailure()),
             qPrintable(failure.Text()));
    QCOMPARE(ReadLanguage(), QByteArray());
    if (strKind != QLatin1String("proc"))
        QVERIFY(!QFileInfo(dir.Path() + QStringLiteral("/SETUP.ini")).isFile());
}

void TestSetupIni::PathFollowsTheCurrentDirectory()
{
    QTemporaryDir first;
    QTemporaryDir second;
    {
        ScopedCurrentDir inFirst(first.path());
        QVERIFY(WriteSetupString(SECTION, KEY, "1") != 0);
        QDir::setCurrent(second.path()); // as a file dialog might do
        QVERIFY(WriteSetupString(SECTION, KEY, "2") != 0);
    }
    QCOMPARE(FileBytes(first.path() + "/SETUP.ini"), "[" + SECTION_GBK + "]\r\nLanguageID=1\r\n");
    QCOMPARE(FileBytes(second.path() + "/SETUP.ini"), "[" + SECTION_GBK + "]\r\nLanguageID=2\r\n");
}

void TestSetupIni::LongCurrentDirectoryStillWorks()
{
    QTemporaryDir root;
    QString strDeep = root.path();
    while (strDeep.size() < 400)
        strDeep += QStringLiteral("/a-rather-long-folder-name");
    QVERIFY(QDir().mkpath(strDeep));
    ScopedCurrentDir dir(strDeep);
    QVERIFY(WriteSetupString(SECTION, KEY, "1") != 0);
    QVERIFY(QFile::exists(strDeep + "/SETUP.ini"));
    QCOMPARE(ReadLanguage(), QByteArray("1"));
}

QTEST_GUILESS_MAIN(TestSetupIni)
#include "tst_setupini.moc"
