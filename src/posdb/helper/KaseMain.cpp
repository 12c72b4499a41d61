// kopirko-kase: reads the cash registers out of the point-of-sale server database for Kopirko. It runs as a
// short-lived process of its own, so that a damaged file that crashes or hangs the reading library (libmdb on
// Linux, the Access ODBC driver on Windows) cannot take Kopirko down; on Windows it is also what lets 64-bit
// Kopirko use the Access driver, which exists for 32-bit programs only.
//
//     kopirko-kase DATABASE [OUTPUT]
//
// DATABASE is the .mdb file. The text (KaseListText.h) goes into the file OUTPUT, created or replaced, or to
// standard output without it. Exit codes:
//     0  the rows were written
//     2  the rows could not be read; the text holds one "greska" line that says why
//     1  wrong arguments, or the text could not be written; the reason goes to standard error
// Any other code (a crash, an abort) means it did not finish, and whatever it wrote is not to be trusted.
#include "KaseListText.h"
#include "KaseSource.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#ifdef _WIN32
#include "WideText.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

std::FILE* openOutput(const std::string& path)
{
#ifdef _WIN32
    return ::_wfopen(WideText::fromUtf8(path).c_str(), L"wb");
#else
    return std::fopen(path.c_str(), "wb");
#endif
}

/// Writes the whole text and closes `file`; false when any of it did not reach the file.
bool writeAll(std::FILE* file, const std::string& text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const bool closed = file == stdout || std::fclose(file) == 0;
    return written && flushed && closed;
}

int run(const std::vector<std::string>& arguments)
{
    if (arguments.size() < 2 || arguments.size() > 3 || arguments[1].empty()) {
        std::fputs("usage: kopirko-kase DATABASE [OUTPUT]\n", stderr);
        return KaseListText::exitUsage;
    }
    std::FILE* output = stdout;
    if (arguments.size() == 3) {
        output = openOutput(arguments[2]);
        if (!output) {
            std::fprintf(stderr, "kopirko-kase: \"%s\" se ne moze napisati\n", arguments[2].c_str());
            return KaseListText::exitUsage;
        }
    }

    KaseReadResult result;
    try {
        result = readKaseTable(arguments[1]);
    } catch (const std::exception& error) {
        // Sizes read from a damaged file can ask for more memory than there is.
        result.problem = KaseProblem{KaseProblem::Kind::Damaged, std::string("citanje je prekinuto: ") + error.what()};
    }
    if (!writeAll(output, KaseListText::write(result))) {
        std::fputs("kopirko-kase: popis kasa nije napisan do kraja\n", stderr);
        return KaseListText::exitUsage;
    }
    return result.problem ? KaseListText::exitProblem : KaseListText::exitRows;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
{
    // A crash ends the process at once instead of waiting on an error dialog until Kopirko's time limit.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    std::vector<std::string> arguments;
    for (int index = 0; index < argc; ++index)
        arguments.push_back(WideText::toUtf8(argv[index]));
    return run(arguments);
}
#else
int main(int argc, char** argv)
{
    return run(std::vector<std::string>(argv, argv + argc));
}
#endif
