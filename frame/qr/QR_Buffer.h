#pragma once
// Common base of the three buffer kinds (constant, index, vertex); made only by the renderer.

#include "QC_Ptr.h"


class QR_Buffer : public QC_RefCounted
{
public:
    ~QR_Buffer() override = default;
};
