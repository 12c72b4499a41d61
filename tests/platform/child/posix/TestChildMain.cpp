#include "TestChild.h"

#include <spawn.h>
#include <unistd.h>

extern char** environ;

long currentProcessId()
{
    return static_cast<long>(::getpid());
}

bool startCopyOfSelf(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv{const_cast<char*>("kopirko_test_child")};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    // Output and errors are inherited as they are.
    return ::posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv.data(), environ) == 0;
}

int main(int argc, char** argv)
{
    return runTestChild(std::vector<std::string>(argv + 1, argv + argc));
}
