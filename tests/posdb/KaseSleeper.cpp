// A stand-in for kopirko-kase that hangs, as the reading library may on a damaged database: it writes the start of
// a text into its output file, then sleeps far beyond any test's time limit.
#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char** argv)
{
    if (argc == 3)
        if (std::FILE* output = std::fopen(argv[2], "wb")) {
            std::fputs("kopirko-kase 1\nred\t1\t", output);
            std::fclose(output);
        }
    std::this_thread::sleep_for(std::chrono::minutes(10));
    return 0;
}
