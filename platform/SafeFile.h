// File operations that never leave a half-written file in place.
#pragma once

#include <QString>

// Copies `from` to `to` (replaced if present) and flushes the copy to disk.
void CopyFileDurably(const QString& from, const QString& to);
// Moves `from` over `to` in one atomic rename.
void ReplaceFile(const QString& from, const QString& to);
// Flushes a file's contents, or a folder's entries, to disk.
void SyncFile(const QString& path);
void SyncFolder(const QString& path);
