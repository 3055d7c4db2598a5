#pragma once
// A counter the kernel keeps for the calling thread, read from one of its
// /proc files: ThreadCounter("status", "voluntary_ctxt_switches") for the
// times it waited, ThreadCounter("io", "syscr") for its read calls. -1 when
// the file or the field is missing. Reading it is itself one read call.
#include <QByteArray>
#include <QFile>

inline long ThreadCounter(const char* file, const char* field)
{
    QFile counters(QByteArray("/proc/thread-self/") + file);
    if (!counters.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : counters.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().toLong();
    return -1;
}
