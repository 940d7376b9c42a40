// The disk cache of shader translations. Sections: the folder, keys and hashes, the entry
// format, lookup, store and trim.

#include "QP_ShaderCache.h"

#include "QC_Log.h"
#include "QP_ReplaceFile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

namespace
{
// --- the folder --------------------------------------------------------------------------------
constexpr const char* kSubfolder = "velvet-cascade/shaders";
std::atomic<std::uint64_t> g_limit{32ull << 20};
std::atomic<std::uint64_t> g_hits{0}, g_misses{0}, g_rejected{0}, g_stored{0};
std::mutex g_unwritableLock;
std::string g_unwritableNoted; // the folder whose failure was logged: once per folder, not per compile

// --- keys and hashes ---------------------------------------------------------------------------
// 64-bit FNV-1a: the key's hash only names the file (the key itself is compared), and the
// checksum only has to catch a damaged file, not an attacker.
std::uint64_t Hash(const void* data, std::size_t size, std::uint64_t hash = 0xCBF29CE484222325ull)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001B3ull;
    }
    return hash;
}

void AppendField(std::string& key, const char* text, std::size_t size)
{
    const std::uint32_t length = static_cast<std::uint32_t>(size);
    key.append(reinterpret_cast<const char*>(&length), sizeof(length));
    key.append(text, size);
}

// --- the entry format --------------------------------------------------------------------------
// The header, then the key, the code and the warnings text (with its NUL), in the byte order of
// the machine that wrote it: a cache folder is never shared across machines of another kind,
// and if it were, the magic would not read back and the entry would be rebuilt.
constexpr char kMagic[4] = {'V', 'C', 'S', 'C'};
constexpr std::uint32_t kFormat = 1;
constexpr const char* kEntrySuffix = ".shader";

struct EntryHeader
{
    char magic[4];
    std::uint32_t format;
    std::uint64_t keySize;
    std::uint64_t codeSize;
    std::uint64_t warningsSize;
    std::uint64_t payloadChecksum; // of the code and warnings bytes
};

std::size_t BlobSize(const QP_Blob* blob)
{
    return blob ? blob->GetBufferSize() : 0;
}

std::uint64_t PayloadChecksum(const std::uint8_t* code, std::size_t codeSize, const std::uint8_t* warnings,
                              std::size_t warningsSize)
{
    return Hash(warnings, warningsSize, Hash(code, codeSize));
}

std::vector<std::uint8_t> EntryBytes(const std::string& key, const QP_Blob* code, const QP_Blob* warnings)
{
    const std::uint8_t* codeBytes = static_cast<const std::uint8_t*>(code->GetBufferPointer());
    const std::uint8_t* warningBytes = warnings ? static_cast<const std::uint8_t*>(warnings->GetBufferPointer()) : nullptr;
    EntryHeader header{};
    std::memcpy(header.magic, kMagic, sizeof(kMagic));
    header.format = kFormat;
    header.keySize = key.size();
    header.codeSize = BlobSize(code);
    header.warningsSize = BlobSize(warnings);
    header.payloadChecksum = PayloadChecksum(codeBytes, header.codeSize, warningBytes, header.warningsSize);
    std::vector<std::uint8_t> bytes(sizeof(header) + key.size() + header.codeSize + header.warningsSize);
    std::uint8_t* at = bytes.data();
    std::memcpy(at, &header, sizeof(header));
    at += sizeof(header);
    std::memcpy(at, key.data(), key.size());
    at += key.size();
    std::memcpy(at, codeBytes, header.codeSize);
    at += header.codeSize;
    if (header.warningsSize)
        std::memcpy(at, warningBytes, header.warningsSize);
    return bytes;
}

// Why the bytes are no entry of key, or null when they are one.
const char* EntryFault(const std::vector<std::uint8_t>& bytes, const std::string& key, EntryHeader& header)
{
    if (bytes.size() < sizeof(header))
        return "shorter than its header";
    std::memcpy(&header, bytes.data(), sizeof(header));
    if (std::memcmp(header.magic, kMagic, sizeof(kMagic)) != 0)
        return "not a shader cache entry";
    if (header.format != kFormat)
        return "of another format";
    const std::uint64_t room = bytes.size() - sizeof(header);
    if (header.keySize > room || header.codeSize > room - header.keySize ||
        header.warningsSize != room - header.keySize - header.codeSize)
        return "truncated or overlong";
    if (header.codeSize == 0)
        return "without code";
    const std::uint8_t* payload = bytes.data() + sizeof(header) + header.keySize;
    if (header.keySize != key.size() || std::memcmp(bytes.data() + sizeof(header), key.data(), key.size()) != 0)
        return "of another text, compiler version or options";
    if (PayloadChecksum(payload, header.codeSize, payload + header.codeSize, header.warningsSize) !=
        header.payloadChecksum)
        return "damaged (checksum)";
    if (header.warningsSize && payload[header.codeSize + header.warningsSize - 1] != '\0')
        return "damaged (warnings text)";
    return nullptr;
}

// Far above any translation (a few hundred kB with its key): a larger file under an entry's
// name is not read into memory, it is a bad entry.
constexpr long kLargestEntry = 64l << 20;

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bool read = std::fseek(file, 0, SEEK_END) == 0;
    const long size = read ? std::ftell(file) : -1;
    read = read && size >= 0 && size <= kLargestEntry && std::fseek(file, 0, SEEK_SET) == 0;
    if (read) {
        bytes.resize(static_cast<std::size_t>(size));
        read = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    std::fclose(file);
    return read;
}

bool IsEntryName(const std::string& name)
{
    // "0123456789abcdef.shader", or the hidden temporary QP_ReplaceFile writes beside one and a
    // crash may leave behind (".0123456789abcdef.shader.PID.N.A").
    const std::size_t start = !name.empty() && name[0] == '.' ? 1 : 0;
    if (name.size() < start + 16 + std::strlen(kEntrySuffix))
        return false;
    for (std::size_t i = start; i < start + 16; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i])))
            return false;
    return name.compare(start + 16, std::strlen(kEntrySuffix), kEntrySuffix) == 0 &&
           (start == 1 || name.size() == 16 + std::strlen(kEntrySuffix));
}

// --- store and trim ----------------------------------------------------------------------------
// Removes the least recently written entries until the folder's entries fit the limit. Only
// files named like entries are counted or removed: VC_SHADER_CACHE may name a folder that also
// holds other files.
void Trim(const std::string& folder)
{
    struct Entry
    {
        std::filesystem::file_time_type written;
        std::uint64_t size;
        std::filesystem::path path;
    };
    std::vector<Entry> entries;
    std::uint64_t total = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code entryError;
        if (!it->is_regular_file(entryError) || !IsEntryName(it->path().filename().string()))
            continue;
        const std::uint64_t size = it->file_size(entryError);
        const auto written = it->last_write_time(entryError);
        if (entryError)
            continue;
        entries.push_back(Entry{written, size, it->path()});
        total += size;
    }
    const std::uint64_t limit = g_limit.load();
    if (total <= limit)
        return;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.written < b.written; });
    for (const Entry& entry : entries) {
        if (total <= limit)
            break;
        std::error_code removeError;
        // Another process may have removed or replaced it first: either way it is gone.
        std::filesystem::remove(entry.path, removeError);
        total -= entry.size;
    }
}

void NoteUnwritable(const std::string& folder, int error)
{
    std::lock_guard<std::mutex> lock(g_unwritableLock);
    if (g_unwritableNoted == folder)
        return;
    g_unwritableNoted = folder;
    QC_INFO("The shader cache folder %s cannot be written (%s): translations are not kept.", folder.c_str(),
            std::strerror(error));
}
} // namespace

std::string QP_ShaderCacheFolder()
{
    if (const char* named = std::getenv("VC_SHADER_CACHE"); named && named[0])
        return std::strcmp(named, "off") == 0 ? std::string() : std::string(named);
    // The base directory rules: a relative XDG_CACHE_HOME is invalid and ignored.
    if (const char* base = std::getenv("XDG_CACHE_HOME"); base && base[0] == '/')
        return std::string(base) + "/" + kSubfolder;
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::string(home) + "/.cache/" + kSubfolder;
    return std::string();
}

std::string QP_ShaderCacheKey(const std::string& expandedText, const std::string& preprocessorMessages,
                              const char* sourceName, const char* entryPoint, const char* profile)
{
    const std::string& version = QP_ShaderCompilerVersion();
    const char* name = sourceName ? sourceName : "";
    std::string key;
    key.reserve(expandedText.size() + preprocessorMessages.size() + version.size() + 256);
    AppendField(key, version.data(), version.size());
    AppendField(key, profile, std::strlen(profile));
    AppendField(key, entryPoint, std::strlen(entryPoint));
    AppendField(key, name, std::strlen(name));
    AppendField(key, preprocessorMessages.data(), preprocessorMessages.size());
    AppendField(key, expandedText.data(), expandedText.size());
    return key;
}

std::string QP_ShaderCacheEntryPath(const std::string& folder, const std::string& key)
{
    char name[32];
    std::snprintf(name, sizeof(name), "%016llx", static_cast<unsigned long long>(Hash(key.data(), key.size())));
    return folder + "/" + name + kEntrySuffix;
}

bool QP_FindCachedShader(const std::string& folder, const std::string& key, QC_Ptr<QP_Blob>* code,
                         QC_Ptr<QP_Blob>* warnings)
{
    const std::string path = QP_ShaderCacheEntryPath(folder, key);
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) {
        ++g_misses;
        return false;
    }
    EntryHeader header{};
    if (const char* fault = EntryFault(bytes, key, header)) {
        QC_DEBUG("Shader cache entry %s is %s: it is translated again.", path.c_str(), fault);
        ++g_rejected;
        ++g_misses;
        return false;
    }
    const std::uint8_t* payload = bytes.data() + sizeof(header) + header.keySize;
    if (code)
        *code = QC_Ptr<QP_Blob>(new QP_Blob(std::vector<std::uint8_t>(payload, payload + header.codeSize)));
    if (warnings) {
        warnings->Reset();
        if (header.warningsSize)
            *warnings = QC_Ptr<QP_Blob>(new QP_Blob(std::vector<std::uint8_t>(
                payload + header.codeSize, payload + header.codeSize + header.warningsSize)));
    }
    ++g_hits;
    return true;
}

void QP_StoreCachedShader(const std::string& folder, const std::string& key, const QP_Blob* code,
                          const QP_Blob* warnings)
{
    if (folder.empty() || !code || code->GetBufferSize() == 0)
        return;
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        NoteUnwritable(folder, made.value());
        return;
    }
    const std::vector<std::uint8_t> bytes = EntryBytes(key, code, warnings);
    int error = 0;
    if (!QP_ReplaceFile(QP_ShaderCacheEntryPath(folder, key).c_str(), bytes.data(), bytes.size(), &error)) {
        NoteUnwritable(folder, error);
        return;
    }
    ++g_stored;
    Trim(folder);
}

void QP_SetShaderCacheLimit(std::uint64_t bytes)
{
    g_limit.store(bytes);
}

QP_ShaderCacheCounts QP_GetShaderCacheCounts()
{
    QP_ShaderCacheCounts counts;
    counts.hits = g_hits.load();
    counts.misses = g_misses.load();
    counts.rejected = g_rejected.load();
    counts.stored = g_stored.load();
    return counts;
}
