#pragma once
// File operations with the semantics of the Windows calls the programs were written against.
// On failure they return false and leave the reason in errno (see LastError.h).
#include <QString>
#include <cstdint>

namespace kelpa::platform {

// Attribute bits.
constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr std::uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Attributes of a file or folder; all bits set when it does not exist. A file is read-only
// when its owner may not write it; hidden when its name begins with ".".
std::uint32_t fileAttributes(const QString &path);
bool fileExists(const QString &path);       // a file, not a folder
bool setReadOnly(const QString &path, bool readOnly);

// Moves a file or folder; never replaces an existing target (false with EEXIST). Moves a file
// across file systems by copying it and then removing the source.
bool moveFile(const QString &source, const QString &target);
// Copies a file, replacing the target when `overwrite` (never a read-only one: false with
// EACCES); the copy is written to a temporary file beside the target and renamed into place.
// Permission bits go with the copy.
bool copyFile(const QString &source, const QString &target, bool overwrite);
// Deletes a file (not a folder).
bool deleteFile(const QString &path);
// Creates one folder level.
bool createDirectory(const QString &path);

} // namespace kelpa::platform
