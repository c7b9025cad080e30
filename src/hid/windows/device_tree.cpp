#include "hid/windows/device_tree.h"

#include <windows.h>
// SetupAPI and the configuration manager build on windows.h.
#include <cfgmgr32.h>
#include <setupapi.h>

// The mingw-w64 HID headers carry no C++ linkage guard of their own.
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <new>
#include <utility>

#include "host/text.h"

namespace trivexa::hid {
namespace {

// The path of one enumerated interface, or nothing when its detail record
// cannot be read.
std::optional<std::string> InterfacePath(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& interfaceData) {
  // The size query fails by design (no buffer) and only reports the size.
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailA(list, &interfaceData, nullptr, 0, &required, nullptr);
  // Anything shorter than the size field and one path character is no
  // record: a failed query that reported no size ends up here too.
  if (required < sizeof(DWORD) + 1) return std::nullopt;

  // One zero byte beyond the record keeps the path terminated whatever is
  // written; never less than the record structure itself, which is set up
  // in place.
  using Detail = SP_DEVICE_INTERFACE_DETAIL_DATA_A;
  const std::size_t bufferSize = std::max<std::size_t>(required, sizeof(Detail)) + 1;
  std::vector<char> buffer(bufferSize, 0);
  auto* detail = new (buffer.data()) Detail{};
  // The record size of the structure itself, which differs between 32 and
  // 64 bits, not the size of the whole buffer.
  detail->cbSize = sizeof(Detail);
  if (!SetupDiGetDeviceInterfaceDetailA(list, &interfaceData, detail, required, nullptr, nullptr)) {
    return std::nullopt;
  }

  const std::size_t pathOffset = offsetof(Detail, DevicePath);
  const char* path = buffer.data() + pathOffset;
  const std::size_t length = strnlen(path, bufferSize - pathOffset);
  if (length == 0) return std::nullopt;
  return std::string(path, length);
}

// The device instance an interface path belongs to.
std::optional<DEVINST> InterfaceDevice(const std::string& path) {
  HDEVINFO list = SetupDiCreateDeviceInfoList(nullptr, nullptr);
  if (list == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<DEVINST> device;
  SP_DEVICE_INTERFACE_DATA interfaceData{};
  interfaceData.cbSize = sizeof(interfaceData);
  SP_DEVINFO_DATA deviceData{};
  deviceData.cbSize = sizeof(deviceData);
  // Opening the interface adds its device to the list, as the only member.
  if (SetupDiOpenDeviceInterfaceA(list, path.c_str(), 0, &interfaceData) &&
      SetupDiEnumDeviceInfo(list, 0, &deviceData)) {
    device = deviceData.DevInst;
  }
  SetupDiDestroyDeviceInfoList(list);
  return device;
}

// A USB device's own node ("USB\VID_0079&PID_0026\..."), not one function
// of a composite device ("...&MI_00..."), which sits below it.
bool IsUsbDeviceNode(DEVINST node) {
  std::wstring id(MAX_DEVICE_ID_LEN + 1, L'\0');
  if (CM_Get_Device_IDW(node, id.data(), MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) return false;
  id.resize(wcsnlen(id.c_str(), id.size()));
  return id.starts_with(L"USB\\") && id.find(L"&MI_") == std::wstring::npos;
}

// The first of a node's location paths ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)").
std::optional<std::string> FirstLocationPath(DEVINST node) {
  ULONG bytes = 0;
  ULONG type = 0;
  if (CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_PATHS, &type, nullptr, &bytes, 0) !=
          CR_BUFFER_SMALL ||
      bytes == 0) {
    return std::nullopt;
  }
  // A list of zero-terminated texts, ended by an empty one; one unit more
  // keeps it terminated whatever comes back.
  std::wstring paths(bytes / sizeof(wchar_t) + 1, L'\0');
  if (CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_PATHS, &type, paths.data(), &bytes,
                                        0) != CR_SUCCESS ||
      type != REG_MULTI_SZ) {
    return std::nullopt;
  }
  const std::wstring first(paths.c_str());
  if (first.empty()) return std::nullopt;
  return Narrow(first);
}

}  // namespace

std::vector<std::string> HidInterfacePaths() {
  std::vector<std::string> paths;
  GUID hidGuid;
  HidD_GetHidGuid(&hidGuid);
  HDEVINFO list =
      SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (list == INVALID_HANDLE_VALUE) return paths;

  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(list, nullptr, &hidGuid, index, &interfaceData)) break;
    if (auto path = InterfacePath(list, interfaceData)) paths.push_back(std::move(*path));
  }

  SetupDiDestroyDeviceInfoList(list);
  return paths;
}

std::optional<std::string> UsbLocationPath(const std::string& interfacePath) {
  std::optional<DEVINST> node = InterfaceDevice(interfacePath);
  // The HID device, then (for a composite device) the USB function, then
  // the USB device itself; a device elsewhere (Bluetooth, a virtual bus)
  // has no USB device within these steps.
  constexpr int kMaxSteps = 4;
  for (int step = 0; node && step < kMaxSteps; ++step) {
    DEVINST parent = 0;
    if (CM_Get_Parent(&parent, *node, 0) != CR_SUCCESS) return std::nullopt;
    if (IsUsbDeviceNode(parent)) return FirstLocationPath(parent);
    node = parent;
  }
  return std::nullopt;
}

}  // namespace trivexa::hid
