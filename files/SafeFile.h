// Files that are never left half-written and never read without bound.
//
// A write goes to a temporary file next to the target, is flushed to the
// disk (fsync) and checked, and only then renamed over the target: the file
// on disk is either the old one or the whole new one, also when the disk
// fills up half-way (a failed flush is a failure, not a silent success).
// A read takes regular files only (no FIFO, no device, no folder) and at
// most a given number of bytes, so it always returns.
#pragma once

#include "texts/Language.h"

#include <QByteArray>
#include <QString>

// Why a file operation failed, in words a person understands.
enum class FileError
{
    None,
    DiskFull,         // no space left (or the file size limit reached)
    PermissionDenied, // the file or its folder may not be written or read
    ReadOnlyDisk,     // the file system is mounted read-only
    NotFound,         // the file, or the folder it should go into, does not exist
    IsFolder,         // the path names a folder
    NotRegularFile,   // a FIFO, a device, a socket: not a file that holds a document
    TooLarge,         // larger than the reader takes
    Other,            // anything else: see the detail text
};

struct FileFailure
{
    FileError error = FileError::None;
    QString strDetail; // the system's own words, for the curious

    bool IsFailure() const { return error != FileError::None; }
    // "the disk is full", "permission denied", ... in the language given;
    // English for the command-line tool.
    QString Text(Language language = LANGUAGE_ENGLISH) const;
};

// Replaces strPath with data, completely or not at all. The new file keeps
// the permissions of the file it replaces. False with *pFailure set when the
// old file (if any) is still there untouched.
bool WriteFileSafely(const QString& strPath, const QByteArray& data, FileFailure* pFailure = nullptr);

// Reads the regular file strPath, refusing anything else and any file of
// more than nMaxBytes. With nReadAtMost >= 0 only that many bytes from the
// start are read (the file may be longer); *pnFileSize gets the file's size.
// False with *pFailure set.
bool ReadRegularFile(const QString& strPath, qint64 nMaxBytes, QByteArray* pData, FileFailure* pFailure = nullptr,
                     qint64 nReadAtMost = -1, qint64* pnFileSize = nullptr);

// The failure of a system call that set errno to nErrno.
FileFailure FailureFromErrno(int nErrno);
