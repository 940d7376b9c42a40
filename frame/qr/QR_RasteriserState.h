#pragma once
// A rasteriser state made by the renderer from a QR_RasteriserDesc.

#include "QC_Ptr.h"


class QR_RasteriserState : public QC_RefCounted
{
public:
    ~QR_RasteriserState() override = default;
};
