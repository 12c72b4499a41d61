#include "RunProgressText.h"

#include "BackupHost.h"

#include <cstdio>

namespace RunProgressText {

std::string sourceLine(const RunProgress& progress)
{
    return "Izrada rezervne kopije: " + progress.source;
}

std::string countsLine(const RunProgress& progress)
{
    return "Kopirano datoteka: " + std::to_string(progress.filesDone) + " (" + formatBytes(progress.bytesDone) + ")";
}

std::string formatBytes(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024.0;
    size_t unit = 0;
    // Round first, so that 1023.96 KB is written as 1,0 MB and not as 1024,0 KB.
    while (value >= 1023.95 && unit + 1 < std::size(units)) {
        value /= 1024.0;
        ++unit;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f %s", value, units[unit]);
    std::string text = buffer;
    if (const size_t point = text.find('.'); point != std::string::npos)
        text[point] = ',';
    return text;
}

} // namespace RunProgressText
