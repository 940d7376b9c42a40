#include "QP_InputEvent.h"

#include "QP_GuiOverlay.h"

#include <SDL.h>

namespace
{
QP_Key KeyOf(SDL_Keycode code)
{
    switch (code) {
    case SDLK_SPACE:
        return QP_Key::Space;
    case SDLK_LEFT:
        return QP_Key::Left;
    case SDLK_RIGHT:
        return QP_Key::Right;
    case SDLK_PAGEUP:
        return QP_Key::PageUp;
    case SDLK_PAGEDOWN:
        return QP_Key::PageDown;
    case SDLK_HOME:
        return QP_Key::Home;
    case SDLK_l:
        return QP_Key::L;
    case SDLK_F1:
        return QP_Key::F1;
    case SDLK_TAB:
        return QP_Key::Tab;
    case SDLK_f:
        return QP_Key::F;
    case SDLK_c:
        return QP_Key::C;
    case SDLK_s:
        return QP_Key::S;
    case SDLK_LEFTBRACKET:
        return QP_Key::BracketLeft;
    case SDLK_RIGHTBRACKET:
        return QP_Key::BracketRight;
    case SDLK_z:
        return QP_Key::Z;
    case SDLK_y:
        return QP_Key::Y;
    case SDLK_DELETE:
        return QP_Key::Delete;
    case SDLK_BACKSPACE:
        return QP_Key::Backspace;
    default:
        return QP_Key::Other;
    }
}
} // namespace

QP_InputEvent QP_PollInputEvent()
{
    QP_InputEvent result;
    SDL_Event event;
    if (!SDL_PollEvent(&event))
        return result;
    if (QP_GuiOverlay* overlay = QP_GuiOverlay::Current())
        overlay->HandleEvent(&event);
    result.type = QP_InputType::Other;
    switch (event.type) {
    case SDL_QUIT:
        result.type = QP_InputType::Quit;
        break;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            result.type = QP_InputType::Quit;
        } else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && event.window.data1 > 0 &&
                   event.window.data2 > 0) {
            result.type = QP_InputType::Resized;
            result.width = static_cast<std::uint32_t>(event.window.data1);
            result.height = static_cast<std::uint32_t>(event.window.data2);
        }
        break;
    case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE) {
            result.type = QP_InputType::Quit;
        } else {
            result.type = QP_InputType::Key;
            result.key = KeyOf(event.key.keysym.sym);
            result.shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
            result.ctrl = (event.key.keysym.mod & KMOD_CTRL) != 0;
        }
        break;
    default:
        break;
    }
    return result;
}

void QP_SetWindowResizable(QP_NativeWindow* window, bool resizable)
{
    if (window)
        SDL_SetWindowResizable(reinterpret_cast<SDL_Window*>(window), resizable ? SDL_TRUE : SDL_FALSE);
}
