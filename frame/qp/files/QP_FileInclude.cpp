#include "QP_FileInclude.h"

#include "QC_File.h"

#include <algorithm>

namespace
{
void RecordOnce(std::vector<std::string>& record, const std::string& path)
{
    if (std::find(record.begin(), record.end(), path) == record.end())
        record.push_back(path);
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
} // namespace

QP_FileInclude::QP_FileInclude(const char* baseFolder) : baseFolder(baseFolder ? baseFolder : "") {}

QP_FileInclude::~QP_FileInclude() = default;

QP_Result QP_FileInclude::Open(QP_IncludeType, const char* fileName, const void* parentData, const void** data,
                               std::uint32_t* bytes)
{
    if (!fileName || !fileName[0] || !data || !bytes)
        return QP_E_INVALIDARG;
    std::string folder = baseFolder;
    for (const std::unique_ptr<OpenFile>& file : openFiles) {
        if (parentData == file->text.data())
            folder = FolderOf(file->path);
    }
    std::string path = fileName;
    if (fileName[0] != '/' && !folder.empty())
        path = folder + "/" + path;

    QC_String text;
    if (!QC_ReadFile(path.c_str(), text)) {
        RecordOnce(missingFiles, path);
        return QP_E_FAIL;
    }
    RecordOnce(openedFiles, path);
    std::unique_ptr<OpenFile> file(new OpenFile{path, std::string(text.CStr(), text.Length())});
    *data = file->text.data();
    *bytes = static_cast<std::uint32_t>(file->text.size());
    openFiles.push_back(std::move(file));
    return QP_OK;
}

void QP_FileInclude::Close(const void* data)
{
    for (std::size_t i = 0; i < openFiles.size(); ++i) {
        if (openFiles[i]->text.data() == data) {
            openFiles.erase(openFiles.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

void QP_FileInclude::ClearRecords()
{
    openedFiles.clear();
    missingFiles.clear();
}
