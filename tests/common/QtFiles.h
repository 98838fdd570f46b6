#pragma once
// Whole files read and written by their Qt paths, for the tests' fixtures.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace kelpa::test {

// The file's bytes; empty when it cannot be read.
inline QByteArray fileBytes(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes the bytes as the whole file; the test stops when it cannot be opened.
inline void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace kelpa::test
