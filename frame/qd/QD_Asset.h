#pragma once
// The base of every asset kind: a file under the asset root whose content is loaded on the
// task pool, finished on the main thread where it must be, and offered as the last content
// that loaded completely. The kinds (QD_TextureAsset, QD_ShaderAsset, QD_SequencerAsset,
// QD_SoundAsset, QD_TextAsset) fill in the loader; this class runs the loads.
//
// Life of a load (see QD_Assets for who calls what):
//   Reload()                 main thread: count one reload, start a load task
//   Load()                   worker: stamp check, read and decode into pending, then (for
//                            kinds that need it) MainThreadStep() queued for the main thread
//                            and waited for; true when pending holds new content
//   Update(changed)          main thread, each frame: a done task with result true makes
//                            pending current; counted reloads start one after another
//
// Invariants: at most one load of an asset is in flight; current is touched by the main thread
// only; pending is written by the loader (or its main-thread step) and read by the main thread
// only after the task's done flag is set. The loader task holds no reference to the asset: the
// manager keeps every asset alive until all its loads have finished. The main-thread step holds
// a reference to a link that the asset clears when it is detached or destroyed, so a step that
// runs late (after the manager has gone) does nothing and keeps nothing alive.
//
// Saves in progress: editors write a file in steps (truncate, then write; write a half, then
// the rest; delete, then create). A file whose version (write time, size, id) differs from the
// one last read is read only once the same version has been seen twice, the settle time apart;
// a file that turned empty or went missing is read only once it has stayed so for the empty
// hold time. A load that finds the file still changing ends without content and is retried
// when the time has passed. The first load of an asset reads at once.
//
// Dependencies: a kind whose content is also made from other files (a shader's included files)
// names them after each load; a change to any of them reloads the asset, under the same
// settle rules, as if its own file had changed. Every change in the asset tree has each asset
// look at its files, so no map from file to asset is needed.

#include "QC_FileStamp.h"
#include "QC_Ptr.h"
#include "QC_String.h"
#include "QC_Task.h"
#include "QC_Timer.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

using QD_AssetPath = QC_StaticString<1024>;

class QD_AssetLink;

class QD_Asset : public QC_RefCounted
{
public:
    // The operations every asset kind provides or overrides.
    ~QD_Asset() override;
    // Per-frame step on the main thread; changed: the asset tree reported a change.
    virtual void Update(bool changed);
    // Counts one reload and starts a load at once, or, while one is in flight, when it ends.
    virtual void Reload();
    // Whether a current content exists.
    virtual bool IsLoaded() const = 0;
    // A copy of the full path (root followed by the requested name).
    virtual QD_AssetPath GetPath() const;

    // The state of the reload machinery, read by tools and tests.
    std::int32_t GetPendingReloads() const { return pendingReloads; }
    bool IsLoading() const { return static_cast<bool>(loadTask); }
    // Loader runs started so far, and how many of them stopped at an unchanged stamp. A run put
    // off because its file was still being written is counted while it runs, then taken back
    // and counted by GetLoadsPutOff instead.
    std::uint32_t GetLoadsRun() const { return loadsRun.load(std::memory_order_acquire); }
    std::uint32_t GetLoadsUnchanged() const { return loadsUnchanged.load(std::memory_order_acquire); }
    // Loads that found the file still being written and were put off.
    std::uint32_t GetLoadsPutOff() const { return loadsPutOff.load(std::memory_order_acquire); }
    // Reloads that made new content current (the first load not counted). Main thread.
    std::uint32_t GetReloadsDone() const { return reloadsDone; }
    // The files named by the last SetDependencies (worker-written: read it once loads are done).
    std::vector<std::string> GetDependencies() const;
    // Main thread: the error lines of the last load that read the file and failed; empty once a
    // load succeeds. The first line names what failed; the parser's or the compiler's messages
    // follow when QD_AssetErrorLog is installed.
    const QC_String& GetLoadError() const { return loadError; }
    bool HasLoadError() const { return !loadError.IsEmpty(); }

    // The manager's shut-down (main thread): loaders stop waiting for their main-thread step
    // and start nothing new; steps not yet run will do nothing.
    void Detach();
    // True when no load is in flight or the one in flight has returned.
    bool LoadFinished() const { return !loadTask || loadTask->IsDone(); }
    // Lets go of a finished load task (after Detach, when LoadFinished).
    void DropLoadTask() { loadTask = nullptr; }

protected:
    // hasStamp false: the kind loads whatever the file holds (no change check).
    QD_Asset(const QD_AssetPath& fullPath, bool hasStamp);

    // Worker thread: the kind's loader. True when pending holds new content.
    virtual bool Load() = 0;
    // Main thread, from Update: a load returned true.
    virtual void MakePendingCurrent() = 0;
    // Main thread: the step queued by RunMainThreadStep.
    virtual void MainThreadStep() {}

    // Worker helpers for Load, in this order around the read of the file:
    // False when the load must not read: the file is unchanged since the last read (counted)
    // or still being written (put off and retried).
    bool BeginRead();
    // After the read: false when the file changed while it was read (the content is dropped,
    // the load is retried once the file has settled). Records the version that was read.
    bool EndRead();
    // The load read the file and failed: reason becomes the first line of the load error.
    void NoteFailure(const char* reason);
    // After the content was made (or failed to be made) from the file: the other files it was
    // made from, or looked for in vain (one created later changes it). Their versions now count
    // as read; the list replaces the last one.
    void SetDependencies(const std::vector<std::string>& paths);
    // Queues MainThreadStep and waits until the main thread has run it. False when it will
    // not run: the asset was detached or the pool shut down first.
    bool RunMainThreadStep();
    // "Unable to load %s." (fatal) when load failures are fatal and the asset has never
    // loaded; a failed reload keeps the last good content and is never fatal.
    void ReportLoadFailure() const;
    bool IsDetached() const { return detached.load(std::memory_order_acquire); }

    // The sound kind's Update ignores changes.
    bool reloadsOnChange = true;

    const QD_AssetPath path;

private:
    void StartLoad();
    static bool RunLoader(QD_Asset* asset);
    static void RunLinkedStep(QC_Ptr<QD_AssetLink> link);

    // What a finished load did; written by the loader before its task is done.
    enum class Outcome : std::int32_t
    {
        Unchanged, // the file was not read: same version as last time
        PutOff,    // the file was still being written: try again later
        Loaded,    // read and decoded: pending holds the new content
        Failed,    // read, and could not be used
    };
    std::int64_t NowMilliseconds() const { return clock.ElapsedMilliseconds(); }
    // The versions of the file and its dependencies, in the order of dependencies.
    struct Versions
    {
        QC_FileStamp::Version own;
        std::vector<QC_FileStamp::Version> dependencies;
        bool operator==(const Versions& other) const = default;
    };
    Versions PeekVersions() const;
    Versions RecordedVersions() const;
    bool TurnedEmpty(const Versions& now) const;
    void FinishLoad();

    bool hasStamp;
    // Loader state (one load at a time): the stamp records the version last read; the rest is
    // what the settle rules saw.
    QC_FileStamp stamp;
    std::vector<QC_FileStamp> dependencies;
    Versions readingVersion; // taken by BeginRead, checked by EndRead
    Versions seenVersion;    // the changed version seen by the last put-off load
    std::int64_t seenSince = -1;    // when it was first seen
    std::int64_t emptySince = -1;   // when the file was first seen empty or missing
    std::int64_t retryDelay = 0;    // how long the put-off load waits

    QC_Timer clock;
    std::atomic<Outcome> outcome{Outcome::Unchanged};
    std::atomic<bool> everLoaded{false};
    QC_String pendingError; // written by the loader and its step, read after the task is done
    QC_String loadError;    // main thread
    std::int64_t retryAt = 0;
    std::uint32_t loadsSucceeded = 0;
    std::uint32_t reloadsDone = 0;
    QC_Ptr<QC_Task<bool>> loadTask;
    std::int32_t pendingReloads = 0;
    QC_Ptr<QD_AssetLink> link;
    std::atomic<bool> detached{false};
    std::atomic<std::uint32_t> loadsRun{0};
    std::atomic<std::uint32_t> loadsUnchanged{0};
    std::atomic<std::uint32_t> loadsPutOff{0};
};

// The process-wide copy of the manager's fatalOnLoadFailure, read by the loaders.
void QD_SetLoadFailureFatal(bool fatal);
bool QD_IsLoadFailureFatal();

// The process-wide settle rules for saves in progress (see the header comment), in
// milliseconds; 0 reads a changed file at once.
struct QD_SaveSettling
{
    std::int32_t settleMilliseconds = 40;
    std::int32_t emptyHoldMilliseconds = 500;
};
void QD_SetSaveSettling(const QD_SaveSettling& settling);
QD_SaveSettling QD_GetSaveSettling();
