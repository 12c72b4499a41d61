#pragma once

#include "ObjectStore.h"
#include "Result.h"

#include <string>
#include <vector>

class SecretProtector;
class SettingsStore;

/// Section "S3" of KOPIRKO.ini: the S3-compatible store each day's backups are sent to, away from the shop.
struct OffsiteSettings
{
    std::string Adresa;     ///< "https://host[:port]", without a path; "http://" only for a store on the local network
    std::string Regija;     ///< the region the requests are signed for; empty: the store's default
    std::string Bucket;     ///< the bucket the days go to
    std::string Kljuc;      ///< the access key id
    std::string Tajna;      ///< the secret key, in clear here; stored through the SecretProtector
    std::string Prefiks;    ///< the folder in the bucket this computer's days go to; empty at load: the computer's name
    int ZakljucatiDana = 0; ///< 0: no lock; N: every object locked N days ahead (COMPLIANCE)
    int Slati = 0;          ///< 0: nothing is sent; 1: after every backup

    /// The store and account as the ObjectStore takes them.
    ObjectStoreAccount account() const;
};

/// Reads and writes section "S3". Texts of a failure are in the window's language and name the key; the secret's
/// value is never in them.
namespace OffsiteSettingsStore {

/// The longest lock the page takes: ten years.
inline constexpr int longestLockDays = 3650;

/// Fills `settings` from the file. Missing keys keep the defaults (nothing is sent); an empty "Prefiks" becomes
/// `computerName` (or "kopirko" when that is no usable prefix either). A number that is none, or (with Slati = 1)
/// a setting that cannot send, fails the load naming the key; then nothing is to be sent.
Result load(const SettingsStore& store, const SecretProtector& secrets, const std::string& computerName,
            OffsiteSettings& settings);

/// Checks that `settings` can send: an address "https://host[:port]" ("http://" only to a store on the local
/// network), a bucket name the stores take, an access key and a secret without blanks or line breaks, a prefix of
/// plain path names, ZakljucatiDana from 0 to longestLockDays, Slati 0 or 1. A failure names the key.
Result check(const OffsiteSettings& settings);

/// What the user should know about settings that pass check(): an address without encryption.
std::vector<std::string> warnings(const OffsiteSettings& settings);

/// Checks `settings` and writes every key of the section (the secret through `secrets`, after the file was guarded
/// by it). Writes nothing when the check fails.
Result save(SettingsStore& store, const SecretProtector& secrets, const OffsiteSettings& settings);

/// True for a host that lies on the local network: "localhost", a name without dots or ending in ".local" or
/// ".lan", an IPv4 address in 10/8, 172.16/12, 192.168/16, 127/8 or 169.254/16, IPv6 loopback or fc00::/7.
bool isLocalNetworkHost(const std::string& host);

/// The prefix `name` gives: itself when it is a plain path of names, else "" (blanks around are cut).
std::string usablePrefix(const std::string& name);

} // namespace OffsiteSettingsStore
