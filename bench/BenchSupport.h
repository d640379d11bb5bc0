// What the benchmarks share: the delivered empty database they start from,
// opened as start-up opens it (with forms.vsk attached: AttachForms).
#pragma once

#include "common/LayoutFiles.h"
#include "layout/FormStore.h"

#include <QDir>
#include <QFile>
#include <cstdio>

// The delivered data.vsk: the one named on the command line, else the one
// this build wrote.
inline QString DeliveredDatabase(const QString& named) {
    return named.isEmpty() ? QStringLiteral(VESK_DELIVERED_DB) : named;
}

// Copies `delivered` into `folder` as its data.vsk, writable; returns its
// path, or the empty text (with a line on standard error) when it cannot.
inline QString CopyDeliveredInto(const QString& folder, const QString& delivered) {
    const QString file = QDir(folder).filePath(LayoutFiles::Data);
    if (!QFile::copy(delivered, file)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(delivered));
        return QString();
    }
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    return file;
}
