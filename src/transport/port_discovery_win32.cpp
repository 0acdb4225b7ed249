#include <windows.h>
// SetupAPI needs the base definitions first.
#include <setupapi.h>

#include "text/wide_text.h"
#include "transport/comm_state.h"
#include "transport/port_discovery.h"

namespace qv31 {
namespace {

// GUID_DEVINTERFACE_COMPORT's class: every port an adapter's driver announces.
const GUID PORTS_CLASS = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string RegistryText(HKEY key, const wchar_t* name) {
  wchar_t data[256];
  DWORD size = sizeof data - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  data[size / sizeof(wchar_t)] = L'\0';
  return WideToUtf8(data);
}

}  // namespace

std::vector<std::string> DiscoverSerialPorts(std::string_view) {
  std::vector<std::string> data;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return {};
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    wchar_t value[256];
    DWORD nameLength = 256;
    DWORD valueSize = sizeof value - sizeof(wchar_t);
    const LONG rc = RegEnumValueW(key, index, name, &nameLength, nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(value), &valueSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    value[valueSize / sizeof(wchar_t)] = L'\0';
    data.push_back(WideToUtf8(value));
  }
  RegCloseKey(key);
  return ComPortNames(data);
}

std::string PortDescription(std::string_view portName, std::string_view) {
  HDEVINFO set = SetupDiGetClassDevsW(&PORTS_CLASS, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return {};
  std::string description;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; description.empty() && SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    const bool match = RegistryText(key, L"PortName") == portName;
    RegCloseKey(key);
    if (!match) continue;
    wchar_t text[256] = {};
    if (SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                          reinterpret_cast<BYTE*>(text), sizeof text - 2,
                                          nullptr)) {
      description = WideToUtf8(text);
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return description;
}

// Windows does not tell which process holds a COM port.
std::vector<std::string> PortHolders(std::string_view, std::string_view) { return {}; }

// Windows grants a port to whoever opens it first; there are no device groups.
DeviceGroupAccess DeviceGroupOf(const std::string&) { return {{}, false, false}; }

}  // namespace qv31
