#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Folder listings that never raise for a missing folder, a recursive scan with
// masks and a flat file list. Every listing has its own iterator and is sorted
// case-insensitively, so a listing started from a handler that runs during
// another one leaves the outer listing alone, and "the last listed file" does
// not depend on the file system's hash order.
namespace zelmora::DirectoryFunctions {

// Listing attributes: read-only 1 (not owner-writable), hidden 2 (a dot-file),
// directory 16, archive 32 (every plain file).
enum Attr : int { kReadOnly = 1, kHidden = 2, kDirectory = 16, kArchive = 32 };

// ScanTree's failure: the root folder could not be read.
inline constexpr int kScanTreeError = -2147220270;  // 0x800404D2

// The path, or the nearest folder above it that exists, exists.
bool DriveExists(const QString& path);
// That folder can be read.
bool DriveIsReady(const QString& path);

// The names that "folder/mask" lists with the attributes ("." and ".." for
// directory listings), sorted case-insensitively. A pattern without a wildcard
// names one entry. Empty when the folder is missing or unreadable.
QStringList DirList(const QString& pattern, int attributes);
// The first name of that listing, "" when there is none.
QString SafeDir(const QString& pattern, int attributes);

// Case-insensitive "*" and "?" match on the name part of path ("*.*" matches
// every name, a mask ending in "." names without a dot); inverted on request.
bool MatchSpec(const QString& path, const QString& mask, bool invert = false);

// Files of folder and every sub-folder (symlinked folders are not followed);
// a sub-folder's files stand where the sub-folder was met. With exclude, every
// file except those matching a mask; otherwise the files matching each mask in
// turn. An unreadable sub-folder is skipped (traced); an unreadable root raises
// kScanTreeError with the source "ScanTree". A missing root gives nothing.
QStringList ScanTree(const QString& folder, bool exclude, const QStringList& masks);

// The files of folder matching mask ("" = every file), recursively or not.
QStringList GetFileList(const QString& folder, bool recurse, const QString& mask);

}  // namespace zelmora::DirectoryFunctions
