#include "aeffeditor.h"

bool AEffEditor::getRect(ERect** rect)
{
    if (rect) *rect = nullptr;
    return false;
}

bool AEffEditor::open(void* window)
{
    systemWindow = window;
    return false;
}
