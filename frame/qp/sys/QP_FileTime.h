#pragma once
// What the file stamps of the asset manager compare: a file's last write time and identity as
// the file system reports them. QC_FileStamp is the only user above this layer.
// Tier 1 of frame/qp (see README.md): the core includes it, so it includes no frame/qc header.
// Nothing outside frame/qp includes sys/stat.h for this; this file includes none either.

#include <cstdint>

struct QP_FileVersion
{
    std::uint64_t writeTime = 0; // nanoseconds since 1970 (stat's st_mtim)
    std::uint64_t size = 0;      // bytes
    std::uint64_t fileId = 0;    // inode number: an atomic save (rename over) gives a new one
};

// Fills version for the file at path. False, with every field 0, when it cannot be queried
// (missing, no permission); errorCode then holds the errno value when not null.
bool QP_QueryFileVersion(const char* path, QP_FileVersion* version, int* errorCode);
