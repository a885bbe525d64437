#pragma once

#include "platform/core/Api.h"

#include <QByteArray>
#include <QString>
#include <optional>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// Replaces the file at path with bytes, whole or not at all: the bytes go to a
// temporary file beside it, written unbuffered and checked, before it is renamed
// over the old one. Any failure (a full disk during the last flush included) leaves
// the old file as it was and throws AppError 75 whose description is the cause
// ("No space left on device"). Every save of a settings or data file goes through here.
void writeFileWhole(const QString& path, const QByteArray& bytes);

// For tests: the next `count` writes fail part-way with errno `error`, as a disk
// that fills during the write does.
void failFileWrites(int count, int error);

// Reads the whole file at path; nullopt when there is no file there. A file that
// is there but cannot be opened or read (permission, too many open files, an I/O
// error) throws AppError 75 with the cause, so that it is never taken for missing.
std::optional<QByteArray> readFileIfPresent(const QString& path);

// For tests: the next `count` opens by readFileIfPresent fail with errno `error`.
void failFileReads(int count, int error);

}  // namespace zelmora::platform

ZELMORA_API_END
