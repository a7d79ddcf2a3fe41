#include "viewer/content/builders/PowerlineBuilder.h"

#include "viewer/content/builders/ConductorBuilder.h"
#include "viewer/content/readers/FieldReader.h"
#include "viewer/content/readers/ProblemLog.h"
#include "viewer/content/builders/PylonBuilder.h"
#include "viewer/content/readers/PylonList.h"
#include "viewer/FontFile.h"

#include <osg/Notify>
#include <osgText/Font>
#include <osgUtil/Optimizer>

#include <fstream>

namespace osgTAVRI
{

PowerlineBuilder::PowerlineBuilder() {}

PowerlineBuilder::PowerlineBuilder(const Settings& s) : settings(s) {}

osg::ref_ptr<osg::Group> PowerlineBuilder::build() const
{
    const std::string listPath = settings.folder + settings.pylonList;
    std::ifstream in;
    if (!FieldReader::open(listPath, in))
    {
        OSG_WARN << "Pylon coordinate list not found" << std::endl;
        return nullptr;
    }

    osg::ref_ptr<osg::Group> root = new osg::Group;
    ProblemLog problems(listPath);
    ProblemLog skippedPylons(listPath);
    const std::vector<PylonRecord> records = PylonList::read(in, problems, &skippedPylons);
    if (!records.empty())
    {
        osg::ref_ptr<osgText::Font> font = FontFile::read(settings.fontFile);
        if (!font)
        {
            OSG_WARN << "Could not read the label font " << settings.fontFile << ", no power line" << std::endl;
            return nullptr;
        }
        PylonBuilder pylons(settings.folder + settings.blockFolder, settings.offset, font.get());
        pylons.build(records, root.get(), problems);
    }
    skippedPylons.report();
    problems.report();

    root->addChild(ConductorBuilder::build(settings.folder, settings.offset).get());

    osgUtil::Optimizer optimizer;
    optimizer.optimize(root.get());
    return root;
}

} // namespace osgTAVRI
