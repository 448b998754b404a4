#include "AfxIds.h"
#include "FileName.h"
#include "MainFrame.h"
#include "WindowPlacement.h"

#include <gtest/gtest.h>

TEST(WindowPlacement, TenFieldsRoundTrip)
{
    CWindowPlacement wp;
    ASSERT_TRUE(CWindowPlacement::Parse(QStringLiteral("2,3,-1,-1,-8,-30,10,20,410,320"), wp));
    EXPECT_EQ(wp.flags, 2u);
    EXPECT_EQ(wp.showCmd, 3u);
    EXPECT_EQ(wp.ptMaxPosition, QPoint(-8, -30));
    EXPECT_EQ(wp.NormalRect(), QRect(10, 20, 400, 300));
    EXPECT_EQ(wp.Format(), QStringLiteral("2,3,-1,-1,-8,-30,10,20,410,320"));
}

TEST(WindowPlacement, AnythingButTenNumbersIsNoPlacement)
{
    CWindowPlacement wp;
    EXPECT_FALSE(CWindowPlacement::Parse(QStringLiteral("0,1,-1,-1,-1,-1,25,0,1255"), wp));
    EXPECT_FALSE(CWindowPlacement::Parse(QStringLiteral("0,1,-1,-1,-1,-1,25,0,1255,974,5"), wp));
    EXPECT_FALSE(CWindowPlacement::Parse(QStringLiteral("0,1,a,-1,-1,-1,25,0,1255,974"), wp));
    EXPECT_FALSE(CWindowPlacement::Parse(QStringLiteral("0,1,,-1,-1,-1,25,0,1255,974"), wp));
    EXPECT_FALSE(CWindowPlacement::Parse(QString(), wp));
    EXPECT_EQ(CWindowPlacement().Format(), QStringLiteral("0,0,0,0,0,0,0,0,0,0"));
}

TEST(DockSide, LowerLeftIsBottomRightHalfIsRightElseLeft)
{
    // Client area 1000 x 800.
    EXPECT_EQ(CMainFrame::ComputeDockSide(40, 400, 1000, 800), AfxId::AFX_IDW_DOCKBAR_BOTTOM);
    EXPECT_EQ(CMainFrame::ComputeDockSide(41, 400, 1000, 800), AfxId::AFX_IDW_DOCKBAR_LEFT);
    EXPECT_EQ(CMainFrame::ComputeDockSide(0, 399, 1000, 800), AfxId::AFX_IDW_DOCKBAR_LEFT);
    EXPECT_EQ(CMainFrame::ComputeDockSide(501, 10, 1000, 800), AfxId::AFX_IDW_DOCKBAR_RIGHT);
    EXPECT_EQ(CMainFrame::ComputeDockSide(500, 10, 1000, 800), AfxId::AFX_IDW_DOCKBAR_LEFT);
    EXPECT_EQ(CMainFrame::ComputeDockSide(600, 700, 1000, 800), AfxId::AFX_IDW_DOCKBAR_RIGHT);
}

TEST(FileName, AlterExtensionReplacesOnlyTheLastExtension)
{
    QString name = QStringLiteral("/pics/a.b/photo.large.png");
    CFileName::AlterExtension(name, QStringLiteral(".bmp"));
    EXPECT_EQ(name, QStringLiteral("/pics/a.b/photo.large.bmp"));
    name = QStringLiteral("/pics/a.b/noext");
    CFileName::AlterExtension(name, QStringLiteral(".bmp"));
    EXPECT_EQ(name, QStringLiteral("/pics/a.b/noext.bmp"));
    name = QStringLiteral("/pics/.hidden");
    CFileName::AlterExtension(name, QStringLiteral(".bmp"));
    EXPECT_EQ(name, QStringLiteral("/pics/.hidden.bmp"));
}
