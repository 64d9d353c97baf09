// The programs as a user starts them: --help answers without a display (a
// desktop program that needs one aborts), and meter-sim takes an option's
// value after an equals sign as well as after a blank. meterctl's help is
// checked in tst_meterctlcommands; deb_package.sh runs every program's
// --version without a display.
#include "CtlTestRun.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

class TestProgramOptions : public QObject
{
    Q_OBJECT

private slots:
    void HelpWithoutDisplay_data();
    void HelpWithoutDisplay();
    void SimRecords_data();
    void SimRecords();
};

void TestProgramOptions::HelpWithoutDisplay_data()
{
    QTest::addColumn<QString>("strProgram");
    QTest::addColumn<QString>("strFirstLine");
    QTest::newRow("meterclient") << QStringLiteral(METERCLIENT_PATH)
                                 << QStringLiteral("Usage: " METERCLIENT_PATH " [options] [FILE]");
    QTest::newRow("meter-sim") << QStringLiteral(METERSIM_PATH)
                               << QStringLiteral("usage: meter-sim [--records N | --file F] [--pace] ");
}

void TestProgramOptions::HelpWithoutDisplay()
{
    QFETCH(QString, strProgram);
    QFETCH(QString, strFirstLine);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(pszName));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(strProgram, {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(60000));
    const QString strErr = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, qPrintable(strErr));
    const QString strOut = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(strOut.startsWith(strFirstLine), qPrintable(strOut.section(QLatin1Char('\n'), 0, 0)));
}

void TestProgramOptions::SimRecords_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("--records=5") << QStringList{QStringLiteral("--records=5")};
    QTest::newRow("--records 5") << QStringList{QStringLiteral("--records"), QStringLiteral("5")};
}

void TestProgramOptions::SimRecords()
{
    QFETCH(QStringList, args);
    QProcess sim;
    sim.start(QStringLiteral(METERSIM_PATH), args);
    QVERIFY(sim.waitForStarted());
    // The first line is the device to open.
    QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine() || sim.state() != QProcess::Running, 30000);
    const QString strDevice = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(strDevice.startsWith(QLatin1String("/dev/")), qPrintable(sim.readAllStandardError()));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strCsv = dir.filePath(QStringLiteral("records.csv"));
    const CtlResult r = RunCtl({QStringLiteral("download"), QStringLiteral("--port"), strDevice,
                                QStringLiteral("--csv"), strCsv, QStringLiteral("--timeout"), QStringLiteral("3000")});
    sim.terminate();
    QVERIFY(sim.waitForFinished(30000));
    QVERIFY2(r.nExit == EXIT_OK, qPrintable(r.strErr));
    // The header row and five records.
    QCOMPARE(FileBytes(strCsv).trimmed().split('\n').size(), 1 + 5);
    // SIGTERM is a normal end for meter-sim.
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestProgramOptions)
#include "tst_programoptions.moc"
