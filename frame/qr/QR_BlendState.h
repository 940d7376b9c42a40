#pragma once
// A blend state made by the renderer from a QR_BlendDesc; bound with the render context's SetBlendState.

#include "QC_Ptr.h"


class QR_BlendState : public QC_RefCounted
{
public:
    ~QR_BlendState() override = default;
};
