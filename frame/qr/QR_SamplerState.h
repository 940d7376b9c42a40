#pragma once
// A sampler state made by the renderer from a QR_SamplerDesc; set on a shader state by sampler register.

#include "QC_Ptr.h"


class QR_SamplerState : public QC_RefCounted
{
public:
    ~QR_SamplerState() override = default;
};
