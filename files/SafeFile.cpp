// Safe writing and bounded reading of files (see SafeFile.h). POSIX calls,
// because a flush that fails must be seen and a FIFO must not be opened for
// reading in a way that blocks.
#include "files/SafeFile.h"

#include "files/HugePages.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
// Closes a descriptor when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int nFd) : m_nFd(nFd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_nFd; }
    // The result of close(): a delayed write error shows up here too.
    bool Close()
    {
        if (m_nFd < 0)
            return true;
        const int nResult = ::close(m_nFd);
        m_nFd = -1;
        return nResult == 0;
    }

private:
    int m_nFd;
};

// Closes descriptors on a thread of its own. A file replaced by a rename
// is freed at its last close, and freeing the blocks of a report takes
// milliseconds (some 7 ms for 8 MB on ext4 mounted with discard): the
// writer holds the old file open across the rename and lets it go here,
// so that a save does not wait for it. What is left at exit is closed
// before the program ends.
class LateCloser
{
public:
    static void Close(int nFd)
    {
        static LateCloser closer;
        closer.Add(nFd);
    }
    ~LateCloser()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bQuit = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
        for (const int nFd : m_fds)
            ::close(nFd);
    }

private:
    void Add(int nFd)
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_fds.push_back(nFd);
            if (!m_thread.joinable())
                m_thread = std::thread([this]() { Run(); });
        }
        m_wake.notify_one();
    }
    void Run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;)
        {
            m_wake.wait(lock, [this]() { return m_bQuit || !m_fds.empty(); });
            if (m_fds.empty())
                return;
            std::vector<int> fds;
            fds.swap(m_fds);
            lock.unlock();
            for (const int nFd : fds)
                ::close(nFd);
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<int> m_fds;
    bool m_bQuit = false;
    std::thread m_thread;
};

// The regular file at path, opened only to be held (see LateCloser);
// -1 when there is none. Never blocks and never follows a link: a link
// is replaced itself, not what it points to.
int HoldOldFile(const QByteArray& path)
{
    const int nFd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    struct stat st = {};
    if (nFd >= 0 && (::fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode)))
    {
        ::close(nFd);
        return -1;
    }
    return nFd;
}

bool Fail(FileFailure* pFailure, const FileFailure& failure)
{
    if (pFailure)
        *pFailure = failure;
    return false;
}

bool FailErrno(FileFailure* pFailure)
{
    return Fail(pFailure, FailureFromErrno(errno));
}

bool WriteAll(int nFd, const char* pData, qint64 nSize)
{
    while (nSize > 0)
    {
        const ssize_t nWritten = ::write(nFd, pData, size_t(nSize));
        if (nWritten < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        pData += nWritten;
        nSize -= nWritten;
    }
    return true;
}
} // namespace

QString FileFailure::Text(Language language) const
{
    static const BiText texts[] = {
        {"", ""},
        {"磁盘已满", "the disk is full"},
        {"没有权限", "permission denied"},
        {"磁盘为只读", "the disk is read-only"},
        {"文件或文件夹不存在", "the file or its folder does not exist"},
        {"这是一个文件夹", "it is a folder"},
        {"这不是一个普通文件", "it is not a regular file"},
        {"文件太大", "the file is too large"},
        {"无法访问文件", "the file cannot be accessed"},
    };
    QString strText = PickText(texts[static_cast<int>(error)], language);
    if (error == FileError::Other && !strDetail.isEmpty())
        strText += QStringLiteral(" (%1)").arg(strDetail);
    return strText;
}

FileFailure FailureFromErrno(int nErrno)
{
    FileFailure failure;
    failure.strDetail = QString::fromLocal8Bit(std::strerror(nErrno));
    switch (nErrno)
    {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        failure.error = FileError::DiskFull;
        break;
    case EACCES:
    case EPERM:
        failure.error = FileError::PermissionDenied;
        break;
    case EROFS:
        failure.error = FileError::ReadOnlyDisk;
        break;
    case ENOENT:
    case ENOTDIR:
        failure.error = FileError::NotFound;
        break;
    case EISDIR:
        failure.error = FileError::IsFolder;
        break;
    default:
        failure.error = FileError::Other;
        break;
    }
    return failure;
}

bool WriteFileSafely(const QString& strPath, const QByteArray& data, FileFailure* pFailure)
{
    const QFileInfo info(strPath);
    if (info.isDir())
        return Fail(pFailure, FileFailure{FileError::IsFolder, QString()});
    const QByteArray path = QFile::encodeName(info.absoluteFilePath());
    QByteArray tempPath = path + ".XXXXXX";
    const int nFd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (nFd < 0)
        return FailErrno(pFailure);
    Descriptor file(nFd);
    bool bDone = false;
    struct Cleanup
    {
        const QByteArray& path;
        bool& bDone;
        ~Cleanup()
        {
            if (!bDone)
                ::unlink(path.constData());
        }
    } cleanup{tempPath, bDone};

    // The new file gets the old one's permissions; a new file those that
    // the umask leaves of rw-rw-rw-.
    struct stat old = {};
    if (::stat(path.constData(), &old) == 0)
    {
        if (!S_ISREG(old.st_mode))
            return Fail(pFailure, FileFailure{FileError::NotRegularFile, QString()});
        ::fchmod(file.Get(), old.st_mode & 07777);
    }
    else
    {
        const mode_t nMask = ::umask(0);
        ::umask(nMask);
        ::fchmod(file.Get(), 0666 & ~nMask);
    }

    if (!WriteAll(file.Get(), data.constData(), data.size()) || ::fsync(file.Get()) != 0 || !file.Close())
        return FailErrno(pFailure);
    const int nOldFd = HoldOldFile(path);
    const int nRenamed = ::rename(tempPath.constData(), path.constData());
    const int nRenameErrno = errno;
    if (nOldFd >= 0)
        LateCloser::Close(nOldFd);
    if (nRenamed != 0)
        return Fail(pFailure, FailureFromErrno(nRenameErrno));
    bDone = true;
    // The rename itself reaches the disk with the folder.
    const Descriptor folder(::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_CLOEXEC));
    if (folder.Get() >= 0)
        ::fsync(folder.Get());
    return true;
}

bool ReadRegularFile(const QString& strPath, qint64 nMaxBytes, QByteArray* pData, FileFailure* pFailure,
                     qint64 nReadAtMost, qint64* pnFileSize)
{
    // Non-blocking open: opening a FIFO for reading would otherwise wait
    // for a writer for ever. The type is checked on what was opened.
    Descriptor file(::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0)
        return FailErrno(pFailure);
    struct stat st = {};
    if (::fstat(file.Get(), &st) != 0)
        return FailErrno(pFailure);
    if (S_ISDIR(st.st_mode))
        return Fail(pFailure, FileFailure{FileError::IsFolder, QString()});
    if (!S_ISREG(st.st_mode))
        return Fail(pFailure, FileFailure{FileError::NotRegularFile, QString()});
    if (st.st_size > nMaxBytes)
        return Fail(pFailure, FileFailure{FileError::TooLarge, QString()});
    if (pnFileSize)
        *pnFileSize = st.st_size;
    ::fcntl(file.Get(), F_SETFL, ::fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
    if (nReadAtMost >= 0 && nReadAtMost < nMaxBytes)
    {
        // A start of the file only: whatever the file holds beyond it, no
        // more than that is read.
        QByteArray head(LargeArrayData<char>(qsizetype(qMin<qint64>(nReadAtMost, st.st_size))));
        head.resize(qsizetype(qMin<qint64>(nReadAtMost, st.st_size)));
        qint64 nHead = 0;
        while (nHead < head.size())
        {
            const ssize_t n = ::read(file.Get(), head.data() + nHead, size_t(head.size() - nHead));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return FailErrno(pFailure);
            if (n == 0)
                break;
            nHead += n;
        }
        head.truncate(qsizetype(nHead));
        if (pData)
            *pData = head;
        return true;
    }

    // The size may have changed since fstat: read at most one byte more
    // than allowed, which tells a file that grew past the limit.
    QByteArray data(LargeArrayData<char>(qsizetype(st.st_size) + 1));
    data.resize(qsizetype(st.st_size) + 1);
    qint64 nRead = 0;
    for (;;)
    {
        if (nRead == data.size())
        {
            if (nRead > nMaxBytes)
                return Fail(pFailure, FileFailure{FileError::TooLarge, QString()});
            data.resize(qsizetype(qMin(nMaxBytes + 1, 2 * nRead + 4096)));
        }
        const ssize_t n = ::read(file.Get(), data.data() + nRead, size_t(data.size() - nRead));
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return FailErrno(pFailure);
        }
        if (n == 0)
            break;
        nRead += n;
    }
    if (nRead > nMaxBytes)
        return Fail(pFailure, FileFailure{FileError::TooLarge, QString()});
    data.truncate(qsizetype(nRead));
    if (pData)
        *pData = data;
    return true;
}
