#include "DpapiSecretProtector.h"

#include "Base64.h"
#include "WideText.h"

#include <windows.h>

#include <dpapi.h>

namespace {

/// Frees what CryptProtectData and CryptUnprotectData allocate.
struct LocalBlob
{
    DATA_BLOB blob{};
    ~LocalBlob()
    {
        if (blob.pbData)
            LocalFree(blob.pbData);
    }
};

DATA_BLOB blobOf(const std::string& bytes)
{
    DATA_BLOB blob;
    blob.cbData = static_cast<DWORD>(bytes.size());
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return blob;
}

} // namespace

Result DpapiSecretProtector::protect(const std::string& secret, std::string& stored) const
{
    DATA_BLOB plain = blobOf(secret);
    LocalBlob encrypted;
    if (!CryptProtectData(&plain, L"Kopirko", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &encrypted.blob))
        return Result::failure("cannot encrypt the password: " + WideText::errorText(GetLastError()));
    stored = Base64::encode(std::string(reinterpret_cast<const char*>(encrypted.blob.pbData), encrypted.blob.cbData));
    return Result::success();
}

Result DpapiSecretProtector::reveal(const std::string& stored, std::string& secret) const
{
    const auto bytes = Base64::decode(stored);
    if (!bytes || bytes->empty())
        return Result::failure("the stored password is not in the form this program writes it");
    DATA_BLOB encrypted = blobOf(*bytes);
    LocalBlob plain;
    if (!CryptUnprotectData(&encrypted, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &plain.blob))
        return Result::failure("the stored password cannot be decrypted (was it saved by another user or on another "
                               "computer?): " +
                               WideText::errorText(GetLastError()));
    secret.assign(reinterpret_cast<const char*>(plain.blob.pbData), plain.blob.cbData);
    return Result::success();
}

Result DpapiSecretProtector::guardFile(const std::string&) const
{
    return Result::success();
}
