#include "gui/app/single_instance.h"

#include <memory>
#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalSocket>
#include <QPointer>

#include "core/platform/program_folder.h"

namespace quillon {

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
}

QString SingleInstance::ServerName() {
    QByteArray folder = QByteArray::fromStdString(GetProgramFolder());
    QByteArray digest = QCryptographicHash::hash(folder, QCryptographicHash::Md5).toHex().left(16);
    return QStringLiteral("quillon-%1-%2").arg(getuid()).arg(QString::fromLatin1(digest));
}

bool SingleInstance::HandOver(const QStringList& files, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(timeoutMs)) return false;
    QByteArray message;
    for (const QString& file : files) message += file.toUtf8() + '\n';
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    }
    return socket.readLine() == "ok\n";
}

bool SingleInstance::Listen() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(ServerName())) return true;
    // Nobody answered HandOver, so a socket file still there is stale.
    QLocalServer::removeServer(ServerName());
    return server_.listen(ServerName());
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto files = std::make_shared<QStringList>();
        QPointer<QLocalSocket> guard(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, guard, files] {
            if (!guard) return;
            while (guard->canReadLine()) {
                QByteArray line = guard->readLine().chopped(1);
                if (!line.isEmpty()) {
                    files->append(QString::fromUtf8(line));
                    continue;
                }
                guard->write("ok\n");
                guard->flush();
                QStringList received = std::move(*files);
                files->clear();
                emit filesReceived(received);
                return;
            }
        });
    }
}

}  // namespace quillon
