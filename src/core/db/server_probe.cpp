#include "core/db/server_probe.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
QString tryAddress(const addrinfo* ai, int timeoutMs)
{
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    QString why;
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            why = QString::fromLocal8Bit(std::strerror(errno));
        } else {
            pollfd p{fd, POLLOUT, 0};
            const int n = ::poll(&p, 1, timeoutMs);
            if (n == 0) {
                why = QStringLiteral("timed out");
            } else if (n < 0) {
                why = QString::fromLocal8Bit(std::strerror(errno));
            } else {
                int err = 0;
                socklen_t len = sizeof err;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                if (err != 0)
                    why = QString::fromLocal8Bit(std::strerror(err));
            }
        }
    }
    ::close(fd);
    return why;
}
} // namespace

QString ServerProbe::reach(const QString& host, int port, int timeoutSeconds)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const QByteArray h = host.toUtf8();
    const QByteArray p = QByteArray::number(port);
    const int rc = ::getaddrinfo(h.constData(), p.constData(), &hints, &list);
    if (rc != 0)
        return QStringLiteral("unknown host %1 (%2)").arg(host, QString::fromLocal8Bit(::gai_strerror(rc)));

    QElapsedTimer clock;
    clock.start();
    QString why = QStringLiteral("no address");
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        const qint64 left = qint64(timeoutSeconds) * 1000 - clock.elapsed();
        if (left <= 0) {
            why = QStringLiteral("timed out");
            break;
        }
        why = tryAddress(ai, int(left));
        if (why.isEmpty())
            break;
    }
    ::freeaddrinfo(list);
    return why;
}
