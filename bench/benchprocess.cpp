#include "benchprocess.h"

#include <QElapsedTimer>

#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

ProcessCost runMeasured(const QString &program, const QStringList &arguments, bool keepErrors)
{
    std::vector<QByteArray> words { program.toLocal8Bit() };
    for (const QString &argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        if (!keepErrors)
            dup2(null, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    // wait4 gives the child's own figures, not those of every child so far.
    int status = 0;
    rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return {};
    ProcessCost cost;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        cost.ms = timer.nsecsElapsed() / 1e6;
    cost.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    cost.peakMb = usage.ru_maxrss / 1024.0;
    return cost;
}
