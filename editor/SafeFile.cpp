#include "editor/SafeFile.h"

#include "engine/SafeFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace kelpa::editor {

using kelpa::SafeFileWriter;

namespace {

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// The reason of a failure, as a text for the caller and in errno for its message.
bool failed(QString *error, int err)
{
    setError(error, QString::fromLocal8Bit(std::strerror(err)));
    errno = err;
    return false;
}

} // namespace

bool replaceFileThrough(const QString &fileName, const std::function<bool(const QString &)> &writer, QString *error)
{
    bool ok = false;
    int err = 0;
    {
        SafeFileWriter out(QFile::encodeName(fileName).toStdString());
        if (!out.isOpen())
            return failed(error, out.systemError());
        out.handOver();
        try {
            ok = writer(QFile::decodeName(QByteArray::fromStdString(out.tempName())));
        } catch (...) {
            ok = false;
        }
        err = errno;
        if (ok && !out.commit())
            return failed(error, out.systemError());
    }
    if (!ok) {
        // The reason stays in errno for the caller's message.
        errno = err;
        if (error && error->isEmpty())
            *error = QStringLiteral("The file could not be written");
        return false;
    }
    return true;
}

bool writeFileReplacing(const QString &fileName, const QByteArray &bytes, QString *error)
{
    SafeFileWriter out(QFile::encodeName(fileName).toStdString());
    if (!out.isOpen() || !out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) || !out.commit())
        return failed(error, out.systemError());
    return true;
}

bool isReadOnlyFile(const QString &fileName)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(fileName);
    if (::stat(name.constData(), &st) != 0)
        return false;
    return (st.st_mode & S_IWUSR) == 0;
}

} // namespace kelpa::editor
