// The modal-UI seam: the object in use, the Qt one unless a test installed another.
#include "platform/testing.h"

namespace {
ModalUi* g_installed = nullptr;   // null: the Qt one
}

ModalUi& CurrentModalUi()
{
    return g_installed != nullptr ? *g_installed : QtModalUi();
}

ModalUi* SetModalUi(ModalUi* ui)
{
    ModalUi* previous = g_installed;
    g_installed = ui;
    return previous;
}
