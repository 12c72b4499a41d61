#pragma once

#include "FileSystem.h"
#include "ObjectStore.h"

class XmlElement;

#include <functional>
#include <map>
#include <mutex>
#include <vector>

/// An S3-compatible store reached through libcurl: each request signed by libcurl's AWS Signature Version 4
/// (`CURLOPT_AWS_SIGV4`, "aws:amz:<region>:s3"), the bucket in the path, the answers' XML read with expat. The same
/// code on Linux (libcurl with OpenSSL) and Windows (libcurl with Schannel).
///
/// What the signing needs from us, since libcurl 7.88 signs the request exactly as written:
/// - the path percent-encoded as the store encodes it to check the signature: every byte but A-Z a-z 0-9 - _ . ~
///   and "/" as %XX in capitals (UTF-8 keys byte by byte);
/// - the query in the store's canonical form: parameters sorted by name, values encoded the same way with "/"
///   encoded too, and a parameter without a value written with its "=" (`?uploads=`, `?object-lock=`), else the
///   store computes another signature and answers 403 SignatureDoesNotMatch;
/// - `x-amz-content-sha256` sent by us (libcurl 7.88 adds none, and a store refuses a request without it), the
///   SHA-256 of the body or of no bytes;
/// - every header we add is signed as it is: metadata names that begin one another would be sorted otherwise than
///   the store sorts them, so they are refused here.
///
/// Every body also goes with its `Content-MD5`, which the store checks (400 BadDigest) and which Object Lock
/// requires. The lock of a multipart upload is asked for when it begins; a store that does not apply it there
/// (radosgw 16 makes the object without it) gets it set on the completed object (`PUT ?retention=&versionId=`), so
/// that every object asked to be locked is locked or its completion fails. A file body is read twice: once for its
/// hashes, once as it is sent; the second reading is hashed again and the request is broken off before its last byte
/// when the file no longer holds what was hashed.
class CurlObjectStore : public ObjectStore
{
public:
    /// `files` reads the bodies that are sent and writes what getObject() fetches.
    explicit CurlObjectStore(FileSystem& files);
    ~CurlObjectStore() override;
    CurlObjectStore(const CurlObjectStore&) = delete;
    CurlObjectStore& operator=(const CurlObjectStore&) = delete;

    StoreAnswer checkBucket(const ObjectStoreAccount& account) override;
    StoreAnswer bucketHasObjectLock(const ObjectStoreAccount& account, bool& enabled) override;
    StoreAnswer listObjects(const ObjectStoreAccount& account, const std::string& prefix,
                            std::vector<StoredObject>& objects) override;
    StoreAnswer headObject(const ObjectStoreAccount& account, const std::string& key, StoredObject& object) override;
    StoreAnswer putObject(const ObjectStoreAccount& account, const std::string& key, const FileSlice& body,
                          const PutOptions& options) override;
    StoreAnswer startMultipartUpload(const ObjectStoreAccount& account, const std::string& key,
                                     const PutOptions& options, std::string& uploadId) override;
    StoreAnswer putPart(const ObjectStoreAccount& account, const std::string& key, const std::string& uploadId,
                        int partNumber, const FileSlice& body, std::string& etag) override;
    StoreAnswer completeMultipartUpload(const ObjectStoreAccount& account, const std::string& key,
                                        const std::string& uploadId, const std::vector<std::string>& etags) override;
    StoreAnswer abortMultipartUpload(const ObjectStoreAccount& account, const std::string& key,
                                     const std::string& uploadId) override;
    StoreAnswer listMultipartUploads(const ObjectStoreAccount& account, const std::string& prefix,
                                     std::vector<std::pair<std::string, std::string>>& uploads) override;
    StoreAnswer listObjectVersions(const ObjectStoreAccount& account, const std::string& prefix,
                                   std::vector<StoredVersion>& versions) override;
    StoreAnswer deleteObject(const ObjectStoreAccount& account, const std::string& key) override;
    StoreAnswer deleteObjectVersion(const ObjectStoreAccount& account, const std::string& key,
                                    const std::string& versionId) override;
    StoreAnswer getObject(const ObjectStoreAccount& account, const std::string& key, const std::string& destination,
                          const FetchCheck& check = {}) override;

    /// `text` percent-encoded as the signature wants it: every byte but A-Z a-z 0-9 - _ . ~ as %XX in capitals, and
    /// "/" kept when `keepSlash` (a path) or encoded (a query value).
    static std::string encode(const std::string& text, bool keepSlash);

private:
    struct Request;
    struct Response;
    StoreAnswer perform(const ObjectStoreAccount& account, Request& request, Response& response);
    /// One DELETE of `key` with `query` (empty for none); `what` names it in the answer's error.
    StoreAnswer sendDelete(const ObjectStoreAccount& account, const std::string& key, std::string query,
                           std::string what);
    /// A listing whose pages go on from a key marker and a second one (unfinished uploads, versions).
    struct MarkerListing
    {
        std::string what;             ///< for the reason of a failure
        std::string prefix;           ///< of the keys listed
        const char* subresource;      ///< "uploads", "versions"
        const char* secondMarker;     ///< the query parameter of the second marker ("upload-id-marker")
        const char* nextSecondMarker; ///< the element that gives it for the next page ("NextUploadIdMarker")
        const char* root;             ///< the answer's root element
    };
    /// Asks for every page of `listing` and hands each to `takePage` with whether its keys are URL-encoded; a
    /// failure of `takePage` ends the listing with its reason.
    StoreAnswer listByMarkers(const ObjectStoreAccount& account, const MarkerListing& listing,
                              const std::function<Result(const XmlElement&, bool)>& takePage);
    /// Locks the version `versionId` of `key` until the date of `retention`.
    StoreAnswer putRetention(const ObjectStoreAccount& account, const std::string& key, const std::string& versionId,
                             const ObjectRetention& retention);

    /// An idle libcurl handle (its connection to the store still open where the store kept it), or a new one;
    /// nullptr when none can be made.
    void* takeHandle();
    void giveBack(void* handle);

    /// Handles kept between requests: each keeps its connection, so that many small objects in a row, or from
    /// several threads, do not each pay for a new connection and TLS handshake.
    static constexpr std::size_t idleHandleLimit = 16;

    FileSystem& m_files;
    std::mutex m_mutex;
    std::vector<void*> m_idleHandles;
    /// The lock each unfinished upload was begun with, by upload id, to be made sure of when it is completed.
    std::map<std::string, ObjectRetention> m_uploadRetention;
};
