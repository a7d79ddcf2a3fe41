#include "tests/support/TestSupport.h"
#include "viewer/scene/DataVarianceVisitor.h"
#include "viewer/overlay/ImagePanel.h"

#include <osg/Geode>
#include <osg/Geometry>
#include <osgText/Text>

using osgTAVRI::DataVarianceVisitor;

// In this toolkit drawables are nodes: the visitor reaches geometries and texts, which is what
// the panels need (their geometries are rewritten while a draw thread may still draw them).
TEST(DataVarianceVisitor, MarksGeometriesAndTextsButNotStateSets)
{
    osg::ref_ptr<osg::Group> group = new osg::Group;
    osg::ref_ptr<osg::Geode> geode = new osg::Geode;
    osg::ref_ptr<osg::Geometry> geometry = new osg::Geometry;
    osg::ref_ptr<osgText::Text> text = new osgText::Text;
    geode->addDrawable(geometry.get());
    geode->addDrawable(text.get());
    group->addChild(geode.get());
    osg::StateSet* state = geometry->getOrCreateStateSet();
    state->setDataVariance(osg::Object::STATIC);

    DataVarianceVisitor variance(osg::Object::DYNAMIC);
    group->accept(variance);
    for (osg::Object* object : {static_cast<osg::Object*>(group.get()), static_cast<osg::Object*>(geode.get()),
                                static_cast<osg::Object*>(geometry.get()), static_cast<osg::Object*>(text.get())})
        EXPECT_EQ(object->getDataVariance(), osg::Object::DYNAMIC) << object->className();
    EXPECT_EQ(state->getDataVariance(), osg::Object::STATIC);

    osg::ref_ptr<osg::Group> panel = osgTAVRI::ImagePanel::makePanel(32, 32, osg::Vec4(1, 1, 1, 1));
    ASSERT_TRUE(panel.valid());
    for (unsigned int i = 0; i < panel->getNumChildren(); ++i)
        EXPECT_EQ(panel->getChild(i)->asGeode()->getDrawable(0)->getDataVariance(), osg::Object::DYNAMIC) << i;
}
