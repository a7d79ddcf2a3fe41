#pragma once

#include "tests/support/TestSupport.h"

#include <map>
#include <memory>
#include <string>

namespace tintest
{

// A one-node Slurm cluster of our own on localhost: munged, slurmctld and slurmd from
// Debian's munge and slurm-wlm, with 2 CPUs, every file (key, configuration, state, logs,
// sockets) in a temporary folder and free ports, so nothing of the machine's own set-up is
// read or touched. The daemons run in the foreground as our children and end with the
// object.
class SlurmCluster
{
public:
    SlurmCluster();
    ~SlurmCluster();
    SlurmCluster(const SlurmCluster&) = delete;
    SlurmCluster& operator=(const SlurmCluster&) = delete;

    // Empty when the cluster runs; otherwise why it cannot (not root, packages missing, a
    // daemon that did not come up), for the test to skip or fail with.
    const std::string& problem() const { return why; }
    bool runs() const { return why.empty(); }
    // True when it cannot run on this machine at all (not root, packages missing), rather
    // than failing to come up.
    bool skippable() const;

    // The environment that points Slurm's commands at this cluster (SLURM_CONF).
    const std::map<std::string, std::string>& environment() const { return env; }

    // The daemons' logs, for a failure message.
    std::string logs() const;

private:
    bool start();
    void stop();

    std::string why;
    bool skip = false;
    bool subreaper = false;
    std::unique_ptr<tavritest::TempDir> dir;
    std::map<std::string, std::string> env;
    tavritest::Process munged, slurmctld, slurmd;
};

} // namespace tintest
