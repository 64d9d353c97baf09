// meterctl's other commands and its refusals: calibration and clock against
// the simulated meter (info: Trace in tst_meterctldownload), probing the
// ports, usage errors, unknown and refused ports, unwritable outputs, and
// `show` on a report the program's Save job wrote.
#include "CtlTestRun.h"

#include "link/InstrumentFrame.h"
#include "report/ReportJob.h"
#include "sim/MeterSim.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include <grp.h>
#include <unistd.h>

class TestMeterCtlCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void MeterReceives_data();
    void MeterReceives();
    void Probe_data();
    void Probe();
    void Refusals_data();
    void Refusals();
    void PermissionDenied();
    void Show_data();
    void Show();

private:
    QString Path(const QString& strName) const { return m_pDir->filePath(strName); }
    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<MeterSim> m_pSim;
};

void TestMeterCtlCommands::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    m_pSim = std::make_unique<MeterSim>();
    m_pSim->Records().Generate(5);
    QVERIFY(m_pSim->Start());
    QVERIFY(QDir(m_pDir->path()).mkdir(QStringLiteral("folder.csv")));
    QVERIFY(WriteFile(Path(QStringLiteral("plain")), QByteArray()));
}

void TestMeterCtlCommands::MeterReceives_data()
{
    QTest::addColumn<QString>("strArgs");
    QTest::addColumn<quint8>("byCommand");
    QTest::addColumn<QByteArray>("valueBytes"); // empty: the clock now
    QTest::addColumn<QString>("strMessage");
    const auto row = [](const char* pszName, const char* pszArgs, quint8 byCommand, const char* pszHex,
                        const char* pszMessage) {
        QTest::newRow(pszName) << QString::fromUtf8(pszArgs) << byCommand << QByteArray::fromHex(pszHex)
                               << QString::fromUtf8(pszMessage);
    };
    // The float goes out least significant byte first: -3.5 is C0 60 00 00.
    row("return loss -3.5, English", "calibrate --rl -3.5 --lang en", CMD_CAL_RL, "000060C0",
        "Calibrate the return loss power successfully! (-3.5)\n");
    row("power meter 0, Chinese", "calibrate --opm 0 --lang zh", CMD_CAL_OPM, "00000000", "校准功率计功率成功! (0)\n");
    // Year since 2000, month, day, hour, minute, second.
    row("clock, date and time apart", "set-clock --lang en 2099-12-31 23:59:59", CMD_SET_CLOCK, "630C1F173B3B",
        "Set time successfully! (2099-12-31 23:59:59)\n");
    row("clock, ISO 8601", "set-clock --lang en 2000-01-02T03:04:05", CMD_SET_CLOCK, "000102030405",
        "Set time successfully! (2000-01-02 03:04:05)\n");
    row("clock, --now", "set-clock --now --lang zh", CMD_SET_CLOCK, "", "时间设置成功!");
}

void TestMeterCtlCommands::MeterReceives()
{
    QFETCH(QString, strArgs);
    QFETCH(quint8, byCommand);
    QFETCH(QByteArray, valueBytes);
    QFETCH(QString, strMessage);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const CtlResult r = RunCtl(Args(strArgs) << QStringLiteral("--port") << m_pSim->GetDevicePath());
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    // The meter's confirmation is a message: the output carries no data here.
    QVERIFY2(r.strErr.startsWith(strMessage) && r.strOut.isEmpty(), qPrintable(r.strErr));
    QCOMPARE(m_pSim->GetRequestCount(byCommand), 1);
    QCOMPARE(m_pSim->GetRequestCount(), 1);
    if (byCommand != CMD_SET_CLOCK)
        QCOMPARE(m_pSim->GetLastCalibrationBytes(), valueBytes);
    else if (!valueBytes.isEmpty())
        QCOMPARE(m_pSim->GetClockBytes(), valueBytes);
    else
    {
        const QByteArray b = m_pSim->GetClockBytes();
        QCOMPARE(b.size(), 6);
        const QDateTime sent(QDate(2000 + b[0], b[1], b[2]), QTime(b[3], b[4], b[5]));
        QVERIFY2(sent >= before && sent <= QDateTime::currentDateTime(), qPrintable(sent.toString()));
    }
}

void TestMeterCtlCommands::Probe_data()
{
    // The ports tried: the test's meter (which answers or not), a missing
    // device and a plain file.
    QTest::addColumn<bool>("bAnswers");
    QTest::addColumn<int>("nExpectedExit");
    QTest::newRow("the meter answers") << true << int(EXIT_OK);
    QTest::newRow("nothing answers") << false << int(EXIT_PORT);
}

void TestMeterCtlCommands::Probe()
{
    QFETCH(bool, bAnswers);
    QFETCH(int, nExpectedExit);
    m_pSim->SetAutoReply(bAnswers);
    const QStringList ports{QStringLiteral("/dev/pts/9999"), m_pSim->GetDevicePath(), Path(QStringLiteral("plain"))};
    const CtlResult r = RunCtl(Args(QStringLiteral("ports --probe --timeout 300")), ports);
    QCOMPARE(r.nExit, nExpectedExit);
    const int nWidth = int(qMax(ports[1].size(), ports[2].size())) + 2;
    QCOMPARE(r.strOut, ports[0].leftJustified(nWidth) + QStringLiteral("no such device\n") +
                           ports[1].leftJustified(nWidth) +
                           (bAnswers ? QStringLiteral("answers as a meter\n") : QStringLiteral("no answer\n")) +
                           ports[2].leftJustified(nWidth) + QStringLiteral("not a serial port\n"));
    QCOMPARE(r.strErr, QStringLiteral("Probing 3 ports (at most 300 ms each)\n"));
    // One connect request, not sent again; a meter that answers is sent the
    // disconnect request.
    QCOMPARE(m_pSim->GetRequestCount(CMD_CONNECT), 1);
    QCOMPARE(m_pSim->GetRequestCount(CMD_DISCONNECT), bAnswers ? 1 : 0);
}

void TestMeterCtlCommands::Refusals_data()
{
    // %1 is the simulated meter, %2 the test's folder. Help goes to the
    // output with exit code 0; every refusal to the error stream.
    QTest::addColumn<QString>("strArgs");
    QTest::addColumn<int>("nExpectedExit");
    QTest::addColumn<QString>("strText");
    const auto row = [](const char* pszName, const char* pszArgs, int nExit, const char* pszText) {
        QTest::newRow(pszName) << QString::fromUtf8(pszArgs) << nExit << QString::fromUtf8(pszText);
    };
    row("meterctl --help", "--help", EXIT_OK, "usage: meterctl COMMAND");
    for (const char* pszCommand : {"ports", "info", "download", "calibrate", "set-clock", "show"})
        QTest::addRow("%s --help", pszCommand) << QString::fromLatin1(pszCommand) + QStringLiteral(" --help")
                                               << int(EXIT_OK) << QStringLiteral("usage: meterctl ") + pszCommand;
    row("help show", "help show", EXIT_OK, "usage: meterctl show");

    row("no command", "", EXIT_USAGE, "");
    row("unknown command", "fetch", EXIT_USAGE, "unknown command");
    row("unknown option", "download --demo --colour", EXIT_USAGE, "Unknown option 'colour'");
    row("no meter", "download --csv=x.csv", EXIT_USAGE, "Give --port DEV");
    row("no value", "download --demo --csv", EXIT_USAGE, "Missing value after '--csv'.\n");
    row("JSON and CSV on the output", "download --port %1 --json --csv -", EXIT_USAGE, "give one");
    row("info, extra argument", "info --port %1 extra", EXIT_USAGE, "unexpected argument 'extra'");
    row("ports, --timeout without --probe", "ports --timeout 100", EXIT_USAGE, "go with --probe");
    row("show, --csv and --json", "show %2/plain --csv --json", EXIT_USAGE, "not both");
    row("show, two files", "show %2/plain %2/plain.xls --csv", EXIT_USAGE, "one report file");
    row("show, no file", "show", EXIT_USAGE, "one report file");
    row("port and demo", "download --demo --port %1", EXIT_USAGE, "not both");
    row("report not .xls", "download --port %1 --xls=r.xlsx", EXIT_USAGE, "must end in .xls");
    row("same file twice", "download --port %1 --xls=r.xls --csv=r.xls", EXIT_USAGE, "same file");
    row("bad language", "download --port %1 --lang=fr", EXIT_USAGE, "zh or en");
    row("bad time-out", "download --port %1 --timeout=0", EXIT_USAGE, "--timeout takes");
    row("calibrate both", "calibrate --port %1 --rl=1 --opm=1", EXIT_USAGE, "one of --rl");
    row("calibrate neither", "calibrate --port %1", EXIT_USAGE, "one of --rl");
    for (const char* pszValue : {"abc", "nan", "1e39"})
        QTest::addRow("calibrate %s", pszValue) << QStringLiteral("calibrate --port %1 --opm=") + pszValue
                                                << int(EXIT_USAGE) << QStringLiteral("not a calibration value");
    row("clock, no such month", "set-clock --port %1 2012-13-01 00:00:00", EXIT_USAGE, "not a time");
    row("clock, ISO without seconds", "set-clock --port %1 2012-12-01T00:00", EXIT_USAGE, "not a time");
    row("clock, year 1999", "set-clock --port %1 1999-12-31 23:59:59", EXIT_USAGE, "2000 to 2099");
    row("clock, year 2100", "set-clock --port %1 2100-01-01 00:00:00", EXIT_USAGE, "2000 to 2099");
    row("clock, --now and a time", "set-clock --port %1 --now 2012-01-01 00:00:00", EXIT_USAGE, "not both");
    row("ports, extra argument", "ports extra", EXIT_USAGE, "");

    // How a port name becomes a device is checked in tst_serialport.
    row("port missing", "info --port ttyNoSuchPort", EXIT_PORT,
        "No serial port /dev/ttyNoSuchPort. Is the cable plugged in? `meterctl ports` lists the ports found.\n");
    row("port is a plain file", "download --port %2/plain", EXIT_PORT, "is not a serial port.\n");
    row("device that is no terminal", "download --port /dev/null", EXIT_PORT, "/dev/null cannot be opened: ");

    // Outputs are checked before the download starts.
    row("report in a missing folder", "download --port %1 --xls %2/no/such/r.xls", EXIT_FILE, "does not exist");
    row("CSV is a folder", "download --port %1 --csv %2/folder.csv", EXIT_FILE, "it is a folder");
    // A file that is no report: "show a CSV" in tst_meterctlconvert.
    row("show a missing file", "show %2/missing.xls", EXIT_FILE, "no such file");
}

void TestMeterCtlCommands::Refusals()
{
    QFETCH(QString, strArgs);
    QFETCH(int, nExpectedExit);
    QFETCH(QString, strText);
    const CtlResult r = RunCtl(Args(
        strArgs.replace(QStringLiteral("%1"), m_pSim->GetDevicePath()).replace(QStringLiteral("%2"), m_pDir->path())));
    QCOMPARE(r.nExit, nExpectedExit);
    const QString strWhere = nExpectedExit == EXIT_OK ? r.strOut : r.strErr;
    QVERIFY2(strWhere.contains(strText), qPrintable(strWhere));
    // Said for people: sentences, ended by one full stop.
    QVERIFY2(!r.strErr.contains(QStringLiteral("..")), qPrintable(r.strErr));
    QVERIFY2(r.strErr.isEmpty() || r.strErr.endsWith(QStringLiteral(".\n")), qPrintable(r.strErr));
    if (nExpectedExit == EXIT_OK)
        QVERIFY(r.strOut.contains(QStringLiteral("Exit codes:")) && r.strErr.isEmpty());
    else if (nExpectedExit != EXIT_USAGE)
        QVERIFY(r.strOut.isEmpty());
    // Refused before the meter is asked anything.
    QCOMPARE(m_pSim->GetRequestCount(), 0);
}

void TestMeterCtlCommands::PermissionDenied()
{
    // The simulator's device, made unreadable for whoever runs meterctl:
    // as root, meterctl runs as nobody and the device belongs to a group
    // nobody is not in; otherwise the device loses every permission.
    const QString strDevice = m_pSim->GetDevicePath();
    const QFile::Permissions before = QFile::permissions(strDevice);
    QStringList prefix;
    QFile::Permissions denied;
    if (::geteuid() == 0)
    {
        prefix = QStringList{QStandardPaths::findExecutable(QStringLiteral("setpriv")), QStringLiteral("--reuid=65534"),
                             QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")};
        const struct group* pDialout = ::getgrnam("dialout");
        if (prefix.first().isEmpty() || !pDialout)
            QSKIP("running as root without setpriv (util-linux) or group dialout");
        QVERIFY(::chown(QFile::encodeName(strDevice).constData(), 0, pDialout->gr_gid) == 0);
        denied = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup;
    }
    QVERIFY(QFile::setPermissions(strDevice, denied));
    const CtlResult r = RunCtlProcess(Args(QStringLiteral("download --port ") + strDevice), prefix);
    QFile::setPermissions(strDevice, before);
    QCOMPARE(r.nExit, int(EXIT_PORT));
    QVERIFY2(r.strErr.contains(QStringLiteral("Permission denied on ") + strDevice), qPrintable(r.strErr));
    QVERIFY2(r.strErr.contains(QStringLiteral("sudo usermod -aG %1 $USER").arg(QFileInfo(strDevice).group())),
             qPrintable(r.strErr));
    QCOMPARE(m_pSim->GetRequestCount(), 0);
}

void TestMeterCtlCommands::Show_data()
{
    QTest::addColumn<QString>("strArgs");
    QTest::addColumn<QString>("strExpected");
    // The text printed without --csv or --json is checked by
    // ShowTextAsPrinted in tst_meterctlconvert.
    QTest::newRow("report job, CSV on -")
        << QStringLiteral("--csv -")
        << QStringLiteral("Number,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes\r\n"
                          "1,1550nm,OPM,-12.34dBm,-3.00dBm,2012-5-3  9:5:7,\x1b[31m red\r\n"
                          "2,,IL,1.00dB,0.00dBm,2012-5-3  9:5:8,\"x, \"\"y\"\"\"\r\n");
    // Each field read from the report's texts; the texts as they are, with
    // JSON's escapes for the control characters.
    QTest::newRow("report job, JSON")
        << QStringLiteral("--json")
        << QStringLiteral(R"({"userInformation": {"company": "光纤 Ltd", "meterType": "FM\t2", "serial": "S1",
                                                  "operator": "Li", "notes": "a\nb"},
                              "wavelengths": null,
                              "records": [
            {"number": 1, "wavelength": 1550, "mode": "OPM", "value": -12.34, "unit": "dBm", "reference": -3,
             "time": "2012-05-03T09:05:07",
             "texts": ["1", "1550nm", "OPM", "-12.34dBm", "-3.00dBm", "2012-5-3  9:5:7", "\u001b[31m red"]},
            {"number": 2, "wavelength": null, "mode": "IL", "value": 1, "unit": "dB", "reference": 0,
             "time": "2012-05-03T09:05:08",
             "texts": ["2", "", "IL", "1.00dB", "0.00dBm", "2012-5-3  9:5:8", "x, \"y\""]}]})");
}

void TestMeterCtlCommands::Show()
{
    QFETCH(QString, strArgs);
    QFETCH(QString, strExpected);
    const QString strPath = Path(QStringLiteral("saved.xls"));
    // Written by the program's Save job; a note carries an escape sequence,
    // the user information a tab and a line break.
    QVector<MeasurementRecord> rows(2);
    rows[0].texts = {"1", "1550nm", "OPM", "-12.34dBm", "-3.00dBm", "2012-5-3  9:5:7", "\x1b[31m red"};
    rows[1].texts = {"2", "", "IL", "1.00dB", "0.00dBm", "2012-5-3  9:5:8", "x, \"y\""};
    ReportHooks hooks;
    hooks.fetchUserInfo = []() {
        return ReportUserInfo{QStringLiteral("光纤 Ltd"), QStringLiteral("FM\t2"), QStringLiteral("S1"),
                              QStringLiteral("Li"), QStringLiteral("a\nb")};
    };
    QVERIFY(WriteReportJob(strPath, rows, LANGUAGE_ENGLISH, hooks));
    const CtlResult r = RunCtl(QStringList{QStringLiteral("show"), strPath} + Args(strArgs));
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    if (!strArgs.contains(QStringLiteral("--json")))
    {
        QCOMPARE(r.strOut, strExpected);
        return;
    }
    QJsonParseError error;
    const QJsonDocument got = QJsonDocument::fromJson(r.strOut.toUtf8(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError && r.strOut.endsWith(QLatin1Char('\n')), qPrintable(r.strOut));
    const QJsonDocument want = QJsonDocument::fromJson(strExpected.toUtf8(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(got, want);
}

QTEST_MAIN(TestMeterCtlCommands)
#include "tst_meterctlcommands.moc"
