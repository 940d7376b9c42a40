#include "QD_Asset.h"

#include "QC_Log.h"
#include "QD_AssetErrorLog.h"
#include "QC_Tasks.h"
#include "QC_Thread.h"

namespace
{
std::atomic<bool> g_loadFailureFatal{false};
std::atomic<std::int32_t> g_settleMilliseconds{QD_SaveSettling{}.settleMilliseconds};
std::atomic<std::int32_t> g_emptyHoldMilliseconds{QD_SaveSettling{}.emptyHoldMilliseconds};

// Missing files read as all zeros, so this is true for them as well.
bool IsEmpty(const QC_FileStamp::Version& version)
{
    return version.size == 0;
}

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

void QD_SetSaveSettling(const QD_SaveSettling& settling)
{
    g_settleMilliseconds.store(settling.settleMilliseconds < 0 ? 0 : settling.settleMilliseconds);
    g_emptyHoldMilliseconds.store(settling.emptyHoldMilliseconds < 0 ? 0 : settling.emptyHoldMilliseconds);
}

QD_SaveSettling QD_GetSaveSettling()
{
    return QD_SaveSettling{g_settleMilliseconds.load(), g_emptyHoldMilliseconds.load()};
}

QD_Asset::QD_Asset(const QD_AssetPath& fullPath, bool withStamp)
    : path(fullPath), hasStamp(withStamp), stamp(fullPath.CStr(), true), link(new QD_AssetLink(this))
{
    clock.Start();
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
    if (loadTask && loadTask->IsDone())
        FinishLoad();
    if (pendingReloads != 0 && !loadTask && NowMilliseconds() >= retryAt)
        StartLoad();
}

void QD_Asset::FinishLoad()
{
    if (loadTask->Result()) {
        MakePendingCurrent();
        everLoaded.store(true, std::memory_order_release);
        if (loadsSucceeded++ > 0)
            ++reloadsDone;
    }
    loadTask = nullptr;
    switch (outcome.load(std::memory_order_acquire)) {
    case Outcome::PutOff:
        // The reload stays counted and runs again once the file has had time to settle.
        retryAt = NowMilliseconds() + retryDelay;
        return;
    case Outcome::Loaded:
        loadError.Clear();
        break;
    case Outcome::Failed:
        loadError.Clear();
        loadError.Append(pendingError);
        break;
    case Outcome::Unchanged:
        break;
    }
    --pendingReloads;
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
    asset->outcome.store(Outcome::Unchanged, std::memory_order_relaxed);
    if (asset->IsDetached())
        return false;
    asset->pendingError.Clear();
    QD_AssetErrorCapture capture(&asset->pendingError);
    const bool loaded = asset->Load();
    // A load that read its file and produced nothing has failed, whether or not the kind said
    // why; one that produced content has loaded.
    const Outcome result = asset->outcome.load(std::memory_order_relaxed);
    if (result == Outcome::PutOff)
        asset->loadsRun.fetch_sub(1, std::memory_order_acq_rel);
    if (loaded && result != Outcome::Failed)
        asset->outcome.store(Outcome::Loaded, std::memory_order_release);
    else if (result == Outcome::Loaded)
        asset->NoteFailure("The file could not be loaded.");
    return loaded;
}

void QD_Asset::RunLinkedStep(QC_Ptr<QD_AssetLink> assetLink)
{
    if (QD_Asset* asset = assetLink->asset) {
        QD_AssetErrorCapture capture(&asset->pendingError);
        asset->MainThreadStep();
    }
}

bool QD_Asset::BeginRead()
{
    if (!hasStamp) {
        outcome.store(Outcome::Loaded, std::memory_order_relaxed);
        return true;
    }
    const Versions now = PeekVersions();
    const bool readBefore = stamp.Recorded();
    if (readBefore && now == RecordedVersions()) {
        seenSince = -1;
        emptySince = -1;
        loadsUnchanged.fetch_add(1, std::memory_order_acq_rel);
        outcome.store(Outcome::Unchanged, std::memory_order_relaxed);
        return false;
    }
    if (readBefore) {
        const QD_SaveSettling settling = QD_GetSaveSettling();
        const std::int64_t time = NowMilliseconds();
        // Turned empty or went missing: most likely the first step of a save.
        if (TurnedEmpty(now)) {
            if (emptySince < 0)
                emptySince = time;
            if (time - emptySince < settling.emptyHoldMilliseconds) {
                retryDelay = settling.emptyHoldMilliseconds - (time - emptySince);
                loadsPutOff.fetch_add(1, std::memory_order_acq_rel);
                outcome.store(Outcome::PutOff, std::memory_order_relaxed);
                return false;
            }
        } else {
            emptySince = -1;
        }
        // Changed: read only once this version has been seen for the settle time.
        if (seenSince < 0 || !(now == seenVersion)) {
            seenVersion = now;
            seenSince = time;
        }
        if (time - seenSince < settling.settleMilliseconds) {
            retryDelay = settling.settleMilliseconds - (time - seenSince);
            loadsPutOff.fetch_add(1, std::memory_order_acq_rel);
            outcome.store(Outcome::PutOff, std::memory_order_relaxed);
            return false;
        }
    }
    readingVersion = now;
    outcome.store(Outcome::Loaded, std::memory_order_relaxed);
    return true;
}

bool QD_Asset::EndRead()
{
    if (!hasStamp)
        return true;
    const Versions after = PeekVersions();
    if (!(after == readingVersion)) {
        // Written while it was read: what was read may be any mix of the two versions.
        retryDelay = QD_GetSaveSettling().settleMilliseconds;
        seenVersion = after;
        seenSince = NowMilliseconds();
        loadsPutOff.fetch_add(1, std::memory_order_acq_rel);
        outcome.store(Outcome::PutOff, std::memory_order_relaxed);
        return false;
    }
    stamp.Record(readingVersion.own);
    for (std::size_t i = 0; i < dependencies.size(); ++i)
        dependencies[i].Record(readingVersion.dependencies[i]);
    seenSince = -1;
    emptySince = -1;
    return true;
}

QD_Asset::Versions QD_Asset::PeekVersions() const
{
    Versions versions;
    versions.own = stamp.Peek();
    for (const QC_FileStamp& dependency : dependencies)
        versions.dependencies.push_back(dependency.Peek());
    return versions;
}

QD_Asset::Versions QD_Asset::RecordedVersions() const
{
    Versions versions;
    versions.own = stamp.RecordedVersion();
    for (const QC_FileStamp& dependency : dependencies)
        versions.dependencies.push_back(dependency.RecordedVersion());
    return versions;
}

// The file or a dependency was there and is now empty or missing: most likely a save's first
// step. A dependency that was missing when recorded and still is does not count.
bool QD_Asset::TurnedEmpty(const Versions& now) const
{
    if (IsEmpty(now.own) && !IsEmpty(stamp.RecordedVersion()))
        return true;
    for (std::size_t i = 0; i < dependencies.size(); ++i) {
        if (IsEmpty(now.dependencies[i]) && !IsEmpty(dependencies[i].RecordedVersion()))
            return true;
    }
    return false;
}

void QD_Asset::SetDependencies(const std::vector<std::string>& paths)
{
    dependencies.clear();
    for (const std::string& path : paths) {
        // A stamp holds a path of at most 1023 characters; a longer one is not followed.
        if (path.size() >= 1024) {
            QC_INFO("%s: the path of a file it uses is too long to follow changes to it.", this->path.CStr());
            continue;
        }
        dependencies.emplace_back(path.c_str(), true);
        dependencies.back().Record(dependencies.back().Peek());
    }
}

std::vector<std::string> QD_Asset::GetDependencies() const
{
    std::vector<std::string> paths;
    for (const QC_FileStamp& dependency : dependencies)
        paths.push_back(dependency.Path().CStr());
    return paths;
}

void QD_Asset::NoteFailure(const char* reason)
{
    outcome.store(Outcome::Failed, std::memory_order_relaxed);
    // The reason leads; lines captured from the parser or compiler follow it.
    QC_String captured;
    captured.Append(pendingError);
    pendingError.Clear();
    QD_AssetErrorLog::AppendLine(pendingError, reason);
    pendingError.Append(captured);
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
    // With watching on, a file is often seen half-saved: a failed reload keeps the last good
    // content, so only a load that has nothing to fall back on may end the program.
    if (QD_IsLoadFailureFatal() && !everLoaded.load(std::memory_order_acquire)) {
        QC_FlushLog(QC_GetLog());
        QC_FATAL("Unable to load %s.", path.CStr());
    }
}
