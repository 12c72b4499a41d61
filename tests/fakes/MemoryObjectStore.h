#pragma once

#include "ObjectStore.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

/// A store in memory that keeps what a real one keeps: bytes, metadata and locks of each object, the parts of
/// unfinished uploads; one version per key ("v-" + key). It refuses to delete an object whose lock has not run out at
/// `now`, and answers a request the test chooses with the failure the test sets. Safe to use from several threads at
/// once.
class MemoryObjectStore : public ObjectStore
{
public:
    struct Object
    {
        std::string bytes;
        std::map<std::string, std::string> metadata;
        std::optional<ObjectRetention> retention;
        int parts = 0; ///< 0: sent in one request
    };

    /// The time locks are judged by, ISO 8601 UTC (compared as text; tests use one form).
    std::string now = "2026-12-05T08:00:00Z";
    bool objectLock = true;
    /// Asked before every request with its name ("check", "lock", "list", "head", "put", "start", "part",
    /// "complete", "abort", "uploads", "delete", "get") and key: an answer here is given instead of doing it.
    std::function<std::optional<StoreAnswer>(const std::string& request, const std::string& key)> failWhen;

    std::map<std::string, Object> objects() const
    {
        std::lock_guard lock(m_mutex);
        return m_objects;
    }
    /// Unfinished uploads: id -> key.
    std::map<std::string, std::string> unfinished() const
    {
        std::lock_guard lock(m_mutex);
        std::map<std::string, std::string> open;
        for (const auto& [id, upload] : m_uploads)
            open[id] = upload.key;
        return open;
    }
    /// "request key", in order.
    std::vector<std::string> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    /// Puts an object as if an earlier sending had.
    void place(const std::string& key, Object object)
    {
        std::lock_guard lock(m_mutex);
        m_objects[key] = std::move(object);
    }
    /// An upload an earlier sending began and never ended; its id.
    std::string leaveUnfinished(const std::string& key)
    {
        std::lock_guard lock(m_mutex);
        const std::string id = "upload-" + std::to_string(++m_nextId);
        m_uploads[id] = {key, {}, {}};
        return id;
    }

    StoreAnswer checkBucket(const ObjectStoreAccount&) override { return answer("check", ""); }
    StoreAnswer bucketHasObjectLock(const ObjectStoreAccount&, bool& enabled) override
    {
        enabled = objectLock;
        return answer("lock", "");
    }
    StoreAnswer listObjects(const ObjectStoreAccount&, const std::string& prefix,
                            std::vector<StoredObject>& objects) override
    {
        return answer("list", prefix, [&] {
            objects.clear();
            for (const auto& [key, object] : m_objects)
                if (key.starts_with(prefix))
                    objects.push_back({key, object.bytes.size(), {}, {}, {}, etagOf(object)});
            return ok();
        });
    }
    StoreAnswer headObject(const ObjectStoreAccount&, const std::string& key, StoredObject& object) override
    {
        return answer("head", key, [&] {
            const auto found = m_objects.find(key);
            if (found == m_objects.end())
                return refused(404, "NoSuchKey");
            const Object& o = found->second;
            object = {key, o.bytes.size(), o.metadata, o.retention ? o.retention->retainUntil : "", "v-" + key, {}};
            return ok();
        });
    }
    StoreAnswer putObject(const ObjectStoreAccount&, const std::string& key, const FileSlice& body,
                          const PutOptions& options) override
    {
        return answer("put", key, [&] {
            std::string bytes;
            if (!read(body, bytes))
                return StoreAnswer{Result::failure("the file did not hold the body"), 0, {}};
            if (options.retention && !objectLock)
                return refused(400, "InvalidRequest");
            if (options.md5 && *options.md5 != md5Of(bytes))
                return refused(400, "BadDigest");
            m_objects[key] = {bytes, options.metadata, options.retention, 0};
            return ok();
        });
    }
    StoreAnswer startMultipartUpload(const ObjectStoreAccount&, const std::string& key, const PutOptions& options,
                                     std::string& uploadId) override
    {
        return answer("start", key, [&] {
            uploadId = "upload-" + std::to_string(++m_nextId);
            m_uploads[uploadId] = {key, options, {}};
            return ok();
        });
    }
    StoreAnswer putPart(const ObjectStoreAccount&, const std::string& key, const std::string& uploadId, int partNumber,
                        const FileSlice& body, std::string& etag) override
    {
        std::string bytes;
        const bool whole = read(body, bytes); // outside the lock, as a real store reads the wire
        return answer("part", key, [&] {
            const auto upload = m_uploads.find(uploadId);
            if (upload == m_uploads.end() || upload->second.key != key)
                return refused(404, "NoSuchUpload");
            if (!whole)
                return StoreAnswer{Result::failure("the file did not hold the body"), 0, {}};
            upload->second.parts[partNumber] = bytes;
            etag = partEtag(partNumber, bytes);
            return ok();
        });
    }
    StoreAnswer completeMultipartUpload(const ObjectStoreAccount&, const std::string& key, const std::string& uploadId,
                                        const std::vector<std::string>& etags) override
    {
        return answer("complete", key, [&] {
            const auto upload = m_uploads.find(uploadId);
            if (upload == m_uploads.end())
                return refused(404, "NoSuchUpload");
            Object object{
                {}, upload->second.options.metadata, upload->second.options.retention, static_cast<int>(etags.size())};
            for (std::size_t i = 0; i < etags.size(); ++i) {
                const auto part = upload->second.parts.find(static_cast<int>(i + 1));
                if (part == upload->second.parts.end() || etags[i] != partEtag(part->first, part->second))
                    return refused(400, "InvalidPart");
                object.bytes += part->second;
            }
            m_objects[key] = object;
            m_uploads.erase(upload);
            return ok();
        });
    }
    StoreAnswer abortMultipartUpload(const ObjectStoreAccount&, const std::string& key,
                                     const std::string& uploadId) override
    {
        return answer("abort", key, [&] { return m_uploads.erase(uploadId) ? ok() : refused(404, "NoSuchUpload"); });
    }
    StoreAnswer listMultipartUploads(const ObjectStoreAccount&, const std::string& prefix,
                                     std::vector<std::pair<std::string, std::string>>& uploads) override
    {
        return answer("uploads", prefix, [&] {
            uploads.clear();
            for (const auto& [id, upload] : m_uploads)
                if (upload.key.starts_with(prefix))
                    uploads.emplace_back(upload.key, id);
            return ok();
        });
    }
    StoreAnswer listObjectVersions(const ObjectStoreAccount&, const std::string& prefix,
                                   std::vector<StoredVersion>& versions) override
    {
        return answer("versions", prefix, [&] {
            versions.clear();
            for (const auto& [key, object] : m_objects)
                if (key.starts_with(prefix))
                    versions.push_back({key, "v-" + key, object.bytes.size(), false, true});
            return ok();
        });
    }
    StoreAnswer deleteObject(const ObjectStoreAccount& account, const std::string& key) override
    {
        return deleteObjectVersion(account, key, "v-" + key);
    }
    StoreAnswer deleteObjectVersion(const ObjectStoreAccount&, const std::string& key,
                                    const std::string& versionId) override
    {
        return answer("delete", key, [&] {
            if (versionId != "v-" + key)
                return refused(404, "NoSuchVersion");
            const auto found = m_objects.find(key);
            if (found != m_objects.end() && found->second.retention && found->second.retention->retainUntil > now)
                return refused(403, "AccessDenied");
            m_objects.erase(key);
            return ok();
        });
    }
    StoreAnswer getObject(const ObjectStoreAccount&, const std::string& key, const std::string& destination,
                          const FetchCheck& check = {}) override
    {
        return answer("get", key, [&] {
            const auto found = m_objects.find(key);
            if (found == m_objects.end())
                return refused(404, "NoSuchKey");
            const std::uint64_t size = found->second.bytes.size();
            if (check && !check(size / 2, size)) // half of it came
                return StoreAnswer{Result::failure("stopped before the whole object came"), 0, {}};
            std::ofstream(pathOf(destination), std::ios::binary) << found->second.bytes;
            return ok();
        });
    }

private:
    struct Upload
    {
        std::string key;
        PutOptions options;
        std::map<int, std::string> parts;
    };

    static StoreAnswer ok() { return {Result::success(), 200, {}}; }
    /// A refusal with the store's `status` and error `code`, both also in the failure's text.
    static StoreAnswer refused(long status, const char* code)
    {
        return {Result::failure(std::to_string(status) + " " + code), status, code};
    }
    static std::string partEtag(int number, const std::string& bytes)
    {
        return "\"etag-" + std::to_string(number) + "-" + std::to_string(bytes.size()) + "\"";
    }
    /// A UTF-8 path as the streams take it on every platform (on Windows not through the ANSI code page).
    static std::filesystem::path pathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

    static ContentDigest::Md5 md5Of(const std::string& bytes)
    {
        ContentDigest digest;
        digest.add(bytes.data(), bytes.size());
        ContentDigest::Sha256 sha256{};
        ContentDigest::Md5 md5{};
        digest.finish(sha256, md5);
        return md5;
    }
    /// As a store lists it: the MD5 of an object sent in one request, no MD5 of the bytes for one sent in parts.
    static std::string etagOf(const Object& object)
    {
        if (object.parts > 0)
            return "0123456789abcdef0123456789abcdef-" + std::to_string(object.parts);
        std::string text;
        for (const std::uint8_t byte : md5Of(object.bytes)) {
            text += "0123456789abcdef"[byte >> 4];
            text += "0123456789abcdef"[byte & 15];
        }
        return text;
    }

    static bool read(const FileSlice& body, std::string& bytes)
    {
        std::ifstream in(pathOf(body.path), std::ios::binary);
        in.seekg(static_cast<std::streamoff>(body.offset));
        bytes.assign(body.length, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(body.length));
        return in.gcount() == static_cast<std::streamsize>(body.length);
    }

    StoreAnswer answer(
        const std::string& request, const std::string& key,
        const std::function<StoreAnswer()>& work = [] { return ok(); })
    {
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request + " " + key);
        }
        if (failWhen)
            if (std::optional<StoreAnswer> failure = failWhen(request, key))
                return *failure;
        std::lock_guard lock(m_mutex);
        return work();
    }

    mutable std::mutex m_mutex;
    std::map<std::string, Object> m_objects;
    std::map<std::string, Upload> m_uploads;
    std::vector<std::string> m_requests;
    int m_nextId = 0;
};
