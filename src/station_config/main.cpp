// SPDX-License-Identifier: GPL-3.0-or-later
// volnar-config: a station's configuration as a file (back up, compare,
// restore), on the client's own libraries and without a window.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSettings>
#include <QTextStream>
#include <cstdio>
#include <memory>

#include "core/licence.h"
#include "core/station_record.h"
#include "directory/station_directory.h"
#include "link/board_link.h"
#include "station_config/config_link.h"

namespace {

using namespace volnar;
using namespace volnar::config;

constexpr char kUsage[] =
    "Usage:\n"
    "  volnar-config backup ADDRESS [--database LOCATION] [-o FILE]\n"
    "  volnar-config backup-all --database LOCATION --dir DIR\n"
    "  volnar-config diff A B [--database LOCATION]     (A, B: a file or a station address)\n"
    "  volnar-config restore FILE --to ADDRESS [--dry-run] [--database LOCATION]\n"
    "\n"
    "Station addresses are looked up in the station directory (community, port,\n"
    "time-out, retries); without --database the client's stored location is used.\n"
    "Exit status: 0 done (diff: the same), 1 failed (diff: different), 2 error.\n";

QTextStream& Out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& Err() {
    static QTextStream stream(stderr);
    return stream;
}

QString DatabaseLocation(const QString& given) {
    if (!given.isEmpty()) {
        return given;
    }
    return QSettings(QStringLiteral("Dorvik"), QStringLiteral("VOLN"))
        .value(QStringLiteral("Options/Database/Location"))
        .toString();
}

// The station directory of one run, opened on first use.
class Stations {
public:
    explicit Stations(QString location) : m_location(std::move(location)) {}

    Result<StationRecord> Lookup(const QString& address) {
        if (address == QLatin1String(kProtectedAddress)) {
            return Failure{QStringLiteral("%1 is the directory's template station, never polled")
                               .arg(address)};
        }
        if (Result<void> open = Open(); !open) {
            return Failure{open.error()};
        }
        const LookupResult found = m_directory.LookupStation(address);
        if (found.status != LookupStatus::Found) {
            return Failure{QStringLiteral("%1 is not in the station directory").arg(address)};
        }
        return found.record;
    }
    Result<std::vector<StationRecord>> All() {
        if (Result<void> open = Open(); !open) {
            return Failure{open.error()};
        }
        auto rows = m_directory.LoadStationRecords();
        if (!rows) {
            return Failure{QStringLiteral("the station directory could not be read")};
        }
        return std::move(*rows);
    }

private:
    Result<void> Open() {
        if (m_directory.IsConnected()) {
            return {};
        }
        if (m_location.isEmpty()) {
            return Failure{QStringLiteral("no --database given and the client has stored none")};
        }
        if (Result<void> opened = m_directory.ConnectDatabase(m_location); !opened) {
            QString why =
                opened.failure().details.isEmpty() ? opened.error() : opened.failure().details;
            return Failure{QStringLiteral("the station directory could not be opened: ") +
                           m_location + QStringLiteral(": ") + why.simplified()};
        }
        return {};
    }

    QString m_location;
    StationDirectory m_directory;
};

// A link for one station; a stop on an error becomes a line on stderr.
std::unique_ptr<BoardLink> MakeLink(const StationRecord& record) {
    std::unique_ptr<BoardLink> link = config::LinkForStation(record);
    QObject::connect(link.get(), &BoardLink::StoppedByError, link.get(),
                     [](const QString& text, bool) {
                         Err() << "volnar-config: " << text.simplified() << Qt::endl;
                     });
    return link;
}

Result<StationConfig> ReadAddress(Stations& stations, const QString& address) {
    const Result<StationRecord> record = stations.Lookup(address);
    if (!record) {
        return Failure{record.error()};
    }
    const auto link = MakeLink(*record);
    return ReadStation(*link, address);
}

Result<StationConfig> ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Failure{QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    Result<StationConfig> parsed = ParseConfigFile(file.readAll());
    if (!parsed) {
        return Failure{QStringLiteral("%1: %2").arg(path, parsed.error())};
    }
    return parsed;
}

// A file when one exists at the path, else a station address.
Result<StationConfig> ReadEither(Stations& stations, const QString& what) {
    return QFileInfo::exists(what) ? ReadFile(what) : ReadAddress(stations, what);
}

Result<void> WriteFile(const QString& path, const StationConfig& config) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(WriteConfigFile(config)) < 0 ||
        !file.commit()) {
        return Failure{QStringLiteral("%1: %2").arg(path, file.errorString())};
    }
    return {};
}

int Fail(const QString& text) {
    Err() << "volnar-config: " << text << Qt::endl;
    return 2;
}

int Backup(Stations& stations, const QString& address, const QString& output) {
    const Result<StationConfig> config = ReadAddress(stations, address);
    if (!config) {
        return Fail(QStringLiteral("%1: %2").arg(address, config.error()));
    }
    if (output.isEmpty() || output == QLatin1String("-")) {
        Out() << QString::fromUtf8(WriteConfigFile(*config)) << Qt::flush;
        return 0;
    }
    const Result<void> written = WriteFile(output, *config);
    return written ? 0 : Fail(written.error());
}

int BackupAll(Stations& stations, const QString& dir) {
    const Result<std::vector<StationRecord>> rows = stations.All();
    if (!rows) {
        return Fail(rows.error());
    }
    if (!QDir().mkpath(dir)) {
        return Fail(QStringLiteral("cannot make the folder ") + dir);
    }
    int done = 0;
    QStringList failed;
    for (const StationRecord& row : *rows) {
        if (row.IPADDRESS == QLatin1String(kProtectedAddress)) {
            continue;
        }
        const auto link = MakeLink(row);
        Result<StationConfig> config = ReadStation(*link, row.IPADDRESS);
        Result<void> written =
            config ? WriteFile(QDir(dir).filePath(row.IPADDRESS + QStringLiteral(".conf")), *config)
                   : Result<void>(Failure{config.error()});
        if (written) {
            ++done;
            Out() << row.IPADDRESS << ": backed up" << Qt::endl;
        } else {
            failed << row.IPADDRESS;
            Out() << row.IPADDRESS << ": FAILED: " << written.error() << Qt::endl;
        }
    }
    Out() << done << " backed up, " << failed.size() << " failed"
          << (failed.isEmpty() ? QString()
                               : QStringLiteral(": ") + failed.join(QStringLiteral(", ")))
          << Qt::endl;
    return failed.isEmpty() ? 0 : 1;
}

int Diff(Stations& stations, const QString& a, const QString& b) {
    const Result<StationConfig> left = ReadEither(stations, a);
    if (!left) {
        return Fail(left.error());
    }
    const Result<StationConfig> right = ReadEither(stations, b);
    if (!right) {
        return Fail(right.error());
    }
    const QStringList lines = DiffConfigs(*left, *right);
    for (const QString& line : lines) {
        Out() << line << '\n';
    }
    Out().flush();
    return lines.isEmpty() ? 0 : 1;
}

QString ResultWord(const ItemResult& result) {
    return result.Done() ? QStringLiteral("done  ") : QStringLiteral("FAILED");
}

int Restore(Stations& stations, const QString& path, const QString& address, bool dryRun) {
    const Result<StationConfig> file = ReadFile(path);
    if (!file) {
        return Fail(file.error());
    }
    const Result<StationRecord> record = stations.Lookup(address);
    if (!record) {
        return Fail(record.error());
    }
    const auto link = MakeLink(*record);
    const RestoreReport report = config::Restore(
        *link, *file, address, dryRun,
        [&](const std::vector<PlanItem>& plan) {
            Out() << "Restore of " << path << " (from " << file->source << ") to station "
                  << address << ": " << plan.size() << " changes" << Qt::endl;
            for (const PlanItem& item : plan) {
                Out() << "  " << item.text << '\n';
            }
            Out().flush();
        },
        [](const ItemResult& result) {
            Out() << ResultWord(result) << ' ' << result.item.text;
            if (!result.Done()) {
                Out() << ": " << result.text;
            }
            Out() << Qt::endl;
        });
    if (!report.failure.isEmpty()) {
        return Fail(QStringLiteral("%1: %2").arg(address, report.failure));
    }
    if (dryRun) {
        return 0;
    }
    const auto failed = std::count_if(report.results.begin(), report.results.end(),
                                      [](const ItemResult& r) { return !r.Done(); });
    Out() << report.results.size() - static_cast<std::size_t>(failed) << " applied, " << failed
          << " failed" << Qt::endl;
    return report.AllApplied() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The libraries' progress notes are for the client's log, not for a
    // backup run by a timer; warnings still show.
    QLoggingCategory::setFilterRules(QStringLiteral("volnar.*.debug=false\nvolnar.*.info=false"));
    QCoreApplication::setApplicationName(QStringLiteral("volnar-config"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VOLNAR_VERSION_TEXT));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kUsage));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("backup, backup-all, diff or restore"));
    const QCommandLineOption database(QStringLiteral("database"),
                                      QStringLiteral("The station directory (a file or a "
                                                     "connection string)."),
                                      QStringLiteral("LOCATION"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("backup: write the file here (default: "
                                                   "standard output)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption dir(QStringLiteral("dir"),
                                 QStringLiteral("backup-all: one ADDRESS.conf per station here."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption to(QStringLiteral("to"),
                                QStringLiteral("restore: the station to restore to."),
                                QStringLiteral("ADDRESS"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("restore: show the plan, send nothing."));
    parser.addOptions({database, output, dir, to, dryRun});
    if (!parser.parse(QCoreApplication::arguments())) {
        return Fail(parser.errorText() + QLatin1Char('\n') + QString::fromLatin1(kUsage));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        Out() << parser.helpText() << Qt::flush;
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        Out() << "volnar-config " << VOLNAR_VERSION_TEXT << "\n" << kLicenceText << Qt::flush;
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    Stations stations(DatabaseLocation(parser.value(database)));
    if (command == QLatin1String("backup") && args.size() == 2) {
        return Backup(stations, args[1], parser.value(output));
    }
    if (command == QLatin1String("backup-all") && args.size() == 1 && parser.isSet(dir) &&
        parser.isSet(database)) {
        return BackupAll(stations, parser.value(dir));
    }
    if (command == QLatin1String("diff") && args.size() == 3) {
        return Diff(stations, args[1], args[2]);
    }
    if (command == QLatin1String("restore") && args.size() == 2 && parser.isSet(to)) {
        return Restore(stations, args[1], parser.value(to), parser.isSet(dryRun));
    }
    return Fail(QStringLiteral("unknown command or missing arguments\n") +
                QString::fromLatin1(kUsage));
}
