#include "RegularFile.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {

namespace {

QString errorText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

ssize_t readFully(int fd, char* buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return ssize_t(done);
}

// O_NONBLOCK: opening a FIFO would otherwise wait for a writer. The flag has
// no effect on reads of a regular file.
int openForExamination(const QString& path, Examination& result)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        return fd;
    const int code = errno;
    result.error = errorText(code);
    result.kind = (code == ENOENT || code == ENOTDIR) ? Kind::Missing
        : code == ENXIO                               ? Kind::NotRegular // a socket or a FIFO without reader
                                                      : Kind::Unreadable;
    return -1;
}

} // namespace

Examination examine(const QString& path, int headBytes)
{
    Examination result;
    const int fd = openForExamination(path, result);
    if (fd < 0)
        return result;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0) {
        result.kind = Kind::Unreadable;
        result.error = errorText(errno);
    } else if (!S_ISREG(status.st_mode)) {
        result.kind = Kind::NotRegular;
        result.error = QStringLiteral("not a regular file");
    } else {
        result.kind = Kind::Regular;
        result.size = qint64(status.st_size);
        if (headBytes > 0) {
            result.head.resize(headBytes);
            const ssize_t n = readFully(fd, result.head.data(), size_t(headBytes));
            result.head.resize(n > 0 ? qsizetype(n) : 0);
        }
    }
    ::close(fd);
    return result;
}

bool readAll(const QString& path, QByteArray& contents, qint64 maxBytes)
{
    contents.clear();
    Examination result;
    const int fd = openForExamination(path, result);
    if (fd < 0)
        return false;
    struct stat status
    {
    };
    bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size <= maxBytes;
    if (ok) {
        contents.resize(qsizetype(status.st_size));
        const ssize_t n = readFully(fd, contents.data(), size_t(contents.size()));
        ok = n >= 0;
        contents.resize(ok ? qsizetype(n) : 0);
    }
    ::close(fd);
    return ok;
}

FolderEntries listFolder(const QString& folder)
{
    FolderEntries result;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        result.error = errorText(errno);
        return result;
    }
    while (const dirent* entry = ::readdir(dir)) {
        // Folders, FIFOs, sockets and devices are left out without being
        // opened: even a reader that opens and closes at once would wake a
        // program waiting to write into a FIFO. Links are examined later.
        const unsigned char type = entry->d_type;
        if (entry->d_name[0] == '.' || type == DT_DIR || type == DT_FIFO || type == DT_SOCK || type == DT_CHR
            || type == DT_BLK)
            continue;
        const QByteArray raw(entry->d_name);
        const QString name = QFile::decodeName(raw);
        if (QFile::encodeName(name) != raw)
            result.undecodableNames = true;
        else
            result.names.append(name);
    }
    ::closedir(dir);
    return result;
}

} // namespace RegularFile
