#include "editor/PageSet.h"

#include "platform/richedit/TRichEdit.h"

#include <string>
#include <string_view>

namespace kelpa::editor {

namespace {

bool isEncryptedKind(PageKind kind) { return kind == PageKind::Encrypted || kind == PageKind::Legacy; }

} // namespace

PageSet::PageSet(QObject *parent) : QObject(parent) { engine_.ApplicationTitle = "Kelpa"; }

documents::ReadResult PageSet::read(int slot, const QString &path, const QString &password)
{
    PageRecord &page = table_[slot];
    // Taken first: a change while the file is read is then noticed at the next save.
    const documents::FileIdentity identity = documents::identityOf(path);
    documents::ReadResult doc = isEncryptedName(path) ? documents::readEncrypted(engine_, path, password)
                                                      : documents::readTextFile(path);
    if (!doc.ok())
        return doc;
    disk_[slot] = {path, identity};
    if (isEncryptedName(path)) {
        page.Password = password;
        page.Kind = doc.kind;
        page.LfLineEnds = false;
    } else {
        page.Password.clear();
        page.LfLineEnds = documents::lineEndOf(std::string_view(doc.bytes.constData(), static_cast<std::size_t>(doc.bytes.size())))
                          == documents::LineEnd::Lf;
    }
    page.Editor->LoadFromStream(doc.bytes);
    doc.bytes.clear();
    return doc;
}

documents::ReadResult PageSet::reread(int slot, const QString &password)
{
    PageRecord &page = table_[slot];
    const documents::FileIdentity identity = documents::identityOf(page.FileName);
    documents::ReadResult doc = documents::readEncrypted(engine_, page.FileName, password);
    if (!doc.ok())
        return doc;
    disk_[slot] = {page.FileName, identity};
    page.Password = password;
    page.PasswordUnconfirmed = false;
    page.Editor->SetReadOnly(false);
    page.Editor->LoadFromStream(doc.bytes);
    page.Editor->SetModified(false);
    doc.bytes.clear();
    emit pageChanged(slot);
    return doc;
}

PageSet::WriteResult PageSet::write(int slot, std::uint8_t cipher)
{
    PageRecord &page = table_[slot];
    WriteResult result;
    if (isEncryptedKind(page.Kind)) {
        result.error = documents::writeEncrypted(engine_, page.FileName, page.Kind, cipher, page.Password,
                                                 page.Editor->SaveToStream());
        if (result.error.ok())
            remember(slot, page.FileName);
        return result;
    }
    // Plain lines also from a rich editor saved as plain text, whose stream would be RTF.
    TRichEdit::PlainBytes out = page.Kind == PageKind::Plain
        ? page.Editor->PlainStream()
        : TRichEdit::PlainBytes{page.Editor->SaveToStream(), page.Editor->Encoding()};
    if (page.Kind == PageKind::Plain && page.LfLineEnds)
        out.bytes.truncate(static_cast<qsizetype>(
            documents::toLfInPlace(out.bytes.data(), static_cast<std::size_t>(out.bytes.size()))));
    result.error = documents::writeTextFile(page.FileName, out.bytes);
    if (result.error.ok()) {
        remember(slot, page.FileName);
        // The page keeps its encoding until the file is in another one.
        result.movedToUtf8 = out.encoding != page.Editor->Encoding();
        page.Editor->SetEncoding(out.encoding);
    }
    return result;
}

void PageSet::opened(int slot, const QString &path)
{
    table_[slot].FileName = path;
    emit pageAdded(slot);
}

void PageSet::saved(int slot)
{
    table_[slot].Editor->SetModified(false);
    emit pageChanged(slot);
}

void PageSet::closing(int slot)
{
    disk_[slot] = {};
    emit pageClosing(slot);
}

void PageSet::remember(int slot, const QString &path) { disk_[slot] = {path, documents::identityOf(path)}; }

documents::FileChange PageSet::diskChange(int slot) const
{
    const DiskFile &file = disk_[slot];
    if (file.path.isEmpty() || file.path != table_[slot].FileName)
        return documents::FileChange::None;
    return documents::changeSince(file.identity, documents::identityOf(file.path));
}

std::vector<LeftCopy> PageSet::newLeftCopies()
{
    std::vector<LeftCopy> fresh;
    for (LeftCopy &copy : SafeFileWriter::leftCopies())
        if (reportedCopies_.insert(copy.copy).second)
            fresh.push_back(std::move(copy));
    return fresh;
}

} // namespace kelpa::editor
