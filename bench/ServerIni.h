#pragma once

#include "ObjectStore.h"

#include <fstream>
#include <map>
#include <string>

/// The account of the plain bucket (no Object Lock) of the store whose `server.ini` scripts/s3-test-server wrote at
/// `path`; an empty endpoint when the file cannot be read.
inline ObjectStoreAccount testStoreAccount(const std::string& path)
{
    std::map<std::string, std::string> server;
    std::ifstream ini(path);
    for (std::string line; std::getline(ini, line);)
        if (const auto equals = line.find('='); equals != std::string::npos)
            server[line.substr(0, equals)] = line.substr(equals + 1);
    ObjectStoreAccount account;
    account.endpoint = server["endpoint"];
    account.region = server["region"];
    account.bucket = server["plainBucket"];
    account.accessKey = server["accessKey"];
    account.secretKey = server["secretKey"];
    return account;
}
