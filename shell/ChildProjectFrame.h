#pragma once
#include "MDIChildWnd.h"

/// The frame of a project document; it is never shown, since projects are
/// shown in the project tree.
class CChildProjectFrame : public CMDIChildWnd
{
    Q_OBJECT
public:
    void ActivateFrame(int nCmdShow = -1) override;
};
