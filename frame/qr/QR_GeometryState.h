#pragma once
// A primitive topology with its vertex and index buffer, bound together by SetShaderAndGeometry. Holds a reference to each buffer.

#include "QC_Ptr.h"


class QR_GeometryState : public QC_RefCounted
{
public:
    ~QR_GeometryState() override = default;
};
