#include "QD_Assets.h"

#include "QC_Log.h"
#include "QC_Thread.h"
#include "QP_FileWatcher.h"

namespace
{
QD_Assets* g_assets = nullptr;
}

QD_Assets::QD_Assets(const QD_AssetsSettings& settings) : root(settings.root)
{
    // An empty root means the working folder; appending "/" to it would name the file system's
    // root instead (and watch all of it).
    if (!root.IsEmpty() && root[root.Length() - 1] != '/')
        root.Append('/');
    QD_SetLoadFailureFatal(settings.fatalOnLoadFailure);
    if (settings.watch) {
        int errorCode = 0;
        watcher = QP_CreateFileWatcher(root.CStr(), &errorCode);
        if (!watcher) {
            QC_FlushLog(QC_GetLog());
            QC_FATAL("Could not create FindFirstChangeNotification. Last error is %d.", errorCode);
        }
    }
}

QD_Assets::~QD_Assets()
{
    for (const QC_Ptr<QD_Asset>& asset : assets)
        asset->Detach();
    // Detached loaders return at their next check; one busy decoding ends when the decode does.
    for (const QC_Ptr<QD_Asset>& asset : assets) {
        while (!asset->LoadFinished())
            QC_Sleep(1);
        asset->DropLoadTask();
    }
    assets.clear();
    QP_DestroyFileWatcher(watcher);
}

QD_AssetPath QD_Assets::FullPath(const char* name) const
{
    QD_AssetPath path(root);
    path.Append(name);
    return path;
}

void QD_Assets::Add(QD_Asset* asset)
{
    asset->Reload();
    assets.emplace_back(asset);
}

QC_Ptr<QD_TextureAsset> QD_Assets::LoadTexture(const char* name)
{
    QC_Ptr<QD_TextureAsset> asset(new QD_TextureAsset(FullPath(name)));
    Add(asset.Get());
    return asset;
}

QC_Ptr<QD_ShaderAsset> QD_Assets::LoadShader(const char* name)
{
    QC_Ptr<QD_ShaderAsset> asset(new QD_ShaderAsset(FullPath(name)));
    Add(asset.Get());
    return asset;
}

QC_Ptr<QD_SequencerAsset> QD_Assets::LoadSequencer(const char* name)
{
    QC_Ptr<QD_SequencerAsset> asset(new QD_SequencerAsset(FullPath(name)));
    Add(asset.Get());
    return asset;
}

QC_Ptr<QD_SoundAsset> QD_Assets::LoadSound(const char* name)
{
    QC_Ptr<QD_SoundAsset> asset(new QD_SoundAsset(FullPath(name), reloadSounds && watcher != nullptr));
    Add(asset.Get());
    return asset;
}

QC_Ptr<QD_TextAsset> QD_Assets::LoadText(const char* name)
{
    QC_Ptr<QD_TextAsset> asset(new QD_TextAsset(FullPath(name)));
    Add(asset.Get());
    return asset;
}

bool QD_Assets::AllLoaded() const
{
    for (const QC_Ptr<QD_Asset>& asset : assets)
        if (!asset->IsLoaded())
            return false;
    return true;
}

void QD_Assets::UpdateAll(bool changed)
{
    for (const QC_Ptr<QD_Asset>& asset : assets)
        asset->Update(changed);
}

void QD_Assets::Update()
{
    if (!watcher) {
        UpdateAll(false);
        return;
    }
    const QP_WatchPoll poll = QP_PollFileWatcher(watcher);
    switch (poll.result) {
    case QP_WATCH_FAILED:
        QC_ERROR("Failed WaitForSingleObject. Last error is %d.", poll.errorCode);
        return;
    case QP_WATCH_ABANDONED:
        // The watched folder itself is gone; changes seen with it are handed out next frame.
        QC_ERROR("Abandoned WaitForSingleObject. Last error is %d.", poll.errorCode);
        return;
    case QP_WATCH_NOTHING:
        UpdateAll(false);
        return;
    case QP_WATCH_CHANGED:
        // A root deleted and created again is watched afresh; every asset looks at its file.
        if (poll.restored)
            QC_INFO("Watching %s again.", root.CStr());
        UpdateAll(true);
        // Re-arming: a folder that appeared in the tree could not be watched.
        if (poll.rearmErrorCode != 0)
            QC_ERROR("Failed FindNextChangeNotification. Last error is %d.", poll.rearmErrorCode);
        return;
    }
}

QD_Assets* QD_CreateAssets(const QD_AssetsSettings& settings)
{
    QC_ASSERT(g_assets == nullptr, "The asset manager already exists.");
    g_assets = new QD_Assets(settings);
    return g_assets;
}

void QD_DestroyAssets()
{
    delete g_assets;
    g_assets = nullptr;
}

QD_Assets* QD_GetAssets()
{
    return g_assets;
}
