#pragma once
// A depth-stencil state made by the renderer from a QR_DepthStencilDesc.

#include "QC_Ptr.h"


class QR_DepthStencilState : public QC_RefCounted
{
public:
    ~QR_DepthStencilState() override = default;
};
