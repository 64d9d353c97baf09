// Scratch current directories for tests.
#include "TestDirs.h"

ScopedCurrentDir::ScopedCurrentDir() : m_strPath(m_tempDir.path()), m_strPrevious(QDir::currentPath())
{
    QDir::setCurrent(m_strPath);
}

ScopedCurrentDir::ScopedCurrentDir(const QString& strPath) : m_strPath(strPath), m_strPrevious(QDir::currentPath())
{
    QDir::setCurrent(m_strPath);
}

ScopedCurrentDir::~ScopedCurrentDir()
{
    QDir::setCurrent(m_strPrevious);
}
