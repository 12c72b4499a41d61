#include "FailureReason.h"

namespace FailureReason {

const char* words(FailureKind kind)
{
    switch (kind) {
    case FailureKind::Missing:
        return "ne postoji";
    case FailureKind::NoPermission:
        return "nema dozvole za pristup";
    case FailureKind::DiskFull:
        return "na disku na koji se pise nema dovoljno mjesta";
    case FailureKind::InUse:
        return "u upotrebi je: drugi program ne dozvoljava pristup";
    case FailureKind::Unreachable:
        return "nije dostupno (mreza, racunar ili disk se ne javlja)";
    case FailureKind::Other:
        break;
    }
    return "";
}

std::string describe(const std::string& what, const std::string& path, FailureKind kind, const std::string& systemText)
{
    if (kind == FailureKind::Other)
        return what + " \"" + path + "\": " + systemText;
    return "\"" + path + "\": " + words(kind);
}

} // namespace FailureReason
