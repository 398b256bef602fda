#include "paging/console.h"

namespace {
PagingConsole *g_console = nullptr;
}

PagingConsole *CurrentPagingConsole()
{
    return g_console;
}

void SetPagingConsole(PagingConsole *console)
{
    g_console = console;
}
