#include "connector/xpcom/GenericModule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connector/tests/FakeXpcom.h"

namespace {

using mozilla::Module;
using qvr::testing::RecordingRegistrar;
using qvr::testing::TestComponentManager;
using qvr::testing::TestObject;
using qvr::xpcom::RefPtr;

constexpr nsCID kFirst = {0x11111111, 1, 1, {1, 1, 1, 1, 1, 1, 1, 1}};
constexpr nsCID kSecond = {0x22222222, 2, 2, {2, 2, 2, 2, 2, 2, 2, 2}};

struct ConstructorCall {
  nsISupports* outer;
  nsIID iid;
  void** result;
};
std::vector<ConstructorCall> g_constructor_calls;
int g_made;  // what the constructor hands out

nsresult RecordingConstructor(nsISupports* outer, const nsIID& iid, void** result) {
  g_constructor_calls.push_back({outer, iid, result});
  *result = &g_made;
  return NS_OK;
}

class ProcFactory final : public TestObject<nsIFactory> {
 public:
  NS_IMETHOD CreateInstance(nsISupports*, const nsIID&, void**) override { return NS_ERROR_UNEXPECTED; }
  NS_IMETHOD LockFactory(PRBool) override { return NS_OK; }
};
ProcFactory g_proc_factory;
nsIFactory* FactoryProc(const Module&, const Module::CIDEntry&) {
  g_proc_factory.AddRef();
  return &g_proc_factory;
}

class RecordingCategories final : public TestObject<nsICategoryManager> {
 public:
  std::vector<std::string> added;
  NS_IMETHOD AddCategoryEntry(const char* category, const char* entry, const char* value, PRBool persist,
                              PRBool replace, char** previous) override {
    added.push_back(std::string(category) + "|" + entry + "|" + value + "|" + std::to_string(persist) +
                    std::to_string(replace) + (previous == nullptr ? "|no previous" : "|previous"));
    return NS_OK;
  }
  NS_IMETHOD GetCategoryEntry(const char*, const char*, char**) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD DeleteCategoryEntry(const char*, const char*, PRBool) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD DeleteCategory(const char*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD EnumerateCategory(const char*, nsISimpleEnumerator**) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD EnumerateCategories(nsISimpleEnumerator**) override { return NS_ERROR_NOT_IMPLEMENTED; }
};

class Services final : public TestObject<nsIServiceManager> {
 public:
  RecordingCategories categories;
  NS_IMETHOD GetServiceByContractID(const char* contract_id, const nsIID& iid, void** result) override {
    if (std::string(contract_id) == NS_CATEGORYMANAGER_CONTRACTID) return categories.QueryInterface(iid, result);
    *result = nullptr;
    return NS_ERROR_FACTORY_NOT_REGISTERED;
  }
  NS_IMETHOD GetService(const nsCID&, const nsIID&, void**) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD IsServiceInstantiated(const nsCID&, const nsIID&, PRBool*) override { return NS_ERROR_NOT_IMPLEMENTED; }
  NS_IMETHOD IsServiceInstantiatedByContractID(const char*, const nsIID&, PRBool*) override {
    return NS_ERROR_NOT_IMPLEMENTED;
  }
};
Services g_services;
nsresult GetServices(nsIServiceManager** result) {
  g_services.AddRef();
  *result = &g_services;
  return NS_OK;
}

constexpr Module::CIDEntry kClasses[] = {
    {&kFirst, false, nullptr, RecordingConstructor}, {&kSecond, true, FactoryProc, nullptr}, {nullptr, false, nullptr, nullptr}};
constexpr Module::ContractIDEntry kContracts[] = {{"@test/one;1", &kFirst}, {"@test/two;1", &kSecond}, {nullptr, nullptr}};
constexpr Module::CategoryEntry kCategories[] = {{"app-startup", "one", "@test/one;1"}, {nullptr, nullptr, nullptr}};
constexpr Module kDescriptor = {Module::kVersion, kClasses, kContracts, kCategories, nullptr, nullptr, nullptr};

class GenericModule : public ::testing::Test {
 protected:
  void SetUp() override {
    g_constructor_calls.clear();
    ASSERT_EQ(NS_OK, qvr::xpcom::NewGenericModule(kDescriptor, GetServices, module_.put()));
  }
  RefPtr<nsIModule> module_;
};

TEST_F(GenericModule, ClassObjectsAreFactoriesOverTheDescriptorsEntries) {
  RefPtr<nsIFactory> factory;
  ASSERT_EQ(NS_OK, module_->GetClassObject(nullptr, kFirst, NS_GET_IID(nsIFactory), factory.put_void()));
  TestComponentManager outer;
  void* made = nullptr;
  EXPECT_EQ(NS_OK, factory->CreateInstance(&outer, NS_GET_IID(nsIObserver), &made));
  ASSERT_EQ(1u, g_constructor_calls.size());
  EXPECT_EQ(&outer, g_constructor_calls[0].outer);
  EXPECT_EQ(NS_GET_IID(nsIObserver), g_constructor_calls[0].iid);
  EXPECT_EQ(&made, g_constructor_calls[0].result);
  EXPECT_EQ(&g_made, made);
  EXPECT_EQ(NS_ERROR_NOT_IMPLEMENTED, factory->LockFactory(1));

  RefPtr<nsIFactory> from_proc;
  ASSERT_EQ(NS_OK, module_->GetClassObject(nullptr, kSecond, NS_GET_IID(nsIFactory), from_proc.put_void()));
  EXPECT_EQ(&g_proc_factory, from_proc.get());
  from_proc.reset();
  EXPECT_EQ(0u, g_proc_factory.references.load());

  void* none = &made;
  EXPECT_EQ(NS_ERROR_NO_INTERFACE, module_->GetClassObject(nullptr, kFirst, NS_GET_IID(nsIModule), &none));
  EXPECT_EQ(nullptr, none);
}

TEST_F(GenericModule, RegistersClassesThenContractsThenCategories) {
  RecordingRegistrar registrar;
  TestComponentManager manager;
  manager.registrar = &registrar;
  nsIFile* const location = reinterpret_cast<nsIFile*>(&registrar);  // only passed through
  ASSERT_EQ(NS_OK, module_->RegisterSelf(&manager, location, "rel:one.dll", "native"));
  ASSERT_EQ(4u, registrar.registrations.size());
  const nsCID* expected_cids[] = {&kFirst, &kSecond, &kFirst, &kSecond};
  const char* expected_contracts[] = {"", "", "@test/one;1", "@test/two;1"};
  for (size_t i = 0; i < 4; ++i) {
    const auto& r = registrar.registrations[i];
    EXPECT_EQ(*expected_cids[i], r.cid) << i;
    EXPECT_EQ(expected_contracts[i], r.contract_id) << i;
    EXPECT_EQ(i >= 2, r.has_contract) << i;
    EXPECT_EQ("", r.class_name);
    EXPECT_EQ(location, r.location);
    EXPECT_EQ("rel:one.dll", r.loader);
    EXPECT_EQ("native", r.type);
  }
  EXPECT_EQ(std::vector<std::string>{"app-startup|one|@test/one;1|11|no previous"}, g_services.categories.added);
  EXPECT_EQ(0u, registrar.references.load());
  EXPECT_EQ(0u, g_services.references.load());
  EXPECT_EQ(0u, g_services.categories.references.load());

  registrar.registrations.clear();
  registrar.answer = NS_ERROR_UNEXPECTED;  // the first refusal ends the registration
  EXPECT_EQ(NS_ERROR_UNEXPECTED, module_->RegisterSelf(&manager, nullptr, "l", "t"));
  EXPECT_EQ(1u, registrar.registrations.size());

  TestComponentManager without_registrar;
  EXPECT_EQ(NS_ERROR_NO_INTERFACE, module_->RegisterSelf(&without_registrar, nullptr, "l", "t"));
}

}  // namespace
