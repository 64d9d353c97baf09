// Running meterctl in tests: in-process through MeterCtl (fast, sanitized
// with the test) or as the real program through QProcess.
#pragma once

#include "tools/meterctl/MeterCtl.h"

#include <QFile>
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

inline CtlResult RunCtl(const QStringList& args)
{
    CtlResult result;
    QTextStream out(&result.strOut), err(&result.strErr);
    MeterCtl ctl(out, err, false);
    result.nExit = ctl.Run(args);
    out.flush();
    err.flush();
    return result;
}

// The built meterctl; prefix (e.g. setpriv ...) runs in front of it.
inline CtlResult RunCtlProcess(const QStringList& args, QStringList prefix = QStringList())
{
    CtlResult result;
    QProcess process;
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

inline QByteArray ReadWholeFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
