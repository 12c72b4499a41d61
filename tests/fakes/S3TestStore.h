#pragma once

#include "ObjectStore.h"

#include <optional>
#include <string>
#include <vector>

/// The store scripts/s3-test-server runs for this build folder (radosgw on 127.0.0.1), started and stopped by the
/// CTest fixture "s3_store" that every test using it requires. Under Wine the Windows tests reach the same store:
/// the folder is the Linux build folder's, which Wine shows under its drive Z:.
class S3TestStore
{
public:
    /// The running store; nothing when its folder holds no server.ini (the fixture did not start it).
    static std::optional<S3TestStore> find();
    /// True where the store can run at all: Linux, or Windows under Wine.
    static bool possibleHere();

    /// The account of the test user, for the bucket with Object Lock (`locked`) or the one without.
    ObjectStoreAccount account(bool locked) const;

    /// Runs Debian's s3cmd (the independent client) with `arguments` against the store and waits for it (at most
    /// 120 s): its exit status, -1 when it could not be run. Local paths among the arguments must be given through
    /// localPath().
    int s3cmd(const std::vector<std::string>& arguments) const;
    /// `path` (this platform's) as s3cmd, a Linux program, names it.
    static std::string localPath(const std::string& path);

    /// One more gateway of the store (scripts/s3-test-server gateway), for a case that ends it: its port and PID.
    struct Gateway
    {
        int port = 0;
        int pid = 0;
    };
    /// Starts the gateway `name` on `port` (0: a free one); nothing when it did not answer.
    std::optional<Gateway> startGateway(const std::string& name, int port = 0) const;
    /// Ends `gateway` at once (SIGKILL), as a store that dies mid-request; only while its PID is still a radosgw.
    void killGateway(const Gateway& gateway) const;

private:
    /// Runs the sh `command` on the Linux side and waits for it (at most 120 s): its exit status, -1 when it could
    /// not be run; what it printed in `output`.
    static int runLinuxShell(const std::string& command, std::string* output = nullptr);

    std::string m_folder;
    std::string m_endpoint, m_region, m_accessKey, m_secretKey, m_lockedBucket, m_plainBucket;
};
