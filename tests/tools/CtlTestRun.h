// Running meterctl in tests: in-process through MeterCtl (fast, sanitized
// with the test) or as the real program through QProcess.
#pragma once

#include "tools/meterctl/MeterCtl.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTextStream>

struct CtlResult
{
    int nExit = -1;
    QString strOut;
    QString strErr;
};

inline CtlResult RunCtl(const QStringList& args, bool bTerminal = false)
{
    CtlResult result;
    QTextStream out(&result.strOut);
    QTextStream err(&result.strErr);
    MeterCtl ctl(out, err, bTerminal);
    result.nExit = ctl.Run(args);
    out.flush();
    err.flush();
    return result;
}

// The built meterctl; prefix (e.g. setpriv ...) runs in front of it.
inline CtlResult RunCtlProcess(const QStringList& args, const QStringList& prefix = QStringList(),
                               int nTimeoutMs = 120000)
{
    CtlResult result;
    QProcess process;
    const QString strProgram = QStringLiteral(METERCTL_PATH);
    if (prefix.isEmpty())
        process.start(strProgram, args);
    else
        process.start(prefix.first(), prefix.mid(1) + QStringList{strProgram} + args);
    if (!process.waitForFinished(nTimeoutMs))
    {
        process.kill();
        process.waitForFinished();
        return result;
    }
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
