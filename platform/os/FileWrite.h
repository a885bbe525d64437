#pragma once

#include "platform/core/Api.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <string>

ZELMORA_API_BEGIN

namespace zelmora::platform {

// Replaces the file at path with bytes, whole or not at all: the bytes go to a
// temporary file beside it, written unbuffered and checked, flushed to the disk,
// before it is renamed over the old one (and the folder flushed after). Any failure
// (a full disk, a failed flush) leaves the old file as it was and throws AppError 75
// whose description is the cause ("No space left on device"). Every save of a
// settings or data file goes through here.
void writeFileWhole(const QString& path, const QByteArray& bytes);

// Flushes what was written to the file (or folder) open on fd to the disk; false
// on failure (errno says why). A file written under a temporary name (whole-file
// saves, downloads) is flushed through here before it takes its final name, so
// that after a power cut the name never shows an empty or partial file.
bool flushToDisk(int fd, const std::string& path);

// For tests: sees each flush through flushToDisk once it succeeded, with the
// path flushed.
void setFlushObserver(std::function<void(const std::string& path)> observer);

// For tests: sees each file that writeFileWhole replaced, with its path, once it
// holds the new contents.
void setWriteObserver(std::function<void(const std::string& path)> observer);

// For tests: the next `count` writes fail part-way with errno `error`, as a disk
// that fills during the write does.
void failFileWrites(int count, int error);

// For tests: the next `count` flushes through flushToDisk fail with errno
// `error`.
void failFileFlushes(int count, int error);

// Reads the whole file at path; nullopt when there is no file there. A file that
// is there but cannot be opened or read (permission, too many open files, an I/O
// error) throws AppError 75 with the cause, so that it is never taken for missing.
std::optional<QByteArray> readFileIfPresent(const QString& path);

// For tests: the next `count` opens by readFileIfPresent fail with errno `error`.
void failFileReads(int count, int error);

}  // namespace zelmora::platform

ZELMORA_API_END
