// Compound file reading and writing through libgsf. The glib headers come
// first: Qt's keyword macros must not meet glib's struct members.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include "report/CompoundFile.h"

#include <mutex>

namespace {

constexpr int MIN_STREAM_SIZE = 4096; // smaller streams would go to the short-sector stream

void IgnoreLog(const gchar*, GLogLevelFlags, const gchar*, gpointer)
{
}

// libgsf is set up once; its complaints about damaged containers (warnings
// and failed checks) are not printed, since every failure is reported
// through *pError.
void InitGsf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        const GLogLevelFlags levels = GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                                                     G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG);
        for (const char* pszDomain : {"libgsf", "libgsf:msole", "libgsf:utils"})
            g_log_set_handler(pszDomain, levels, IgnoreLog, nullptr);
    });
}

void SetError(QString* pError, const QString& str)
{
    if (pError)
        *pError = str;
}

QString GErrorText(GError* pErr, const char* pszFallback)
{
    QString str = QString::fromUtf8(pErr && pErr->message ? pErr->message : pszFallback);
    if (pErr)
        g_error_free(pErr);
    return str;
}

} // namespace

bool CompoundFile::HasSignature(const QByteArray& fileBytes)
{
    static const char signature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    return fileBytes.size() >= 8 && memcmp(fileBytes.constData(), signature, 8) == 0;
}

bool CompoundFile::Write(const QString& strStreamName, const QByteArray& stream, QByteArray& fileBytes, QString* pError)
{
    InitGsf();
    QByteArray data = stream;
    if (data.size() < MIN_STREAM_SIZE)
        data.append(MIN_STREAM_SIZE - data.size(), '\0');

    GsfOutput* pMemory = gsf_output_memory_new();
    GsfOutfile* pOle = gsf_outfile_msole_new(pMemory);
    if (!pOle)
    {
        g_object_unref(pMemory);
        SetError(pError, QStringLiteral("Cannot create the compound file"));
        return false;
    }
    const QByteArray name = strStreamName.toUtf8();
    GsfOutput* pChild = gsf_outfile_new_child(pOle, name.constData(), FALSE);
    bool bOk = pChild != nullptr;
    if (bOk)
    {
        bOk = gsf_output_write(pChild, gsize(data.size()), reinterpret_cast<const guint8*>(data.constData()));
        bOk = gsf_output_close(pChild) && bOk;
        g_object_unref(pChild);
    }
    bOk = gsf_output_close(GSF_OUTPUT(pOle)) && bOk;
    g_object_unref(pOle);
    if (bOk)
    {
        const guint8* pBytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(pMemory));
        const gsf_off_t nSize = gsf_output_size(pMemory);
        fileBytes = QByteArray(reinterpret_cast<const char*>(pBytes), qsizetype(nSize));
    }
    g_object_unref(pMemory);
    if (!bOk)
        SetError(pError, QStringLiteral("Cannot write the compound file"));
    return bOk;
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
    GsfInput* pInput = gsf_input_memory_new(reinterpret_cast<const guint8*>(fileBytes.constData()),
                                            gsf_off_t(fileBytes.size()), FALSE);
    GError* pErr = nullptr;
    GsfInfile* pOle = gsf_infile_msole_new(pInput, &pErr);
    g_object_unref(pInput); // the container keeps its own reference
    if (!pOle)
    {
        SetError(pError, QStringLiteral("Damaged compound file: %1").arg(GErrorText(pErr, "unreadable")));
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
            stream.resize(qsizetype(nSize));
            bOk = nSize == 0 ||
                  gsf_input_read(pChild, size_t(nSize), reinterpret_cast<guint8*>(stream.data())) != nullptr;
            if (!bOk)
            {
                stream.clear();
                SetError(pError, QStringLiteral("Damaged compound file: the stream cannot be read"));
            }
        }
        g_object_unref(pChild);
    }
    g_object_unref(pOle);
    return bOk;
}
