#include "tests/tin/SlurmCluster.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace tintest
{

namespace
{
std::string findProgram(const std::string& name)
{
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin:/usr/bin";
    std::istringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && ::access((folder + "/" + name).c_str(), X_OK) == 0)
            return folder + "/" + name;
    return "";
}


// The processes whose parent is `parent`, from /proc.
std::vector<pid_t> childrenOf(pid_t parent)
{
    std::vector<pid_t> children;
    for (const std::string& entry : tavritest::listDir("/proc"))
    {
        if (entry.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = tavritest::readFile("/proc/" + entry + "/stat");
        // "pid (name) state ppid ...": the name may hold spaces, so read after its ')'.
        const std::size_t close = stat.rfind(')');
        char state = 0;
        int ppid = 0;
        if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 &&
            ppid == parent && state != 'Z')
            children.push_back(pid_t(std::stoi(entry)));
    }
    return children;
}

// True when munge and Slurm's daemons and commands are installed; `missing` names what is not.
bool slurmInstalled(std::string& missing)
{
    missing.clear();
    for (const char* name : {"munged", "slurmctld", "slurmd", "sbatch", "sinfo", "scancel"})
        if (findProgram(name).empty())
            missing += (missing.empty() ? "" : ", ") + std::string(name);
    return missing.empty();
}
} // namespace

SlurmCluster::SlurmCluster()
{
    if (!start())
        stop();
}

SlurmCluster::~SlurmCluster() { stop(); }

void SlurmCluster::stop()
{
    // Asked to stop, the daemons end their own helpers; what they leave, and the job steps
    // that slurmd's helpers detach, comes back to us as their subreaper and is ended here.
    for (tavritest::Process* daemon : {&slurmd, &slurmctld, &munged})
    {
        int code = 0;
        if (daemon->running())
        {
            ::kill(daemon->pid(), SIGTERM);
            daemon->wait(15.0, code);
        }
        daemon->kill();
    }
    if (!subreaper)
        return;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;)
    {
        int status = 0;
        const pid_t child = ::waitpid(-1, &status, WNOHANG);
        if (child > 0)
            continue;
        if (child < 0 || std::chrono::steady_clock::now() > end)
            break;
        for (pid_t orphan : childrenOf(::getpid()))
            ::kill(orphan, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

bool SlurmCluster::skippable() const { return skip; }

bool SlurmCluster::start()
{
    std::string missing;
    if (!slurmInstalled(missing))
    {
        skip = true;
        why = "Slurm or munge is not installed (" + missing + " missing; scripts/install-deps.sh installs "
              "slurm-wlm and munge): the cluster test is skipped";
        return false;
    }
    if (::geteuid() != 0)
    {
        skip = true;
        why = "the one-node Slurm cluster runs its daemons and jobs as root, and this is not root: the cluster "
              "test is skipped";
        return false;
    }
    // Daemons detach helpers (slurmctld's script daemon, slurmd's job steps); as subreaper
    // this process gets them back when their parents go, and can end and reap them.
    subreaper = ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
    dir = std::make_unique<tavritest::TempDir>();
    const std::string d = dir->path();

    // munged wants a key of its own user that nobody else may read.
    {
        std::ofstream key((d + "/munge.key").c_str(), std::ios::binary);
        std::random_device entropy;
        for (int i = 0; i < 256; ++i)
        {
            const unsigned word = entropy();
            key.write(reinterpret_cast<const char*>(&word), sizeof word);
        }
    }
    ::chmod((d + "/munge.key").c_str(), 0400);
    const std::string socket = d + "/munge.socket";
    munged.start({findProgram("munged"), "--foreground", "--force", "--socket=" + socket,
                  "--key-file=" + d + "/munge.key", "--pid-file=" + d + "/munged.pid",
                  "--log-file=" + d + "/munged.log", "--seed-file=" + d + "/munged.seed"},
                 d);
    if (!tavritest::waitFor([&] { return tavritest::fileExists(socket); }, 15.0))
    {
        why = "munged did not start";
        return false;
    }

    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const std::string conf = d + "/slurm.conf";
    mkdir((d + "/state").c_str(), 0700);
    mkdir((d + "/spool").c_str(), 0700);
    {
        std::ofstream out(conf.c_str());
        out << "ClusterName=tintest\n"
            << "SlurmctldHost=" << host << "(127.0.0.1)\n"
            << "SlurmctldPort=" << tavritest::freePort() << "\nSlurmdPort=" << tavritest::freePort() << "\n"
            << "SlurmUser=root\nSlurmdUser=root\n"
            << "AuthType=auth/munge\nCredType=cred/munge\nAuthInfo=socket=" << socket << "\n"
            // No cgroups here: processes are tracked by their parents, tasks are not bound.
            << "ProctrackType=proctrack/linuxproc\nTaskPlugin=task/none\n"
            << "JobAcctGatherType=jobacct_gather/none\nMpiDefault=none\n"
            << "SelectType=select/cons_tres\nSelectTypeParameters=CR_Core\nReturnToService=2\n"
            << "StateSaveLocation=" << d << "/state\nSlurmdSpoolDir=" << d << "/spool\n"
            << "SlurmctldPidFile=" << d << "/slurmctld.pid\nSlurmdPidFile=" << d << "/slurmd.pid\n"
            << "SlurmctldLogFile=" << d << "/slurmctld.log\nSlurmdLogFile=" << d << "/slurmd.log\n"
            << "NodeName=" << host << " NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN\n"
            << "PartitionName=main Nodes=" << host << " Default=YES MaxTime=INFINITE State=UP\n";
    }
    env["SLURM_CONF"] = conf;
    slurmctld.start({findProgram("slurmctld"), "-D", "-f", conf}, d, env);
    slurmd.start({findProgram("slurmd"), "-D", "-f", conf}, d, env);
    const bool idle = tavritest::waitFor(
        [&] {
            const tavritest::RunResult r = tavritest::run({findProgram("sinfo"), "-h", "-o", "%t"}, d, 10.0, env);
            return r.exitCode == 0 && r.out.find("idle") != std::string::npos;
        },
        60.0);
    if (!idle)
        why = "the one-node Slurm cluster did not come up: its node never became idle";
    return idle;
}

std::string SlurmCluster::logs() const
{
    if (!dir)
        return "";
    std::string text;
    for (const char* name : {"munged.log", "slurmctld.log", "slurmd.log"})
        text += std::string("--- ") + name + "\n" + tavritest::readFile(dir->file(name));
    return text;
}

} // namespace tintest
