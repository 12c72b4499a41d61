#pragma once

#include "ContentDigest.h"
#include "Result.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

/// Where an S3-compatible store is and as whom it is reached.
struct ObjectStoreAccount
{
    std::string endpoint;  ///< "https://s3.example.com" or "http://192.168.1.5:7480", without a path
    std::string region;    ///< the region requests are signed for; "us-east-1" when empty
    std::string bucket;    ///< addressed in the path ("<endpoint>/<bucket>/<key>"), which every store takes
    std::string accessKey; ///< the access key id
    std::string secretKey; ///< the secret key, in clear
    /// A file of certificates the store's must chain to instead of the system's (tests); empty: the system's.
    std::string certificateAuthorities;
    /// A store that does not connect within this, or whose answer stands still for `stallTimeLimit`, fails the
    /// request (status 0).
    std::chrono::milliseconds connectTimeLimit{10000};
    std::chrono::seconds stallTimeLimit{30};
};

/// How one request went.
struct StoreAnswer
{
    Result result = Result::failure("no request made"); ///< success for a 2xx answer; otherwise why, readable
    long status = 0;  ///< the HTTP status; 0 when no answer came (not reachable, refused, timed out, cancelled)
    std::string code; ///< the store's error code from an error body ("SignatureDoesNotMatch", "NoSuchBucket")
    /// The failure was this computer's, not the store's: a fetched object could not be written here (a full disk,
    /// no permission); `result` says why. Asking the store again, or counting it down, would not help.
    bool local = false;
};

/// An object as the store lists or describes it.
struct StoredObject
{
    std::string key;        ///< UTF-8, without the bucket
    std::uint64_t size = 0; ///< bytes
    /// The object's own metadata (`x-amz-meta-<name>`), names in lower case without the prefix. Filled by
    /// headObject() only; a listing has none.
    std::map<std::string, std::string> metadata;
    std::string retainUntil; ///< an Object Lock retain-until date (ISO 8601, UTC) from headObject(); empty: none
    /// The version headObject() found, in a bucket that keeps versions (every bucket with Object Lock does);
    /// empty where the store keeps none. deleteObjectVersion() takes it.
    std::string versionId;
    /// The ETag a listing gives, without its quotes: for an object sent in one request the hex MD5 of its bytes
    /// (unless the store encrypts them); one sent in parts has a "-" and the count of parts in it. Filled by
    /// listObjects() only.
    std::string etag;
};

/// One version of an object, or a delete marker, in a bucket that keeps versions.
struct StoredVersion
{
    std::string key;           ///< UTF-8, without the bucket
    std::string versionId;     ///< what deleteObjectVersion() takes ("null" in a bucket that keeps no versions)
    std::uint64_t size = 0;    ///< bytes; 0 for a delete marker
    bool deleteMarker = false; ///< the marker a plain delete left, hiding the versions before it
    bool latest = false;       ///< the key's newest version or marker
};

/// Object Lock for a new object.
struct ObjectRetention
{
    std::string mode = "COMPLIANCE"; ///< "COMPLIANCE" or "GOVERNANCE"
    std::string retainUntil;         ///< ISO 8601, UTC ("2026-12-31T00:00:00Z")
};

/// What goes with a new object besides its bytes.
struct PutOptions
{
    std::map<std::string, std::string> metadata; ///< sent as `x-amz-meta-<name>`; names lower case, values ASCII
    std::optional<ObjectRetention> retention;    ///< sent as `x-amz-object-lock-*` (with Content-MD5)
    /// The body's hashes when the caller took them already (putObject() only): the store then does not read the body
    /// once before the request to take them. The bytes are hashed again as they go, and a body that no longer
    /// matches them is broken off.
    std::optional<ContentDigest::Sha256> sha256;
    std::optional<ContentDigest::Md5> md5;
};

/// A byte range of a file on this computer, the body of an upload.
struct FileSlice
{
    std::string path;         ///< UTF-8
    std::uint64_t offset = 0; ///< bytes from the start
    std::uint64_t length = 0; ///< bytes; the file must still hold them when sent, or the request fails
};

/// An S3-compatible object store: the requests an off-site copy needs, each signed (AWS Signature Version 4)
/// and blocking until the store answered or a time limit ran out. Every body is sent with its SHA-256
/// (`x-amz-content-sha256`) and its MD5 (`Content-MD5`), so that a store never keeps bytes that changed on the way.
/// Memory does not grow with the size of a file: bodies are read from the file as they are sent.
/// Implementations are safe to use from several threads at once.
class ObjectStore
{
public:
    virtual ~ObjectStore() = default;

    /// Whether the bucket answers to this account (a listing of no keys, which needs what HEAD bucket needs and
    /// says why in a refusal: SignatureDoesNotMatch, InvalidAccessKeyId, NoSuchBucket, AccessDenied).
    virtual StoreAnswer checkBucket(const ObjectStoreAccount& account) = 0;

    /// Whether the bucket has Object Lock switched on (`?object-lock=`); `enabled` is false for a bucket that
    /// has none (the store's "ObjectLockConfigurationNotFoundError" is a success here).
    virtual StoreAnswer bucketHasObjectLock(const ObjectStoreAccount& account, bool& enabled) = 0;

    /// Every object whose key starts with `prefix`, all pages of the listing, in the store's order.
    virtual StoreAnswer listObjects(const ObjectStoreAccount& account, const std::string& prefix,
                                    std::vector<StoredObject>& objects) = 0;

    /// The object `key` with its metadata and retention; status 404 when there is none.
    virtual StoreAnswer headObject(const ObjectStoreAccount& account, const std::string& key, StoredObject& object) = 0;

    /// One PUT of `body` as `key` (for bodies up to the store's single-request limit; the caller uses the
    /// multipart requests above its own part size).
    virtual StoreAnswer putObject(const ObjectStoreAccount& account, const std::string& key, const FileSlice& body,
                                  const PutOptions& options) = 0;

    /// Begins a multipart upload of `key`; `uploadId` names it in the requests below.
    virtual StoreAnswer startMultipartUpload(const ObjectStoreAccount& account, const std::string& key,
                                             const PutOptions& options, std::string& uploadId) = 0;
    /// Sends part `partNumber` (1 to 10,000) of the upload; `etag` is what completeMultipartUpload() needs.
    virtual StoreAnswer putPart(const ObjectStoreAccount& account, const std::string& key, const std::string& uploadId,
                                int partNumber, const FileSlice& body, std::string& etag) = 0;
    /// Makes the object of the parts' `etags` (in part order, part 1 first).
    virtual StoreAnswer completeMultipartUpload(const ObjectStoreAccount& account, const std::string& key,
                                                const std::string& uploadId, const std::vector<std::string>& etags) = 0;
    /// Throws away an unfinished upload and the parts it holds.
    virtual StoreAnswer abortMultipartUpload(const ObjectStoreAccount& account, const std::string& key,
                                             const std::string& uploadId) = 0;
    /// The unfinished uploads under `prefix`, as pairs of key and upload id.
    virtual StoreAnswer listMultipartUploads(const ObjectStoreAccount& account, const std::string& prefix,
                                             std::vector<std::pair<std::string, std::string>>& uploads) = 0;

    /// Every version and delete marker whose key starts with `prefix` (`?versions=`), all pages, in the store's
    /// order: what is left to free when old days are removed from a bucket that keeps versions.
    virtual StoreAnswer listObjectVersions(const ObjectStoreAccount& account, const std::string& prefix,
                                           std::vector<StoredVersion>& versions) = 0;

    /// Deletes `key` (a locked object's version stays; the store refuses with 403 or adds a delete marker).
    virtual StoreAnswer deleteObject(const ObjectStoreAccount& account, const std::string& key) = 0;
    /// Deletes one version of `key` for good (`?versionId=`): in a bucket that keeps versions this is what frees
    /// the space, where deleteObject() only hides the object behind a delete marker. A version still under
    /// Object Lock is refused (403 AccessDenied).
    virtual StoreAnswer deleteObjectVersion(const ObjectStoreAccount& account, const std::string& key,
                                            const std::string& versionId) = 0;

    /// Told, as an object's body arrives, the bytes of it written so far and the size the store announced (0 while
    /// none is known); answers whether to go on. Called on the fetching thread after each piece and about once a
    /// second while nothing comes; on false the fetch is broken off within that time and fails with status 0.
    using FetchCheck = std::function<bool(std::uint64_t received, std::uint64_t announced)>;

    /// Fetches `key` into `destination` (UTF-8 path), replacing it only when the whole body arrived: the body
    /// goes to a temporary file beside it first. Nothing is left at `destination`, nor beside it, after a failure or
    /// a stop by `check` (may be empty).
    virtual StoreAnswer getObject(const ObjectStoreAccount& account, const std::string& key,
                                  const std::string& destination, const FetchCheck& check = {}) = 0;
};
