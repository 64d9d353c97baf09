// .xls files: the workbook stream in its compound file, on disk and in
// memory.
#include "report/XlsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "report/BiffReader.h"
#include "report/CompoundFile.h"
#include "report/WorkbookStream.h"

namespace {

constexpr qint64 MAX_FILE_SIZE = 512LL * 1024 * 1024; // far beyond 65,536 rows of a report

bool SetError(QString* pError, const QString& str)
{
    if (pError)
        *pError = str;
    return false;
}

} // namespace

QByteArray BuildWorkbookStream(const Workbook& book)
{
    return WorkbookStream(book).Build();
}

bool BuildWorkbookXlsData(const Workbook& book, QByteArray& fileBytes, QString* pError)
{
    return CompoundFile::Write(QStringLiteral("Workbook"), BuildWorkbookStream(book), fileBytes, pError);
}

bool SaveWorkbookXls(const Workbook& book, const QString& strPath, QString* pError)
{
    QByteArray fileBytes;
    if (!BuildWorkbookXlsData(book, fileBytes, pError))
        return false;
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly))
        return SetError(pError, QStringLiteral("Cannot write %1: %2").arg(strPath, file.errorString()));
    if (file.write(fileBytes) != fileBytes.size())
    {
        const QString str = file.errorString();
        file.cancelWriting();
        return SetError(pError, QStringLiteral("Cannot write %1: %2").arg(strPath, str));
    }
    if (!file.commit())
        return SetError(pError, QStringLiteral("Cannot write %1: %2").arg(strPath, file.errorString()));
    return true;
}

bool ParseWorkbookStream(const QByteArray& stream, Workbook& book, QString* pError)
{
    return ParseBiffWorkbook(stream, book, pError);
}

bool LoadWorkbookXlsData(const QByteArray& fileBytes, Workbook& book, QString* pError)
{
    if (!CompoundFile::HasSignature(fileBytes))
    {
        if (fileBytes.startsWith("PK\x03\x04"))
            return SetError(pError, QStringLiteral("This is an Excel 2007+ (.xlsx) or other zip file, not an Excel "
                                                   "97-2003 .xls workbook"));
        if (fileBytes.startsWith("\x09\x08") || fileBytes.startsWith("\x09\x04") || fileBytes.startsWith("\x09\x02") ||
            fileBytes.startsWith("\x09\x00"))
            return SetError(pError, QStringLiteral("Old Excel (BIFF2-5) worksheet file: only Excel 97-2003 (BIFF8) "
                                                   ".xls files can be read"));
        return SetError(pError, QStringLiteral("Not an Excel workbook (no compound file header)"));
    }
    QByteArray stream;
    bool bMissing = false;
    if (!CompoundFile::ReadStream(fileBytes, QStringLiteral("Workbook"), stream, pError, &bMissing))
    {
        if (!bMissing)
            return false;
        // Excel 5.0/95 called the stream "Book".
        QByteArray old;
        if (CompoundFile::ReadStream(fileBytes, QStringLiteral("Book"), old, nullptr))
            return SetError(pError, QStringLiteral("Excel 5.0/95 (BIFF5) workbook: only Excel 97-2003 (BIFF8) .xls "
                                                   "files can be read"));
        return SetError(pError, QStringLiteral("The file holds no Excel workbook"));
    }
    return ParseBiffWorkbook(stream, book, pError);
}

bool LoadWorkbookXls(const QString& strPath, Workbook& book, QString* pError)
{
    if (QFileInfo(strPath).isDir())
        return SetError(pError, QStringLiteral("%1 is a folder, not a workbook").arg(strPath));
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return SetError(pError, QStringLiteral("Cannot open %1: %2").arg(strPath, file.errorString()));
    if (file.size() > MAX_FILE_SIZE)
        return SetError(pError, QStringLiteral("%1 is too large for a workbook").arg(strPath));
    const QByteArray fileBytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return SetError(pError, QStringLiteral("Cannot read %1: %2").arg(strPath, file.errorString()));
    return LoadWorkbookXlsData(fileBytes, book, pError);
}
