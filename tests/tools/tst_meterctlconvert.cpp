// meterctl convert and the report files of show: CSV and report into one
// another through the built program, CSVs refused with their line number, a
// full disk (a real 64 KB tmpfs in a mount namespace of its own) that keeps
// the old file and says so in plain words, files that are not reports, and a
// damaged report shown with a warning.
#include "../report/BiffTestStreams.h"
#include "../report/LayoutCheck.h"
#include "CtlTestRun.h"

#include "tools/meterctl/CsvReport.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// A text as show prints it, worked out apart from the program: C0, DEL
// and C1 controls as spaces, a surrogate without its partner as U+FFFD.
QByteArray Printable(const QString& str)
{
    QString out;
    for (qsizetype i = 0; i < str.size(); ++i)
    {
        const QChar c = str[i];
        if (c.isHighSurrogate() && i + 1 < str.size() && str[i + 1].isLowSurrogate())
            out += c, out += str[++i];
        else if (c.isSurrogate())
            out += QChar(QChar::ReplacementCharacter);
        else if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            out += QLatin1Char(' ');
        else
            out += c;
    }
    return out.toUtf8();
}

QByteArray RecordsCsv(int nRows)
{
    QByteArray csv = "\xEF\xBB\xBFNumber,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes\r\n";
    for (int i = 1; i <= nRows; ++i)
        csv += QStringLiteral("%1,1550nm,%2,-12.%3dBm,-3.00dBm,2012-5-3  9:%4:7,%5\r\n")
                   .arg(i)
                   .arg(i % 2 ? QStringLiteral("OPM") : QStringLiteral("RL"))
                   .arg(i % 100, 2, 10, QLatin1Char('0'))
                   .arg(i % 60)
                   .arg(i == 2 ? QStringLiteral("\"x, \"\"y\"\"\"") : QString())
                   .toUtf8();
    return csv;
}

} // namespace

class TestMeterCtlConvert : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString Path(const char* pszName) const { return m_dir.filePath(QString::fromLatin1(pszName)); }

private slots:
    // CSV -> report -> CSV gives the same bytes back; the report is laid out
    // as the description says (xlrd).
    void RoundTrip()
    {
        QVERIFY(WriteFile(Path("in.csv"), RecordsCsv(30)));
        CtlResult r = RunCtlProcess(
            Args(QStringLiteral("convert %1 %2 --lang zh --company 光纤").arg(Path("in.csv"), Path("out.xls"))));
        QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
        QCOMPARE(r.strOut, QStringLiteral("Wrote 30 records to %1\n").arg(Path("out.xls")));
        r = RunCtlProcess(Args(QStringLiteral("convert %1 %2 --lang en").arg(Path("out.xls"), Path("back.csv"))));
        QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
        QCOMPARE(FileBytes(Path("back.csv")), RecordsCsv(30));
        if (!LayoutCheck::HaveXlrd())
            QSKIP("python3-xlrd is not installed: the layout is not checked");
        QVector<MeasurementRecord> rows;
        QString strError;
        QVERIFY(ParseRecordsCsv(RecordsCsv(30), rows, &strError));
        ReportUserInfo info;
        info.strCompany = QStringLiteral("光纤");
        const QString strDiff = LayoutCheck::Compare(Path("out.xls"), LANGUAGE_CHINESE, info, rows);
        QVERIFY2(strDiff.isEmpty(), qPrintable(strDiff));
    }

    // The CSV as spreadsheet programs and editors write it: quotes with
    // commas, doubled quotes and line breaks inside, text after a closing
    // quote, CR LF, LF or a lone CR, a blank line, no BOM, Chinese and
    // a character beyond the BMP; bytes that are not UTF-8 are refused unless
    // the file itself holds U+FFFD (then they read as U+FFFD, as Qt decodes).
    void ParseCsv_data()
    {
        QTest::addColumn<QByteArray>("body");      // after the English header row
        QTest::addColumn<QStringList>("expected"); // the fields of all rows, seven a row
        QTest::addColumn<QString>("strError");
        const QStringList ones{"1", "2", "3", "4", "5", "6", "7"};
        QTest::newRow("quoted") << QByteArray("\"a,b\",\"say \"\"hi\"\"\",\"x\ny\",\"\",\"q\"rest, ,\" 7 \"\r\n")
                                << QStringList{"a,b", "say \"hi\"", "x\ny", "", "qrest", " ", " 7 "} << QString();
        QTest::newRow("LF, lone CR, blank line, no end")
            << QByteArray("1,2,3,4,5,6,7\n\n1,2,3,4,5,6,7\r1,2,3,4,5,6,7") << ones + ones + ones << QString();
        // Qt's decoder gives the fields expected.
        const QByteArray chinese = "光纤,1550nm,OPM,-3dBm,,2012-5-3  9:0:1,\xF0\x9F\x98\x80";
        QTest::newRow("Chinese, beyond the BMP") << chinese + "\r\n"
                                                 << QString::fromUtf8(chinese).split(QLatin1Char(',')) << QString();
        QTest::newRow("not UTF-8") << QByteArray("1,2,3,\xC3(,5,6,7\r\n") << QStringList() << "it is not UTF-8 text";
        QTest::newRow("overlong") << QByteArray("1,2,3,\xC0\xAF,5,6,7\r\n") << QStringList() << "it is not UTF-8 text";
        QTest::newRow("bad bytes beside U+FFFD")
            << QByteArray("1,2,3,\xEF\xBF\xBD\xFF,5,6,7\r\n")
            << QStringList{"1", "2", "3", QString(2, QChar::ReplacementCharacter), "5", "6", "7"} << QString();
        QTest::newRow("eight fields") << QByteArray("1,2,3,4,5,6,7,8\r\n") << QStringList()
                                      << "line 2: 8 fields, a record has 7";
    }
    void ParseCsv()
    {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, expected);
        QFETCH(QString, strError);
        for (const bool bBom : {true, false})
        {
            QByteArray csv = QByteArray(bBom ? "\xEF\xBB\xBF" : "") +
                             "Number,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes\r\n" + body;
            QVector<MeasurementRecord> rows;
            QString strGot;
            const bool bOk = ParseRecordsCsv(csv, rows, &strGot);
            QCOMPARE(strGot, strError);
            QCOMPARE(bOk, strError.isEmpty());
            QStringList fields;
            for (const MeasurementRecord& row : std::as_const(rows))
                fields += QStringList(row.texts.begin(), row.texts.end());
            QCOMPARE(fields, expected);
        }
    }

    // The bytes the built meterctl show prints, against an expectation
    // worked out here: control characters (escape sequences, DEL, C1, a tab)
    // as spaces, Chinese, a pair beyond the BMP, a lone surrogate as U+FFFD,
    // in both languages.
    void ShowTextAsPrinted_data()
    {
        QTest::addColumn<int>("nLanguage");
        QTest::newRow("English") << int(LANGUAGE_ENGLISH);
        QTest::newRow("Chinese") << int(LANGUAGE_CHINESE);
    }
    void ShowTextAsPrinted()
    {
        QFETCH(int, nLanguage);
        QVector<MeasurementRecord> rows(4);
        rows[0].texts = {
            "1", "1550nm", "OPM", "-3.00dBm", "", "2012-5-3  9:0:1", QString::fromUtf8("光纤 \xF0\x9F\x98\x80")};
        rows[1].texts = {"2", "\x1b[31mred", QString(QChar(0x85)) + "next", "a\tb", "abcd\x7f~xyz \x1f~ ", "\r\n", "é"};
        rows[2].texts = {"3", QString(QChar(0xD800)), "x", "", "", "", QString(QChar(0xDC00)) + "y"};
        // Eight units and more, a control at the start, in the middle and
        // at the very end.
        rows[3].texts = {"abcdefgh",
                         "abcdefghi\x7f",
                         "0123456789abc",
                         "2012-12-31  23:59:59",
                         "abcdefghijklmnop\x1f",
                         QString(7, '~') + QChar(0x80),
                         "\x01"
                         "klmnopqrstuvw"};
        const ReportUserInfo info{QStringLiteral("公司\x1b"), "OPM-35", "", "op", QString(300, QLatin1Char('n'))};
        ReportHooks hooks;
        hooks.fetchUserInfo = [&info] { return info; };
        QVERIFY(WriteReportJob(Path("show.xls"), rows, LANGUAGE_ENGLISH, hooks));
        QProcess process;
        process.start(QStringLiteral(METERCTL_PATH),
                      {"show", Path("show.xls"), "--lang", nLanguage == LANGUAGE_ENGLISH ? "en" : "zh"});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), int(EXIT_OK));
        const bool bEnglish = nLanguage == LANGUAGE_ENGLISH;
        const QStringList labels =
            bEnglish ? QStringList{"Company：", "Meter Type：", "Instrument Serial：", "Test Operator：", "Notes："}
                     : QString::fromUtf8("公司 名称：,仪表 类型：,仪表序列号：,测试操作人：,备注：").split(',');
        const QStringList values{info.strCompany, info.strMeterType, info.strSerial, info.strOperator, info.strNotes};
        QByteArray got;
        for (int i = 0; i < 5; ++i)
            got += Printable(labels[i] + values[i]) + '\n';
        got += bEnglish ? "\nNumber\tWave\tMode\tRL|OPM|IL\tREF|PowerMeter\tDate-Time\tNotes\n"
                        : QByteArray("\n") + "序号\t波长\t模式\tRL|OPM|IL\tREF|功率值\t日期/时间\t备注\n";
        for (const MeasurementRecord& row : rows)
        {
            QByteArrayList fields;
            for (const QString& strText : row.texts)
                fields << Printable(strText);
            got += fields.join('\t') + '\n';
        }
        const QByteArray printed = process.readAllStandardOutput();
        qsizetype i = 0; // where they part, with a little of what follows
        while (i < got.size() && i < printed.size() && got[i] == printed[i])
            ++i;
        QCOMPARE(got.mid(i, 24).toHex(' '), printed.mid(i, 24).toHex(' '));
        QCOMPARE(got.size(), printed.size());
    }

    void Refusals_data()
    {
        QTest::addColumn<QByteArray>("input"); // written to in.csv
        QTest::addColumn<QString>("strArgs");
        QTest::addColumn<int>("nExit");
        QTest::addColumn<QString>("strError");
        const QByteArray head = RecordsCsv(0);
        const QString convert = QStringLiteral("convert %1/in.csv %1/o.xls");
        QTest::newRow("six fields") << head + "1,2,3,4,5,6\r\n"
                                    << convert << int(EXIT_FILE)
                                    << "in.csv is not a record CSV: line 2: 6 fields, a record has 7.";
        QTest::newRow("quote never closed, line counted across a break")
            << head + "1,a,b,c,d,\"e\nf\",g\r\n2,\"x" << convert << int(EXIT_FILE)
            << "line 4: a quoted field is not closed.";
        QTest::newRow("no header") << QByteArray("1,2,3,4,5,6,7\r\n") << convert << int(EXIT_FILE)
                                   << "line 1: not the header row";
        QTest::newRow("65531 records") << RecordsCsv(65531) << convert << int(EXIT_TOO_MANY_ROWS)
                                       << "65531 records do not fit one .xls sheet";
        // A FIFO stands for every file that is not a regular one; tst_safefile
        // reads a device as well.
        QTest::newRow("show a FIFO") << QByteArray() << "show %1/fifo.xls" << int(EXIT_FILE)
                                     << "fifo.xls: it is not a regular file.";
        QTest::newRow("show a CSV") << head << "show %1/in.csv" << int(EXIT_FILE)
                                    << "in.csv is not a report that can be opened: it is not a report";
    }
    void Refusals()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, strArgs);
        QFETCH(int, nExit);
        QFETCH(QString, strError);
        QVERIFY(WriteFile(Path("in.csv"), input));
        QFile::remove(Path("o.xls"));
        if (!QFile::exists(Path("fifo.xls")))
            QVERIFY(::mkfifo(QFile::encodeName(Path("fifo.xls")).constData(), 0600) == 0);
        const CtlResult r = RunCtl(Args(strArgs.replace(QStringLiteral("%1"), m_dir.path())));
        QCOMPARE(r.nExit, nExit);
        QVERIFY2(r.strErr.contains(strError), qPrintable(r.strErr));
        QCOMPARE(r.strOut, QString()); // not a line of a report that cannot be read
        QVERIFY2(!r.strErr.contains(QStringLiteral("SCODE")) && !r.strErr.contains(QStringLiteral("..")),
                 qPrintable(r.strErr));
        QVERIFY(!QFile::exists(Path("o.xls")));
    }

    // An unreadable report is "permission denied", not "no such file".
    void ShowUnreadable()
    {
        QVERIFY(WriteFile(Path("secret.xls"), RecordsCsv(1)));
        QVERIFY(QFile::setPermissions(Path("secret.xls"), QFile::WriteOwner));
        QStringList prefix;
        if (::geteuid() == 0)
        {
            prefix =
                QStringList{QStandardPaths::findExecutable(QStringLiteral("setpriv")), QStringLiteral("--reuid=65534"),
                            QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")};
            if (prefix.first().isEmpty())
                QSKIP("running as root without setpriv (util-linux)");
            QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755) == 0);
        }
        const CtlResult r = RunCtlProcess(Args(QStringLiteral("show ") + Path("secret.xls")), prefix);
        QCOMPARE(r.nExit, int(EXIT_FILE));
        QCOMPARE(r.strErr, QStringLiteral("meterctl: cannot read %1: permission denied.\n").arg(Path("secret.xls")));
    }

    // The disk fills up while the new file is written: the old one stays,
    // the user reads "the disk is full", the exit code is 4.
    void FullDisk_data()
    {
        QTest::addColumn<QString>("strOut"); // a report made from big.csv, a CSV from big.xls
        QTest::addColumn<QString>("strMessage");
        QTest::newRow("report") << QStringLiteral("r.xls") << "meterctl: cannot write the report %1: the disk is full.";
        QTest::newRow("CSV") << QStringLiteral("r.csv") << "meterctl: cannot write %1: the disk is full.";
    }
    void FullDisk()
    {
        QFETCH(QString, strOut);
        QFETCH(QString, strMessage);
        const char* const pszIn = strOut.endsWith(QLatin1String(".xls")) ? "big.csv" : "big.xls";
        const QString strUnshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (strUnshare.isEmpty())
            QSKIP("unshare (util-linux) is not installed");
        QVERIFY(WriteFile(Path("big.csv"), RecordsCsv(3000)));
        if (!QFile::exists(Path("big.xls")))
            QCOMPARE(RunCtl(Args(QStringLiteral("convert %1 %2").arg(Path("big.csv"), Path("big.xls")))).nExit,
                     int(EXIT_OK));
        QVERIFY(WriteFile(Path("old"), "the previous file"));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("small")));
        const QString strSmall = Path("small"), strTarget = strSmall + QLatin1Char('/') + strOut;
        const QString strScript =
            QStringLiteral("mount -t tmpfs -o size=64k tmpfs %1 || exit 99; cp %2 %3; %4 convert %5 %3 2>%6; "
                           "echo $? > %7; cmp -s %2 %3 && echo kept >> %7; umount %1")
                .arg(strSmall, Path("old"), strTarget, QStringLiteral(METERCTL_PATH), Path(pszIn), Path("err"),
                     Path("result"));
        QProcess p;
        p.start(strUnshare,
                {QStringLiteral("-r"), QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"), strScript});
        QVERIFY(p.waitForFinished(120000));
        if (p.exitCode() == 99 || !QFile::exists(Path("result")))
            QSKIP("no mount namespace with a tmpfs here");
        QCOMPARE(QString::fromUtf8(FileBytes(Path("result"))), QStringLiteral("4\nkept\n"));
        QCOMPARE(QString::fromUtf8(FileBytes(Path("err"))), strMessage.arg(strTarget) + QLatin1Char('\n'));
        QFile::remove(Path("result"));
    }

    // Two records for one cell and a record far below the sheet's
    // DIMENSIONS: the report still opens, the stray row is not invented and
    // the warning says the file is damaged.
    void DamagedReportWarned()
    {
        QVERIFY(WriteFile(Path("damaged.xls"), BiffTestStreams::DamagedReportFile()));
        const CtlResult r = RunCtl(Args(QStringLiteral("show --csv ") + Path("damaged.xls")));
        QCOMPARE(r.nExit, int(EXIT_OK));
        QCOMPARE(r.strOut, QStringLiteral("Number,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes\r\n2,,,,,,\r\n"));
        QVERIFY2(r.strErr.contains(QStringLiteral("warning: ")) && r.strErr.contains(QStringLiteral("damaged")) &&
                     r.strErr.contains(QStringLiteral("1 cell(s) appear twice")) &&
                     r.strErr.contains(QStringLiteral("1 cell(s) lie outside")),
                 qPrintable(r.strErr));
    }
};

QTEST_GUILESS_MAIN(TestMeterCtlConvert)
#include "tst_meterctlconvert.moc"
