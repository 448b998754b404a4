#include "ChildProjectFrame.h"

#include "AfxIds.h"

void CChildProjectFrame::ActivateFrame(int nCmdShow)
{
    CMDIChildWnd::ActivateFrame(nCmdShow == -1 ? SW_HIDE : nCmdShow);
}
