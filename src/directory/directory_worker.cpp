#include "directory/directory_worker.h"

#include <atomic>
#include <memory>

#include <QEventLoop>
#include <QLoggingCategory>
#include <QMutex>
#include <QPointer>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QThread>

Q_LOGGING_CATEGORY(lcDirectoryWorker, "volnar.directory")

namespace volnar {
namespace {

std::atomic<int> g_threadsLeftRunning{0};

}  // namespace

// What the worker and its thread share. The thread may outlive the worker:
// it is left to finish a statement on a server that stopped answering, and
// then must find nothing of the worker's own.
struct DirectoryShared {
    std::atomic_bool stopping = false;
    QSemaphore started;
    QSemaphore ended;
    QMutex mutex;                      // guards the five below
    DirectoryWorker* owner = nullptr;  // null once the worker is gone
    QThread* thread = nullptr;         // the worker thread's, while it runs
    DirectoryCore* core = nullptr;
    bool finished = false;
    bool leftRunning = false;  // counted in g_threadsLeftRunning

    // Runs `call` on the owner's thread, if and while the owner lives (a
    // queued call to a deleted object is dropped). False when it is gone.
    bool Post(std::function<void(DirectoryWorker&)> call) {
        const QMutexLocker lock(&mutex);
        if (owner == nullptr) {
            return false;
        }
        DirectoryWorker* target = owner;
        QMetaObject::invokeMethod(
            target, [target, call = std::move(call)] { call(*target); }, Qt::QueuedConnection);
        return true;
    }
};

namespace {

bool IsDatabaseFailure(const QString& text) {
    for (const char* failure :
         {kEnvironmentFailed, kConnectionFailed, kStatementFailed, kExecutionFailed}) {
        if (text == QLatin1String(failure)) {
            return true;
        }
    }
    return false;
}

// The worker's message service: notes database failures, logs every box
// of an operation the operator asked for, and hands it to the real service
// on the owner's thread. A question (Delete IP's Yes/No) is asked there too,
// and the worker waits for the operator's answer; a quiet operation, or one
// whose worker is going away, takes No: nothing is ever deleted without the
// operator's Yes. Quiet failures are logged by the directory itself, whose
// log leaves out the repeats of a long run of them.
class WorkerMessages final : public MessageService {
public:
    WorkerMessages(std::shared_ptr<DirectoryShared> shared, MessageService& target)
        : m_shared(std::move(shared)), m_target(target) {}

    bool Show(MessageIcon icon, const QString& text, MessageButtons buttons,
              const QString& caption) override {
        if (buttons != MessageButtons::Ok) {
            return Ask(icon, text, buttons, caption);
        }
        Forward(icon, text, buttons, caption, QString(), false);
        return true;
    }
    void ShowDetailed(MessageIcon icon, const QString& text, const QString& details) override {
        Forward(icon, text, MessageButtons::Ok, QString(), details, true);
    }

    bool loud = false;
    bool failed = false;

private:
    void Forward(MessageIcon icon, const QString& text, MessageButtons buttons,
                 const QString& caption, const QString& details, bool detailed) {
        if (IsDatabaseFailure(text)) {
            failed = true;
        }
        if (!loud) {
            return;
        }
        qCInfo(lcDirectoryWorker).noquote() << "box:" << text << details;
        // Dereferenced on the owner's thread, only while the owner lives.
        MessageService* target = &m_target;
        m_shared->Post([target, icon, text, buttons, caption, details, detailed](DirectoryWorker&) {
            if (detailed) {
                target->ShowDetailed(icon, text, details);
            } else {
                target->Show(icon, text, buttons, caption);
            }
        });
    }

    bool Ask(MessageIcon icon, const QString& text, MessageButtons buttons,
             const QString& caption) {
        qCInfo(lcDirectoryWorker).noquote() << (loud ? "question:" : "quiet question:") << text;
        if (!loud) {
            return false;
        }
        struct Answer {
            QSemaphore given;
            std::atomic_bool yes = false;
        };
        auto answer = std::make_shared<Answer>();
        MessageService* target = &m_target;
        if (!m_shared->Post([target, answer, icon, text, buttons, caption](DirectoryWorker&) {
                answer->yes = target->Show(icon, text, buttons, caption);
                answer->given.release();
            })) {
            return false;
        }
        // Not a blocking call: the owner may be waiting for this thread in
        // its destructor, and then the question is never shown.
        while (!answer->given.tryAcquire(1, 50)) {
            if (m_shared->stopping) {
                return false;
            }
        }
        return answer->yes;
    }

    std::shared_ptr<DirectoryShared> m_shared;
    MessageService& m_target;
};

// `done` for one owner: called only while the owner lives.
template <typename Result, typename Done>
std::function<void(Result)> ForOwner(QObject* owner, Done done) {
    Q_ASSERT(owner != nullptr);
    return [owner = QPointer<QObject>(owner), done = std::move(done)](Result result) {
        if (owner) {
            done(std::move(result));
        }
    };
}

}  // namespace

// Lives on the worker thread and owns everything that touches the database.
class DirectoryCore final : public QObject {
public:
    DirectoryCore(std::shared_ptr<DirectoryShared> shared, MessageService& messages,
                  DirectoryTimings timings)
        : m_shared(shared),
          m_messages(std::move(shared), messages),
          m_directory(m_messages),
          m_editor(m_directory, m_messages, [] {}),
          m_timings(timings),
          m_retry(this) {
        m_retry.setSingleShot(true);
        QObject::connect(&m_retry, &QTimer::timeout, this, [this] { Reconnect(); });
    }

    // One operation: loud or quiet, reconnecting first when the connection
    // was lost; true when the database did not fail.
    template <typename Result>
    Result Do(bool loud, const std::function<Result(DirectoryCore&)>& work, bool* ok) {
        if (!m_location.isNull() && !m_directory.IsConnected()) {
            Open(false);
        }
        m_messages.loud = loud;
        m_messages.failed = false;
        Result result = work(*this);
        m_messages.loud = false;
        *ok = !m_messages.failed;
        if (m_messages.failed) {
            Lost();
        } else {
            m_delay = m_timings.firstRetryMs;
        }
        return result;
    }

    bool Connect(const QString& location) {
        m_location = location;
        m_delay = m_timings.firstRetryMs;
        m_retry.stop();
        return Open(true);
    }

    bool Disconnect() {
        m_location = QString();
        m_retry.stop();
        m_directory.DisconnectDatabase();
        return true;
    }

    StationDirectory& Directory() { return m_directory; }
    StationEditor& Editor() { return m_editor; }

private:
    bool Open(bool loud) {
        m_messages.loud = loud;
        const bool ok = m_directory.ConnectDatabase(
            m_location,
            DirectoryWorker::ConnectOptionsFor(m_location, m_timings.loginTimeoutSeconds));
        m_messages.loud = false;
        if (!ok) {
            ScheduleRetry();
            return false;
        }
        LimitStatements();
        return true;
    }

    // A statement waiting on another client's lock would hold the worker
    // (and every operation queued behind it) for as long as the lock lasts:
    // a PostgreSQL server ends it after statementTimeoutMs. A SQLite file has
    // its busy time-out in the connection string.
    void LimitStatements() {
        QSqlDatabase db = QSqlDatabase::database(m_directory.ConnectionName(), false);
        if (m_timings.statementTimeoutMs <= 0 || db.driver() == nullptr ||
            db.driver()->dbmsType() != QSqlDriver::PostgreSQL) {
            return;
        }
        QSqlQuery query(db);
        if (!query.exec(
                QStringLiteral("SET statement_timeout = %1").arg(m_timings.statementTimeoutMs))) {
            qCWarning(lcDirectoryWorker) << "cannot set the statement time-out";
        }
    }

    // A failed statement may mean a dead connection (a restarted server
    // leaves the old one open but useless): close it and open a new one.
    void Lost() {
        m_directory.Failures().Note(QStringLiteral("database failed; reconnecting"));
        m_directory.DisconnectDatabase();
        ScheduleRetry();
    }

    // The delay grows while nothing succeeds: a connection that opens but
    // whose table does not read (a server without the table, say) is retried
    // ever more rarely, up to longestRetryMs, not four times a second.
    void ScheduleRetry() {
        if (m_location.isNull() || m_retry.isActive()) {
            return;
        }
        m_retry.start(m_delay);
        m_delay = std::min(m_delay * 2, m_timings.longestRetryMs);
    }

    // Back only once the table reads: only then is the directory answering.
    void Reconnect() {
        if (m_directory.IsConnected() || !Open(false)) {
            return;
        }
        m_messages.failed = false;
        if (!m_directory.ReadsTable()) {
            Lost();
            return;
        }
        m_directory.Failures().Note(QStringLiteral("reconnected"));
        m_delay = m_timings.firstRetryMs;
        m_shared->Post([](DirectoryWorker& worker) {
            worker.SetAnswering(true);
            Q_EMIT worker.Reconnected();
        });
    }

    std::shared_ptr<DirectoryShared> m_shared;
    WorkerMessages m_messages;
    StationDirectory m_directory;
    StationEditor m_editor;
    DirectoryTimings m_timings;
    QTimer m_retry;
    QString m_location;
    int m_delay = 0;
};

namespace {

// The worker thread: its own event loop and the core on it, until the
// worker asks it to end; then the core closes the connection.
void RunDirectoryThread(const std::shared_ptr<DirectoryShared>& shared, MessageService* messages,
                        DirectoryTimings timings) {
    QThread::currentThread()->setObjectName(QStringLiteral("volnar-directory"));
    {
        QEventLoop loop;
        DirectoryCore core(shared, *messages, timings);
        {
            const QMutexLocker lock(&shared->mutex);
            shared->thread = QThread::currentThread();
            shared->core = &core;
        }
        shared->started.release();
        loop.exec();
        const QMutexLocker lock(&shared->mutex);
        shared->thread = nullptr;
        shared->core = nullptr;
    }
    const QMutexLocker lock(&shared->mutex);
    shared->finished = true;
    if (shared->leftRunning) {
        --g_threadsLeftRunning;
    }
    shared->ended.release();
}

}  // namespace

DirectoryWorker::DirectoryWorker(MessageService& messages, DirectoryTimings timings,
                                 QObject* parent)
    : QObject(parent), m_timings(timings), m_shared(std::make_shared<DirectoryShared>()) {
    m_shared->owner = this;
    // A std::thread rather than a QThread: one that is left to end by itself
    // must not have an object here that it still uses.
    m_thread = std::thread(RunDirectoryThread, m_shared, &messages, timings);
    m_shared->started.acquire();
    m_core = m_shared->core;
    m_lateTimer.setInterval(std::max(10, m_timings.lateMs / 4));
    connect(&m_lateTimer, &QTimer::timeout, this, &DirectoryWorker::CheckLate);
}

DirectoryWorker::~DirectoryWorker() {
    {
        const QMutexLocker lock(&m_shared->mutex);
        m_shared->stopping = true;
        m_shared->owner = nullptr;
        if (m_shared->thread != nullptr) {
            m_shared->thread->exit();  // after the operation under way
        }
    }
    if (m_shared->ended.tryAcquire(1, m_timings.quitWaitMs)) {
        m_thread.join();
        return;
    }
    qCWarning(lcDirectoryWorker) << "the directory has not answered for" << m_timings.quitWaitMs
                                 << "ms; its thread ends by itself when it does";
    {
        const QMutexLocker lock(&m_shared->mutex);
        if (!m_shared->finished) {
            m_shared->leftRunning = true;
            ++g_threadsLeftRunning;
        }
    }
    m_thread.detach();
}

int DirectoryWorker::ThreadsLeftRunning() {
    return g_threadsLeftRunning;
}

QString DirectoryWorker::ConnectOptionsFor(const QString& location, int loginTimeoutSeconds) {
    if (!IsConnectionString(location) || loginTimeoutSeconds <= 0) {
        return QString();
    }
    return QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(loginTimeoutSeconds);
}

template <typename Result>
void DirectoryWorker::Run(bool loud, std::function<Result(DirectoryCore&)> work,
                          std::function<void(Result)> done) {
    if (m_outstanding++ == 0) {
        m_oldest.start();
        m_lateTimer.start();
    }
    DirectoryCore* core = m_core;
    QMetaObject::invokeMethod(
        core,
        [core, shared = m_shared, loud, work = std::move(work), done = std::move(done)] {
            bool ok = true;
            Result result = core->Do<Result>(loud, work, &ok);
            shared->Post([done, result = std::move(result), ok](DirectoryWorker& worker) {
                worker.Finished(ok);
                done(result);
            });
        },
        Qt::QueuedConnection);
}

void DirectoryWorker::Finished(bool ok) {
    if (--m_outstanding == 0) {
        m_lateTimer.stop();
    } else {
        m_oldest.start();  // the next one in line waited at most this long
    }
    SetAnswering(ok);
}

void DirectoryWorker::SetAnswering(bool answering) {
    if (m_answering != answering) {
        m_answering = answering;
        Q_EMIT AnsweringChanged(answering);
    }
}

void DirectoryWorker::CheckLate() {
    if (m_outstanding > 0 && m_oldest.elapsed() > m_timings.lateMs) {
        SetAnswering(false);
    }
}

void DirectoryWorker::Connect(const QString& location) {
    Run<bool>(
        true, [location](DirectoryCore& core) { return core.Connect(location); },
        [this](bool ok) { Q_EMIT Connected(ok); });
}

void DirectoryWorker::Disconnect() {
    Run<bool>(
        false, [](DirectoryCore& core) { return core.Disconnect(); }, [](bool) {});
}

void DirectoryWorker::LoadStationList(bool loud) {
    Run<std::optional<StationList>>(
        loud, [](DirectoryCore& core) { return core.Directory().LoadStationList(); },
        [this](std::optional<StationList> list) {
            if (list) {
                Q_EMIT StationListLoaded(*list);
            } else {
                Q_EMIT StationListFailed();
            }
        });
}

void DirectoryWorker::LoadAddressList(QObject* owner,
                                      std::function<void(const AddressList&)> done) {
    Run<std::optional<AddressList>>(
        true, [](DirectoryCore& core) { return core.Directory().LoadAddressList(); },
        ForOwner<std::optional<AddressList>>(
            owner, [done = std::move(done)](std::optional<AddressList> list) {
                if (list) {
                    done(*list);
                }
            }));
}

void DirectoryWorker::LoadStationRecords() {
    Run<std::optional<std::vector<StationRecord>>>(
        true, [](DirectoryCore& core) { return core.Directory().LoadStationRecords(); },
        [this](std::optional<std::vector<StationRecord>> records) {
            if (records) {
                Q_EMIT StationRecordsLoaded(*records);
            }
        });
}

void DirectoryWorker::LookupStation(const QString& address) {
    Run<LookupResult>(
        false, [address](DirectoryCore& core) { return core.Directory().LookupStation(address); },
        [this, address](LookupResult result) { Q_EMIT StationLookedUp(address, result); });
}

void DirectoryWorker::LookupStation(const QString& address, QObject* owner,
                                    std::function<void(const LookupResult&)> done) {
    Run<LookupResult>(
        false, [address](DirectoryCore& core) { return core.Directory().LookupStation(address); },
        ForOwner<LookupResult>(owner, std::move(done)));
}

void DirectoryWorker::SetDefaultStation(const QString& address) {
    Run<bool>(
        true,
        [address](DirectoryCore& core) { return core.Directory().SetDefaultStation(address); },
        [this](bool ok) { Q_EMIT DefaultStationSet(ok); });
}

void DirectoryWorker::Submit(StationDialogMode mode, const StationForm& form, QObject* owner,
                             StationWrites::SubmitDone done) {
    using Outcome = std::pair<bool, StationFormField>;
    auto answer = ForOwner<Outcome>(
        owner, [done = std::move(done)](Outcome outcome) { done(outcome.first, outcome.second); });
    Run<Outcome>(
        true,
        [mode, form](DirectoryCore& core) {
            const bool written = core.Editor().Submit(mode, form);
            return Outcome{written, core.Editor().ProblemField()};
        },
        [this, answer = std::move(answer)](Outcome outcome) {
            if (outcome.first) {
                Q_EMIT StationsChanged();
            }
            answer(outcome);
        });
}

void DirectoryWorker::Delete(const QString& comboText, QObject* owner,
                             std::function<void(bool)> done) {
    auto answer = ForOwner<bool>(owner, std::move(done));
    Run<bool>(
        true, [comboText](DirectoryCore& core) { return core.Editor().Delete(comboText); },
        [this, answer = std::move(answer)](bool deleted) {
            if (deleted) {
                Q_EMIT StationsChanged();
            }
            answer(deleted);
        });
}

void DirectoryWorker::ReadStations(QObject* owner,
                                   std::function<void(const std::vector<StationRecord>&)> done) {
    using Rows = std::optional<std::vector<StationRecord>>;
    Run<Rows>(
        true, [](DirectoryCore& core) { return core.Directory().LoadStationRecords(); },
        ForOwner<Rows>(owner, [done = std::move(done)](Rows rows) {
            if (rows) {
                done(*rows);
            }
        }));
}

void DirectoryWorker::AddStations(std::vector<StationRecord> records, QObject* owner,
                                  std::function<void(const Result<int>&)> done) {
    auto answer = ForOwner<Result<int>>(owner, std::move(done));
    Run<Result<int>>(
        true,
        [records = std::move(records)](DirectoryCore& core) {
            return core.Directory().AddStations(records);
        },
        [this, answer = std::move(answer)](Result<int> added) {
            if (added) {
                Q_EMIT StationsChanged();
            }
            answer(std::move(added));
        });
}

}  // namespace volnar
