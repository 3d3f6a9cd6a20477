// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "directory/station_directory.h"
#include "directory/station_form.h"

namespace volnar {

class DirectoryCore;
struct DirectoryShared;

// Time-outs and back-off of the directory worker.
struct DirectoryTimings {
    int loginTimeoutSeconds = 5;    // ODBC login time-out of a connection string
    int statementTimeoutMs = 5000;  // a PostgreSQL server's statement_timeout
    int lateMs = 1000;              // an answer later than this: not answering
    int firstRetryMs = 250;         // back-off of the reconnection, doubling
    int longestRetryMs = 30000;
    int quitWaitMs = 2000;  // the longest the destructor waits for a statement
};

// The station directory off the GUI thread. One worker thread owns the
// connection (a StationDirectory and the station dialogs' StationEditor);
// every operation is queued to it and answered on the thread that owns this
// object, so a slow, locked or hung database never blocks the window or the
// poll cycle. Operations run in the order they were asked.
//
// Every answer has one owner. What a screen asks for (Edit IP's row, the
// Delete IP list, a dialog's write) names its owner, a QObject on this
// object's thread, and the answer goes to that owner's callback alone, and
// nowhere once the owner is gone. The signals are for the application's own
// listeners, which must hear of every change: the station list, the fleet's
// rows, the link's background lookups, Set Default and StationsChanged.
//
// A database failure closes the connection, which is then re-opened by the
// worker itself with back-off; a re-opened connection counts only once the
// table reads. Every answer carries its failure as a value, and the screen
// or the application that asked decides whether a box shows it; the
// directory logs every failure (leaving out the repeats of a long run).
class DirectoryWorker final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DirectoryWorker)

public:
    explicit DirectoryWorker(DirectoryTimings timings = {}, QObject* parent = nullptr);
    // Waits for the statement in progress at most quitWaitMs: a server that
    // stopped answering holds it for as long as it is stopped, and quitting
    // must not wait for that. The thread is then left to end by itself when
    // the statement returns; it keeps what it uses, and its answers go
    // nowhere.
    ~DirectoryWorker() override;

    void Connect(const QString& location);
    // Closes the connection for good (no reconnection).
    void Disconnect();
    // Loud when the operator caused it (StationListFailed says so); the
    // reload after a reconnection is quiet.
    void LoadStationList(bool loud = true);
    void LoadAddressList(QObject* owner, std::function<void(const Result<AddressList>&)> done);
    // Every row, for the fleet overview: StationRecordsLoaded or
    // StationRecordsFailed.
    void LoadStationRecords();
    // The link's lookups are answered by StationLookedUp, an owner's to it
    // alone.
    void LookupStation(const QString& address);
    void LookupStation(const QString& address, QObject* owner,
                       std::function<void(const LookupResult&)> done);
    void SetDefaultStation(const QString& address);
    // The station dialogs' writes; a row written or deleted is also told to
    // every listener by StationsChanged, before the owner hears of it.
    void Submit(StationDialogMode mode, const StationForm& form, QObject* owner,
                StationWrites::SubmitDone done);
    void CheckDelete(const QString& comboText, QObject* owner,
                     std::function<void(const Result<StationRecord>&)> done);
    void Delete(const QString& address, QObject* owner,
                std::function<void(const Result<void>&)> done);
    // Every row, for an export or an import's plan.
    void ReadStations(QObject* owner,
                      std::function<void(const Result<std::vector<StationRecord>>&)> done);
    // An import: every row or none (StationDirectory::AddStations); rows
    // added are also told to every listener by StationsChanged.
    void AddStations(std::vector<StationRecord> records, QObject* owner,
                     std::function<void(const Result<int>&)> done);

    // False from a failed operation, or an answer later than lateMs, until
    // an operation succeeds or a lost connection is back and reads the table.
    bool IsAnswering() const { return m_answering; }
    // Operations asked and not yet answered.
    int Outstanding() const { return m_outstanding; }

    // The ODBC connect options for a location: a login time-out for a
    // connection string (a server); nothing for a SQLite file, whose busy
    // time-out is in its connection string.
    static QString ConnectOptionsFor(const QString& location, int loginTimeoutSeconds);

    // Threads of destroyed workers that are still in a statement. A program
    // ending while one is must skip its clean-up (std::_Exit): the thread may
    // return from the driver at any moment into Qt's SQL code, which the
    // clean-up tears down.
    static int ThreadsLeftRunning();

Q_SIGNALS:
    void Connected(const volnar::Result<void>& opened);
    void StationListLoaded(const volnar::StationList& list);
    void StationListFailed(const volnar::Failure& failure, bool loud);
    void StationRecordsLoaded(const std::vector<volnar::StationRecord>& records);
    void StationRecordsFailed(const volnar::Failure& failure);
    void StationLookedUp(const QString& address, const volnar::LookupResult& result);
    void DefaultStationSet(const volnar::Result<void>& set);
    // A station dialog added, changed or deleted a row.
    void StationsChanged();
    // The connection was lost and has been re-opened by itself, and the
    // table reads again.
    void Reconnected();
    void AnsweringChanged(bool answering);

private:
    friend class DirectoryCore;

    // Runs `work` on the worker thread and `done` with its answer here.
    template <typename Answer>
    void Run(std::function<Answer(DirectoryCore&)> work, std::function<void(Answer)> done);
    void Finished(bool ok);
    void SetAnswering(bool answering);
    void CheckLate();

    DirectoryTimings m_timings;
    // Shared with the thread, which may outlive this object.
    std::shared_ptr<DirectoryShared> m_shared;
    std::thread m_thread;
    DirectoryCore* m_core = nullptr;  // lives on m_thread, until this object goes
    QTimer m_lateTimer;
    QElapsedTimer m_oldest;  // since the oldest outstanding one could have started
    int m_outstanding = 0;
    bool m_answering = true;
};

// The station dialogs' requests through the worker, each dialog the owner of
// its own.
class WorkerStationWrites final : public StationWrites {
public:
    explicit WorkerStationWrites(DirectoryWorker& worker) : m_worker(worker) {}
    void Submit(StationDialogMode mode, const StationForm& form, QObject* context,
                SubmitDone done) override {
        m_worker.Submit(mode, form, context, std::move(done));
    }
    void CheckDelete(const QString& comboText, QObject* context,
                     std::function<void(const Result<StationRecord>&)> done) override {
        m_worker.CheckDelete(comboText, context, std::move(done));
    }
    void Delete(const QString& address, QObject* context,
                std::function<void(const Result<void>&)> done) override {
        m_worker.Delete(address, context, std::move(done));
    }
    void LoadAddressList(QObject* context,
                         std::function<void(const Result<AddressList>&)> done) override {
        m_worker.LoadAddressList(context, std::move(done));
    }

private:
    DirectoryWorker& m_worker;
};

}  // namespace volnar
