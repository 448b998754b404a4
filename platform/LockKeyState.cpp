#include "LockKeyState.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>

namespace LockKeyState
{
std::optional<Lights> Read()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    auto lit = [display](const char* name, bool& on)
    {
        Bool state = False;
        const Atom atom = XInternAtom(display, name, True);
        if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr))
            return false;
        on = state;
        return true;
    };
    Lights lights;
    if (!lit("Caps Lock", lights.caps) || !lit("Num Lock", lights.num))
        return std::nullopt;
    lit("Scroll Lock", lights.scroll); // many keymaps name no scroll light
    return lights;
}
} // namespace LockKeyState
