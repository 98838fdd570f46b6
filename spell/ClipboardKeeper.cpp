#include "spell/ClipboardKeeper.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

namespace kelpa::spell {

QVariant ServedMimeData::retrieveData(const QString &mimeType, QMetaType type) const
{
    // A signal cannot be const; asking is no change to the content itself.
    emit const_cast<ServedMimeData *>(this)->requested();
    return QMimeData::retrieveData(mimeType, type);
}

namespace {

ServedMimeData *servedContent()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard())
        return nullptr;
    return qobject_cast<ServedMimeData *>(const_cast<QMimeData *>(clipboard->mimeData()));
}

} // namespace

void ServeClipboardContent()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard())
        return;
    const QMimeData *current = clipboard->mimeData();
    if (!current || qobject_cast<const ServedMimeData *>(current))
        return;
    auto *served = new ServedMimeData;
    for (const QString &format : current->formats())
        served->setData(format, current->data(format));
    clipboard->setMimeData(served);
}

ClipboardRelease KeepClipboard(platform::WindowHandle editor, const ClipboardKeeping &keeping)
{
    const QPointer<ServedMimeData> served = servedContent();
    if (!served)
        return ClipboardRelease::Replaced;
    if (!platform::IsWindow(editor))
        return ClipboardRelease::EditorGone;

    QEventLoop loop;
    ClipboardRelease result = ClipboardRelease::TimedOut;
    const auto finish = [&](ClipboardRelease why) {
        result = why;
        loop.quit();
    };
    const auto stillOurs = [&] {
        if (!served || servedContent() != served.data())
            finish(ClipboardRelease::Replaced);
    };

    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] { finish(ClipboardRelease::TimedOut); });
    // A paste may ask for several formats one after the other: it is over once the
    // requests have stopped for a while.
    QTimer settle;
    settle.setSingleShot(true);
    QObject::connect(&settle, &QTimer::timeout, &loop, [&] { finish(ClipboardRelease::Taken); });
    QObject::connect(served.data(), &ServedMimeData::requested, &settle, [&] { settle.start(keeping.settleMs); });
    QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &loop, stillOurs);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        stillOurs();
        if (!platform::IsWindow(editor))
            finish(ClipboardRelease::EditorGone);
    });
    limit.start(keeping.limitMs);
    poll.start(keeping.pollMs);
    loop.exec();
    return result;
}

} // namespace kelpa::spell
