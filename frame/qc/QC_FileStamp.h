#pragma once
// A file stamp answers "has this file been written since I last looked?". The asset loaders
// ask it first, so a change notification for some other file costs them one stat call.
//
//   QC_FileStamp stamp("assets/scene.qcs", true);
//   stamp.HasChanged();      // first call: records the file's version, returns true
//   stamp.HasChanged();      // later calls: true only when the version differs from the last
//
// The version is the file's last write time in nanoseconds together with its size and its
// file id (inode). File-system clocks advance in steps of a few milliseconds, so two saves in
// one step share a write time; the size and the id (an atomic save renames a new file over
// the old one) catch most of those. A file that cannot be queried reads as all zeros, so it
// becoming unreadable, and readable again, are both changes.
//
// The asset loaders also look at a version before they take it (a file still being written is
// read later): Peek reads the version now without recording it, Record takes one as the last
// seen, and Recorded says whether any was.
//
// One thread at a time: each asset's stamp is used only by its own loader, one load at a time.

#include "QC_String.h"

#include <cstdint>

class QC_FileStamp
{
public:
    QC_FileStamp(const char* path, bool initialAnswer);

    bool HasChanged();

    struct Version
    {
        std::uint64_t writeTime = 0;
        std::uint64_t size = 0; // 0 also for a file that cannot be queried
        std::uint64_t fileId = 0;
        bool operator==(const Version& other) const = default;
    };
    Version Peek() const { return Query(); }
    void Record(const Version& version)
    {
        recorded = version;
        firstCall = false;
    }
    bool Recorded() const { return !firstCall; }
    const Version& RecordedVersion() const { return recorded; }

    const QC_StaticString<1024>& Path() const { return path; }

private:
    Version Query() const;

    QC_StaticString<1024> path;
    bool initialAnswer;
    bool firstCall = true;
    Version recorded;
};
