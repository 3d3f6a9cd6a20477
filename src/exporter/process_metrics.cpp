// SPDX-License-Identifier: GPL-3.0-or-later
#include <dirent.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QFile>
#include <QLocale>

#include <chrono>
#include <mutex>
#include <optional>

#include "exporter/metrics_board.h"

namespace volnar {

namespace {

QByteArray ReadProcFile(const char* path) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Family(QByteArray& out, const char* name, const char* type, const char* help, double value) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n' +
           name + ' ' + QByteArray::number(value, 'g', QLocale::FloatingPointShortest) + '\n';
}

// Counted with readdir, no list built. With thousands of station sockets a
// count costs the kernel 10-20 ms, so it is taken at most every 10 s, not
// at every scrape.
qint64 OpenFdCount() {
    static std::mutex mutex;
    static std::optional<std::chrono::steady_clock::time_point> countedAt;
    static qint64 count = 0;
    const std::lock_guard lock(mutex);
    if (countedAt && std::chrono::steady_clock::now() - *countedAt < std::chrono::seconds(10)) {
        return count;
    }
    qint64 fds = 0;
    if (DIR* directory = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(directory)) {
            fds += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(directory);
        --fds;  // the directory's own descriptor
    }
    count = fds;
    countedAt = Clock::now();
    return count;
}

}  // namespace

void ReturnFreedMemory() {
    // glibc keeps freed blocks of its heaps for the next allocations: after
    // a few scrapes at once (11 MB bodies at 5,000 stations) that stayed
    // resident for good. Giving it back at every scrape would cost each
    // next body its page faults again, so this runs once scrapes pause.
    malloc_trim(0);
}

QByteArray ProcessMetrics() {
    QByteArray out;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    const double page = static_cast<double>(sysconf(_SC_PAGESIZE));
    // /proc/self/stat: the fields after the command's closing parenthesis
    // start at field 3 (state); utime is 14, stime 15, starttime 22, rss 24.
    const QByteArray stat = ReadProcFile("/proc/self/stat");
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const auto field = [&fields](int number) { return fields.value(number - 3).toDouble(); };
    if (fields.size() >= 22 && ticks > 0) {
        Family(out, "process_cpu_seconds_total", "counter",
               "Total user and system CPU time spent in seconds.", (field(14) + field(15)) / ticks);
        Family(out, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.",
               field(24) * page);
        double bootTime = 0;
        for (const QByteArray& line : ReadProcFile("/proc/stat").split('\n')) {
            if (line.startsWith("btime ")) {
                bootTime = line.mid(6).trimmed().toDouble();
            }
        }
        Family(out, "process_start_time_seconds", "gauge",
               "Start time of the process since unix epoch in seconds.",
               bootTime + field(22) / ticks);
    }
    Family(out, "process_open_fds", "gauge", "Number of open file descriptors.",
           static_cast<double>(OpenFdCount()));
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        Family(out, "process_max_fds", "gauge", "Maximum number of open file descriptors.",
               static_cast<double>(limit.rlim_cur));
    }
    return out;
}

}  // namespace volnar
