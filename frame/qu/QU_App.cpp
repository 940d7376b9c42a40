#include "QU_App.h"

#include "QC_Log.h"

namespace {

QU_App* g_app = nullptr;

} // namespace

QU_App::QU_App() : font(new QU_Font)
{
    font->Load(QU_APP_FONT_PATH, QU_APP_FONT_SIZE, true);
}

QU_App::~QU_App() { font = nullptr; }

QU_App* QU_CreateApp()
{
    QC_ASSERT(!g_app, "Utility object created twice.");
    g_app = new QU_App;
    return g_app;
}

QU_App* QU_GetApp() { return g_app; }

void QU_DestroyApp()
{
    delete g_app;
    g_app = nullptr;
}
