#include "editor/PageTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace kelpa::editor {

int PageTable::FindFreePage() const
{
    for (int i = 0; i < kPageCount; ++i)
        if ((*this)[i].isFree())
            return i;
    return -1;
}

namespace {

// The absolute, clean path with the links of its folder resolved, for a file that may not exist.
QString resolvedPath(const QString &path)
{
    const QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.path()).canonicalFilePath();
    return folder.isEmpty() ? info.filePath() : QDir(folder).filePath(info.fileName());
}

} // namespace

bool isSameFile(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    struct stat sa {}, sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return resolvedPath(a) == resolvedPath(b);
}

int PageTable::findLoaded(const QString &path) const
{
    if (isUntitledName(path) || path.isEmpty())
        return -1;
    for (int i = 0; i < kPageCount; ++i) {
        const PageRecord &page = (*this)[i];
        if (!page.isFree() && !page.isUntitled() && isSameFile(page.FileName, path))
            return i;
    }
    return -1;
}

int PageTable::firstOpenPage() const
{
    for (int i = 0; i < kPageCount; ++i)
        if (!(*this)[i].isFree())
            return i;
    return -1;
}

int PageTable::openCount() const
{
    int n = 0;
    for (const auto &p : pages)
        n += p.isFree() ? 0 : 1;
    return n;
}

QString PageTable::nextUntitledName(NewPageKind kind)
{
    QString name = QStringLiteral("*untitled");
    if (UntitledCounter > 1)
        name += QStringLiteral("(%1)").arg(UntitledCounter);
    switch (kind) {
    case NewPageKind::Batch: name += QStringLiteral(".bat"); break;
    case NewPageKind::Plain: name += QStringLiteral(".txt"); break;
    case NewPageKind::Encrypted: name += QStringLiteral(".eco"); break;
    case NewPageKind::Rich: name += QStringLiteral(".rtf"); break;
    }
    ++UntitledCounter;
    return name;
}

bool isUntitledName(const QString &path) { return path.startsWith(QLatin1Char('*')); }

QString fileNamePart(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString folderPart(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString extensionOf(const QString &path)
{
    const QString name = fileNamePart(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

bool isBatchName(const QString &path) { return extensionOf(path).toUpper() == QLatin1String(".BAT"); }

QString EscapeMenuCaption(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('&'), QLatin1String("&&"));
    return out;
}

QString MenuCaptionText(const QString &caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            // "&&" is one '&' of the text; a single '&' only marks the next letter.
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&'))
                out += caption[++i];
            continue;
        }
        out += caption[i];
    }
    return out;
}

} // namespace kelpa::editor
