#pragma once
// Fixtures of the tests above the engine: paths as Qt strings, the desktop's opener watched,
// and the current folder or the program folder set for the length of one test.
#include "platform/ShellExecute.h"
#include "common/EnvironmentOverride.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QUrl>
#include <cstdlib>
#include <string>

namespace kelpa::test {

inline QString q(const std::string &s)
{
    return QString::fromStdString(s);
}

// Records what would be opened by the desktop (documents, folders, addresses) and answers
// with `answer` instead of starting anything.
struct OpenerSpy {
    QList<QUrl> opened;
    bool answer = true;
    OpenerSpy()
    {
        platform::setUrlOpener([this](const QUrl &u) {
            opened << u;
            return answer;
        });
    }
    ~OpenerSpy() { platform::setUrlOpener({}); }
    OpenerSpy(const OpenerSpy &) = delete;
    OpenerSpy &operator=(const OpenerSpy &) = delete;
};

class CurrentFolder {
public:
    explicit CurrentFolder(const QString &folder) : previous_(QDir::currentPath())
    {
        QDir::setCurrent(folder);
    }
    ~CurrentFolder() { QDir::setCurrent(previous_); }
    CurrentFolder(const CurrentFolder &) = delete;
    CurrentFolder &operator=(const CurrentFolder &) = delete;

private:
    QString previous_;
};

// Puts a file where `folder` belongs (the test's own folder, whatever it held, goes first), so
// that nothing can be created in it; the file goes again at the end.
class FolderBlocked {
public:
    explicit FolderBlocked(const QString &folder) : folder_(folder)
    {
        QDir(folder_).removeRecursively();
        QDir().mkpath(QFileInfo(folder_).absolutePath());
        QFile blocker(folder_);
        ok_ = blocker.open(QIODevice::WriteOnly);
    }
    ~FolderBlocked() { QFile::remove(folder_); }
    FolderBlocked(const FolderBlocked &) = delete;
    FolderBlocked &operator=(const FolderBlocked &) = delete;
    bool ok() const { return ok_; }

private:
    QString folder_;
    bool ok_ = false;
};

// Points the program folder elsewhere through its environment variable.
struct ProgramFolderOverride : EnvironmentOverride {
    explicit ProgramFolderOverride(const std::string &folder) : EnvironmentOverride("KELPA_PROGRAM_DIR", folder) {}
};

} // namespace kelpa::test
