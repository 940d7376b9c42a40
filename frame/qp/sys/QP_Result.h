#pragma once
// What every room of the platform layer hands back and passes around: result codes in the
// numbering of the platform interfaces the engine was written against (HRESULT, DXGI), and the
// opaque handle of an output window. Tier 1: includes nothing of the engine.
//
//   if (QP_Failed(device->CreateBuffer(desc, nullptr, &buffer))) ...

#include <cstdint>

// --- results ---------------------------------------------------------------------------------
using QP_Result = std::int32_t;
constexpr QP_Result QP_OK = 0;
constexpr QP_Result QP_FALSE = 1; // a query whose data is not ready yet
constexpr QP_Result QP_E_FAIL = static_cast<QP_Result>(0x80004005u);
constexpr QP_Result QP_E_INVALIDARG = static_cast<QP_Result>(0x80070057u);
constexpr QP_Result QP_E_OUTOFMEMORY = static_cast<QP_Result>(0x8007000Eu);
constexpr QP_Result QP_E_NOTIMPL = static_cast<QP_Result>(0x80004001u);
constexpr QP_Result QP_DXGI_ERROR_INVALID_CALL = static_cast<QP_Result>(0x887A0001u);
constexpr QP_Result QP_DXGI_ERROR_MORE_DATA = static_cast<QP_Result>(0x887A0003u);
constexpr QP_Result QP_DXGI_ERROR_NOT_FOUND = static_cast<QP_Result>(0x887A0002u);
constexpr QP_Result QP_DXGI_ERROR_UNSUPPORTED = static_cast<QP_Result>(0x887A0004u);
inline bool QP_Succeeded(QP_Result result) { return result >= 0; }
inline bool QP_Failed(QP_Result result) { return result < 0; }

// An output window of the platform layer's own windows (an SDL window created with OpenGL
// support); opaque above frame/qp.
struct QP_NativeWindow;
