// The tests' cluster calls: see ClusterCalls.h.
#include "ClusterCalls.h"

#include "ClusterResults.h"


QLXHANDLE OpenCluster()
{
    return KvEntry().QLXClusterOpenLocal(QLX_ALL_SYSTEMS, 0);
}

Error LastError()
{
    const QLXError error = KvEntry().QLXApiGetLastError();
    return {error.errorClass, error.errorNumber};
}

std::optional<Strings> Names(uint32_t kind)
{
    unique_qlx_names names;
    if (KvEntry().QLXObjGetNames(OpenCluster(), kind, 0, &names, nullptr) != 0)
        return std::nullopt;
    return Strings(names.get()->names, names.get()->names + names.get()->count);
}

std::string AttributeText(uint32_t kind, const char* object, const char* attribute, const char* key)
{
    unique_qlx_attr attr;
    unique_qlx_str text;
    if (KvEntry().QLXObjGetAttribute(OpenCluster(), kind, object, attribute, 0, &attr, 0) != 0 ||
        KvEntry().QLXAttrGetStr(attr.get(), key, 0, &text, 0) != 0)
        return std::to_string(LastError().second);
    return text.get();
}
