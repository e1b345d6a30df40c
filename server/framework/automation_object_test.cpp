// Tests of automation objects and their class factory, reached through IDispatch as scripts reach them:
// names found in any letter case, properties read and assigned, arguments converted by the standard
// dispatch, booleans as the automation boolean, the object behind an argument, and object lifetimes.
#include "server/framework/automation_object.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "server/framework/ansi_text.h"
#include "server/framework/class_factory.h"
#include "server/framework/dual_interface.h"
#include "server/framework/framework_test_h.h"
#include "server/framework/type_library.h"

namespace {

int constructed = 0;                 // CProbe objects made
int destroyed = 0;                   // and destroyed
HRESULT constructionFailure = S_OK;  // what the next CProbe reports from its construction

class CProbe : public CAutomationObject, public CDualInterface<IProbe> {
  DECLARE_RUNTIME_CLASS(CProbe)

 public:
  CProbe() : CDualInterface<IProbe>(this) {
    EnableAutomation(this, IID_IProbe);
    ++constructed;
    if (FAILED(constructionFailure)) ConstructionFailed(constructionFailure);
  }
  ~CProbe() override { ++destroyed; }

  HRESULT STDMETHODCALLTYPE get_Text(BSTR *text) override { return m_text.Copy(text); }
  HRESULT STDMETHODCALLTYPE put_Text(BSTR text) override { return m_text.Assign(text); }
  // Keeps the first length bytes of text, never more than it has; true when that is all of it.
  HRESULT STDMETHODCALLTYPE Take(BSTR text, LONG length, VARIANT_BOOL *whole) override {
    CAnsiText taken;
    HRESULT result = taken.Assign(text);
    if (FAILED(result)) return result;
    size_t wanted = length < 0 ? 0 : static_cast<size_t>(length);
    if (!m_text.Assign(taken.Data(), wanted < taken.Length() ? wanted : taken.Length())) return E_OUTOFMEMORY;
    *whole = AutomationBool(wanted >= taken.Length());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IsProbe(IDispatch *object, VARIANT_BOOL *probe) override {
    *probe = AutomationBool(FromDispatch(object, &CProbe::classCProbe) != nullptr);
    return S_OK;
  }

  CAnsiText m_text;
};
IMPLEMENT_RUNTIME_CLASS(CProbe, CAutomationObject)

class CDerivedProbe : public CProbe {
  DECLARE_RUNTIME_CLASS(CDerivedProbe)
};
IMPLEMENT_RUNTIME_CLASS(CDerivedProbe, CProbe)

// The object libraries for one test, and a factory of probes.
class AutomationObject : public ::testing::Test {
 protected:
  AutomationObject()
      : m_factory(CLSID_Probe, &CProbe::classCProbe, L"Runeflow.Probe"),
        m_derivedFactory(CLSID_Probe, &CDerivedProbe::classCDerivedProbe, L"Runeflow.DerivedProbe") {
    EXPECT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    constructed = destroyed = 0;
    constructionFailure = S_OK;
  }
  ~AutomationObject() override {
    CTypeLibrary::Release();
    OleUninitialize();
  }

  IDispatch *Create(CClassFactory &factory) {
    IDispatch *object = nullptr;
    EXPECT_EQ(S_OK, factory.CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void **>(&object)));
    return object;
  }

  CClassFactory m_factory;
  CClassFactory m_derivedFactory;
};

VARIANT Text(const wchar_t *text) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(text);
  return value;
}

VARIANT Number(LONG number) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  value.lVal = number;
  return value;
}

VARIANT Object(IDispatch *object) {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_DISPATCH;
  value.pdispVal = object;
  if (object != nullptr) object->AddRef();
  return value;
}

// Calls the member name of object as a script does: the identifier looked up by name, the arguments
// given in the script's order (and cleared afterwards), a property assignment as a named argument.
HRESULT Call(IDispatch *object, const wchar_t *name, WORD flags, std::vector<VARIANT> arguments,
             VARIANT *result) {
  DISPID id;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT status = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(status)) return status;
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS parameters = {reversed.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                           static_cast<UINT>(reversed.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
  VariantInit(result);
  UINT argumentError;
  status =
      object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result, nullptr, &argumentError);
  for (VARIANT &argument : reversed) VariantClear(&argument);
  return status;
}

std::wstring Read(IDispatch *object, const wchar_t *name) {
  VARIANT result;
  EXPECT_EQ(S_OK, Call(object, name, DISPATCH_PROPERTYGET, {}, &result));
  EXPECT_EQ(VT_BSTR, result.vt);
  std::wstring text(result.bstrVal, SysStringLen(result.bstrVal));
  VariantClear(&result);
  return text;
}

TEST_F(AutomationObject, MembersAreFoundByNameInAnyLetterCase) {
  IDispatch *probe = Create(m_factory);
  ASSERT_NE(nullptr, probe);
  struct Case {
    const wchar_t *name;
    DISPID id;
  } const cases[] = {{L"Text", 1}, {L"text", 1}, {L"TEXT", 1}, {L"tAKE", 2}, {L"isprobe", 3}};
  for (const Case &c : cases) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
    EXPECT_EQ(S_OK, probe->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(c.id, id) << c.name;
  }
  DISPID id;
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Texts")};
  EXPECT_EQ(DISP_E_UNKNOWNNAME, probe->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id));
  probe->Release();
}

TEST_F(AutomationObject, PropertiesAreReadAndAssignedAsEightBitTexts) {
  IDispatch *probe = Create(m_factory);
  ASSERT_NE(nullptr, probe);
  EXPECT_EQ(L"", Read(probe, L"Text"));
  VARIANT ignored;
  EXPECT_EQ(S_OK, Call(probe, L"text", DISPATCH_PROPERTYPUT, {Text(L"caf\u00e9 \u20ac \u4e2d")}, &ignored));
  EXPECT_EQ(L"caf\u00e9 \u20ac ?", Read(probe, L"TEXT"));
  EXPECT_EQ("caf\xe9 \x80 ?",
            std::string(static_cast<CProbe *>(CAutomationObject::FromDispatch(probe, &CProbe::classCProbe))
                            ->m_text.Data()));
  probe->Release();
}

TEST_F(AutomationObject, ArgumentsAreConvertedAndBooleansAreTheAutomationBoolean) {
  IDispatch *probe = Create(m_factory);
  ASSERT_NE(nullptr, probe);
  struct Case {
    const char *what;
    VARIANT text, length;
    std::wstring kept;
    VARIANT_BOOL whole;
  } cases[] = {
      {"a part of the text", Text(L"abcdef"), Number(3), L"abc", VARIANT_FALSE},
      {"a length beyond the text takes only the text", Text(L"ab"), Number(1000), L"ab", VARIANT_TRUE},
      {"a number for the text, a string for the length", Number(4217), Text(L"2"), L"42", VARIANT_FALSE},
      {"a negative length takes nothing", Text(L"ab"), Number(-1), L"", VARIANT_FALSE},
  };
  for (Case &c : cases) {
    VARIANT result;
    ASSERT_EQ(S_OK, Call(probe, L"Take", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {c.text, c.length}, &result))
        << c.what;
    EXPECT_EQ(VT_BOOL, result.vt) << c.what;
    EXPECT_EQ(c.whole, result.boolVal) << c.what;
    EXPECT_EQ(c.kept, Read(probe, L"Text")) << c.what;
  }
  VARIANT result;
  EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(probe, L"Take", DISPATCH_METHOD, {Text(L"a")}, &result));
  probe->Release();
}

TEST_F(AutomationObject, AnArgumentLeadsBackToTheObjectOfThisProgramBehindIt) {
  IDispatch *probe = Create(m_factory);
  IDispatch *derived = Create(m_derivedFactory);
  ASSERT_NE(nullptr, probe);
  ASSERT_NE(nullptr, derived);
  // A foreign object: the runtime's own standard dispatch, calling the probe's interface.
  ITypeInfo *info;
  ASSERT_EQ(S_OK, CTypeLibrary::GetTypeInfo(IID_IProbe, &info));
  IUnknown *foreignUnknown;
  ASSERT_EQ(S_OK, CreateStdDispatch(nullptr,
                                    static_cast<IProbe *>(static_cast<CProbe *>(
                                        CAutomationObject::FromDispatch(probe, &CProbe::classCProbe))),
                                    info, &foreignUnknown));
  IDispatch *foreign;
  ASSERT_EQ(S_OK, foreignUnknown->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&foreign)));
  struct Case {
    const char *what;
    IDispatch *argument;
    const CRuntimeClass *kind;
    bool found;
  } const cases[] = {
      {"the object itself", probe, &CProbe::classCProbe, true},
      {"an object of a derived class", derived, &CProbe::classCProbe, true},
      {"an object of the base class is no derived one", probe, &CDerivedProbe::classCDerivedProbe, false},
      {"every object is an automation object", derived, &CAutomationObject::classCAutomationObject, true},
      {"nothing", nullptr, &CProbe::classCProbe, false},
      {"a foreign object, even one that calls a probe", foreign, &CProbe::classCProbe, false},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(c.found, CAutomationObject::FromDispatch(c.argument, c.kind) != nullptr) << c.what;
  }
  // The same through the standard dispatch, with an object argument.
  for (IDispatch *argument : {probe, derived, foreign}) {
    VARIANT result;
    ASSERT_EQ(S_OK, Call(probe, L"IsProbe", DISPATCH_METHOD, {Object(argument)}, &result));
    EXPECT_EQ(AutomationBool(argument != foreign), result.boolVal);
  }
  foreign->Release();
  foreignUnknown->Release();
  info->Release();
  derived->Release();
  probe->Release();
}

TEST_F(AutomationObject, TheFactoryHandsOutOnlyUsableObjects) {
  struct Case {
    const char *what;
    bool aggregated;
    REFIID iid;
    HRESULT failure;  // reported by the probe's construction
    HRESULT result;
  } const cases[] = {
      {"a new object", false, IID_IProbe, S_OK, S_OK},
      {"aggregation is refused before anything is made", true, IID_IUnknown, S_OK, CLASS_E_NOAGGREGATION},
      {"an interface the object lacks", false, IID_IClassFactory, S_OK, E_NOINTERFACE},
      {"a construction that failed", false, IID_IDispatch, E_OUTOFMEMORY, E_OUTOFMEMORY},
  };
  for (const Case &c : cases) {
    constructed = destroyed = 0;
    constructionFailure = c.failure;
    IUnknown *outer = reinterpret_cast<IUnknown *>(&constructed);  // never called: refused before use
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(c.result, m_factory.CreateInstance(c.aggregated ? outer : nullptr, c.iid, &object)) << c.what;
    EXPECT_EQ(SUCCEEDED(c.result), object != nullptr) << c.what;
    if (object != nullptr) static_cast<IUnknown *>(object)->Release();
    EXPECT_EQ(c.aggregated ? 0 : 1, constructed) << c.what;
    EXPECT_EQ(constructed, destroyed) << c.what;
  }
}

}  // namespace
