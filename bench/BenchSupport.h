// What the benchmarks share: the delivered empty database they start from,
// opened as start-up opens it (with forms.vsk attached: AttachForms).
#pragma once

#include "common/LayoutFiles.h"
#include "layout/FormStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <vector>

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

// Peak resident memory of this process so far, in kB.
inline long PeakKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// What one side of a comparison measured in a process of its own: the
// median time, and the peak memory before the work and after it (kB).
struct SideResult {
    double ms = 0;
    long before = 0;
    long peak = 0;
};

// Prints a side's result on standard output, for MeasureSide to read.
inline void ReportSide(const std::vector<double>& ms, long before) {
    std::printf("%.3f %ld %ld\n", Median(ms), before, PeakKb());
}

// Runs this benchmark again with `args` as one side and reads what it reported.
inline bool MeasureSide(const QStringList& args, SideResult* result) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        return false;
    const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
    if (f.size() != 3)
        return false;
    *result = {f[0].toDouble(), f[1].toLong(), f[2].toLong()};
    return true;
}
