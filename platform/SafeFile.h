// File operations that never leave a half-written file in place.
#pragma once

#include <QString>

// Copies `from` to `to` (replaced if present) and flushes the copy to disk.
// The copy gets the permission bits of `from`, and is never readable by more
// accounts than `from` while it is written.
void CopyFileDurably(const QString& from, const QString& to);
// Creates the empty file `path`, which must not exist, with the permission
// bits of the file `model`, which it does not open (so a lock held on the
// model stays).
void CreateFileLike(const QString& path, const QString& model);
// Moves `from` over `to` in one atomic rename.
void ReplaceFile(const QString& from, const QString& to);
// Flushes a file's contents, or a folder's entries, to disk.
void SyncFile(const QString& path);
void SyncFolder(const QString& path);
