// Compound file reading through libgsf, and writing of a container of one
// stream. The glib headers come first: Qt's keyword macros must not meet
// glib's struct members.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-utils.h>

#include "report/CompoundFile.h"

#include <QtEndian>
#include <cstring>
#include <mutex>

namespace {

// Sector chain markers of the FAT.
constexpr quint32 SECT_FREE = 0xFFFFFFFF;
constexpr quint32 SECT_END = 0xFFFFFFFE;
constexpr quint32 SECT_FAT = 0xFFFFFFFD;
constexpr quint32 SECT_DIFAT = 0xFFFFFFFC;
constexpr int SECTOR = 512;
constexpr int IDS_PER_SECTOR = SECTOR / 4;
constexpr int HEADER_DIFAT = 109;     // FAT sector numbers in the header itself
constexpr int MIN_STREAM_SIZE = 4096; // smaller streams would go to the short-sector stream

// What libgsf says while it reads a damaged container is kept here (for
// *pError) instead of going to the standard error. One reading at a time
// holds the handler: libgsf is used from one thread at a time anyway.
std::mutex g_logMutex;
QString* g_pLogText = nullptr;

void KeepLog(const gchar*, GLogLevelFlags, const gchar* pszMessage, gpointer)
{
    if (g_pLogText != nullptr && g_pLogText->isEmpty() && pszMessage != nullptr)
        *g_pLogText = QString::fromUtf8(pszMessage);
}

void InitGsf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        const GLogLevelFlags levels = GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                                                     G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
        for (const char* pszDomain : {"libgsf", "libgsf:msole", "libgsf:utils", "GLib", "GLib-GObject"})
            g_log_set_handler(pszDomain, levels, KeepLog, nullptr);
    });
}

// Holds the log handler's target for the time of one reading.
class LogCapture
{
public:
    explicit LogCapture(QString* pText) : m_lock(g_logMutex) { g_pLogText = pText; }
    ~LogCapture() { g_pLogText = nullptr; }

private:
    std::lock_guard<std::mutex> m_lock;
};

void SetError(QString* pError, const QString& str)
{
    if (pError)
        *pError = str;
}

QString GErrorText(GError* pErr, const QString& strFallback)
{
    QString str = pErr && pErr->message ? QString::fromUtf8(pErr->message) : strFallback;
    if (pErr)
        g_error_free(pErr);
    return str;
}

// nSize bytes at pData: a part of whole sharing its buffer when they lie
// in it, else a copy of them.
QByteArray SharedPart(const QByteArray& whole, const char* pData, qsizetype nSize)
{
    const char* pBegin = whole.constData();
    QByteArray::DataPointer& dp = const_cast<QByteArray&>(whole).data_ptr();
    if (pData < pBegin || nSize > whole.size() || pData - pBegin > whole.size() - nSize || !dp.isMutable())
        return QByteArray(pData, nSize);
    dp.d_ptr()->ref();
    return QByteArray(QByteArray::DataPointer(dp.d_ptr(), const_cast<char*>(pData), nSize));
}

void PutId(QByteArray& out, qsizetype nPos, quint32 nId)
{
    qToLittleEndian<quint32>(nId, out.data() + nPos);
}

} // namespace

bool CompoundFile::HasSignature(const QByteArray& fileBytes)
{
    static const char signature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    return fileBytes.size() >= 8 && memcmp(fileBytes.constData(), signature, 8) == 0;
}

qint64 CompoundFile::AddressedSize(const QByteArray& header, qint64 nFileSize)
{
    // Header: 0x1E sector shift (9: 512-byte sectors, 12: 4096), 0x2C
    // number of FAT sectors. Each FAT sector maps sector size / 4 sectors.
    if (!HasSignature(header) || header.size() < HEADER_SIZE)
        return nFileSize;
    const int nShift = qFromLittleEndian<quint16>(header.constData() + 0x1E);
    const quint32 nFatSectors = qFromLittleEndian<quint32>(header.constData() + 0x2C);
    if (nShift != 9 && nShift != 12)
        return nFileSize;
    const qint64 nSector = qint64(1) << nShift;
    const qint64 nAddressed = qMax<qint64>(HEADER_SIZE, nSector) + qint64(nFatSectors) * (nSector / 4) * nSector;
    return qMin(nFileSize, nAddressed);
}

// The container around one stream, laid out as libgsf lays it out:
//   header (512 bytes)
//   the stream, padded with zeros to whole sectors (at least 8)
//   one directory sector: "Root Entry" and the stream's entry, then two
//     entries of zeros
//   the FAT sectors, then the DIFAT sectors (only when there are more than
//     the 109 FAT sectors the header lists)
// Header, little-endian:
//   0x00 signature, 0x08 CLSID (zero), 0x18 minor version 0x3E, 0x1A major
//   version 3, 0x1C byte order 0xFFFE, 0x1E sector shift 9, 0x20 mini
//   sector shift 6, 0x2C FAT sector count, 0x30 first directory sector,
//   0x38 mini stream cutoff 4096, 0x3C first mini FAT sector (END), 0x40
//   mini FAT sector count 0, 0x44 first DIFAT sector (END when none), 0x48
//   DIFAT sector count, 0x4C the first 109 FAT sector numbers (FREE after).
// Directory entry, 128 bytes: 0 name UTF-16 (64 bytes), 64 name size in
//   bytes with the terminating zero, 66 type (5 root, 2 stream), 67 colour
//   (1 black), 68 left, 72 right, 76 child sibling ids (FREE for none),
//   116 first sector, 120 size.
bool CompoundFile::WrapStream(QByteArray& fileBytes, const QString& strStreamName)
{
    qsizetype nStreamSize = fileBytes.size() - HEADER_SIZE;
    if (nStreamSize < MIN_STREAM_SIZE)
    {
        fileBytes.append(MIN_STREAM_SIZE - nStreamSize, '\0');
        nStreamSize = MIN_STREAM_SIZE;
    }
    if (nStreamSize > qsizetype(0x7FFFFFFF))
        return false;
    const qint64 nStreamSectors = (nStreamSize + SECTOR - 1) / SECTOR;
    // The FAT maps every sector, its own and the DIFAT's included.
    qint64 nFat = 1, nDifat = 0;
    for (;;)
    {
        nDifat = nFat <= HEADER_DIFAT ? 0 : (nFat - HEADER_DIFAT + IDS_PER_SECTOR - 2) / (IDS_PER_SECTOR - 1);
        if (nStreamSectors + 1 + nFat + nDifat <= nFat * IDS_PER_SECTOR)
            break;
        ++nFat;
    }
    const qint64 nDir = nStreamSectors, nFirstFat = nDir + 1, nFirstDifat = nFirstFat + nFat;
    const qint64 nTotal = nFirstDifat + nDifat;

    fileBytes.append(nStreamSectors * SECTOR - nStreamSize, '\0');
    // Directory sector.
    const qsizetype nDirPos = fileBytes.size();
    fileBytes.append(SECTOR, '\0');
    const auto entry = [&](int nIndex, QStringView name, quint8 byType, quint32 nChild, quint32 nStart, quint32 nSize) {
        char* p = fileBytes.data() + nDirPos + 128 * nIndex;
        const qsizetype nChars = qMin<qsizetype>(name.size(), 31);
        qToLittleEndian<quint16>(name.utf16(), nChars, p);
        qToLittleEndian<quint16>(quint16(2 * (nChars + 1)), p + 64);
        p[66] = char(byType);
        p[67] = 1;
        qToLittleEndian<quint32>(SECT_FREE, p + 68);
        qToLittleEndian<quint32>(SECT_FREE, p + 72);
        qToLittleEndian<quint32>(nChild, p + 76);
        qToLittleEndian<quint32>(nStart, p + 116);
        qToLittleEndian<quint32>(nSize, p + 120);
    };
    entry(0, u"Root Entry", 5, 1, SECT_END, 0);
    entry(1, strStreamName, 2, SECT_FREE, 0, quint32(nStreamSize));

    // FAT: the stream's chain, the directory, the FAT and DIFAT sectors.
    const qsizetype nFatPos = fileBytes.size();
    fileBytes.append((nFat + nDifat) * SECTOR, '\xFF');
    for (qint64 i = 0; i < nTotal; ++i)
    {
        quint32 nNext = SECT_FREE;
        if (i < nStreamSectors)
            nNext = i + 1 < nStreamSectors ? quint32(i + 1) : SECT_END;
        else if (i == nDir)
            nNext = SECT_END;
        else if (i < nFirstDifat)
            nNext = SECT_FAT;
        else
            nNext = SECT_DIFAT;
        PutId(fileBytes, nFatPos + 4 * i, nNext);
    }
    // DIFAT sectors: 127 FAT sector numbers each, then the next DIFAT sector.
    for (qint64 d = 0; d < nDifat; ++d)
    {
        const qsizetype nPos = nFatPos + (nFat + d) * SECTOR;
        for (int k = 0; k < IDS_PER_SECTOR - 1; ++k)
        {
            const qint64 nFatIndex = HEADER_DIFAT + d * (IDS_PER_SECTOR - 1) + k;
            if (nFatIndex < nFat)
                PutId(fileBytes, nPos + 4 * k, quint32(nFirstFat + nFatIndex));
        }
        PutId(fileBytes, nPos + 4 * (IDS_PER_SECTOR - 1), d + 1 < nDifat ? quint32(nFirstDifat + d + 1) : SECT_END);
    }

    // Header.
    char* h = fileBytes.data();
    std::memset(h, 0, HEADER_SIZE);
    static const char signature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    std::memcpy(h, signature, 8);
    qToLittleEndian<quint16>(0x003E, h + 0x18);
    qToLittleEndian<quint16>(0x0003, h + 0x1A);
    qToLittleEndian<quint16>(0xFFFE, h + 0x1C);
    qToLittleEndian<quint16>(9, h + 0x1E);
    qToLittleEndian<quint16>(6, h + 0x20);
    qToLittleEndian<quint32>(quint32(nFat), h + 0x2C);
    qToLittleEndian<quint32>(quint32(nDir), h + 0x30);
    qToLittleEndian<quint32>(MIN_STREAM_SIZE, h + 0x38);
    qToLittleEndian<quint32>(SECT_END, h + 0x3C);
    qToLittleEndian<quint32>(nDifat > 0 ? quint32(nFirstDifat) : SECT_END, h + 0x44);
    qToLittleEndian<quint32>(quint32(nDifat), h + 0x48);
    for (int k = 0; k < HEADER_DIFAT; ++k)
        qToLittleEndian<quint32>(k < nFat ? quint32(nFirstFat + k) : SECT_FREE, h + 0x4C + 4 * k);
    return true;
}

bool CompoundFile::Write(const QString& strStreamName, const QByteArray& stream, QByteArray& fileBytes, QString* pError)
{
    fileBytes = QByteArray(HEADER_SIZE, '\0') + stream;
    if (WrapStream(fileBytes, strStreamName))
        return true;
    SetError(pError, QStringLiteral("The stream is too large for a compound file"));
    return false;
}

bool CompoundFile::ReadStream(const QByteArray& fileBytes, const QString& strStreamName, QByteArray& stream,
                              QString* pError, bool* pbMissing)
{
    if (pbMissing)
        *pbMissing = false;
    if (!HasSignature(fileBytes))
    {
        SetError(pError, QStringLiteral("Not a compound file"));
        return false;
    }
    InitGsf();
    QString strLog;
    const LogCapture capture(&strLog);
    GsfInput* pInput = gsf_input_memory_new(reinterpret_cast<const guint8*>(fileBytes.constData()),
                                            gsf_off_t(fileBytes.size()), FALSE);
    GError* pErr = nullptr;
    GsfInfile* pOle = gsf_infile_msole_new(pInput, &pErr);
    g_object_unref(pInput); // the container keeps its own reference
    if (!pOle)
    {
        SetError(pError, QStringLiteral("Damaged compound file: %1")
                             .arg(GErrorText(pErr, strLog.isEmpty() ? QStringLiteral("unreadable") : strLog)));
        return false;
    }
    if (pErr)
        g_error_free(pErr);

    const QByteArray wanted = strStreamName.toUtf8();
    GsfInput* pChild = nullptr;
    const int nChildren = gsf_infile_num_children(pOle);
    for (int i = 0; i < nChildren && !pChild; ++i)
    {
        const char* pszName = gsf_infile_name_by_index(pOle, i);
        if (pszName && g_ascii_strcasecmp(pszName, wanted.constData()) == 0)
            pChild = gsf_infile_child_by_index(pOle, i);
    }
    bool bOk = false;
    if (!pChild)
    {
        if (pbMissing)
            *pbMissing = true;
        SetError(pError, QStringLiteral("The compound file holds no \"%1\" stream").arg(strStreamName));
    }
    else
    {
        // A stream cannot hold more than the file around it; a larger size
        // is a damaged directory entry, not a reason to allocate.
        const gsf_off_t nSize = gsf_input_size(pChild);
        if (nSize < 0 || nSize > gsf_off_t(fileBytes.size()))
            SetError(pError, QStringLiteral("Damaged compound file: stream larger than the file"));
        else
        {
            // Asked for without a buffer, libgsf hands out a stream whose
            // sectors follow one another (as every file this program writes
            // has them) where it lies in the file's bytes: the stream is
            // then that part of fileBytes, shared, not a copy of it.
            const guint8* pData = nSize == 0 ? nullptr : gsf_input_read(pChild, size_t(nSize), nullptr);
            bOk = nSize == 0 || pData != nullptr;
            if (nSize == 0)
                stream.clear();
            else if (bOk)
                stream = SharedPart(fileBytes, reinterpret_cast<const char*>(pData), qsizetype(nSize));
            if (!bOk)
            {
                stream.clear();
                SetError(pError, QStringLiteral("Damaged compound file: the stream cannot be read") +
                                     (strLog.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(strLog)));
            }
        }
        g_object_unref(pChild);
    }
    g_object_unref(pOle);
    return bOk;
}
