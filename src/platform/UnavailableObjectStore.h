#pragma once

#include "ObjectStore.h"

/// Stands in where the program was built without an S3 client: every request fails and says so (no answer, so
/// that the sending stops at its first request and names the store as not answering).
class UnavailableObjectStore : public ObjectStore
{
public:
    StoreAnswer checkBucket(const ObjectStoreAccount&) override { return none(); }
    StoreAnswer bucketHasObjectLock(const ObjectStoreAccount&, bool&) override { return none(); }
    StoreAnswer listObjects(const ObjectStoreAccount&, const std::string&, std::vector<StoredObject>&) override
    {
        return none();
    }
    StoreAnswer headObject(const ObjectStoreAccount&, const std::string&, StoredObject&) override { return none(); }
    StoreAnswer putObject(const ObjectStoreAccount&, const std::string&, const FileSlice&, const PutOptions&) override
    {
        return none();
    }
    StoreAnswer startMultipartUpload(const ObjectStoreAccount&, const std::string&, const PutOptions&,
                                     std::string&) override
    {
        return none();
    }
    StoreAnswer putPart(const ObjectStoreAccount&, const std::string&, const std::string&, int, const FileSlice&,
                        std::string&) override
    {
        return none();
    }
    StoreAnswer completeMultipartUpload(const ObjectStoreAccount&, const std::string&, const std::string&,
                                        const std::vector<std::string>&) override
    {
        return none();
    }
    StoreAnswer abortMultipartUpload(const ObjectStoreAccount&, const std::string&, const std::string&) override
    {
        return none();
    }
    StoreAnswer listMultipartUploads(const ObjectStoreAccount&, const std::string&,
                                     std::vector<std::pair<std::string, std::string>>&) override
    {
        return none();
    }
    StoreAnswer listObjectVersions(const ObjectStoreAccount&, const std::string&, std::vector<StoredVersion>&) override
    {
        return none();
    }
    StoreAnswer deleteObject(const ObjectStoreAccount&, const std::string&) override { return none(); }
    StoreAnswer deleteObjectVersion(const ObjectStoreAccount&, const std::string&, const std::string&) override
    {
        return none();
    }
    StoreAnswer getObject(const ObjectStoreAccount&, const std::string&, const std::string&,
                          const FetchCheck& = {}) override
    {
        return none();
    }

private:
    static StoreAnswer none() { return {Result::failure("this build of the program has no S3 client"), 0, {}}; }
};
