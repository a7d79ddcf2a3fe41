#include "tests/tin/SlurmCluster.h"
#include "tests/tin/TinTestSupport.h"
#include "tests/support/TestSupport.h"

using tavritest::RunResult;
using tavritest::TempDir;

// tin-slurm on a one-node cluster of our own: three shards as one job array write, byte for
// byte, the tiles of a local run and add up to its count; shards that fail are reported one
// by one, with their logs.
TEST(TinSlurm, ThreeShardsOnAClusterEqualALocalRun)
{
    tintest::SlurmCluster cluster;
    if (cluster.skippable())
        GTEST_SKIP() << cluster.problem();
    ASSERT_TRUE(cluster.runs()) << cluster.problem() << "\n" << cluster.logs();

    TempDir in, local, sharded, failing;
    const std::string las = tintest::writeRollingTerrain(in.file("terrain.las"));
    const std::vector<std::string> args{"--extents", "0,0,2000,1000", "--tileSize", "250", las};
    std::vector<std::string> paged{"--pagedDatabase", "terrain.ive"};
    paged.insert(paged.end(), args.begin(), args.end());
    ASSERT_EQ(tintest::runTin(paged, local.path()).exitCode, 0);

    const std::string slurm = tavritest::buildDir() + "/Bin/tin-slurm";
    std::vector<std::string> command{slurm, "--shards", "3", "--numThreads", "1"};
    command.insert(command.end(), paged.begin(), paged.end());
    RunResult r = tavritest::run(command, sharded.path(), 240.0, cluster.environment());
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err << "\n" << cluster.logs();
    EXPECT_NE(r.out.find("tin-slurm: all 3 shard(s) finished\nTiles written: 32 of 32 (0 without points)\n"
                         "tin-slurm: paged database terrain.ive written\n"),
              std::string::npos)
        << r.out;
    // The tiles, the root and, after the dependent index job, the levels.
    const auto expected = tintest::tileContents(local.path());
    EXPECT_EQ(expected.size(), 33u);
    EXPECT_TRUE(tintest::tileContents(sharded.path()) == expected);
    EXPECT_FALSE(tintest::tileContents(local.file("terrain_levels")).empty());
    EXPECT_TRUE(tintest::tileContents(sharded.file("terrain_levels")) == tintest::tileContents(local.file("terrain_levels")));
    EXPECT_NE(tavritest::readFile(sharded.file("tin-slurm-logs/shard-2.log")).find("Tiles written: 11 of 11"),
              std::string::npos);

    r = tavritest::run({slurm, "--shards", "2", "--bogus", las}, failing.path(), 240.0, cluster.environment());
    EXPECT_EQ(r.exitCode, 1);
    for (const char* shard : {"1/2", "2/2"})
        EXPECT_NE(r.err.find(std::string("tin-slurm: shard ") + shard + " failed with exit code 1; see "),
                  std::string::npos)
            << r.err;
    EXPECT_NE(r.out.find("tin-slurm: 2 of 2 shard(s) failed"), std::string::npos) << r.out;
    EXPECT_TRUE(tintest::tileFiles(failing.path()).empty());
}
