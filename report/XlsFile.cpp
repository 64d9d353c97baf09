// .xls files: the workbook stream in its compound file, on disk and in
// memory. The stream is written straight into the buffer of the whole file,
// behind the room the compound file header takes.
#include "report/XlsFile.h"

#include "report/BiffReader.h"
#include "report/CompoundFile.h"
#include "report/WorkbookStream.h"

#include "files/HugePages.h"

namespace {

bool SetError(QString* pError, const QString& str)
{
    if (pError)
        *pError = str;
    return false;
}

} // namespace

QByteArray BuildWorkbookStream(const Workbook& book)
{
    QByteArray stream;
    WorkbookStream(book).AppendTo(stream);
    return stream;
}

bool BuildWorkbookXlsData(const Workbook& book, QByteArray& fileBytes, QString* pError, XlsFileNotes* pNotes)
{
    WorkbookStream writer(book);
    fileBytes =
        QByteArray(LargeArrayData<char>(CompoundFile::HEADER_SIZE + writer.SizeHint() + writer.SizeHint() / 64 + 4096));
    fileBytes.resize(CompoundFile::HEADER_SIZE);
    writer.AppendTo(fileBytes);
    if (pNotes)
        pNotes->nCutTexts = writer.CutTextCount();
    if (!CompoundFile::WrapStream(fileBytes))
        return SetError(pError, QStringLiteral("The workbook is too large for a compound file"));
    return true;
}

bool SaveWorkbookXls(const Workbook& book, const QString& strPath, QString* pError, XlsFileNotes* pNotes)
{
    XlsFileNotes notes;
    QByteArray fileBytes;
    bool bOk = BuildWorkbookXlsData(book, fileBytes, &notes.strError, &notes);
    if (bOk && !WriteFileSafely(strPath, fileBytes, &notes.failure))
        bOk = SetError(&notes.strError, QStringLiteral("Cannot write %1: %2").arg(strPath, notes.failure.Text()));
    if (!bOk && pError)
        *pError = notes.strError;
    if (pNotes)
        *pNotes = notes;
    return bOk;
}

bool ParseWorkbookStream(const QByteArray& stream, Workbook& book, QString* pError, XlsFileNotes* pNotes)
{
    return ParseBiffWorkbook(stream, book, pError, pNotes);
}

namespace {
// The "Workbook" stream of an .xls file in memory; false with *pError.
bool ReadWorkbookStream(const QByteArray& fileBytes, QByteArray& stream, QString* pError)
{
    if (!CompoundFile::HasSignature(fileBytes))
    {
        if (fileBytes.startsWith("PK\x03\x04"))
            return SetError(pError, QStringLiteral("This is an Excel 2007+ (.xlsx) or other zip file, not an Excel "
                                                   "97-2003 .xls workbook"));
        if (fileBytes.startsWith("\x09\x08") || fileBytes.startsWith("\x09\x04") || fileBytes.startsWith("\x09\x02") ||
            fileBytes.startsWith(QByteArray("\x09\x00", 2)))
            return SetError(pError, QStringLiteral("Old Excel (BIFF2-5) worksheet file: only Excel 97-2003 (BIFF8) "
                                                   ".xls files can be read"));
        return SetError(pError, QStringLiteral("Not an Excel workbook (no compound file header)"));
    }
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
    return true;
}
} // namespace

bool LoadWorkbookXlsData(const QByteArray& fileBytes, Workbook& book, QString* pError, XlsFileNotes* pNotes)
{
    QByteArray stream;
    return ReadWorkbookStream(fileBytes, stream, pError) && ParseBiffWorkbook(stream, book, pError, pNotes);
}

bool LoadWorkbookXls(const QString& strPath, Workbook& book, QString* pError, XlsFileNotes* pNotes)
{
    XlsFileNotes notes;
    QByteArray fileBytes;
    bool bOk = false;
    // Only as much of the file as a compound file can refer to is read:
    // a report at the start of a huge file does not pull in the rest.
    qint64 nFileSize = 0;
    if (!ReadRegularFile(strPath, XLS_MAX_FILE_SIZE, &fileBytes, &notes.failure, CompoundFile::HEADER_SIZE,
                         &nFileSize) ||
        (CompoundFile::HasSignature(fileBytes) &&
         !ReadRegularFile(strPath, XLS_MAX_FILE_SIZE, &fileBytes, &notes.failure,
                          CompoundFile::AddressedSize(fileBytes, nFileSize))))
        SetError(&notes.strError, QStringLiteral("Cannot read %1: %2").arg(strPath, notes.failure.Text()));
    else
    {
        // The file's bytes go before the stream is parsed: only one copy
        // of the workbook is held at a time.
        QByteArray stream;
        bOk = ReadWorkbookStream(fileBytes, stream, &notes.strError);
        fileBytes = QByteArray();
        bOk = bOk && ParseBiffWorkbook(stream, book, &notes.strError, &notes);
    }
    if (!bOk && pError)
        *pError = notes.strError;
    if (pNotes)
        *pNotes = notes;
    return bOk;
}
