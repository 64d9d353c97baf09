// Helpers for tests that need a scratch directory as the current directory.
#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

// Makes a fresh temporary directory the current directory for its lifetime.
class ScopedCurrentDir
{
public:
    ScopedCurrentDir();
    explicit ScopedCurrentDir(const QString& strPath);
    ~ScopedCurrentDir();
    QString Path() const { return m_strPath; }

private:
    QTemporaryDir m_tempDir;
    QString m_strPath;
    QString m_strPrevious;
};
