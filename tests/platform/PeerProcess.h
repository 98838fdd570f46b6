#pragma once
// Starts the peer helper with this process's runtime folder, so that both meet.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <functional>

#include "common/WaitUntil.h"

namespace kelpa::test {

inline void startPeer(QProcess &p, const QStringList &arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), qEnvironmentVariable("XDG_RUNTIME_DIR"));
    // The peer runs on the same display platform as the test.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QGuiApplication::platformName());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(PEER_PATH), arguments);
    p.waitForStarted(10000);
}

// The peer's first output line ("ready <handle>", "held", ...).
inline QByteArray firstLine(QProcess &p, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!p.canReadLine() && t.elapsed() < ms && p.state() != QProcess::NotRunning)
        p.waitForReadyRead(100);
    return p.readLine().trimmed();
}

} // namespace kelpa::test
