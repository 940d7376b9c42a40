#include "QU_App.h"

#include "QC_Log.h"

namespace {

QU_App* app = nullptr;

} // namespace

QU_App::QU_App() : font(new QU_Font)
{
    font->Load(QU_APP_FONT_PATH, QU_APP_FONT_SIZE, true);
}

QU_App::~QU_App() { font = nullptr; }

QU_App* QU_CreateApp()
{
    QC_ASSERT(!app, "Utility object created twice.");
    app = new QU_App;
    return app;
}

QU_App* QU_GetApp() { return app; }

void QU_DestroyApp()
{
    delete app;
    app = nullptr;
}
