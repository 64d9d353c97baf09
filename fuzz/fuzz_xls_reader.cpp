// libFuzzer entry for the .xls reader, along the path `meterctl show` and
// the dialog's Open take: the bytes are written to a file, which the report
// job opens through the built-in server (ReadRegularFile, the compound file,
// the BIFF8 stream) and reads cell by cell. The same bytes are also tried
// as a bare workbook stream, and what was read is written and read again.
// Whatever the bytes, the reader must return, without reading outside them
// and without memory out of proportion to them.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <unistd.h>

#include "report/ReportJob.h"
#include "report/XlsFile.h"

namespace {
QString InputPath()
{
    static const QString strPath = QDir::tempPath() + QStringLiteral("/fuzz_xls_reader-%1.xls").arg(qint64(::getpid()));
    return strPath;
}
} // namespace

// libgsf leaks on some damaged containers (fuzz/lsan.supp names where).
// Its allocations go through GLib, built without frame pointers, where the
// fast unwinder loses the stack after g_malloc; the slow one keeps the
// libgsf frames, so the suppression by name matches them and nothing else.
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(pData), qsizetype(nSize));
    {
        QFile file(InputPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return 0;
    }
    int nRows = 0;
    ReportHooks hooks;
    hooks.appendRow = [&nRows](const MeasurementRecord&) { ++nRows; };
    ReadReportJob(InputPath(), hooks);

    QString strError;
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
