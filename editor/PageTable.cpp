#include "editor/PageTable.h"

namespace kelpa::editor {

int PageTable::FindFreePage() const
{
    for (int i = 0; i < kPageCount; ++i)
        if ((*this)[i].isFree())
            return i;
    return -1;
}

int PageTable::findLoaded(const QString &path) const
{
    if (isUntitledName(path) || path.isEmpty())
        return -1;
    for (int i = 0; i < kPageCount; ++i)
        if ((*this)[i].FileName.compare(path, Qt::CaseInsensitive) == 0)
            return i;
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

} // namespace kelpa::editor
