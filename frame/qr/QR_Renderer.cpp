#include "QR_Renderer.h"

#include "QC_Log.h"
#include "QR_Renderer_DX10.h"
#include "QR_Renderer_DX11.h"

namespace {
// Owned here: the renderer is not reference counted.
QR_Renderer* g_renderer = nullptr;
} // namespace

void QR_CreateRenderer(const QR_RendererSettings& settings)
{
    QC_ASSERT(!g_renderer, "The renderer already exists.");
    switch (settings.backend) {
    case QR_Backend::DX10:
        g_renderer = new QR_Renderer_DX10(settings);
        break;
    case QR_Backend::DX11:
        g_renderer = new QR_Renderer_DX11(settings);
        break;
    case QR_Backend::OpenGL:
        QC_FATAL("OpenGL backend not supported.");
    default:
        QC_FATAL("Unknown backend %d.", static_cast<int>(settings.backend));
    }
}

QR_Renderer* QR_GetRenderer() { return g_renderer; }

void QR_DestroyRenderer()
{
    // Cleared rather than left dangling: a late caller finds no renderer instead of freed memory.
    QR_Renderer* renderer = g_renderer;
    g_renderer = nullptr;
    delete renderer;
}
