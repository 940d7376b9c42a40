#include "qd/QD_Asset.h"

#include "qc/QC_Log.h"
#include "qc/QC_Tasks.h"
#include "qc/QC_Thread.h"

namespace
{
std::atomic<bool> g_loadFailureFatal{false};

// Yields between checks while the main thread is expected within a frame; past that (a
// stalled main loop, a debugger) the wait sleeps so it stops taking a core from it.
constexpr std::uint32_t YIELDS_BEFORE_SLEEPING = 2000;
} // namespace

// What a queued main-thread step reaches its asset through; cleared on the main thread when the
// asset is detached or destroyed, and read there only.
class QD_AssetLink : public QC_RefCounted
{
public:
    explicit QD_AssetLink(QD_Asset* target) : asset(target) {}
    QD_Asset* asset;
};

void QD_SetLoadFailureFatal(bool fatal)
{
    g_loadFailureFatal.store(fatal, std::memory_order_release);
}

bool QD_IsLoadFailureFatal()
{
    return g_loadFailureFatal.load(std::memory_order_acquire);
}

QD_Asset::QD_Asset(const QD_AssetPath& fullPath, bool withStamp)
    : path(fullPath), stamp(fullPath.CStr(), true), hasStamp(withStamp), link(new QD_AssetLink(this))
{
}

QD_Asset::~QD_Asset()
{
    link->asset = nullptr;
}

QD_AssetPath QD_Asset::GetPath() const
{
    return path;
}

void QD_Asset::Update(bool changed)
{
    if (IsDetached())
        return;
    if (changed && reloadsOnChange)
        ++pendingReloads;
    if (loadTask && loadTask->IsDone()) {
        if (loadTask->Result())
            MakePendingCurrent();
        loadTask = nullptr;
        --pendingReloads;
    }
    if (pendingReloads != 0 && !loadTask)
        StartLoad();
}

void QD_Asset::Reload()
{
    ++pendingReloads;
    // Two loaders of one asset would write the same pending content at once: a reload asked
    // for while one is in flight waits for it, like the ones counted by Update.
    if (!loadTask)
        StartLoad();
}

void QD_Asset::Detach()
{
    detached.store(true, std::memory_order_release);
    link->asset = nullptr;
}

void QD_Asset::StartLoad()
{
    QC_Tasks* tasks = QC_GetTasks();
    QC_ASSERT(tasks != nullptr, "Assets are loaded on the task pool: create it first.");
    loadTask = tasks->Run(QC_Bind(&QD_Asset::RunLoader, this));
}

bool QD_Asset::RunLoader(QD_Asset* asset)
{
    asset->loadsRun.fetch_add(1, std::memory_order_acq_rel);
    if (asset->IsDetached())
        return false;
    return asset->Load();
}

void QD_Asset::RunLinkedStep(QC_Ptr<QD_AssetLink> assetLink)
{
    if (assetLink->asset)
        assetLink->asset->MainThreadStep();
}

bool QD_Asset::StampUnchanged()
{
    if (!hasStamp || stamp.HasChanged())
        return false;
    loadsUnchanged.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

bool QD_Asset::RunMainThreadStep()
{
    if (IsDetached())
        return false;
    QC_Ptr<QC_Task<void>> step = QC_GetTasks()->RunOnMainThread(QC_Bind(&QD_Asset::RunLinkedStep, link));
    for (std::uint32_t checks = 0; !step->IsDone(); ++checks) {
        if (IsDetached())
            return false;
        QC_Sleep(checks < YIELDS_BEFORE_SLEEPING ? 0 : 1);
    }
    return !step->WasAbandoned() && !IsDetached();
}

void QD_Asset::ReportLoadFailure() const
{
    if (QD_IsLoadFailureFatal()) {
        QC_FlushLog(QC_GetLog());
        QC_FATAL("Unable to load %s.", path.CStr());
    }
}
