#include "update/IUpdateWindow.h"

namespace {
IUpdateWindow* Window = nullptr;
}

void SetUpdateWindow(IUpdateWindow* window)
{
    Window = window;
}

IUpdateWindow* UpdateWindow()
{
    return Window;
}
