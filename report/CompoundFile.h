// The OLE2 compound file (structured storage) that holds the BIFF8
// workbook stream of an .xls file. It moves streams in and out of the
// container and knows nothing of what is in them. Built on libgsf.
#pragma once

#include <QByteArray>
#include <QString>

class CompoundFile
{
public:
    // True when the bytes start with the compound file signature
    // D0 CF 11 E0 A1 B1 1A E1.
    static bool HasSignature(const QByteArray& fileBytes);
    // A new compound file holding one stream. The same stream gives the
    // same file bytes. Streams under 4096 bytes are padded with zeros up to
    // that size, so that they sit in normal sectors as Excel writes them.
    static bool Write(const QString& strStreamName, const QByteArray& stream, QByteArray& fileBytes, QString* pError);
    // The named stream of the root storage (the name compared without
    // regard to ASCII case). False, with *pError set, when the container is
    // damaged or has no such stream (then *pbMissing is set too).
    static bool ReadStream(const QByteArray& fileBytes, const QString& strStreamName, QByteArray& stream,
                           QString* pError, bool* pbMissing = nullptr);
};
