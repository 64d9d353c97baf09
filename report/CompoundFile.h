// The OLE2 compound file (structured storage) that holds the BIFF8
// workbook stream of an .xls file. It moves streams in and out of the
// container and knows nothing of what is in them. Reading goes through
// libgsf; writing a container of one stream is done here, around a stream
// that is already in the file's own buffer, so that the workbook is never
// copied (the bytes are the ones libgsf's writer gives).
#pragma once

#include <QByteArray>
#include <QString>

class CompoundFile
{
public:
    // The header in front of the first sector.
    static constexpr int HEADER_SIZE = 512;

    // True when the bytes start with the compound file signature
    // D0 CF 11 E0 A1 B1 1A E1.
    static bool HasSignature(const QByteArray& fileBytes);
    // The most bytes from the start of the file a container with this
    // header can refer to; the whole file when the header is not one.
    static qint64 AddressedSize(const QByteArray& header, qint64 nFileSize);

    // Turns fileBytes = HEADER_SIZE bytes of room + a stream into a whole
    // compound file holding that one stream under strStreamName. Streams
    // under 4096 bytes are padded with zeros up to that size, so that they
    // sit in normal sectors as Excel writes them. False when the stream is
    // larger than a container of this kind holds.
    static bool WrapStream(QByteArray& fileBytes, const QString& strStreamName = QStringLiteral("Workbook"));
    // A new compound file holding one stream (a copy of it).
    static bool Write(const QString& strStreamName, const QByteArray& stream, QByteArray& fileBytes, QString* pError);
    // The named stream of the root storage (the name compared without
    // regard to ASCII case). False, with *pError set, when the container is
    // damaged or has no such stream (then *pbMissing is set too); what
    // libgsf said about the damage goes into *pError rather than on the
    // standard error.
    static bool ReadStream(const QByteArray& fileBytes, const QString& strStreamName, QByteArray& stream,
                           QString* pError, bool* pbMissing = nullptr);
};
