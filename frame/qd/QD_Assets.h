#pragma once
// The asset manager: every file the demo uses is requested here and arrives as an asset that
// loads on the task pool (see QD_Asset). With watching on, the asset tree is watched for
// changes and changed files are reloaded while the demo runs, the old content staying in use
// until the new one has loaded completely.
//
//   QD_CreateAssets({.root = "assets", .watch = false, .fatalOnLoadFailure = true});
//   QC_Ptr<QD_ShaderAsset> post = QD_GetAssets()->LoadShader("post.qcs");   // returns at once
//   ...                                                       // once per frame, main thread:
//   QC_GetTasks()->RunMainThreadTasks();
//   QD_GetAssets()->Update();
//   if (QD_GetAssets()->AllLoaded()) ...
//   QD_DestroyAssets();                                       // before the pool and renderer
//
// There is no lookup: asking twice for one name gives two assets that both load the file.
// A change anywhere in the tree is handed to every asset; each loader's file stamp filters out
// the assets whose own file did not change. Main thread only.

#include "QC_Ptr.h"
#include "QC_String.h"
#include "QD_Asset.h"
#include "QD_SequencerAsset.h"
#include "QD_ShaderAsset.h"
#include "QD_SoundAsset.h"
#include "QD_TextAsset.h"
#include "QD_TextureAsset.h"

#include <cstdint>
#include <vector>

struct QP_FileWatcher;

struct QD_AssetsSettings
{
    QC_StaticString<1024> root;      // folder of all assets; "/" is appended when missing
    bool watch = false;              // hot reload: watch the folder tree for changes
    bool fatalOnLoadFailure = false; // a file that cannot be read or decoded ends the process
                                     // (only a first load: a failed reload keeps the last content)
};

class QD_Assets
{
public:
    // Watching: a tree that cannot be watched is fatal ("Could not create
    // FindFirstChangeNotification. Last error is %d." with errno).
    explicit QD_Assets(const QD_AssetsSettings& settings);
    // Waits for the loads in flight (a loader waiting for its main-thread step is released
    // at once), then releases every asset.
    ~QD_Assets();
    QD_Assets(const QD_Assets&) = delete;
    QD_Assets& operator=(const QD_Assets&) = delete;

    // Each returns a new asset for root + name whose first load has started.
    QC_Ptr<QD_TextureAsset> LoadTexture(const char* name);
    QC_Ptr<QD_ShaderAsset> LoadShader(const char* name);
    QC_Ptr<QD_SequencerAsset> LoadSequencer(const char* name);
    QC_Ptr<QD_SoundAsset> LoadSound(const char* name);
    QC_Ptr<QD_TextAsset> LoadText(const char* name);

    // True when every asset has a current content (also when there are none).
    bool AllLoaded() const;
    // Once per frame: polls the change notification without blocking and updates every asset.
    void Update();

    const QC_StaticString<1024>& GetRoot() const { return root; }
    bool IsWatching() const { return watcher != nullptr; }
    // Beyond the demo's settings, for a workbench: with watching on, sounds requested from now
    // on reload when their file changes (the demo's music loads once).
    void SetReloadSounds(bool reload) { reloadSounds = reload; }
    // The assets in creation order (for a workbench's statistics and error list).
    const std::vector<QC_Ptr<QD_Asset>>& GetAssets() const { return assets; }
    std::uint32_t GetAssetCount() const { return static_cast<std::uint32_t>(assets.size()); }

private:
    QD_AssetPath FullPath(const char* name) const;
    void Add(QD_Asset* asset);
    void UpdateAll(bool changed);

    QC_StaticString<1024> root;
    QP_FileWatcher* watcher = nullptr; // null when not watching
    bool reloadSounds = false;
    std::vector<QC_Ptr<QD_Asset>> assets; // creation order
};

QD_Assets* QD_CreateAssets(const QD_AssetsSettings& settings);
void QD_DestroyAssets();
QD_Assets* QD_GetAssets();
