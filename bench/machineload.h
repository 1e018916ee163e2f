#pragma once
// What a benchmark reports beside its times: how busy the machine was, and
// how much processor time the process itself spent.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <sys/resource.h>

// The one-minute load average, or -1 where it can't be read.
inline double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().split(' ').value(0).toDouble();
}

// Processor time of the whole process so far (user and system, all threads).
inline double processSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
