#include "ViewerHarness.h"

#include "viewer/TAVRIview.h"

using tavritest::ViewerHarness;

TEST(TAVRIview, BuildsTheSkeleton)
{
    ViewerHarness h;
    h.setup();
    h.frame();
    ASSERT_NE(h.root(), nullptr);
    EXPECT_EQ(h.root()->getName(), "Root");
    ASSERT_EQ(h.root()->getNumChildren(), 2u);
    EXPECT_EQ(h.root()->getChild(0), h.sceneRoot());
    EXPECT_EQ(h.root()->getChild(1), h.overlay());
    ASSERT_NE(h.scene(), nullptr);
    EXPECT_EQ(h.scene()->getParent(0), h.sceneRoot());
}
