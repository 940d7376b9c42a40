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

#include "qc/QC_FileStamp.h"
#include "qc/QC_Ptr.h"
#include "qc/QC_String.h"
#include "qc/QC_Task.h"

#include <atomic>
#include <cstdint>

using QD_AssetPath = QC_StaticString<1024>;

class QD_AssetLink;

class QD_Asset : public QC_RefCounted
{
public:
    // Slot order of the interface.
    ~QD_Asset() override;
    // Per-frame step on the main thread; changed: the asset tree reported a change.
    virtual void Update(bool changed);
    // Counts one reload and starts a load at once, or, while one is in flight, when it ends.
    virtual void Reload();
    // Whether a current content exists.
    virtual bool IsLoaded() const = 0;
    // A copy of the full path (root followed by the requested name).
    virtual QD_AssetPath GetPath() const;

    // Beyond the slots: the state of the reload machinery, for tools and tests.
    std::int32_t GetPendingReloads() const { return pendingReloads; }
    bool IsLoading() const { return static_cast<bool>(loadTask); }
    // Loader runs started so far, and how many of them stopped at an unchanged stamp.
    std::uint32_t GetLoadsRun() const { return loadsRun.load(std::memory_order_acquire); }
    std::uint32_t GetLoadsUnchanged() const { return loadsUnchanged.load(std::memory_order_acquire); }

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

    // Worker helpers for Load.
    // True when the stamp says the file has not changed since the last load (counted).
    bool StampUnchanged();
    // Queues MainThreadStep and waits until the main thread has run it. False when it will
    // not run: the asset was detached or the pool shut down first.
    bool RunMainThreadStep();
    // "Unable to load %s." (fatal) when load failures are fatal; nothing otherwise.
    void ReportLoadFailure() const;
    bool IsDetached() const { return detached.load(std::memory_order_acquire); }

    // The sound kind's Update ignores changes.
    bool reloadsOnChange = true;

    const QD_AssetPath path;

private:
    void StartLoad();
    static bool RunLoader(QD_Asset* asset);
    static void RunLinkedStep(QC_Ptr<QD_AssetLink> link);

    QC_FileStamp stamp;
    bool hasStamp;
    QC_Ptr<QC_Task<bool>> loadTask;
    std::int32_t pendingReloads = 0;
    QC_Ptr<QD_AssetLink> link;
    std::atomic<bool> detached{false};
    std::atomic<std::uint32_t> loadsRun{0};
    std::atomic<std::uint32_t> loadsUnchanged{0};
};

// The process-wide copy of the manager's fatalOnLoadFailure, read by the loaders.
void QD_SetLoadFailureFatal(bool fatal);
bool QD_IsLoadFailureFatal();
