#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>

namespace quillon {

// One reader per program folder and user: the first process listens on a
// local socket, and a later start hands its files to it and ends, so two
// processes never write the same settings files.
//
// The exchange: the later process sends one absolute path per line, then an
// empty line; the first answers "ok\n" once it has taken them.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);

    // The socket's name: derived from the program folder and the user id.
    static QString ServerName();

    // Gives `files` (possibly none: the window is then just raised) to the
    // running process. False when none is running or it did not answer
    // within `timeoutMs`.
    static bool HandOver(const QStringList& files, int timeoutMs = 3000);

    // Starts listening; a socket left behind by a crashed process is
    // replaced. False when the socket cannot be made.
    bool Listen();

signals:
    void filesReceived(const QStringList& files);

private:
    void Accept();

    QLocalServer server_;
};

}  // namespace quillon
