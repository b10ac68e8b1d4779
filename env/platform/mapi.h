// MAPI profile administration, as Outlook 2000 in Corporate/Workgroup mode
// needs it to add an Internet mail service to the default profile. On Windows
// the backend loads MAPI32 at the moment it is needed; the machine folder has
// a stand-in that writes the profile section the service would create.
//
// Each interface stands for one MAPI call or COM interface; results are the
// HRESULTs MAPI returns (negative means failure). Objects handed out are
// released when destroyed; a session is logged off first.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillbank {

// Where MAPI keeps the current user's settings (under HKEY_CURRENT_USER), and
// below it the profiles, one key per profile named after it.
inline constexpr const char* kMessagingSubsystemKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem";
inline constexpr const char* kMapiProfilesKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";

class Registry;
class UuidSource;

using MapiResult = std::int32_t;  // an HRESULT

namespace mapi_result {
inline constexpr MapiResult kOk = 0;
inline constexpr MapiResult kFail = static_cast<MapiResult>(0x80004005);         // E_FAIL
inline constexpr MapiResult kNotFound = static_cast<MapiResult>(0x8004010F);     // MAPI_E_NOT_FOUND
inline constexpr MapiResult kLogonFailed = static_cast<MapiResult>(0x80040111);  // MAPI_E_LOGON_FAILED
inline constexpr MapiResult kNotInitialized = static_cast<MapiResult>(0x80040605);
// MAPI32 is not installed: HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND).
inline constexpr MapiResult kUnavailable = static_cast<MapiResult>(0x8007007E);
}  // namespace mapi_result

[[nodiscard]] inline bool MapiFailed(MapiResult result) { return result < 0; }

// IMsgServiceAdmin.
class MapiServiceAdmin {
 public:
  virtual ~MapiServiceAdmin() = default;  // Release
  // CreateMsgService with no UI and no flags: adds the service `service`
  // ("IMAIL") to the profile, named `display_name`.
  [[nodiscard]] virtual MapiResult CreateMsgService(const std::string& service,
                                                    const std::string& display_name) = 0;
};

// IProfAdmin.
class MapiProfileAdmin {
 public:
  virtual ~MapiProfileAdmin() = default;  // Release
  // AdminServices on the profile, no password, no UI, no flags.
  [[nodiscard]] virtual MapiResult AdminServices(const std::string& profile,
                                                 std::unique_ptr<MapiServiceAdmin>& admin) = 0;
};

// IMAPISession: held only so that it can be logged off and released.
class MapiSession {
 public:
  virtual ~MapiSession() = default;  // Logoff, then Release
};

class MapiAdmin {
 public:
  virtual ~MapiAdmin() = default;
  // MAPIInitialize with no initialisation structure. Fails with
  // mapi_result::kUnavailable when MAPI32 cannot be loaded.
  [[nodiscard]] virtual MapiResult Initialize() = 0;
  // MAPIAdminProfiles with flags 0.
  [[nodiscard]] virtual MapiResult AdminProfiles(std::unique_ptr<MapiProfileAdmin>& admin) = 0;
  // MAPILogonEx: no UI, the profile, no password, flags 0.
  [[nodiscard]] virtual MapiResult LogonEx(const std::string& profile,
                                           std::unique_ptr<MapiSession>& session) = 0;
  // MAPIUninitialize; once for every Initialize that succeeded, after every
  // object handed out has been destroyed.
  virtual void Uninitialize() = 0;
};

// The MAPI of the running Windows system (MAPI32 loaded on the first
// Initialize). Defined by the Windows backend only.
[[nodiscard]] std::unique_ptr<MapiAdmin> MakeWin32Mapi();

// The machine folder's stand-in: profiles are the keys below the current
// user's kMapiProfilesKey;
// logging on needs the profile's key; creating a service adds a profile
// section named by a fresh UUID (32 hex digits) holding "001e3d09" (the
// service name), "001e3d0b" = "MailServiceEntry" and "001e3001" (the display
// name). Defined by the machine-folder backend only.
[[nodiscard]] std::unique_ptr<MapiAdmin> MakeRegistryMapiStandIn(Registry& registry,
                                                                 UuidSource& uuids);

}  // namespace quillbank
