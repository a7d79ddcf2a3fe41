#include "tests/support/TestSupport.h"


#include <osgDB/ReadFile>

#include <thread>

// Lines from four threads at once, ours and the toolkit's (a plugin that is not there, warned
// about by osgDB), arrive whole, one line per call of the handler: the notify streams that
// every program links give each thread its own.
TEST(NotifyStreams, LinesFromManyThreadsArriveWhole)
{
    tavritest::NotifyCapture capture(osg::INFO);
    {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([t] {
                for (int i = 0; i < 500; ++i)
                {
                    osg::notify(osg::NOTICE) << "thread " << t << " line " << i << " of this test" << std::endl;
                    if (i % 100 == 0)
                        osgDB::readRefNodeFile("missing-" + std::to_string(t) + ".nosuchformat");
                }
            });
        for (std::thread& thread : threads)
            thread.join();
    }
    int ours = 0, toolkit = 0;
    for (const tavritest::NotifyCapture::Line& line : capture.lines())
    {
        int t = -1, i = -1;
        char tail[32] = {};
        if (std::sscanf(line.text.c_str(), "thread %d line %d %31[a-z ]", &t, &i, tail) == 3)
        {
            EXPECT_EQ(std::string(tail), "of this test") << line.text;
            ++ours;
        }
        else if (line.text.find("nosuchformat") != std::string::npos)
        {
            EXPECT_EQ(line.text.find('\n'), std::string::npos) << line.text;
            ++toolkit;
        }
    }
    EXPECT_EQ(ours, 2000);
    EXPECT_GE(toolkit, 20);
}
