#pragma once
// The files the executable carries: the PNG files of source/resources/, compiled in at build
// time (cmake/EmbedResources.cmake writes the table), so the executable finds them by name
// without reading the disk: "icon.png" is the window icon, "launcher.png" the launcher's picture.
//
//   QC_Ptr<QC_Image> icon = LM1_LoadResourceImage("icon.png");

#include "QC_Image.h"
#include "QC_Ptr.h"

#include <cstddef>

struct LM1_ResourceFile
{
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

// Every embedded file, ending with an entry whose name is null.
extern const LM1_ResourceFile LM1_ResourceFiles[];

// The embedded file of that name, or null.
const LM1_ResourceFile* LM1_FindResource(const char* name);
// Decodes the embedded PNG of that name; null with a log line when there is none or it does not
// decode.
QC_Ptr<QC_Image> LM1_LoadResourceImage(const char* name);
