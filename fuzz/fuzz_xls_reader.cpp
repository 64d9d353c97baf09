// libFuzzer entry for the .xls reader: every input is tried as a whole file
// (compound file around a workbook stream) and as a bare workbook stream.
// Whatever the bytes, the reader must return, without reading outside them
// and without memory out of proportion to them.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "report/XlsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(pData), qsizetype(nSize));
    QString strError;
    Workbook fromFile;
    LoadWorkbookXlsData(bytes, fromFile, &strError);
    Workbook fromStream;
    if (!ParseWorkbookStream(bytes, fromStream, &strError))
        return 0;
    // What was read can be written and read again. (The writer checks
    // merged ranges pairwise, which is meant for the few a report has: a
    // sheet with very many is left out of this check.)
    for (const Worksheet& sheet : fromStream.m_sheets)
        if (sheet.m_merges.size() > 2048)
            return 0;
    const QByteArray again = BuildWorkbookStream(fromStream);
    Workbook back;
    if (!ParseWorkbookStream(again, back, &strError))
        __builtin_trap();
    return 0;
}
