#pragma once
// Text the checker hands back on the clipboard. On X11 a clipboard's content lives only as long
// as the program that owns it, so after OK the checker stays on, with no window and without its
// single-instance lock, serving the text until the editor has pasted it, another program owns
// the clipboard, the editor is gone or a few seconds have passed.
#include "platform/WindowMessages.h"

#include <QMimeData>

namespace kelpa::spell {

// Clipboard content that tells when another program asks for it.
class ServedMimeData : public QMimeData {
    Q_OBJECT
signals:
    void requested();

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override;
};

// Replaces what this program has just put on the clipboard by the same formats in a
// ServedMimeData. Nothing happens when the clipboard is another program's. Call it before the
// peer is told to paste: taking the clipboard again during its paste would refuse the peer.
void ServeClipboardContent();

enum class ClipboardRelease {
    Taken,      // another program read it and has asked for nothing more for a while
    Replaced,   // the clipboard is no longer ours (or was not served)
    EditorGone, // the program that was to paste it has no window any more
    TimedOut,
};

struct ClipboardKeeping {
    int limitMs = 10000;  // longest time the content is served
    int settleMs = 1000;  // quiet time after a request before the paste counts as done
    int pollMs = 100;     // how often the editor's window and the ownership are looked at
};

// Runs the event loop, serving the content ServeClipboardContent() put on the clipboard, until
// one of the reasons above holds.
ClipboardRelease KeepClipboard(platform::WindowHandle editor, const ClipboardKeeping &keeping = {});

} // namespace kelpa::spell
