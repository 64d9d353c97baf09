// Running meterctl in tests: in-process through MeterCtl (fast, sanitized
// with the test) or as the real program through QProcess.
#pragma once

#include "TestFiles.h"
#include "tools/meterctl/MeterCtl.h"

#include <QProcess>
#include <QStringList>
#include <QTextStream>

struct CtlResult
{
    int nExit = -1;
    QString strOut;
    QString strErr;
};

// A command line split at blanks (the tests' paths hold none).
inline QStringList Args(const QString& strLine)
{
    return strLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// probePorts: the ports that --probe and --port auto try (the simulated
// meters are not among the ports the system lists).
inline CtlResult RunCtl(const QStringList& args, const QStringList& probePorts = QStringList())
{
    CtlResult result;
    QTextStream out(&result.strOut), err(&result.strErr);
    MeterCtl ctl(out, err, false);
    ctl.SetProbePorts(probePorts);
    result.nExit = ctl.Run(args);
    out.flush();
    err.flush();
    return result;
}

// The built meterctl; prefix (e.g. setpriv ...) runs in front of it, with
// environment added to the test's own.
inline CtlResult RunCtlProcess(const QStringList& args, QStringList prefix = QStringList(),
                               const QStringList& environment = QStringList())
{
    CtlResult result;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& strSetting : environment)
        env.insert(strSetting.section(QLatin1Char('='), 0, 0), strSetting.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    prefix << QStringLiteral(METERCTL_PATH) << args;
    process.start(prefix.first(), prefix.mid(1));
    if (!process.waitForFinished(120000))
        process.kill();
    process.waitForFinished();
    result.strOut = QString::fromUtf8(process.readAllStandardOutput());
    result.strErr = QString::fromUtf8(process.readAllStandardError());
    result.nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}
