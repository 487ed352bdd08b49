// The type library as the built DLL carries it: the old interfaces keep
// their IIDs, vtable slots and dispatch identifiers, the new ones derive
// from them and are the coclasses' defaults. Prints what it read ("# tlb").
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

#include "checks.h"
#include "scenarios.h"

namespace wine_client {
namespace {

// One member as the old interfaces declared it: the slot counts from the
// start of the vtable (IUnknown and IDispatch take 0..6).
struct Member {
    const wchar_t* name;
    INVOKEKIND kind;
    MEMBERID id;
    int slot;
};

constexpr INVOKEKIND kGet = INVOKE_PROPERTYGET, kPut = INVOKE_PROPERTYPUT, kMethod = INVOKE_FUNC;

const std::vector<Member> kFocuser = {
    {L"Link", kGet, 1, 7},           {L"Link", kPut, 1, 8},          {L"Absolute", kGet, 2, 9},
    {L"IsMoving", kGet, 3, 10},      {L"MaxIncrement", kGet, 4, 11}, {L"MaxStep", kGet, 5, 12},
    {L"Position", kGet, 6, 13},      {L"StepSize", kGet, 7, 14},     {L"TempComp", kGet, 8, 15},
    {L"TempComp", kPut, 8, 16},      {L"TempCompAvailable", kGet, 9, 17}, {L"Temperature", kGet, 10, 18},
    {L"Halt", kMethod, 11, 19},      {L"Move", kMethod, 12, 20},     {L"SetupDialog", kMethod, 13, 21}};
const std::vector<Member> kWheel = {
    {L"Connected", kGet, 1, 7}, {L"Connected", kPut, 1, 8}, {L"FocusOffsets", kGet, 2, 9}, {L"Names", kGet, 3, 10},
    {L"Position", kPut, 4, 11}, {L"Position", kGet, 4, 12}, {L"SetupDialog", kMethod, 5, 13}};

const char* KindName(INVOKEKIND kind)
{
    return kind == kGet ? "get" : kind == kPut ? "put" : kind == kMethod ? "method" : "putref";
}

std::string GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

// The vtable side of a dual interface: the library hands out its dispatch
// side, which lists the inherited members too. Takes over the reference.
ITypeInfo* VtableSide(ITypeInfo* info)
{
    HREFTYPE reference = 0;
    ITypeInfo* side = nullptr;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)) &&
        SUCCEEDED(info->GetRefTypeInfo(reference, &side))) {
        info->Release();
        return side;
    }
    return info;
}

// The members an interface declares itself, in vtable order.
std::vector<Member> Declared(ITypeInfo* info, std::vector<std::wstring>& names)
{
    std::vector<Member> members;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return members;
    names.clear();
    names.reserve(attributes->cFuncs);
    for (UINT i = 0; i < attributes->cFuncs; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function))) continue;
        BSTR name = nullptr;
        info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
        names.emplace_back(name ? name : L"");
        SysFreeString(name);
        members.push_back({nullptr, function->invkind, function->memid,
                           static_cast<int>(function->oVft / static_cast<int>(sizeof(void*)))});
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    return members;
}

void PrintMembers(const char* interfaceName, const std::vector<Member>& members,
                  const std::vector<std::wstring>& names)
{
    for (size_t i = 0; i < members.size(); ++i)
        std::printf("# tlb %s dispid %ld %s %s slot %d\n", interfaceName, static_cast<long>(members[i].id),
                    Narrow(names[i]).c_str(), KindName(members[i].kind), members[i].slot);
}

void CheckOldInterface(Checks& check, ITypeLib* library, const char* name, const char* iidText,
                       const std::vector<Member>& expected)
{
    IID iid{};
    IIDFromString(std::wstring(iidText, iidText + strlen(iidText)).c_str(), &iid);
    ITypeInfo* info = nullptr;
    if (!check.That(SUCCEEDED(library->GetTypeInfoOfGuid(iid, &info)),
                    std::string(name) + " is in the library under " + iidText))
        return;
    info = VtableSide(info);
    std::printf("# tlb %s %s\n", name, iidText);
    std::vector<std::wstring> names;
    const std::vector<Member> got = Declared(info, names);
    PrintMembers(name, got, names);
    bool same = got.size() == expected.size();
    for (size_t i = 0; same && i < got.size(); ++i)
        same = names[i] == expected[i].name && got[i].kind == expected[i].kind && got[i].id == expected[i].id &&
               got[i].slot == expected[i].slot;
    check.That(same, std::string(name) + ": every member keeps its DISPID, kind and vtable slot",
               std::to_string(got.size()) + " members");
    info->Release();
}

// The coclass's default interface: dual, derived from the old one, and the
// old members found through it by name under their old DISPIDs.
void CheckNewInterface(Checks& check, ITypeLib* library, const char* coclass, const char* oldIid,
                       const std::vector<Member>& old)
{
    const std::wstring wide(coclass, coclass + strlen(coclass));
    ITypeInfo* classInfo = nullptr;
    MEMBERID unused[1];
    USHORT found = 1;
    if (FAILED(library->FindName(const_cast<LPOLESTR>(wide.c_str()), 0, &classInfo, unused, &found)) || !found) {
        check.That(false, std::string(coclass) + " is in the library");
        return;
    }
    TYPEATTR* classAttributes = nullptr;
    classInfo->GetTypeAttr(&classAttributes);
    ITypeInfo* defaultInfo = nullptr;
    for (UINT i = 0; classAttributes && i < classAttributes->cImplTypes; ++i) {
        INT flags = 0;
        HREFTYPE reference = 0;
        classInfo->GetImplTypeFlags(i, &flags);
        if ((flags & IMPLTYPEFLAG_FDEFAULT) && SUCCEEDED(classInfo->GetRefTypeOfImplType(i, &reference)))
            classInfo->GetRefTypeInfo(reference, &defaultInfo);
    }
    const UINT interfaces = classAttributes ? classAttributes->cImplTypes : 0;
    if (classAttributes) classInfo->ReleaseTypeAttr(classAttributes);
    classInfo->Release();
    if (!check.That(defaultInfo != nullptr, std::string(coclass) + " has a default interface")) return;
    check.That(interfaces == 2, std::string(coclass) + " lists its new and its old interface",
               std::to_string(interfaces));

    TYPEATTR* attributes = nullptr;
    defaultInfo->GetTypeAttr(&attributes);
    BSTR name = nullptr;
    defaultInfo->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    const std::string interfaceName = Narrow(name ? name : L"");
    SysFreeString(name);
    std::printf("# tlb %s default %s %s\n", coclass, interfaceName.c_str(),
                attributes ? GuidText(attributes->guid).c_str() : "?");
    check.That(attributes && (attributes->wTypeFlags & TYPEFLAG_FDUAL) && GuidText(attributes->guid) != oldIid,
               std::string(coclass) + "'s default interface is a new dual one");
    if (attributes) defaultInfo->ReleaseTypeAttr(attributes);

    // Names are looked up on the side clients use; derivation and slots on
    // the vtable side.
    bool same = true;
    for (const Member& member : old) {
        MEMBERID id = MEMBERID_NIL;
        LPOLESTR lookup[] = {const_cast<LPOLESTR>(member.name)};
        same = same && SUCCEEDED(defaultInfo->GetIDsOfNames(lookup, 1, &id)) && id == member.id;
    }
    check.That(same, "through " + interfaceName + " every old member's name gives its old DISPID");
    defaultInfo = VtableSide(defaultInfo);

    ITypeInfo* base = nullptr;
    HREFTYPE reference = 0;
    std::string baseIid;
    if (SUCCEEDED(defaultInfo->GetRefTypeOfImplType(0, &reference)) &&
        SUCCEEDED(defaultInfo->GetRefTypeInfo(reference, &base))) {
        TYPEATTR* baseAttributes = nullptr;
        if (SUCCEEDED(base->GetTypeAttr(&baseAttributes))) {
            baseIid = GuidText(baseAttributes->guid);
            base->ReleaseTypeAttr(baseAttributes);
        }
        base->Release();
    }
    check.That(baseIid == oldIid, interfaceName + " derives from the old interface", baseIid);

    std::vector<std::wstring> names;
    PrintMembers(interfaceName.c_str(), Declared(defaultInfo, names), names);
    defaultInfo->Release();
}

}  // namespace

int TypeLibraryReadBack(const wchar_t* dllPath)
{
    Checks check("typelib");
    ITypeLib* library = nullptr;
    if (!check.That(SUCCEEDED(LoadTypeLibEx(dllPath, REGKIND_NONE, &library)), "the DLL carries its type library"))
        return check.Failures();
    constexpr const char* kFocuserIid = "{5ABFB128-F0A2-4695-B290-8065E18C1649}";
    constexpr const char* kWheelIid = "{5ABFB128-F0A2-5544-B290-9065E18C1649}";
    CheckOldInterface(check, library, "IFocuser", kFocuserIid, kFocuser);
    CheckOldInterface(check, library, "IFilterWheel", kWheelIid, kWheel);
    CheckNewInterface(check, library, "Focuser", kFocuserIid, kFocuser);
    CheckNewInterface(check, library, "FilterWheel", kWheelIid, kWheel);
    library->Release();
    std::fflush(stdout);
    return check.Failures();
}

}  // namespace wine_client
