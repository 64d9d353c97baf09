// meterctl's other commands and its refusals: calibration and clock against
// the simulated meter, usage errors, unknown and refused ports, unwritable
// outputs, and `show` on reports written by the program and by LibreOffice.
#include "CtlTestRun.h"

#include "link/InstrumentFrame.h"
#include "report/ReportJob.h"
#include "tools/meter-sim/MeterSim.h"

#include <QDateTime>
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#if defined(Q_OS_UNIX)
#include <grp.h>
#include <unistd.h>
#endif

class TestMeterCtlCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void Calibrate_data();
    void Calibrate();
    void SetClock_data();
    void SetClock();
    void SetClockNow();
    void RequestRetriedThenGivenUp();
    void UsageErrors_data();
    void UsageErrors();
    void HelpOfEveryCommand_data();
    void HelpOfEveryCommand();
    void UnknownPort_data();
    void UnknownPort();
    void PermissionDenied();
    void UnwritableOutput_data();
    void UnwritableOutput();
    void ShowSavedReport_data();
    void ShowSavedReport();
    void ShowNotAReport_data();
    void ShowNotAReport();
    void ShowLibreOfficeReport();
    void Ports();

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
}

void TestMeterCtlCommands::Calibrate_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<quint8>("byCommand");
    QTest::addColumn<QByteArray>("valueBytes");
    QTest::addColumn<QString>("strMessage");
    // The float goes out least significant byte first: -3.5 is C0 60 00 00.
    QTest::newRow("return loss -3.5, English")
        << QStringList{QStringLiteral("--rl"), QStringLiteral("-3.5"), QStringLiteral("--lang"), QStringLiteral("en")}
        << CMD_CAL_RL << QByteArray::fromHex("000060C0")
        << QStringLiteral("Calibrate the return loss power successfully! (-3.5)\n");
    QTest::newRow("power meter 0, Chinese")
        << QStringList{QStringLiteral("--opm"), QStringLiteral("0"), QStringLiteral("--lang"), QStringLiteral("zh")}
        << CMD_CAL_OPM << QByteArray::fromHex("00000000") << QStringLiteral("校准功率计功率成功! (0)\n");
    QTest::newRow("power meter 1.25 as --opm=")
        << QStringList{QStringLiteral("--opm=1.25"), QStringLiteral("--lang=en")} << CMD_CAL_OPM
        << QByteArray::fromHex("0000A03F") << QStringLiteral("Calibrate the return power meter successfully! (1.25)\n");
}

void TestMeterCtlCommands::Calibrate()
{
    QFETCH(QStringList, args);
    QFETCH(quint8, byCommand);
    QFETCH(QByteArray, valueBytes);
    QFETCH(QString, strMessage);
    const CtlResult r =
        RunCtl(QStringList{QStringLiteral("calibrate"), QStringLiteral("--port"), m_pSim->GetDevicePath()} + args);
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QCOMPARE(r.strOut, strMessage);
    QCOMPARE(m_pSim->GetLastCalibrationCommand(), byCommand);
    QCOMPARE(m_pSim->GetLastCalibrationBytes(), valueBytes);
    QCOMPARE(m_pSim->GetRequestCount(), 1);
}

void TestMeterCtlCommands::SetClock_data()
{
    QTest::addColumn<QStringList>("time");
    QTest::addColumn<QByteArray>("clockBytes");
    QTest::newRow("one argument") << QStringList{QStringLiteral("2012-05-03 09:05:07")}
                                  << QByteArray::fromHex("0C0503090507");
    QTest::newRow("date and time apart") << QStringList{QStringLiteral("2099-12-31"), QStringLiteral("23:59:59")}
                                         << QByteArray::fromHex("630C1F173B3B");
    QTest::newRow("first second of 2000")
        << QStringList{QStringLiteral("2000-01-01 00:00:00")} << QByteArray::fromHex("000101000000");
}

void TestMeterCtlCommands::SetClock()
{
    QFETCH(QStringList, time);
    QFETCH(QByteArray, clockBytes);
    const CtlResult r = RunCtl(QStringList{QStringLiteral("set-clock"), QStringLiteral("--port"),
                                           m_pSim->GetDevicePath(), QStringLiteral("--lang"), QStringLiteral("en")} +
                               time);
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QVERIFY(r.strOut.startsWith(QStringLiteral("Set time successfully! (")));
    QCOMPARE(m_pSim->GetClockBytes(), clockBytes);
}

void TestMeterCtlCommands::SetClockNow()
{
    const QDateTime before = QDateTime::currentDateTime();
    const CtlResult r = RunCtl({QStringLiteral("set-clock"), QStringLiteral("--now"), QStringLiteral("--port"),
                                m_pSim->GetDevicePath(), QStringLiteral("--lang"), QStringLiteral("zh")});
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QVERIFY(r.strOut.startsWith(QStringLiteral("时间设置成功!")));
    const QByteArray b = m_pSim->GetClockBytes();
    QCOMPARE(b.size(), 6);
    const QDateTime sent(QDate(2000 + b[0], b[1], b[2]), QTime(b[3], b[4], b[5]));
    QVERIFY2(sent >= before.addSecs(-1) && sent <= QDateTime::currentDateTime(), qPrintable(sent.toString()));
}

void TestMeterCtlCommands::RequestRetriedThenGivenUp()
{
    // A dropped confirmation is asked for again and then comes.
    MeterSimOptions options;
    options.nDropReply = 1;
    m_pSim->Stop();
    m_pSim->SetOptions(options);
    QVERIFY(m_pSim->Start());
    CtlResult r =
        RunCtl({QStringLiteral("calibrate"), QStringLiteral("--rl"), QStringLiteral("2"), QStringLiteral("--port"),
                m_pSim->GetDevicePath(), QStringLiteral("--timeout"), QStringLiteral("150")});
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QCOMPARE(m_pSim->GetRequestCount(CMD_CAL_RL), 2);

    // A meter that never answers: every attempt, then exit code 3.
    m_pSim->ClearRequests();
    m_pSim->SetAutoReply(false);
    r = RunCtl({QStringLiteral("set-clock"), QStringLiteral("--port"), m_pSim->GetDevicePath(),
                QStringLiteral("--timeout"), QStringLiteral("100"), QStringLiteral("--retries"), QStringLiteral("1")});
    QCOMPARE(r.nExit, int(EXIT_NO_ANSWER));
    QVERIFY2(r.strErr.contains(QStringLiteral("did not answer the clock request (2 attempts")), qPrintable(r.strErr));
    QCOMPARE(m_pSim->GetRequestCount(CMD_SET_CLOCK), 2);
    QVERIFY(r.strOut.isEmpty());
}

void TestMeterCtlCommands::UsageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("strError");
    const QString strPort = QStringLiteral("--port=/dev/null");
    QTest::newRow("no command") << QStringList() << QString();
    QTest::newRow("unknown command") << QStringList{QStringLiteral("fetch")} << QStringLiteral("unknown command");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("download"), QStringLiteral("--demo"),
                                                   QStringLiteral("--colour")}
                                    << QStringLiteral("Unknown option 'colour'");
    QTest::newRow("no meter") << QStringList{QStringLiteral("download"), QStringLiteral("--csv=x.csv")}
                              << QStringLiteral("Give --port DEV");
    QTest::newRow("port and demo") << QStringList{QStringLiteral("download"), QStringLiteral("--demo"), strPort}
                                   << QStringLiteral("not both");
    QTest::newRow("report not .xls") << QStringList{QStringLiteral("download"), strPort, QStringLiteral("--xls=r.xlsx")}
                                     << QStringLiteral("must end in .xls");
    QTest::newRow("same file twice") << QStringList{QStringLiteral("download"), strPort, QStringLiteral("--xls=r.xls"),
                                                    QStringLiteral("--csv=r.xls")}
                                     << QStringLiteral("same file");
    QTest::newRow("bad language") << QStringList{QStringLiteral("download"), strPort, QStringLiteral("--lang=fr")}
                                  << QStringLiteral("zh or en");
    QTest::newRow("bad time-out") << QStringList{QStringLiteral("download"), strPort, QStringLiteral("--timeout=0")}
                                  << QStringLiteral("--timeout takes");
    QTest::newRow("calibrate both") << QStringList{QStringLiteral("calibrate"), strPort, QStringLiteral("--rl=1"),
                                                   QStringLiteral("--opm=1")}
                                    << QStringLiteral("one of --rl");
    QTest::newRow("calibrate neither") << QStringList{QStringLiteral("calibrate"), strPort}
                                       << QStringLiteral("one of --rl");
    QTest::newRow("calibrate text") << QStringList{QStringLiteral("calibrate"), strPort, QStringLiteral("--rl=abc")}
                                    << QStringLiteral("not a calibration value");
    QTest::newRow("calibrate infinity") << QStringList{QStringLiteral("calibrate"), strPort,
                                                       QStringLiteral("--opm=inf")}
                                        << QStringLiteral("not a calibration value");
    QTest::newRow("calibrate not a number")
        << QStringList{QStringLiteral("calibrate"), strPort, QStringLiteral("--opm=nan")}
        << QStringLiteral("not a calibration value");
    QTest::newRow("calibrate beyond float")
        << QStringList{QStringLiteral("calibrate"), strPort, QStringLiteral("--opm=1e39")}
        << QStringLiteral("not a calibration value");
    QTest::newRow("clock, no such month")
        << QStringList{QStringLiteral("set-clock"), strPort, QStringLiteral("2012-13-01 00:00:00")}
        << QStringLiteral("not a time");
    QTest::newRow("clock, year 1999") << QStringList{QStringLiteral("set-clock"), strPort,
                                                     QStringLiteral("1999-12-31 23:59:59")}
                                      << QStringLiteral("2000 to 2099");
    QTest::newRow("clock, year 2100") << QStringList{QStringLiteral("set-clock"), strPort,
                                                     QStringLiteral("2100-01-01 00:00:00")}
                                      << QStringLiteral("2000 to 2099");
    QTest::newRow("clock, --now and a time")
        << QStringList{QStringLiteral("set-clock"), strPort, QStringLiteral("--now"), QStringLiteral("2012-01-01"),
                       QStringLiteral("00:00:00")}
        << QStringLiteral("not both");
    QTest::newRow("show, no file") << QStringList{QStringLiteral("show")} << QStringLiteral("one report file");
}

void TestMeterCtlCommands::UsageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, strError);
    const CtlResult r = RunCtl(args);
    QCOMPARE(r.nExit, int(EXIT_USAGE));
    QVERIFY2(r.strErr.contains(strError), qPrintable(r.strErr));
    // Refused before the meter is asked anything.
    QCOMPARE(m_pSim->GetRequestCount(), 0);
}

void TestMeterCtlCommands::HelpOfEveryCommand_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("strUsage");
    QTest::newRow("meterctl --help") << QStringList{QStringLiteral("--help")}
                                     << QStringLiteral("usage: meterctl COMMAND");
    for (const char* pszCommand : {"ports", "download", "calibrate", "set-clock", "show"})
    {
        const QString strCommand = QString::fromLatin1(pszCommand);
        QTest::addRow("%s --help", pszCommand)
            << QStringList{strCommand, QStringLiteral("--help")} << QStringLiteral("usage: meterctl ") + strCommand;
        QTest::addRow("help %s", pszCommand)
            << QStringList{QStringLiteral("help"), strCommand} << QStringLiteral("usage: meterctl ") + strCommand;
    }
}

void TestMeterCtlCommands::HelpOfEveryCommand()
{
    QFETCH(QStringList, args);
    QFETCH(QString, strUsage);
    const CtlResult r = RunCtl(args);
    QCOMPARE(r.nExit, int(EXIT_OK));
    QVERIFY2(r.strOut.startsWith(strUsage), qPrintable(r.strOut));
    QVERIFY(r.strOut.contains(QStringLiteral("Exit codes:")));
    QVERIFY(r.strErr.isEmpty());
}

void TestMeterCtlCommands::UnknownPort_data()
{
    QTest::addColumn<QString>("strPort");
    QTest::addColumn<QString>("strDevice");
    QTest::newRow("name") << QStringLiteral("ttyNoSuchPort") << QStringLiteral("/dev/ttyNoSuchPort");
    QTest::newRow("path") << QStringLiteral("/dev/pts/9999") << QStringLiteral("/dev/pts/9999");
    QTest::newRow("COM name") << QStringLiteral("COM250") << QStringLiteral("/dev/ttyS249");
}

void TestMeterCtlCommands::UnknownPort()
{
    QFETCH(QString, strPort);
    QFETCH(QString, strDevice);
    for (const char* pszCommand : {"download", "calibrate", "set-clock"})
    {
        QStringList args{QString::fromLatin1(pszCommand), QStringLiteral("--port"), strPort};
        if (args[0] == QLatin1String("calibrate"))
            args << QStringLiteral("--rl=1");
        const CtlResult r = RunCtl(args);
        QCOMPARE(r.nExit, int(EXIT_PORT));
        QVERIFY2(r.strErr.contains(QStringLiteral("No serial port ") + strDevice), qPrintable(r.strErr));
    }
    // A file that is no serial port at all.
    QFile plain(Path(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const CtlResult r = RunCtl({QStringLiteral("download"), QStringLiteral("--port"), plain.fileName()});
    QCOMPARE(r.nExit, int(EXIT_PORT));
    QVERIFY2(r.strErr.contains(QStringLiteral("cannot open")), qPrintable(r.strErr));
}

void TestMeterCtlCommands::PermissionDenied()
{
#if defined(Q_OS_UNIX)
    // The simulator's device, made unreadable for whoever runs meterctl:
    // as root, meterctl runs as nobody and the device belongs to a group
    // nobody is not in; otherwise the device loses every permission.
    const QString strDevice = m_pSim->GetDevicePath();
    const QFile::Permissions before = QFile::permissions(strDevice);
    QStringList prefix;
    QString strGroup;
    if (::geteuid() == 0)
    {
        const QString strSetpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (strSetpriv.isEmpty())
            QSKIP("running as root without setpriv (util-linux) to drop privileges");
        const struct group* pDialout = ::getgrnam("dialout");
        if (!pDialout)
            QSKIP("no group dialout on this machine");
        QVERIFY(::chown(QFile::encodeName(strDevice).constData(), 0, pDialout->gr_gid) == 0);
        strGroup = QFileInfo(strDevice).group();
        prefix = QStringList{strSetpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                             QStringLiteral("--clear-groups")};
        QVERIFY(QFile::setPermissions(strDevice,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup));
    }
    else
    {
        strGroup = QFileInfo(strDevice).group();
        QVERIFY(QFile::setPermissions(strDevice, QFile::Permissions()));
    }
    const CtlResult r = RunCtlProcess({QStringLiteral("download"), QStringLiteral("--port"), strDevice}, prefix);
    QFile::setPermissions(strDevice, before);
    QCOMPARE(r.nExit, int(EXIT_PORT));
    QVERIFY2(r.strErr.contains(QStringLiteral("Permission denied on ") + strDevice), qPrintable(r.strErr));
    QVERIFY2(r.strErr.contains(QStringLiteral("sudo usermod -aG %1 $USER").arg(strGroup)), qPrintable(r.strErr));
    QCOMPARE(m_pSim->GetRequestCount(), 0);
#else
    QSKIP("device permissions are a Unix matter");
#endif
}

void TestMeterCtlCommands::UnwritableOutput_data()
{
    QTest::addColumn<QString>("strOption");
    QTest::addColumn<QString>("strName");
    QTest::addColumn<QString>("strWhy");
    QTest::newRow("report in a missing folder")
        << QStringLiteral("--xls") << QStringLiteral("no/such/folder/r.xls") << QStringLiteral("does not exist");
    QTest::newRow("CSV in a missing folder")
        << QStringLiteral("--csv") << QStringLiteral("no/such/folder/r.csv") << QStringLiteral("does not exist");
    QTest::newRow("CSV is a folder") << QStringLiteral("--csv") << QStringLiteral("folder.csv")
                                     << QStringLiteral("it is a folder");
    QTest::newRow("report is a folder") << QStringLiteral("--xls") << QStringLiteral("folder.xls")
                                        << QStringLiteral("it is a folder");
    QTest::newRow("report in a read-only folder")
        << QStringLiteral("--xls") << QStringLiteral("read-only/r.xls") << QStringLiteral("is not writable");
}

void TestMeterCtlCommands::UnwritableOutput()
{
    QFETCH(QString, strOption);
    QFETCH(QString, strName);
    QFETCH(QString, strWhy);
    QVERIFY(QDir(m_pDir->path()).mkdir(QStringLiteral("folder.csv")));
    QVERIFY(QDir(m_pDir->path()).mkdir(QStringLiteral("folder.xls")));
    const QString strReadOnly = Path(QStringLiteral("read-only"));
    QVERIFY(QDir(m_pDir->path()).mkdir(QStringLiteral("read-only")));
    QVERIFY(QFile::setPermissions(strReadOnly, QFile::ReadOwner | QFile::ExeOwner));
    if (strName.startsWith(QLatin1String("read-only")) && QFileInfo(strReadOnly).isWritable())
    {
        // Root writes anywhere: the folder is read-only for user nobody.
        const QString strSetpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (strSetpriv.isEmpty())
            QSKIP("running as root without setpriv (util-linux) to drop privileges");
        QVERIFY(QFile::setPermissions(m_pDir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                          QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(strReadOnly,
                                      QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        const CtlResult r = RunCtlProcess(
            {QStringLiteral("download"), QStringLiteral("--port"), m_pSim->GetDevicePath(), strOption, Path(strName)},
            {strSetpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
             QStringLiteral("--clear-groups")});
        QCOMPARE(r.nExit, int(EXIT_FILE));
        QVERIFY2(r.strErr.contains(strWhy), qPrintable(r.strErr));
        QCOMPARE(m_pSim->GetRequestCount(), 0);
        return;
    }
    const CtlResult r = RunCtl(
        {QStringLiteral("download"), QStringLiteral("--port"), m_pSim->GetDevicePath(), strOption, Path(strName)});
    QCOMPARE(r.nExit, int(EXIT_FILE));
    QVERIFY2(r.strErr.contains(QStringLiteral("cannot write")) && r.strErr.contains(strWhy), qPrintable(r.strErr));
    // Refused before the download starts.
    QCOMPARE(m_pSim->GetRequestCount(), 0);
}

void TestMeterCtlCommands::ShowSavedReport_data()
{
    QTest::addColumn<QString>("strLang");
    QTest::addColumn<bool>("bCsv");
    QTest::addColumn<QString>("strExpected");
    QTest::newRow("English") << QStringLiteral("en") << false
                             << QStringLiteral("Company：光纤 Ltd\nMeter Type：FM 2\nInstrument Serial：S1\n"
                                               "Test Operator：Li\nNotes：a b\n\n"
                                               "Number\tWave\tMode\tRL|OPM|IL\tREF|PowerMeter\tDate-Time\tNotes\n"
                                               "1\t1550nm\tOPM\t-12.34dBm\t-3.00dBm\t2012-5-3  9:5:7\t [31m red\n"
                                               "2\t\tIL\t1.00dB\t0.00dBm\t2012-5-3  9:5:8\tx, \"y\"\n");
    QTest::newRow("Chinese") << QStringLiteral("zh") << false
                             << QStringLiteral("公司 名称：光纤 Ltd\n仪表 类型：FM 2\n仪表序列号：S1\n"
                                               "测试操作人：Li\n备注：a b\n\n"
                                               "序号\t波长\t模式\tRL|OPM|IL\tREF|功率值\t日期/时间\t备注\n"
                                               "1\t1550nm\tOPM\t-12.34dBm\t-3.00dBm\t2012-5-3  9:5:7\t [31m red\n"
                                               "2\t\tIL\t1.00dB\t0.00dBm\t2012-5-3  9:5:8\tx, \"y\"\n");
    QTest::newRow("CSV") << QStringLiteral("en") << true
                         << QStringLiteral("Number,Wave,Mode,RL|OPM|IL,REF|PowerMeter,Date-Time,Notes\r\n"
                                           "1,1550nm,OPM,-12.34dBm,-3.00dBm,2012-5-3  9:5:7,\x1b[31m red\r\n"
                                           "2,,IL,1.00dB,0.00dBm,2012-5-3  9:5:8,\"x, \"\"y\"\"\"\r\n");
}

void TestMeterCtlCommands::ShowSavedReport()
{
    QFETCH(QString, strLang);
    QFETCH(bool, bCsv);
    QFETCH(QString, strExpected);
    // Written by the program's Save job; a note carries an escape sequence
    // that must not reach the terminal, another a tab and a line break.
    MeasurementRecord row1, row2;
    row1.texts = {QStringLiteral("1"),           QStringLiteral("1550nm"),   QStringLiteral("OPM"),
                  QStringLiteral("-12.34dBm"),   QStringLiteral("-3.00dBm"), QStringLiteral("2012-5-3  9:5:7"),
                  QStringLiteral("\x1b[31m red")};
    row2.texts = {QStringLiteral("2"),       QString(),
                  QStringLiteral("IL"),      QStringLiteral("1.00dB"),
                  QStringLiteral("0.00dBm"), QStringLiteral("2012-5-3  9:5:8"),
                  QStringLiteral("x, \"y\"")};
    ReportHooks hooks;
    hooks.fetchUserInfo = []() {
        return ReportUserInfo{QStringLiteral("光纤 Ltd"), QStringLiteral("FM\t2"), QStringLiteral("S1"),
                              QStringLiteral("Li"), QStringLiteral("a\nb")};
    };
    const QString strPath = Path(QStringLiteral("saved.xls"));
    QVERIFY(WriteReportJob(strPath, {&row1, &row2}, 1, hooks));
    QStringList args{QStringLiteral("show"), strPath, QStringLiteral("--lang"), strLang};
    if (bCsv)
        args << QStringLiteral("--csv");
    const CtlResult r = RunCtl(args);
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QCOMPARE(r.strOut, strExpected);
}

void TestMeterCtlCommands::ShowNotAReport_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("strError");
    QTest::newRow("text file") << QByteArray("Number,Wave\n1,1550nm\n") << QStringLiteral("is not a report");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("is not a report");
    QTest::newRow("compound file header only")
        << QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(504, '\0') << QStringLiteral("is not a report");
    QTest::newRow("missing file") << QByteArray("-") << QStringLiteral("no such file");
}

void TestMeterCtlCommands::ShowNotAReport()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, strError);
    const QString strPath = Path(QStringLiteral("report.xls"));
    if (content != "-")
    {
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const CtlResult r = RunCtl({QStringLiteral("show"), strPath});
    QCOMPARE(r.nExit, int(EXIT_FILE));
    QVERIFY2(r.strErr.contains(strError), qPrintable(r.strErr));
    QVERIFY(r.strOut.isEmpty());
}

void TestMeterCtlCommands::ShowLibreOfficeReport()
{
    const QString strSoffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (strSoffice.isEmpty())
        QSKIP("LibreOffice is not installed (apt-get install libreoffice-calc-nogui)");
    // A report typed into LibreOffice: the layout's cells as text, saved
    // by LibreOffice as Excel 97.
    const char* const cells[][11] = {
        {},
        {"", "Company：", "", "光纤公司", "", "", "", "Unit：", "", "nm/dBm"},
        {"", "Meter Type：", "", "FM-200", "", "", "", "Instrument Serial：", "", "SN-7"},
        {"", "Test Operator：", "", "王五", "", "", "", "Notes：", "", "north, line 3"},
        {},
        {"Number", "Wave", "Mode", "RL|OPM|IL", "REF|PowerMeter", "Date-Time", "Notes"},
        {"1", "1550nm", "OPM", "-12.34dBm", "-3.00dBm", "2012-5-3  9:5:7", ""},
        {"2", "1310nm", "RL", "45.10dB", "-3.00dBm", "2012-5-3  9:6:0", "复测"},
    };
    QString strFods =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                       "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                       "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\" "
                       "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">\n"
                       "<office:body><office:spreadsheet><table:table table:name=\"Sheet1\">\n");
    for (const auto& row : cells)
    {
        strFods += QStringLiteral("<table:table-row>");
        for (const char* pszCell : row)
        {
            const QString strText = QString::fromUtf8(pszCell ? pszCell : "");
            if (strText.isEmpty())
                strFods += QStringLiteral("<table:table-cell/>");
            else
                strFods += QStringLiteral("<table:table-cell office:value-type=\"string\"><text:p>%1</text:p>"
                                          "</table:table-cell>")
                               .arg(strText.toHtmlEscaped());
        }
        strFods += QStringLiteral("</table:table-row>\n");
    }
    strFods += QStringLiteral("</table:table></office:spreadsheet></office:body></office:document>\n");
    QFile fods(Path(QStringLiteral("lo-report.fods")));
    QVERIFY(fods.open(QIODevice::WriteOnly));
    fods.write(strFods.toUtf8());
    fods.close();

    QProcess soffice;
    soffice.setProcessChannelMode(QProcess::MergedChannels);
    soffice.start(strSoffice, {QStringLiteral("--headless"),
                               QStringLiteral("-env:UserInstallation=file://") + Path(QStringLiteral("lo-profile")),
                               QStringLiteral("--convert-to"), QStringLiteral("xls:MS Excel 97"),
                               QStringLiteral("--outdir"), m_pDir->path(), fods.fileName()});
    QVERIFY(soffice.waitForFinished(180000));
    const QString strXls = Path(QStringLiteral("lo-report.xls"));
    QVERIFY2(QFile::exists(strXls), soffice.readAll().constData());

    const CtlResult r = RunCtl({QStringLiteral("show"), strXls, QStringLiteral("--lang"), QStringLiteral("en")});
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    QCOMPARE(r.strOut, QStringLiteral("Company：光纤公司\nMeter Type：FM-200\nInstrument Serial：SN-7\n"
                                      "Test Operator：王五\nNotes：north, line 3\n\n"
                                      "Number\tWave\tMode\tRL|OPM|IL\tREF|PowerMeter\tDate-Time\tNotes\n"
                                      "1\t1550nm\tOPM\t-12.34dBm\t-3.00dBm\t2012-5-3  9:5:7\t\n"
                                      "2\t1310nm\tRL\t45.10dB\t-3.00dBm\t2012-5-3  9:6:0\t复测\n"));
}

void TestMeterCtlCommands::Ports()
{
    // Whatever this machine has: every port is listed with its device.
    const CtlResult r = RunCtl({QStringLiteral("ports")});
    QCOMPARE(r.nExit, int(EXIT_OK));
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty())
        QCOMPARE(r.strOut, QStringLiteral("No serial ports found.\n"));
    for (const QSerialPortInfo& info : ports)
        QVERIFY2(r.strOut.contains(info.portName() + QStringLiteral("  ") + info.systemLocation()),
                 qPrintable(r.strOut));
    QCOMPARE(RunCtl({QStringLiteral("ports"), QStringLiteral("extra")}).nExit, int(EXIT_USAGE));
}

QTEST_MAIN(TestMeterCtlCommands)
#include "tst_meterctlcommands.moc"
