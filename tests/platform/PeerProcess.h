#pragma once
// Starts the peer helper beside this process, so that both meet.
#include "common/Processes.h"
#include "common/WaitUntil.h"

#include <QProcess>
#include <QStringList>

namespace kelpa::test {

inline void startPeer(QProcess &p, const QStringList &arguments)
{
    startProgram(p, QStringLiteral(PEER_PATH), arguments);
}

} // namespace kelpa::test
