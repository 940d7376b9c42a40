#include "LM1_Resources.h"

#include "QC_Log.h"

#include <cstring>

const LM1_ResourceFile* LM1_FindResource(const char* name)
{
    for (const LM1_ResourceFile* file = LM1_ResourceFiles; file->name; ++file)
        if (std::strcmp(file->name, name) == 0)
            return file;
    return nullptr;
}

QC_Ptr<QC_Image> LM1_LoadResourceImage(const char* name)
{
    QC_Ptr<QC_Image> image;
    const LM1_ResourceFile* file = LM1_FindResource(name);
    if (!file) {
        QC_ERROR("The executable carries no resource \"%s\".", name);
        return image;
    }
    if (!QC_LoadPngFromMemory(file->data, file->size, image))
        QC_ERROR("The resource \"%s\" is not a PNG picture.", name);
    return image;
}
