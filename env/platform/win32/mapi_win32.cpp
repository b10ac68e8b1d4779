// MAPI of the running Windows system. MAPI32 is loaded with LoadLibrary on
// the first Initialize, so that a system without it still starts the program
// and only the MAPI step fails; the interfaces MAPI hands out are released by
// their owners, and a session is logged off before it is released.
#include <windows.h>

#include <mapix.h>

#include <string>
#include <vector>

#include "env/platform/mapi.h"

namespace quillbank {
namespace {

// Narrow MAPI takes non-const text; the buffer lives for the call.
std::vector<char> Mutable(const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  return buffer;
}

// MAPI32's exports are undecorated in 64-bit builds; 32-bit MAPI32 libraries
// may export only the stdcall-decorated name.
FARPROC Export(HMODULE module, const char* name, const char* decorated) {
  FARPROC proc = GetProcAddress(module, name);
  if (!proc && decorated) proc = GetProcAddress(module, decorated);
  return proc;
}

class Win32ServiceAdmin final : public MapiServiceAdmin {
 public:
  explicit Win32ServiceAdmin(LPSERVICEADMIN admin) : admin_(admin) {}
  ~Win32ServiceAdmin() override { admin_->Release(); }

  MapiResult CreateMsgService(const std::string& service, const std::string& display_name) override {
    std::vector<char> service_text = Mutable(service);
    std::vector<char> display_text = Mutable(display_name);
    return admin_->CreateMsgService(reinterpret_cast<LPTSTR>(service_text.data()),
                                    reinterpret_cast<LPTSTR>(display_text.data()), 0, 0);
  }

 private:
  LPSERVICEADMIN admin_;
};

class Win32ProfileAdmin final : public MapiProfileAdmin {
 public:
  explicit Win32ProfileAdmin(LPPROFADMIN admin) : admin_(admin) {}
  ~Win32ProfileAdmin() override { admin_->Release(); }

  MapiResult AdminServices(const std::string& profile,
                           std::unique_ptr<MapiServiceAdmin>& admin) override {
    std::vector<char> profile_text = Mutable(profile);
    LPSERVICEADMIN service_admin = nullptr;
    const HRESULT result = admin_->AdminServices(reinterpret_cast<LPTSTR>(profile_text.data()),
                                                 nullptr, 0, 0, &service_admin);
    if (FAILED(result)) return result;
    if (!service_admin) return mapi_result::kFail;
    admin = std::make_unique<Win32ServiceAdmin>(service_admin);
    return result;
  }

 private:
  LPPROFADMIN admin_;
};

class Win32Session final : public MapiSession {
 public:
  explicit Win32Session(LPMAPISESSION session) : session_(session) {}
  ~Win32Session() override {
    session_->Logoff(0, 0, 0);
    session_->Release();
  }

 private:
  LPMAPISESSION session_;
};

class Win32Mapi final : public MapiAdmin {
 public:
  ~Win32Mapi() override {
    if (module_) FreeLibrary(module_);
  }

  MapiResult Initialize() override {
    if (!Load()) return mapi_result::kUnavailable;
    return initialize_(nullptr);
  }

  MapiResult AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) override {
    if (!module_) return mapi_result::kNotInitialized;
    LPPROFADMIN profile_admin = nullptr;
    const HRESULT result = admin_profiles_(0, &profile_admin);
    if (FAILED(result)) return result;
    if (!profile_admin) return mapi_result::kFail;
    admin = std::make_unique<Win32ProfileAdmin>(profile_admin);
    return result;
  }

  MapiResult LogonEx(const std::string& profile, std::unique_ptr<MapiSession>& session) override {
    if (!module_) return mapi_result::kNotInitialized;
    std::vector<char> profile_text = Mutable(profile);
    LPMAPISESSION mapi_session = nullptr;
    const HRESULT result =
        logon_ex_(0, reinterpret_cast<LPTSTR>(profile_text.data()), nullptr, 0, &mapi_session);
    if (FAILED(result)) return result;
    if (!mapi_session) return mapi_result::kFail;
    session = std::make_unique<Win32Session>(mapi_session);
    return result;
  }

  void Uninitialize() override {
    if (module_) uninitialize_();
  }

 private:
  bool Load() {
    if (module_) return true;
    HMODULE module = LoadLibraryA("MAPI32.DLL");
    if (!module) return false;
    initialize_ = reinterpret_cast<LPMAPIINITIALIZE>(
        reinterpret_cast<void*>(Export(module, "MAPIInitialize", "MAPIInitialize@4")));
    admin_profiles_ = reinterpret_cast<LPMAPIADMINPROFILES>(
        reinterpret_cast<void*>(Export(module, "MAPIAdminProfiles", "MAPIAdminProfiles@8")));
    logon_ex_ = reinterpret_cast<LPMAPILOGONEX>(
        reinterpret_cast<void*>(Export(module, "MAPILogonEx", "MAPILogonEx@20")));
    uninitialize_ = reinterpret_cast<LPMAPIUNINITIALIZE>(
        reinterpret_cast<void*>(Export(module, "MAPIUninitialize", "MAPIUninitialize@0")));
    if (!initialize_ || !admin_profiles_ || !logon_ex_ || !uninitialize_) {
      FreeLibrary(module);
      return false;
    }
    module_ = module;
    return true;
  }

  HMODULE module_ = nullptr;
  LPMAPIINITIALIZE initialize_ = nullptr;
  LPMAPIADMINPROFILES admin_profiles_ = nullptr;
  LPMAPILOGONEX logon_ex_ = nullptr;
  LPMAPIUNINITIALIZE uninitialize_ = nullptr;
};

}  // namespace

std::unique_ptr<MapiAdmin> MakeWin32Mapi() { return std::make_unique<Win32Mapi>(); }

}  // namespace quillbank
