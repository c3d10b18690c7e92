// The lab's Active Directory domain: objects kept in the lab registry and
// served by small COM objects of our own through the lab's ADsOpenObject.
//
// Key layout below HKLM\SOFTWARE\KorvelinLab\Directory:
//
//   RootDSE                 values "defaultNamingContext", "configurationNamingContext",
//                           "schemaNamingContext" (REG_SZ); without this key there is
//                           no domain and every bind fails with 0x8007054B
//   Servers\<name>          domain controllers a path "LDAP://<name>/..." may name;
//                           any other server gives 0x8007203A (server not operational)
//   Accounts\<id>           an account a bind may name; <id> is any unique key name
//       "UserName"          REG_SZ, as the bind gives it, e.g. "LAB\admin" (any case)
//       "Password"          REG_SZ
//       "Rights"            REG_DWORD, 0: the account may not use the directory
//                           A bind with a user name fails with 0x8007052E (logon failure)
//                           unless it names an account with its password, and with
//                           0x80072098 (insufficient rights) for an account without rights;
//                           a bind without one uses the caller's own credentials and works.
//   Objects\<id>            one object; <id> is any unique key name (scenarios use 0001, ...)
//       "DistinguishedName" REG_SZ, e.g. "CN=EVS1,CN=Servers,CN=Configuration,DC=lab,DC=test";
//                           the parent is the name without its first component
//       "Class"             REG_SZ, the object class ("computer", "msExchExchangeServer")
//       "Cn"                REG_SZ, the common name the search matches
//
// The objects form a tree: each object's parent must be an object too, unless
// the object is one of the root DSE's naming contexts. While some object lacks
// its parent the domain is broken and every bind fails with 0x80072089. Every
// object answers IADsContainer and IADsDeleteOps, as LDAP objects do (older
// scenarios' "Container" values are ignored).
//       Attributes\<name>   one key per attribute:
//           "Syntax"        REG_SZ: "String", "Integer", "Boolean" or "OctetString"
//           "1", "2", ...   the values in order: REG_SZ (String), REG_DWORD (Integer,
//                           Boolean 0/1), REG_BINARY (OctetString)
//
// The attributes "cn", "name", "distinguishedName" and "objectClass" come from the
// object's own values.
#pragma once

#include "LabState.h"

#include <windows.h>
#include <ole2.h>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace KvLab
{
constexpr wchar_t kSyntaxString[] = L"String";
constexpr wchar_t kSyntaxInteger[] = L"Integer";
constexpr wchar_t kSyntaxBoolean[] = L"Boolean";
constexpr wchar_t kSyntaxOctetString[] = L"OctetString";

struct DirectoryObject
{
    std::wstring key; // below Directory\Objects
    std::wstring dn;
    std::wstring className;
    std::wstring cn;
};

// Distinguished names: "CN=A,CN=B,DC=x" has the first component "CN=A" and the
// parent "CN=B,DC=x". An escaped comma ("\,") does not split.
std::wstring FirstComponent(const std::wstring& dn);
std::wstring ParentName(const std::wstring& dn);
// The value of a component without its type and escapes: "CN=A\,B" -> "A,B".
std::wstring ComponentValue(const std::wstring& component);
// True when dn lies strictly below base.
bool IsBelow(const std::wstring& dn, const std::wstring& base);

std::wstring DirectoryObjectsPath();

// The whole domain as the registry holds it, in key order, with its objects
// by distinguished name (any case) and the objects whose parent is missing.
struct DirectorySnapshot
{
    std::vector<DirectoryObject> objects;
    std::unordered_map<std::wstring, size_t> byName;  // folded distinguished name
    std::unordered_multimap<std::wstring, size_t> byCn; // folded common name
    std::vector<std::wstring> orphans;
    bool hasDomain = false;
    std::unordered_map<std::wstring, std::wstring> rootDse; // folded value name

    const DirectoryObject* Find(const std::wstring& dn) const;
    // Indices of the objects with that common name, in key order.
    std::vector<size_t> WithCn(const std::wstring& cn) const;
    std::optional<std::wstring> RootDse(const std::wstring& name) const;
    bool IsNamingContext(const std::wstring& dn) const;
};
// Read again only after the registry changed.
std::shared_ptr<const DirectorySnapshot> Directory();
std::optional<DirectoryObject> FindDirectoryObject(const std::wstring& dn);
bool DirectoryHasDomain();
// Objects whose parent is missing from the tree, by distinguished name.
std::vector<std::wstring> DirectoryOrphans();
// True when dn may be added: a naming context, or below an object that exists.
bool HasPlaceInDirectory(const std::wstring& dn);
// S_OK for the caller's own credentials (no user name) or an account's; else
// the bind's failure.
HRESULT CheckDirectoryCredentials(LPCWSTR userName, LPCWSTR password);
std::optional<std::wstring> RootDseValue(const std::wstring& name);
bool IsDirectoryServer(const std::wstring& name);

// All values of an attribute as a VT_ARRAY | VT_VARIANT in *values, which the
// caller clears. E_ADS_PROPERTY_NOT_FOUND when the object has no such attribute.
HRESULT ReadDirectoryValues(const DirectoryObject& object, const std::wstring& attribute, VARIANT* values);

// Removes the object and everything below it; false when nothing was there.
bool DeleteDirectorySubtree(const std::wstring& dn);
// Gives the object a new common name where it stands: the value of its name's
// first component and its cn change, and what lies below it moves along.
// False when it is missing, the name is taken, or a write failed.
bool RenameDirectoryObject(const std::wstring& dn, const std::wstring& newCn);

// What the lab's ADsOpenObject received, call by call (faulted calls excluded).
struct DirectoryBind
{
    std::wstring path;
    std::optional<std::wstring> userName; // nullopt: passed as null
    std::optional<std::wstring> password;
    DWORD flags = 0;
    IID iid = {};
    HRESULT result = S_OK;
};
std::vector<DirectoryBind> DirectoryBinds();
void ClearDirectoryBinds() noexcept;

// COM objects, search handles and search columns handed out and not yet
// released, closed or freed.
long DirectoryLiveObjects() noexcept;

// The lab's ADsOpenObject after its fault check.
HRESULT OpenDirectoryObject(LPCWSTR pathName, LPCWSTR userName, LPCWSTR password, DWORD flags, REFIID riid,
                            void** object) noexcept;
} // namespace KvLab
