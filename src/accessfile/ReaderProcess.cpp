#include "accessfile/ReaderProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDataStream>
#include <QIODevice>
#include <cerrno>
#include <chrono>

namespace accessfile::detail {

namespace {

// Messages on the pipe: one tag byte, a 32-bit length, the body.
constexpr char kProgress = 'P';
constexpr char kReport = 'R';
constexpr char kError = 'E';

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

void send(int fd, char tag, const QByteArray& body = {}) {
    const quint32 n = quint32(body.size());
    char head[5] = {tag, char(n & 0xff), char((n >> 8) & 0xff), char((n >> 16) & 0xff),
                    char((n >> 24) & 0xff)};
    writeAll(fd, head, sizeof head);
    writeAll(fd, body.constData(), body.size());
}

QByteArray encode(const Report& report) {
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s << int(report.format) << quint32(report.entries.size());
    for (const ReportEntry& e : report.entries)
        s << int(e.kind) << e.object << e.reason << e.detail << e.count << e.sql;
    return out;
}

void decode(const QByteArray& bytes, Report& report) {
    QDataStream s(bytes);
    int format = 0;
    quint32 n = 0;
    s >> format >> n;
    report.format = Format(format);
    report.entries.clear();
    for (quint32 i = 0; i < n && s.status() == QDataStream::Ok; ++i) {
        ReportEntry e;
        int kind = 0;
        s >> kind >> e.object >> e.reason >> e.detail >> e.count >> e.sql;
        e.kind = ReportEntry::Kind(kind);
        report.entries.push_back(e);
    }
}

QByteArray encode(const Error& error) {
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s << int(error.code()) << error.detail();
    return out;
}

Error decodeError(const QByteArray& bytes) {
    QDataStream s(bytes);
    int code = 0;
    QString detail;
    s >> code >> detail;
    return Error(Error::Code(code), detail);
}

[[noreturn]] void runChild(int fd, const Work& work, Report report) {
    // libmdb writes a warning for every odd structure it meets; on a damaged
    // file that is a flood nobody reads.
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) ::dup2(devNull, STDERR_FILENO);
    int status = 0;
    try {
        work(report, [fd] { send(fd, kProgress); });
        send(fd, kReport, encode(report));
    } catch (const Error& e) {
        send(fd, kError, encode(e));
        status = 1;
    } catch (const std::exception& e) {
        send(fd, kError, encode(Error(Error::Code::WriteFailed, QString::fromLocal8Bit(e.what()))));
        status = 1;
    }
    ::close(fd);
    // Nothing of the parent's (windows, open databases, atexit handlers) may
    // run down in the child.
    ::_exit(status);
}

}  // namespace

void runInChildProcess(const Work& work, Report& report, int stallSeconds) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw Error(Error::Code::WriteFailed, QStringLiteral("cannot create a pipe"));
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw Error(Error::Code::WriteFailed, QStringLiteral("cannot start the reader process"));
    }
    if (pid == 0) {
        ::close(fds[0]);
        runChild(fds[1], work, report);
    }
    ::close(fds[1]);

    using Clock = std::chrono::steady_clock;
    auto lastSign = Clock::now();
    QByteArray buffer, reportBytes, errorBytes;
    bool haveReport = false, haveError = false, stalled = false;
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, 1000);
        if (ready < 0 && errno == EINTR) continue;
        if (ready > 0) {
            char chunk[4096];
            const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // the child closed its end
            buffer.append(chunk, n);
            lastSign = Clock::now();
            // Take whole messages off the front of the buffer.
            while (buffer.size() >= 5) {
                const quint32 length = quint8(buffer[1]) | quint8(buffer[2]) << 8 |
                                       quint8(buffer[3]) << 16 | quint32(quint8(buffer[4])) << 24;
                if (quint32(buffer.size()) < 5 + length) break;
                const char tag = buffer[0];
                const QByteArray body = buffer.mid(5, qsizetype(length));
                buffer.remove(0, 5 + qsizetype(length));
                if (tag == kReport) {
                    reportBytes = body;
                    haveReport = true;
                } else if (tag == kError) {
                    errorBytes = body;
                    haveError = true;
                }
            }
        } else if (Clock::now() - lastSign > std::chrono::seconds(stallSeconds)) {
            stalled = true;
            ::kill(pid, SIGKILL);
            break;
        }
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (haveReport && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        decode(reportBytes, report);
        return;
    }
    if (haveError) throw decodeError(errorBytes);
    if (stalled)
        throw Error(
            Error::Code::Damaged,
            QStringLiteral("reading the file made no progress for %1 seconds").arg(stallSeconds));
    if (WIFSIGNALED(status))
        throw Error(
            Error::Code::Damaged,
            QStringLiteral("the reader stopped on this file (signal %1)").arg(WTERMSIG(status)));
    throw Error(Error::Code::Damaged, QStringLiteral("the reader ended without a result"));
}

}  // namespace accessfile::detail
