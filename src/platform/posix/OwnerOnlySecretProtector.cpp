#include "OwnerOnlySecretProtector.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

Result OwnerOnlySecretProtector::protect(const std::string& secret, std::string& stored) const
{
    stored = secret;
    return Result::success();
}

Result OwnerOnlySecretProtector::reveal(const std::string& stored, std::string& secret) const
{
    secret = stored;
    return Result::success();
}

Result OwnerOnlySecretProtector::guardFile(const std::string& file) const
{
    if (::chmod(file.c_str(), S_IRUSR | S_IWUSR) != 0)
        return Result::failure("cannot make " + file + " readable by its owner only: " + std::strerror(errno));
    return Result::success();
}
