// SPDX-License-Identifier: GPL-3.0-or-later
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

#include "directory/logging.h"

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

// Whether an answer says the database did not work: the connection is then
// suspect and is opened afresh.
template <typename T>
bool Unavailable(const Result<T>& result) {
    return !result && result.kind() == FailureKind::Unavailable;
}
bool Unavailable(const LookupResult& result) {
    return result.status == LookupStatus::Failed;
}
bool Unavailable(const std::pair<Result<void>, StationFormField>& result) {
    return Unavailable(result.first);
}

// `done` for one owner: called only while the owner lives.
template <typename Answer, typename Done>
std::function<void(Answer)> ForOwner(QObject* owner, Done done) {
    Q_ASSERT(owner != nullptr);
    return [owner = QPointer<QObject>(owner), done = std::move(done)](Answer answer) {
        if (owner) {
            done(std::move(answer));
        }
    };
}

}  // namespace

// Lives on the worker thread and owns everything that touches the database.
class DirectoryCore final : public QObject {
public:
    DirectoryCore(std::shared_ptr<DirectoryShared> shared, DirectoryTimings timings)
        : m_shared(std::move(shared)),
          m_editor(m_directory, [] {}),
          m_timings(timings),
          m_retry(this) {
        m_retry.setSingleShot(true);
        QObject::connect(&m_retry, &QTimer::timeout, this, [this] { Reconnect(); });
    }

    // One operation, reconnecting first when the connection was lost; `ok`
    // is false when the database did not work.
    template <typename Answer>
    Answer Do(const std::function<Answer(DirectoryCore&)>& work, bool* ok) {
        if (!m_location.isNull() && !m_directory.IsConnected()) {
            (void)Open();
        }
        Answer answer = work(*this);
        *ok = !Unavailable(answer);
        if (*ok) {
            m_delay = m_timings.firstRetryMs;
        } else {
            Lost();
        }
        return answer;
    }

    Result<void> Connect(const QString& location) {
        m_location = location;
        m_delay = m_timings.firstRetryMs;
        m_retry.stop();
        return Open();
    }

    Result<void> Disconnect() {
        m_location = QString();
        m_retry.stop();
        m_directory.DisconnectDatabase();
        return {};
    }

    StationDirectory& Directory() { return m_directory; }
    StationEditor& Editor() { return m_editor; }

private:
    Result<void> Open() {
        Result<void> opened = m_directory.ConnectDatabase(
            m_location,
            DirectoryWorker::ConnectOptionsFor(m_location, m_timings.loginTimeoutSeconds));
        if (!opened) {
            ScheduleRetry();
            return opened;
        }
        LimitStatements();
        return opened;
    }

    // A statement waiting on another client's lock would hold the worker
    // (and every operation queued behind it) for as long as the lock lasts:
    // a PostgreSQL server ends it after statementTimeoutMs. A SQLite file has
    // its busy time-out in the connection string.
    void LimitStatements() {
        const QSqlDatabase db = m_directory.Connection();
        if (m_timings.statementTimeoutMs <= 0 || db.driver() == nullptr ||
            db.driver()->dbmsType() != QSqlDriver::PostgreSQL) {
            return;
        }
        QSqlQuery query(db);
        if (!query.exec(
                QStringLiteral("SET statement_timeout = %1").arg(m_timings.statementTimeoutMs))) {
            qCWarning(lcDirectory) << "cannot set the statement time-out";
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
        if (m_directory.IsConnected() || !Open()) {
            return;
        }
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
void RunDirectoryThread(const std::shared_ptr<DirectoryShared>& shared, DirectoryTimings timings) {
    QThread::currentThread()->setObjectName(QStringLiteral("volnar-directory"));
    {
        QEventLoop loop;
        DirectoryCore core(shared, timings);
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

DirectoryWorker::DirectoryWorker(DirectoryTimings timings, QObject* parent)
    : QObject(parent), m_timings(timings), m_shared(std::make_shared<DirectoryShared>()) {
    m_shared->owner = this;
    // A std::thread rather than a QThread: one that is left to end by itself
    // must not have an object here that it still uses.
    m_thread = std::thread(RunDirectoryThread, m_shared, timings);
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
    qCWarning(lcDirectory) << "the directory has not answered for" << m_timings.quitWaitMs
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

template <typename Answer>
void DirectoryWorker::Run(std::function<Answer(DirectoryCore&)> work,
                          std::function<void(Answer)> done) {
    if (m_outstanding++ == 0) {
        m_oldest.start();
        m_lateTimer.start();
    }
    DirectoryCore* core = m_core;
    QMetaObject::invokeMethod(
        core,
        [core, shared = m_shared, work = std::move(work), done = std::move(done)] {
            bool ok = true;
            Answer answer = core->Do<Answer>(work, &ok);
            shared->Post([done, answer = std::move(answer), ok](DirectoryWorker& worker) {
                worker.Finished(ok);
                done(answer);
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
    Run<Result<void>>([location](DirectoryCore& core) { return core.Connect(location); },
                      [this](const Result<void>& opened) { Q_EMIT Connected(opened); });
}

void DirectoryWorker::Disconnect() {
    Run<Result<void>>([](DirectoryCore& core) { return core.Disconnect(); },
                      [](const Result<void>&) {});
}

void DirectoryWorker::LoadStationList(bool loud) {
    Run<Result<StationList>>([](DirectoryCore& core) { return core.Directory().LoadStationList(); },
                             [this, loud](const Result<StationList>& list) {
                                 if (list) {
                                     Q_EMIT StationListLoaded(*list);
                                 } else {
                                     Q_EMIT StationListFailed(list.failure(), loud);
                                 }
                             });
}

void DirectoryWorker::LoadAddressList(QObject* owner,
                                      std::function<void(const Result<AddressList>&)> done) {
    Run<Result<AddressList>>([](DirectoryCore& core) { return core.Directory().LoadAddressList(); },
                             ForOwner<Result<AddressList>>(owner, std::move(done)));
}

void DirectoryWorker::LoadStationRecords() {
    using Records = Result<std::vector<StationRecord>>;
    Run<Records>([](DirectoryCore& core) { return core.Directory().LoadStationRecords(); },
                 [this](const Records& records) {
                     if (records) {
                         Q_EMIT StationRecordsLoaded(*records);
                     } else {
                         Q_EMIT StationRecordsFailed(records.failure());
                     }
                 });
}

void DirectoryWorker::LookupStation(const QString& address) {
    Run<LookupResult>(
        [address](DirectoryCore& core) { return core.Directory().LookupStation(address); },
        [this, address](const LookupResult& result) { Q_EMIT StationLookedUp(address, result); });
}

void DirectoryWorker::LookupStation(const QString& address, QObject* owner,
                                    std::function<void(const LookupResult&)> done) {
    Run<LookupResult>(
        [address](DirectoryCore& core) { return core.Directory().LookupStation(address); },
        ForOwner<LookupResult>(owner, std::move(done)));
}

void DirectoryWorker::SetDefaultStation(const QString& address) {
    Run<Result<void>>(
        [address](DirectoryCore& core) { return core.Directory().SetDefaultStation(address); },
        [this](const Result<void>& set) { Q_EMIT DefaultStationSet(set); });
}

void DirectoryWorker::Submit(StationDialogMode mode, const StationForm& form, QObject* owner,
                             StationWrites::SubmitDone done) {
    using Outcome = std::pair<Result<void>, StationFormField>;
    auto answer = ForOwner<Outcome>(owner, [done = std::move(done)](const Outcome& outcome) {
        done(outcome.first, outcome.second);
    });
    Run<Outcome>(
        [mode, form](DirectoryCore& core) {
            Result<void> written = core.Editor().Submit(mode, form);
            return Outcome{std::move(written), core.Editor().ProblemField()};
        },
        [this, answer = std::move(answer)](const Outcome& outcome) {
            if (outcome.first) {
                Q_EMIT StationsChanged();
            }
            answer(outcome);
        });
}

void DirectoryWorker::CheckDelete(const QString& comboText, QObject* owner,
                                  std::function<void(const Result<StationRecord>&)> done) {
    Run<Result<StationRecord>>(
        [comboText](DirectoryCore& core) { return core.Editor().CheckDelete(comboText); },
        ForOwner<Result<StationRecord>>(owner, std::move(done)));
}

void DirectoryWorker::Delete(const QString& address, QObject* owner,
                             std::function<void(const Result<void>&)> done) {
    auto answer = ForOwner<Result<void>>(owner, std::move(done));
    Run<Result<void>>([address](DirectoryCore& core) { return core.Editor().Delete(address); },
                      [this, answer = std::move(answer)](const Result<void>& deleted) {
                          if (deleted) {
                              Q_EMIT StationsChanged();
                          }
                          answer(deleted);
                      });
}

void DirectoryWorker::ReadStations(
    QObject* owner, std::function<void(const Result<std::vector<StationRecord>>&)> done) {
    using Rows = Result<std::vector<StationRecord>>;
    Run<Rows>([](DirectoryCore& core) { return core.Directory().LoadStationRecords(); },
              ForOwner<Rows>(owner, std::move(done)));
}

void DirectoryWorker::AddStations(std::vector<StationRecord> records, QObject* owner,
                                  std::function<void(const Result<int>&)> done) {
    auto answer = ForOwner<Result<int>>(owner, std::move(done));
    Run<Result<int>>([records = std::move(records)](
                         DirectoryCore& core) { return core.Directory().AddStations(records); },
                     [this, answer = std::move(answer)](Result<int> added) {
                         if (added) {
                             Q_EMIT StationsChanged();
                         }
                         answer(std::move(added));
                     });
}

}  // namespace volnar
