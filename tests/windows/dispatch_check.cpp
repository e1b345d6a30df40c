// dispatch_check: a client of the installed server that holds its type library to the dispatch tables
// the classes promise their scripts (names, dispatch identifiers, kinds, argument and result types), both
// as the running server describes its objects and as the registered library describes them to
// early-bound clients. It also checks that one server process serves both classes with one hidden main
// window, and that this process ends once the last object is released. Prints one line per check and
// exits 0 when all pass, 1 otherwise.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// One member as scripts use it. A property is read and assigned; arguments and result are written as
// the Automation types' names ("string", "long", "boolean", "object"), "" for none.
struct Member {
  const wchar_t *name;
  DISPID id;
  const char *kind;  // "property" or "method"
  const char *arguments;
  const char *result;
};

struct AutomationClass {
  const wchar_t *progId;
  std::vector<Member> members;
};

const std::vector<AutomationClass> kClasses = {
    {L"Runeflow.Stream",
     {
         {L"ErrMsg", 1, "property", "", "string"},
         {L"Version", 2, "property", "", "string"},
         {L"Open", 3, "method", "string", "boolean"},
         {L"Add", 4, "method", "object", ""},
         {L"Connect", 5, "method", "object, object", ""},
         {L"Close", 6, "method", "", "boolean"},
         {L"ReadFile", 7, "method", "string", "boolean"},
         {L"WriteFile", 8, "method", "string", "boolean"},
         {L"ReadString", 9, "method", "string, long", "boolean"},
         {L"WriteString", 10, "method", "long", "string"},
         {L"Eos", 11, "method", "", "boolean"},
         {L"Length", 12, "method", "", "long"},
         {L"Clear", 13, "method", "", ""},
         {L"ReadStream", 14, "method", "object", "boolean"},
         {L"ReadClipboard", 15, "method", "string", "boolean"},
         {L"WriteClipboard", 16, "method", "string", "boolean"},
     }},
    {L"Runeflow.Cobbleway",
     {
         {L"ErrMsg", 1, "property", "", "string"},
         {L"Version", 2, "property", "", "string"},
         {L"Open", 3, "method", "string, string, string, string, string", "boolean"},
         {L"Close", 4, "method", "", "boolean"},
         {L"Length", 5, "method", "", "long"},
         {L"ReadString", 6, "method", "string, long", "boolean"},
         {L"ReadClipboard", 7, "method", "string", "boolean"},
         {L"WriteClipboard", 8, "method", "string", "boolean"},
     }},
};

const DWORD kServerEndMs = 10000;
int failures = 0;

void Report(bool passed, const std::string &line) {
  std::printf("%s: %s\n", passed ? "ok" : "FAIL", line.c_str());
  if (!passed) ++failures;
}

std::string Narrow(const wchar_t *text) {
  std::string narrow;
  for (; *text != L'\0'; ++text) narrow += static_cast<char>(*text < 0x80 ? *text : '?');
  return narrow;
}

std::string TypeName(ITypeInfo *info, const TYPEDESC &type) {
  switch (type.vt) {
    case VT_BSTR:
      return "string";
    case VT_I4:
      return "long";
    case VT_BOOL:
      return "boolean";
    case VT_DISPATCH:
      return "object";
    case VT_VARIANT:
      return "variant";
    case VT_VOID:
    case VT_HRESULT:
      return "";
    case VT_PTR:
      return TypeName(info, *type.lptdesc);
    case VT_USERDEFINED: {
      ITypeInfo *referenced;
      BSTR name = nullptr;
      if (SUCCEEDED(info->GetRefTypeInfo(type.hreftype, &referenced))) {
        referenced->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        referenced->Release();
      }
      std::string text = name != nullptr && std::wstring(name) == L"IDispatch"
                             ? "object"
                             : "type " + Narrow(name ? name : L"?");
      SysFreeString(name);
      return text;
    }
    default:
      return "vt " + std::to_string(type.vt);
  }
}

// A member as a type library describes it, gathered from its one or two functions.
struct Described {
  std::string name;
  bool get = false, put = false, method = false;
  std::string arguments, result;
};

// The members of info (a dispatch or dual interface), by dispatch identifier, leaving out the
// restricted functions that every dual interface inherits.
std::map<DISPID, Described> Describe(ITypeInfo *info) {
  std::map<DISPID, Described> members;
  TYPEATTR *attributes;
  if (FAILED(info->GetTypeAttr(&attributes))) return members;
  for (UINT index = 0; index < attributes->cFuncs; ++index) {
    FUNCDESC *function;
    if (FAILED(info->GetFuncDesc(index, &function))) continue;
    if ((function->wFuncFlags & FUNCFLAG_FRESTRICTED) == 0) {
      Described &member = members[function->memid];
      BSTR name = nullptr;
      info->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
      member.name = Narrow(name ? name : L"");
      SysFreeString(name);
      std::string arguments, result = TypeName(info, function->elemdescFunc.tdesc);
      for (SHORT parameter = 0; parameter < function->cParams; ++parameter) {
        const ELEMDESC &element = function->lprgelemdescParam[parameter];
        if (element.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) {
          result = TypeName(info, element.tdesc);
        } else {
          arguments += (arguments.empty() ? "" : ", ") + TypeName(info, element.tdesc);
        }
      }
      if (function->invkind == INVOKE_PROPERTYGET) {
        member.get = true;
        member.result = result;
      } else if (function->invkind == INVOKE_PROPERTYPUT) {
        member.put = true;
      } else {
        member.method = true;
        member.arguments = arguments;
        member.result = result;
      }
    }
    info->ReleaseFuncDesc(function);
  }
  info->ReleaseTypeAttr(attributes);
  return members;
}

// Holds the members of info to the class's table; where names what info is.
void CheckMembers(const AutomationClass &automationClass, ITypeInfo *info, const char *where) {
  std::string prefix = Narrow(automationClass.progId) + " " + where + ": ";
  std::map<DISPID, Described> described = Describe(info);
  bool all = true;
  for (const Member &member : automationClass.members) {
    auto found = described.find(member.id);
    std::string expected = Narrow(member.name) + " " + std::to_string(member.id) + " " + member.kind + "(" +
                           member.arguments + ") " + member.result;
    if (found == described.end()) {
      Report(false, prefix + "missing " + expected);
      all = false;
      continue;
    }
    const Described &seen = found->second;
    std::string kind = seen.method ? "method" : seen.get && seen.put ? "property" : "read-only or write-only";
    std::string actual =
        seen.name + " " + std::to_string(member.id) + " " + kind + "(" + seen.arguments + ") " + seen.result;
    if (actual != expected) {
      Report(false, prefix + "expected " + expected + ", found " + actual);
      all = false;
    }
    described.erase(found);
  }
  for (const auto &extra : described) {
    Report(false,
           prefix + "member not in the table: " + extra.second.name + " " + std::to_string(extra.first));
    all = false;
  }
  if (all) Report(true, prefix + std::to_string(automationClass.members.size()) + " members as listed");
}

// Every member's name in upper and in lower case finds its identifier.
void CheckNamesIgnoreCase(const AutomationClass &automationClass, IDispatch *object) {
  bool all = true;
  for (const Member &member : automationClass.members) {
    for (bool upper : {true, false}) {
      std::wstring name = member.name;
      for (wchar_t &c : name) c = upper ? towupper(c) : towlower(c);
      LPOLESTR names[] = {&name[0]};
      DISPID id = DISPID_UNKNOWN;
      if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) || id != member.id) {
        Report(false, Narrow(automationClass.progId) + ": " + Narrow(name.c_str()) + " does not find " +
                          std::to_string(member.id));
        all = false;
      }
    }
  }
  if (all) Report(true, Narrow(automationClass.progId) + ": names found in any letter case");
}

// The library registered for the class describes it as a coclass whose default interface is served.
void CheckRegisteredLibrary(const AutomationClass &automationClass, REFCLSID clsid, ITypeInfo *served) {
  std::string prefix = Narrow(automationClass.progId) + " registered library: ";
  ITypeLib *containing;
  UINT index;
  TYPEATTR *servedAttributes;
  if (FAILED(served->GetContainingTypeLib(&containing, &index))) return Report(false, prefix + "no library");
  TLIBATTR *libraryAttributes;
  containing->GetLibAttr(&libraryAttributes);
  ITypeLib *registered = nullptr;
  HRESULT result = LoadRegTypeLib(libraryAttributes->guid, libraryAttributes->wMajorVerNum,
                                  libraryAttributes->wMinorVerNum, 0, &registered);
  containing->ReleaseTLibAttr(libraryAttributes);
  containing->Release();
  if (FAILED(result)) return Report(false, prefix + "not registered");
  served->GetTypeAttr(&servedAttributes);
  GUID servedIid = servedAttributes->guid;
  served->ReleaseTypeAttr(servedAttributes);
  ITypeInfo *coclass = nullptr, *declared = nullptr;
  HREFTYPE reference;
  bool found = SUCCEEDED(registered->GetTypeInfoOfGuid(clsid, &coclass)) &&
               SUCCEEDED(coclass->GetRefTypeOfImplType(0, &reference)) &&
               SUCCEEDED(coclass->GetRefTypeInfo(reference, &declared));
  if (found) {
    TYPEATTR *attributes;
    declared->GetTypeAttr(&attributes);
    found = attributes->guid == servedIid;
    declared->ReleaseTypeAttr(attributes);
  }
  Report(found, prefix + (found ? "the class's default interface is the one served" : "no such class"));
  if (found) CheckMembers(automationClass, declared, "registered library");
  if (declared != nullptr) declared->Release();
  if (coclass != nullptr) coclass->Release();
  registered->Release();
}

IDispatch *Create(const AutomationClass &automationClass, CLSID *clsid) {
  if (FAILED(CLSIDFromProgID(automationClass.progId, clsid))) {
    Report(false, Narrow(automationClass.progId) + ": ProgID not registered");
    return nullptr;
  }
  IDispatch *object = nullptr;
  HRESULT result = E_FAIL;
  for (int attempt = 0; attempt < 2 && FAILED(result); ++attempt) {
    if (attempt > 0) Sleep(1000);  // a server started right after registration may not answer at once
    result = CoCreateInstance(*clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void **>(&object));
  }
  Report(SUCCEEDED(result), Narrow(automationClass.progId) + ": created" +
                                (SUCCEEDED(result) ? "" : " (error " + std::to_string(result) + ")"));
  return SUCCEEDED(result) ? object : nullptr;
}

BOOL CALLBACK CollectServerWindow(HWND window, LPARAM list) {
  char title[32];
  if (GetWindowTextA(window, title, sizeof title) > 0 && std::string(title) == "Cobbleway") {
    reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
  }
  return TRUE;
}

// With objects of both classes alive, one hidden window "Cobbleway" exists; returns its process, opened
// for waiting, or null.
HANDLE FindServerProcess() {
  std::vector<HWND> windows;
  EnumWindows(CollectServerWindow, reinterpret_cast<LPARAM>(&windows));
  bool one = windows.size() == 1 && !IsWindowVisible(windows[0]);
  Report(one, "one server with one hidden main window \"Cobbleway\" (found " +
                  std::to_string(windows.size()) + ")");
  if (!one) return nullptr;
  DWORD processId = 0;
  GetWindowThreadProcessId(windows[0], &processId);
  return OpenProcess(SYNCHRONIZE, FALSE, processId);
}

}  // namespace

int main() {
  if (FAILED(CoInitialize(nullptr))) return Report(false, "CoInitialize"), 1;
  std::vector<IDispatch *> objects;
  for (const AutomationClass &automationClass : kClasses) {
    CLSID clsid;
    IDispatch *object = Create(automationClass, &clsid);
    if (object == nullptr) continue;
    objects.push_back(object);
    ITypeInfo *info = nullptr;
    UINT count = 0;
    if (FAILED(object->GetTypeInfoCount(&count)) || count != 1 ||
        FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info))) {
      Report(false, Narrow(automationClass.progId) + ": no type information");
      continue;
    }
    CheckMembers(automationClass, info, "running server");
    CheckNamesIgnoreCase(automationClass, object);
    CheckRegisteredLibrary(automationClass, clsid, info);
    info->Release();
  }
  HANDLE server = FindServerProcess();
  for (IDispatch *object : objects) object->Release();
  if (server != nullptr) {
    Report(WaitForSingleObject(server, kServerEndMs) == WAIT_OBJECT_0,
           "the server ended after the last object");
    CloseHandle(server);
  }
  CoUninitialize();
  return failures == 0 ? 0 : 1;
}
