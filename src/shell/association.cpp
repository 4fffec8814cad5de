// Making the program the shell's handler of .swf and .spl files.
#include "app/frmFlash.h"
#include "runtime/module1.h"
#include "runtime/runtime.h"

namespace orv {
namespace {

constexpr const char* kProgId = "Lumvex.Lumvex";
constexpr const char* kContentType = "application/x-shockwave-flash";
constexpr const char* kMarkerKey = "Software\\Korvane\\Lumvex";

void writeMarker(SystemApi& api) {
  HKey software = 0, marker = 0;
  api.RegOpenKeyExA(HKEY_LOCAL_MACHINE_, "Software", 0, KEY_CREATE_SUB_KEY_, &software);
  api.RegCreateKeyExA(software, "Korvane\\Lumvex", REG_OPTION_NON_VOLATILE_, KEY_ALL_ACCESS_,
                      &marker, nullptr);
  api.RegSetValueExA(marker, "Registrated", REG_SZ_, "YES");
  api.RegCloseKey(marker);
  api.RegCloseKey(software);
}

void writeExtension(SystemApi& api, const char* extension) {
  HKey key = 0;
  api.RegCreateKeyExA(HKEY_CLASSES_ROOT_, extension, REG_OPTION_NON_VOLATILE_, KEY_ALL_ACCESS_,
                      &key, nullptr);
  api.RegSetValueA(key, "", REG_SZ_, kProgId);
  api.RegSetValueExA(key, "Content Type", REG_SZ_, kContentType);
  api.RegCloseKey(key);
}

void writeOpenCommandAndIcon(SystemApi& api, const std::string& openCommand,
                             const std::string& iconSpec) {
  HKey command = 0, progId = 0, icon = 0;
  api.RegCreateKeyExA(HKEY_CLASSES_ROOT_, std::string(kProgId) + "\\Shell\\Open\\command",
                      REG_OPTION_NON_VOLATILE_, KEY_ALL_ACCESS_, &command, nullptr);
  api.RegSetValueA(command, "", REG_SZ_, openCommand);
  api.RegCloseKey(command);
  api.RegOpenKeyExA(HKEY_CLASSES_ROOT_, kProgId, 0, KEY_CREATE_SUB_KEY_, &progId);
  api.RegCreateKeyExA(progId, "DefaultIcon", REG_OPTION_NON_VOLATILE_, KEY_ALL_ACCESS_, &icon,
                      nullptr);
  api.RegSetValueA(icon, "", REG_SZ_, iconSpec);
  api.RegCloseKey(icon);
  api.RegCloseKey(progId);
}

// Deletes HKEY_CLASSES_ROOT\extension when it exists.
void deleteIfPresent(SystemApi& api, const char* extension) {
  HKey probe = 0;
  if (api.RegOpenKeyExA(HKEY_CLASSES_ROOT_, extension, 0, 0, &probe) == ERROR_SUCCESS_) {
    api.RegCloseKey(probe);
    api.RegDeleteKeyA(HKEY_CLASSES_ROOT_, extension);
  }
}

}  // namespace

void frmFlash::firstRunAssociation() {
  SystemApi& api = runtime().module1();
  writeMarker(api);
  deleteIfPresent(api, ".swf");
  writeExtension(api, ".swf");
  deleteIfPresent(api, ".spl");
  writeExtension(api, ".spl");
  writeOpenCommandAndIcon(api, openCommand, defaultIconSpec);
}

void frmFlash::mnuDef_Click() {
  SystemApi& api = runtime().module1();
  buildAssociationStrings();
  api.RegDeleteKeyA(HKEY_CLASSES_ROOT_, ".swf");
  api.RegDeleteKeyA(HKEY_CLASSES_ROOT_, ".spl");
  api.RegDeleteKeyA(HKEY_CLASSES_ROOT_, kProgId);
  api.RegDeleteKeyA(HKEY_LOCAL_MACHINE_, kMarkerKey);
  writeMarker(api);
  writeExtension(api, ".swf");
  writeExtension(api, ".spl");
  writeOpenCommandAndIcon(api, openCommand, defaultIconSpec);
}

}  // namespace orv
