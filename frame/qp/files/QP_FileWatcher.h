#pragma once
// Change notification for a folder tree: inotify over the folder and every folder below it,
// folders created or moved in later included. Polled without blocking, once per frame, by the
// asset manager; there is no watcher thread.
//
//   int error = 0;
//   QP_FileWatcher* watcher = QP_CreateFileWatcher("assets/", &error);   // null: errno in error
//   QP_WatchPoll poll = QP_PollFileWatcher(watcher);                     // each frame
//   if (poll.result == QP_WATCH_CHANGED) ...
//   QP_DestroyFileWatcher(watcher);
//
// What counts as a change: a file closed after writing, created, deleted, moved in or out, or
// its attributes (write time) set; the same for folders. An editor's atomic save (write a
// temporary file, rename it over the original) is a change. Reading a file is not, so loaders
// never notify themselves. A lost event queue (overflow) counts as a change.
// Nothing outside frame/qp includes the inotify header; this file includes none either.

#include <cstdint>

struct QP_FileWatcher;

enum QP_WatchResult : std::int32_t
{
    QP_WATCH_NOTHING = 0,   // nothing changed since the last poll
    QP_WATCH_CHANGED = 1,   // something in the tree changed
    QP_WATCH_FAILED = 2,    // reading the notifications failed (errorCode)
    QP_WATCH_ABANDONED = 3, // the watched folder itself went away (deleted, moved, unmounted)
};
// A root that went away is looked for at every later poll; once a folder of that name exists
// again (a checkout or sync tool deletes and recreates it), the whole tree is watched afresh
// and the poll reports a change (restored set), since anything may differ from before.

struct QP_WatchPoll
{
    QP_WatchResult result = QP_WATCH_NOTHING;
    int errorCode = 0; // errno value of a failed read
    // A folder that appeared in the tree could not be watched (errno value, 0 when all were):
    // changes inside it go unnoticed. Reported with QP_WATCH_CHANGED.
    int rearmErrorCode = 0;
    // The root had gone away and is watched again (reported with QP_WATCH_CHANGED).
    bool restored = false;
};

// Watches root and its subtree. Null when the root cannot be watched (errorCode = errno). A
// folder below the root that cannot be watched is skipped (it may vanish while the tree is
// walked); symbolic links to folders are not followed below the root.
QP_FileWatcher* QP_CreateFileWatcher(const char* root, int* errorCode);
void QP_DestroyFileWatcher(QP_FileWatcher* watcher);

// Drains every pending notification without blocking. A change seen in the same poll as an
// abandonment is kept and reported by the next poll; an abandonment is reported once.
QP_WatchPoll QP_PollFileWatcher(QP_FileWatcher* watcher);
